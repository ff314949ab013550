// The board's messages to the session (1024 with these parameter pairs) and the keys it answers.
#pragma once

#include <cstdint>

namespace kv {

inline constexpr int32_t kvbnPlayOnce = 0xFFFF;
inline constexpr int32_t kvbnPlayRepeating = 0xFFFE;
inline constexpr int32_t kvbnPickUp = 100;
inline constexpr int32_t kvbnTurn = 101;
inline constexpr int32_t kvbnSnap = 102;
inline constexpr int32_t kvbnWin = 107;
inline constexpr int32_t kvbnClose = 16;

// Virtual keys the board answers.
inline constexpr int32_t VK_A = 65;
inline constexpr int32_t VK_D = 68;
inline constexpr int32_t VK_ESCAPE = 27;

} // namespace kv
