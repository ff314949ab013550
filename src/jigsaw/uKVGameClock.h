// The game clock: seconds elapsed, or seconds left when it counts down from the package's time limit. A
// thread timer ticks it once a second on the user-interface thread; the clock only counts while the game
// plays and tells its owner of every counted second and of a count-down that reached zero.
#pragma once

#include "sound/uKVThreadTimer.h"

#include <cstdint>
#include <functional>

namespace kv {

// Milliseconds between two clock ticks.
inline constexpr uint32_t kvClockInterval = 1000;

class TKVGameClock {
public:
  explicit TKVGameClock(TTimerFactory timers);
  ~TKVGameClock();
  TKVGameClock(const TKVGameClock&) = delete;
  TKVGameClock& operator=(const TKVGameClock&) = delete;

  // Whether the game is in its playing state; the clock counts on regardless, but reports nothing else.
  std::function<bool()> Playing;
  // Every second while the game plays.
  std::function<void()> OnTick;
  // A count-down went from 1 to 0 while the game played.
  std::function<void()> OnTimeUp;

  // Seconds elapsed, or seconds left when counting down.
  int32_t Clock() const { return FClock; }
  void SetClock(int32_t seconds) { FClock = seconds; }
  bool CountDown() const { return FCountDown; }
  void SetCountDown(bool value) { FCountDown = value; }

  // The 1 s timer runs (a running game) or waits (paused, stopped).
  void SetRunning(bool on) { FTimer.SetEnabled(on); }
  const TKVThreadTimer& Timer() const { return FTimer; }
  // One second: what the timer does.
  void Tick();

private:
  TKVThreadTimer FTimer;
  int32_t FClock = 0;
  bool FCountDown = false;
};

} // namespace kv
