// What a game session receives from whoever creates it: the program hands it the desktop's services, tests
// a headless set (THeadlessPlatform) that they drive by hand. Nothing here is process-wide.
#pragma once

#include "core/uRandomSource.h"
#include "platform/uTimer.h"

#include <cstdint>
#include <memory>

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
  // The session's random source: the piece scatter, the animations, the picture choice, temporary names.
  std::shared_ptr<TRandomSource> Random;
};

} // namespace kv
