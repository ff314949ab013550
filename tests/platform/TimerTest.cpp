#include "platform/uTimer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace kv;

namespace {

// Records the clock's time at every tick of a timer.
struct TTicks {
  std::vector<int64_t> At;
  void Attach(TTimer& timer, const TManualClock& clock) {
    timer.OnTimer = [this, &clock] { At.push_back(clock.Now()); };
  }
};

} // namespace

TEST(Timer, TicksEveryIntervalWhileEnabled) {
  TManualClock clock;
  auto timer = clock.CreateTimer();
  TTicks ticks;
  ticks.Attach(*timer, clock);
  EXPECT_FALSE(timer->Enabled());
  timer->SetInterval(100);
  clock.Advance(500);
  EXPECT_TRUE(ticks.At.empty()); // created disabled

  timer->Start();
  clock.Advance(99);
  EXPECT_TRUE(ticks.At.empty());
  clock.Advance(251);
  EXPECT_EQ(ticks.At, (std::vector<int64_t>{600, 700, 800}));
  EXPECT_EQ(clock.Now(), 850);

  timer->Start(); // already enabled: the wait goes on
  clock.Advance(50);
  EXPECT_EQ(ticks.At.back(), 900);

  timer->SetInterval(30); // a new interval starts the wait afresh
  clock.Advance(65);
  EXPECT_EQ(ticks.At, (std::vector<int64_t>{600, 700, 800, 900, 930, 960}));

  timer->Stop();
  clock.Advance(1000);
  EXPECT_EQ(ticks.At.size(), 6u);
}

TEST(Timer, IntervalZeroNeverTicks) {
  TManualClock clock;
  for (int32_t interval : {0, -5}) {
    auto timer = clock.CreateTimer();
    int ticks = 0;
    timer->OnTimer = [&] { ++ticks; };
    timer->SetInterval(interval);
    timer->Start();
    clock.Advance(100000);
    EXPECT_EQ(ticks, 0) << interval;
    EXPECT_TRUE(timer->Enabled());
  }
}

TEST(Timer, TimersDueTogetherTickInArmingOrder) {
  TManualClock clock;
  auto a = clock.CreateTimer();
  auto b = clock.CreateTimer();
  std::string order;
  a->OnTimer = [&] { order += 'a'; };
  b->OnTimer = [&] { order += 'b'; };
  b->SetInterval(50);
  b->Start();
  a->SetInterval(100);
  a->Start();
  clock.Advance(100);
  // At 100, a was armed (at 0) before b re-armed itself (at 50).
  EXPECT_EQ(order, "bab");
}

TEST(Timer, HandlersMayStopRestartOrDestroyTheirTimer) {
  TManualClock clock;
  auto once = clock.CreateTimer();
  int onceTicks = 0;
  once->OnTimer = [&] {
    ++onceTicks;
    once->Stop();
  };
  once->SetInterval(10);
  once->Start();

  auto doomed = clock.CreateTimer();
  int doomedTicks = 0;
  doomed->OnTimer = [&] {
    ++doomedTicks;
    doomed.reset();
  };
  doomed->SetInterval(15);
  doomed->Start();

  // Restarting from the handler with another interval: 20, then 20 + 5, 25 + 5, ...
  auto shrinking = clock.CreateTimer();
  std::vector<int64_t> at;
  shrinking->OnTimer = [&] {
    at.push_back(clock.Now());
    shrinking->Stop();
    shrinking->SetInterval(5);
    shrinking->Start();
  };
  shrinking->SetInterval(20);
  shrinking->Start();

  clock.Advance(36);
  EXPECT_EQ(onceTicks, 1);
  EXPECT_EQ(doomedTicks, 1);
  EXPECT_EQ(doomed, nullptr);
  EXPECT_EQ(at, (std::vector<int64_t>{20, 25, 30, 35}));
}

TEST(Timer, ClockRules) {
  auto clock = std::make_unique<TManualClock>();
  auto timer = clock->CreateTimer();
  int ticks = 0;
  timer->OnTimer = [&] {
    ++ticks;
    clock->Advance(1); // not from a tick
  };
  timer->SetInterval(10);
  timer->Start();
  clock->Advance(-50);
  EXPECT_EQ(clock->Now(), 0);
  EXPECT_THROW(clock->Advance(10), std::logic_error);
  EXPECT_EQ(ticks, 1);
  timer->OnTimer = [&] { ++ticks; };
  clock->Advance(10);
  EXPECT_EQ(ticks, 2);

  // Timers may outlive their clock; they no longer tick.
  auto factory = clock->Factory();
  clock.reset();
  timer->SetInterval(20);
  auto late = factory();
  late->SetInterval(5);
  late->Start();
  EXPECT_TRUE(late->Enabled());
}

TEST(Timer, Factory) {
  TManualClock clock;
  const TTimerFactory factory = clock.Factory();
  auto timer = CreateTimer(factory);
  int ticks = 0;
  timer->OnTimer = [&] { ++ticks; };
  timer->SetInterval(10);
  EXPECT_FALSE(timer->Enabled());
  timer->Start();
  clock.Advance(30);
  EXPECT_EQ(ticks, 3);
  auto other = CreateTimer(factory);
  other->OnTimer = [&] { ++ticks; };
  other->SetInterval(1);
  other->Start();
  clock.Advance(30);
  EXPECT_EQ(ticks, 36);
}

TEST(Timer, NoFactoryIsAnError) {
  EXPECT_THROW(CreateTimer(TTimerFactory{}), std::invalid_argument);
  EXPECT_THROW(CreateTimer([] { return std::unique_ptr<TTimer>(); }), std::invalid_argument);
}
