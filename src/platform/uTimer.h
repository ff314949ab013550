// Message-loop timers: a tick calls OnTimer on the user-interface thread every Interval milliseconds while
// the timer is enabled. An interval of 0 (or less) never ticks.
//
// Timers come only from a factory that the owner hands in: the window layer's for its message loop, a
// TManualClock's in tests (those tick only when their clock is advanced). There is no default: a timer made
// without a factory would never tick.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace kv {

class TTimer {
public:
  TTimer() = default;
  virtual ~TTimer() = default;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  int32_t Interval() const { return FInterval; }
  // A change while enabled starts the wait afresh.
  void SetInterval(int32_t milliseconds);
  bool Enabled() const { return FEnabled; }
  // Enabling starts the wait; enabling an enabled timer changes nothing.
  void SetEnabled(bool enabled);
  void Start() { SetEnabled(true); }
  void Stop() { SetEnabled(false); }

  // May stop, restart or destroy the timer itself.
  std::function<void()> OnTimer;

protected:
  // Called after every change of Interval or Enabled: start the wait afresh, or cancel it.
  virtual void Rearm() = 0;
  // Implementations call this for every tick; the timer must not be touched after it returns.
  void Tick();

private:
  int32_t FInterval = 0;
  bool FEnabled = false;
};

using TTimerFactory = std::function<std::unique_ptr<TTimer>()>;

// A new, disabled timer from factory. Throws std::invalid_argument when the factory is empty or gives no
// timer, so that a missing factory shows at once rather than as a timer that never ticks.
std::unique_ptr<TTimer> CreateTimer(const TTimerFactory& factory);

// A clock that moves only when told to; its timers tick as it passes their due times.
class TManualClock {
public:
  TManualClock();
  ~TManualClock();
  TManualClock(const TManualClock&) = delete;
  TManualClock& operator=(const TManualClock&) = delete;

  // Milliseconds advanced so far.
  int64_t Now() const;
  // Moves the clock forward, firing every tick that falls due on the way in time order (timers due at the
  // same moment in the order they were armed). A negative step does nothing. Not to be called from a tick.
  void Advance(int64_t milliseconds);

  // Timers of this clock; they may outlive it (they then never tick).
  std::unique_ptr<TTimer> CreateTimer();
  TTimerFactory Factory();

  struct TState;

private:
  std::shared_ptr<TState> State;
};

} // namespace kv
