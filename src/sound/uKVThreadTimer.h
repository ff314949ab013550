// Thread timers: ticks timed apart from the user-interface thread and delivered on it, one at a time.
//
// The timing engine comes from a TTimerFactory. ThreadTimerFactory gives real ones: each timer owns a thread
// that waits for the interval, hands the tick to the user-interface thread through the dispatcher and waits
// until it has been handled before timing the next one. Tests pass a TManualClock's factory instead, so that
// ticks come exactly when the clock is advanced. An empty factory throws std::invalid_argument.
#pragma once

#include "platform/uTimer.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace kv {

class IDispatcher;

// Kept for callers that set it; the timing threads all run at the system's normal priority.
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TKVCustomThreadTimer {
public:
  explicit TKVCustomThreadTimer(const TTimerFactory& factory);
  // No tick is delivered once destruction begins, also when the timer is destroyed from its own tick.
  virtual ~TKVCustomThreadTimer();
  TKVCustomThreadTimer(const TKVCustomThreadTimer&) = delete;
  TKVCustomThreadTimer& operator=(const TKVCustomThreadTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  // Ticks come only while enabled; the first one a full interval after enabling.
  void SetEnabled(bool on);
  void Start() { SetEnabled(true); }
  void Stop() { SetEnabled(false); }

  uint32_t Interval() const { return FInterval; }
  // A change restarts the period of a running timer.
  void SetInterval(uint32_t milliseconds);

  // Whether an interval of 0 may run; such a timer ticks as often as it can (every millisecond). Without it
  // an interval of 0 stays silent.
  bool AllowZero() const { return FAllowZero; }
  void SetAllowZero(bool allow);

  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority priority) { FThreadPriority = priority; }

  // The tick handler, on the user-interface thread. It may disable, change or destroy the timer.
  std::function<void()> OnTimer;

protected:
  // Runs for every tick while enabled; calls OnTimer.
  virtual void Timer();

private:
  void Apply();

  std::unique_ptr<TTimer> Engine;
  uint32_t FInterval = 1000;
  bool FEnabled = false;
  bool FAllowZero = false;
  TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
};

class TKVThreadTimer : public TKVCustomThreadTimer {
public:
  using TKVCustomThreadTimer::TKVCustomThreadTimer;
};

// Timers that each own one waiting thread and deliver their ticks through dispatcher, which must outlive
// them. The next wait is shortened by the time the previous tick took to handle, so that ticks keep to the
// interval's schedule as far as the handler allows. Timers are created, changed and destroyed on the
// user-interface thread.
TTimerFactory ThreadTimerFactory(IDispatcher& dispatcher);

} // namespace kv
