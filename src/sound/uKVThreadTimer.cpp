#include "sound/uKVThreadTimer.h"

#include "platform/uDispatcher.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

namespace kv {

TKVCustomThreadTimer::TKVCustomThreadTimer(const TTimerFactory& factory) : Engine(CreateTimer(factory)) {
  // Ticks reach Timer() only while this object lives: the destructor lets go of the engine first.
  Engine->OnTimer = [this] { Timer(); };
}

TKVCustomThreadTimer::~TKVCustomThreadTimer() {
  Engine->OnTimer = nullptr;
  Engine.reset();
}

void TKVCustomThreadTimer::SetEnabled(bool on) {
  if (on == FEnabled) return;
  FEnabled = on;
  Apply();
}

void TKVCustomThreadTimer::SetInterval(uint32_t milliseconds) {
  if (milliseconds == FInterval) return;
  FInterval = milliseconds;
  // Off and on again, so that the period restarts even where the engine's interval stays the same.
  Engine->SetEnabled(false);
  Apply();
}

void TKVCustomThreadTimer::SetAllowZero(bool allow) {
  if (allow == FAllowZero) return;
  FAllowZero = allow;
  Apply();
}

void TKVCustomThreadTimer::Apply() {
  constexpr uint32_t longest = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
  const bool runs = FEnabled && (FInterval > 0 || FAllowZero);
  if (!runs) {
    Engine->SetEnabled(false);
    return;
  }
  Engine->SetInterval(static_cast<int32_t>(std::clamp<uint32_t>(FInterval, 1, longest)));
  Engine->SetEnabled(true);
}

void TKVCustomThreadTimer::Timer() {
  if (!FEnabled) return;
  // A copy, because the handler may destroy this timer.
  const auto handler = OnTimer;
  if (handler) handler();
}

namespace {

using TClock = std::chrono::steady_clock;

// What the timing thread and the user-interface thread share. Every field is guarded by Mutex.
struct TTimingState {
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Terminated = false;
  bool Armed = false;
  std::chrono::milliseconds Interval{0};
  TClock::time_point Due;
  // Renumbered on every change of the settings; a tick of an older number is not delivered.
  uint64_t Generation = 0;
  // The tick handed over and not yet handled (0: none).
  uint64_t PendingTick = 0;
  uint64_t TickCount = 0;
  // Whose Tick to call; cleared when that timer is destroyed.
  std::function<void()> Deliver;
};

class TWorkerTimer final : public TTimer {
public:
  explicit TWorkerTimer(IDispatcher& dispatcher)
      : Dispatcher(dispatcher), State(std::make_shared<TTimingState>()) {
    State->Deliver = [this] { Tick(); };
  }

  ~TWorkerTimer() override {
    {
      std::lock_guard lock(State->Mutex);
      State->Terminated = true;
      State->Deliver = nullptr;
    }
    State->Changed.notify_all();
    if (Worker.joinable()) Worker.join();
  }

protected:
  void Rearm() override {
    const bool armed = Enabled() && Interval() > 0;
    {
      std::lock_guard lock(State->Mutex);
      ++State->Generation;
      State->Armed = armed;
      State->Interval = std::chrono::milliseconds(Interval());
      State->Due = TClock::now() + State->Interval;
    }
    State->Changed.notify_all();
    if (armed && !Worker.joinable()) Worker = std::thread(Run, std::ref(Dispatcher), State);
  }

private:
  static void Run(IDispatcher& dispatcher, std::shared_ptr<TTimingState> state) {
    std::unique_lock lock(state->Mutex);
    while (!state->Terminated) {
      if (!state->Armed) {
        state->Changed.wait(lock, [&] { return state->Terminated || state->Armed; });
        continue;
      }
      const uint64_t generation = state->Generation;
      const bool changed = state->Changed.wait_until(
          lock, state->Due, [&] { return state->Terminated || state->Generation != generation; });
      if (changed) continue;

      const uint64_t tick = ++state->TickCount;
      state->PendingTick = tick;
      lock.unlock();
      dispatcher.Post([state, generation, tick] { Handle(*state, generation, tick); });
      lock.lock();
      // The hand-over is synchronous: the next wait starts when the tick has been handled, or when it will
      // never be (settings changed, timer destroyed).
      state->Changed.wait(lock, [&] {
        return state->Terminated || state->Generation != generation || state->PendingTick != tick;
      });
      if (state->Terminated || state->Generation != generation) continue;
      // Keep to the schedule: the time the handler took shortens the next wait.
      state->Due = std::max(state->Due + state->Interval, TClock::now());
    }
  }

  // On the user-interface thread.
  static void Handle(TTimingState& state, uint64_t generation, uint64_t tick) {
    std::function<void()> deliver;
    {
      std::lock_guard lock(state.Mutex);
      if (!state.Terminated && state.Armed && state.Generation == generation) deliver = state.Deliver;
    }
    // The tick may change or destroy its timer; state stays alive through the caller's copy.
    if (deliver) deliver();
    {
      std::lock_guard lock(state.Mutex);
      if (state.PendingTick == tick) state.PendingTick = 0;
    }
    state.Changed.notify_all();
  }

  IDispatcher& Dispatcher;
  std::shared_ptr<TTimingState> State;
  std::thread Worker;
};

} // namespace

TTimerFactory ThreadTimerFactory(IDispatcher& dispatcher) {
  return [&dispatcher]() -> std::unique_ptr<TTimer> { return std::make_unique<TWorkerTimer>(dispatcher); };
}

} // namespace kv
