#include "jigsaw/uKVGameClock.h"

#include <limits>
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
  // A clock read from a saved game may stand anywhere: at the ends of the range it stays.
  if (FCountDown && FClock > std::numeric_limits<int32_t>::min()) --FClock;
  if (!FCountDown && FClock < std::numeric_limits<int32_t>::max()) ++FClock;
  if (!Playing || !Playing()) return;
  if (OnTick) OnTick();
  // Only a count-down that reaches zero ends the game: a count that went below zero (a count-down from 0
  // seconds) never does, nor a clock counting up through zero from a damaged saved game.
  if (!FCountDown || FClock != 0) return;
  if (OnTimeUp) OnTimeUp();
}

} // namespace kv
