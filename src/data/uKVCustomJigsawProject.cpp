#include "data/uKVCustomJigsawProject.h"

#include "data/uKVProjectReflection.h"
#include "data/uKVStandardFunc.h"

namespace kv {

TKVCustomJigsawProject::TKVCustomJigsawProject() = default;
TKVCustomJigsawProject::~TKVCustomJigsawProject() = default;

const TKVClassInfo& TKVCustomJigsawProject::StaticClassInfo() {
  using T = TKVCustomJigsawProject;
  // The animations are owned members: read-only properties that the XML fills in place.
  static const TKVClassInfo info{
      "TKVCustomJigsawProject",
      &TKVComponent::StaticClassInfo(),
      MakeFactory<T>(),
      {ObjectProperty<T>("Splash2", TKVObjectKind::okObject, [](T& p) -> TPersistent* { return &p.Splash2; }),
       ObjectProperty<T>("About2", TKVObjectKind::okObject, [](T& p) -> TPersistent* { return &p.About2; }),
       ObjectProperty<T>("Icon2", TKVObjectKind::okObject, [](T& p) -> TPersistent* { return &p.Icon2; }),
       StringListProperty<T>("Language", &T::Language)}};
  return info;
}

void TKVCustomJigsawProject::ApplyPublishedXml(
    const std::function<void(const std::string& message)>& reporter, int64_t inflateBudget) {
  if (PublishedXml.Empty()) return;
  TKVProjectReflection reflection(reporter);
  reflection.InflateBudget = inflateBudget;
  reflection.LoadFromBytes(PublishedXml.Bytes(), *this);
}

std::optional<std::string> TKVCustomJigsawProject::LanguageQuitText() const {
  std::optional<std::string> text;
  for (const auto& line : Language)
    if (TKVStandardFunc::LowerText(line.substr(0, 5)) == "quit=") text = line.substr(5, 255);
  return text;
}

std::string TKVCustomJigsawProject::QuitText() const {
  return LanguageQuitText().value_or(std::string());
}

} // namespace kv
