// The keys the board answers.
#pragma once

#include <cstdint>

namespace kv {

// Virtual keys.
inline constexpr int32_t VK_A = 65;
inline constexpr int32_t VK_D = 68;
inline constexpr int32_t VK_ESCAPE = 27;

} // namespace kv
