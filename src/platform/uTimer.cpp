#include "platform/uTimer.h"

#include "core/uScopeGuard.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace kv {

void TTimer::SetInterval(int32_t milliseconds) {
  if (milliseconds == FInterval) return;
  FInterval = milliseconds;
  Rearm();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  Rearm();
}

void TTimer::Tick() {
  // A copy, because the handler may destroy this timer.
  const auto handler = OnTimer;
  if (handler) handler();
}

namespace {

class THeadlessTimer;

} // namespace

struct TManualClock::TState {
  int64_t Now = 0;
  uint64_t ArmCount = 0;
  bool Advancing = false;
  bool Alive = true;
  std::vector<THeadlessTimer*> Timers;
};

namespace {

class THeadlessTimer final : public TTimer {
public:
  explicit THeadlessTimer(std::shared_ptr<TManualClock::TState> state) : State(std::move(state)) {
    State->Timers.push_back(this);
  }
  ~THeadlessTimer() override { std::erase(State->Timers, this); }

  bool Armed = false;
  int64_t Due = 0;
  uint64_t ArmOrder = 0;

  void Fire() {
    Due += Interval();
    ArmOrder = ++State->ArmCount;
    Tick();
  }

protected:
  void Rearm() override {
    Armed = Enabled() && Interval() > 0 && State->Alive;
    if (!Armed) return;
    Due = State->Now + Interval();
    ArmOrder = ++State->ArmCount;
  }

private:
  std::shared_ptr<TManualClock::TState> State;
};

} // namespace

TManualClock::TManualClock() : State(std::make_shared<TState>()) {}

TManualClock::~TManualClock() {
  State->Alive = false;
  for (auto* timer : State->Timers) timer->Armed = false;
}

int64_t TManualClock::Now() const {
  return State->Now;
}

void TManualClock::Advance(int64_t milliseconds) {
  if (milliseconds <= 0) return;
  if (State->Advancing) throw std::logic_error("TManualClock::Advance called from a tick");
  State->Advancing = true;
  TScopeExit advanced([this] { State->Advancing = false; });
  const int64_t target = State->Now + milliseconds;
  while (true) {
    THeadlessTimer* next = nullptr;
    for (auto* timer : State->Timers) {
      if (!timer->Armed || timer->Due > target) continue;
      if (!next || timer->Due < next->Due || (timer->Due == next->Due && timer->ArmOrder < next->ArmOrder))
        next = timer;
    }
    if (!next) break;
    State->Now = next->Due;
    next->Fire();
  }
  State->Now = target;
}

std::unique_ptr<TTimer> TManualClock::CreateTimer() {
  return std::make_unique<THeadlessTimer>(State);
}

TTimerFactory TManualClock::Factory() {
  return [state = State]() -> std::unique_ptr<TTimer> { return std::make_unique<THeadlessTimer>(state); };
}

std::unique_ptr<TTimer> CreateTimer(const TTimerFactory& factory) {
  if (!factory) throw std::invalid_argument("No timer factory was handed in; the timer could never tick");
  auto timer = factory();
  if (!timer) throw std::invalid_argument("The timer factory gave no timer");
  return timer;
}

} // namespace kv
