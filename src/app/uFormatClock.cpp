#include "app/uFormatClock.h"

#include <cstdio>

namespace kv {

std::string FormatClock(int64_t seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

} // namespace kv
