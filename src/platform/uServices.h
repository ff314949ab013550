// What a game session receives from whoever creates it: the program hands it the desktop's services, tests
// a headless set (THeadlessPlatform) that they drive by hand. Nothing here is process-wide.
#pragma once

#include "platform/uTimer.h"

#include <cstdint>
#include <functional>

namespace kv {

class IDispatcher;
class IMessageBoxes;
class IScreen;
class ISoundOutput;

struct TPlatformServices {
  // Message-loop timers (the win timer, banner switchers).
  TTimerFactory Timers;
  // Thread timers: ticks timed apart from the user-interface thread and delivered on it (the application's
  // tick, the clock, the board's animations, the music player's check).
  TTimerFactory ThreadTimers;
  IDispatcher* Dispatcher = nullptr;
  ISoundOutput* Sound = nullptr;
  IMessageBoxes* Boxes = nullptr;
  IScreen* Screen = nullptr;
  // Uniform integer in [0, limit); 0 when limit <= 0.
  std::function<int32_t(int32_t limit)> Random;
};

} // namespace kv
