// Component base with property-change notification, and the project base with its translation list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class TKVComponent {
public:
  TKVComponent() = default;
  virtual ~TKVComponent() = default;
  TKVComponent(const TKVComponent&) = delete;
  TKVComponent& operator=(const TKVComponent&) = delete;

  // The component's own published properties.
  std::string Name;
  int32_t Tag = 0;
};

class TKVCustomProject : public TKVComponent {
public:
  // Lines of the form key=value.
  std::vector<std::string> Translations;
  std::string Translate(std::string_view text) const;
};

} // namespace kv
