#include "app/uPlayerServices.h"

#include "platform/uSdlSoundOutput.h"
#include "sound/uKVThreadTimer.h"

#include <chrono>

namespace kv {

TPlayerServices::TPlayerServices(QWidget* boxParent, IMessageBoxes* boxes)
    : FBoxes(boxParent), FRandom(static_cast<std::mt19937::result_type>(
                             std::chrono::steady_clock::now().time_since_epoch().count())) {
  auto sdl = std::make_unique<TSdlSoundOutput>(FDispatcher);
  if (sdl->Available()) {
    FSound = std::move(sdl);
  } else {
    // The game plays on without sound.
    FSoundFailure = sdl->Failure();
    FSound = std::make_unique<TSilentSoundOutput>();
  }
  FServices.Timers = QtTimerFactory();
  FServices.ThreadTimers = ThreadTimerFactory(FDispatcher);
  FServices.Dispatcher = &FDispatcher;
  FServices.Sound = FSound.get();
  FServices.Boxes = boxes ? boxes : &FBoxes;
  FServices.Screen = &FScreen;
  FServices.Random = [this](int32_t limit) {
    if (limit <= 0) return 0;
    return static_cast<int32_t>(std::uniform_int_distribution<int32_t>(0, limit - 1)(FRandom));
  };
}

TPlayerServices::~TPlayerServices() = default;

} // namespace kv
