#include "app/uPlayerServices.h"

#include "platform/uSdlSoundOutput.h"
#include "sound/uKVThreadTimer.h"

namespace kv {

TPlayerServices::TPlayerServices(QWidget* boxParent, IMessageBoxes* boxes) : FBoxes(boxParent) {
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
  FServices.Random = std::make_shared<TRandomSource>();
}

TPlayerServices::~TPlayerServices() = default;

} // namespace kv
