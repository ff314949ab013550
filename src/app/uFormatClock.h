// The clock's text, shared by the status bar, the clock displays and the dialogs.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Seconds as "hh:mm:ss", two digits at least each; hours are not limited to two digits.
std::string FormatClock(int64_t seconds);

} // namespace kv
