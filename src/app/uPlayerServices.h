// The desktop services a game receives in the player: Qt's event loop for the hand-over and message-loop
// timers, real thread timers, SDL sound (silent where no audio device opens), Qt message boxes, the screen
// and a random source seeded from the clock.
#pragma once

#include "platform/uQtPlatform.h"
#include "platform/uServices.h"
#include "platform/uSoundOutput.h"

#include <memory>

class QWidget;

namespace kv {

class TPlayerServices {
public:
  // boxes: message boxes to use instead of Qt's (tests answer them), or null.
  explicit TPlayerServices(QWidget* boxParent, IMessageBoxes* boxes = nullptr);
  ~TPlayerServices();
  TPlayerServices(const TPlayerServices&) = delete;
  TPlayerServices& operator=(const TPlayerServices&) = delete;

  const TPlatformServices& Services() const { return FServices; }
  IMessageBoxes& Boxes() { return *FServices.Boxes; }
  // Why there is no sound; empty when the audio device opened.
  const std::string& SoundFailure() const { return FSoundFailure; }

private:
  TQtDispatcher FDispatcher;
  TQtMessageBoxes FBoxes;
  TQtScreen FScreen;
  std::unique_ptr<ISoundOutput> FSound;
  std::string FSoundFailure;
  TPlatformServices FServices;
};

} // namespace kv
