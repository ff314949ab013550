#include "data/uKVCustomJigsawProject.h"

#include "data/uKVStandardFunc.h"

namespace kv {

TKVCustomJigsawProject::TKVCustomJigsawProject() = default;
TKVCustomJigsawProject::~TKVCustomJigsawProject() = default;

void TKVCustomJigsawProject::ApplyPublishedXml() {
  // Filled in with the reflection reader.
}

std::string TKVCustomJigsawProject::QuitText() const {
  for (const auto& line : Language)
    if (TKVStandardFunc::LowerText(line.substr(0, 5)) == "quit=") return line.substr(5);
  return {};
}

} // namespace kv
