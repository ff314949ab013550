#include "jigsaw/uKVGameClock.h"

#include <utility>

namespace kv {

TKVGameClock::TKVGameClock(TTimerFactory timers) : FTimer(std::move(timers)) {
  FTimer.SetInterval(kvClockInterval);
  FTimer.OnTimer = [this] { Tick(); };
}

TKVGameClock::~TKVGameClock() {
  FTimer.SetEnabled(false);
}

void TKVGameClock::Tick() {
  FClock += FCountDown ? -1 : 1;
  if (!Playing || !Playing()) return;
  if (OnTick) OnTick();
  // A count that went below zero (a count-down from 0 seconds) never ends the game.
  if (FClock != 0) return;
  if (OnTimeUp) OnTimeUp();
}

} // namespace kv
