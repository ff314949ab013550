#include "data/uKVComponent.h"

#include "data/uKVStandardFunc.h"

namespace kv {

std::string TKVCustomProject::Translate(std::string_view text) const {
  std::string result(text);
  const std::string key = TKVStandardFunc::LowerText(text);
  for (const auto& line : Translations) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (TKVStandardFunc::LowerText(std::string_view(line).substr(0, eq)) != key) continue;
    const std::string value = line.substr(eq + 1);
    result = value.empty() ? std::string(text) : value;
  }
  return result;
}

} // namespace kv
