// The lifecycle of a game, one for the application and its layer items (the board). The application tells
// every change with message 1024 and the state's number as the code, so the numbers are fixed.
#pragma once

#include <cstdint>

namespace kv {

enum class TGameState : uint8_t { Stopped = 0, Running = 1, Paused = 2 };

} // namespace kv
