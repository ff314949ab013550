#include "platform/uHeadlessPlatform.h"
#include "platform/uTimer.h"
#include "sound/uKVThreadTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace kv;

namespace {

// A thread timer on a manual clock that records the clock's time at every tick.
struct TClockedTimer {
  TManualClock Clock;
  TKVThreadTimer Timer{Clock.Factory()};
  std::vector<int64_t> Ticks;
  TClockedTimer() {
    Timer.OnTimer = [this] { Ticks.push_back(Clock.Now()); };
  }
};

} // namespace

TEST(ThreadTimer, StartsDisabledWithItsDefaults) {
  TClockedTimer t;
  EXPECT_FALSE(t.Timer.Enabled());
  EXPECT_EQ(t.Timer.Interval(), 1000u);
  EXPECT_FALSE(t.Timer.AllowZero());
  EXPECT_EQ(t.Timer.ThreadPriority(), TThreadPriority::tpNormal);
  t.Clock.Advance(10000);
  EXPECT_TRUE(t.Ticks.empty());
  t.Timer.SetThreadPriority(TThreadPriority::tpHigher);
  EXPECT_EQ(t.Timer.ThreadPriority(), TThreadPriority::tpHigher);
}

TEST(ThreadTimer, FirstTickComesOneFullIntervalAfterEnabling) {
  for (uint32_t interval : {1u, 10u, 20u, 1000u}) {
    TClockedTimer t;
    t.Clock.Advance(7);
    t.Timer.SetInterval(interval);
    t.Timer.SetEnabled(true);
    t.Clock.Advance(interval - 1);
    EXPECT_TRUE(t.Ticks.empty()) << interval;
    t.Clock.Advance(2 * interval + 1);
    EXPECT_EQ(t.Ticks, (std::vector<int64_t>{7 + interval, 7 + 2 * interval, 7 + 3 * interval})) << interval;
  }
}

TEST(ThreadTimer, NoTickWhileDisabledAndEnablingAgainRestartsTheWait) {
  TClockedTimer t;
  t.Timer.SetInterval(100);
  t.Timer.Start();
  t.Clock.Advance(250); // ticks at 100, 200
  t.Timer.Stop();
  t.Clock.Advance(1000);
  EXPECT_EQ(t.Ticks, (std::vector<int64_t>{100, 200}));
  t.Timer.Start(); // at 1250
  t.Timer.Start(); // enabling an enabled timer changes nothing
  t.Clock.Advance(150);
  EXPECT_EQ(t.Ticks, (std::vector<int64_t>{100, 200, 1350}));
}

TEST(ThreadTimer, ChangingTheIntervalRestartsThePeriod) {
  TClockedTimer t;
  t.Timer.SetInterval(100);
  t.Timer.Start();
  t.Clock.Advance(60);
  t.Timer.SetInterval(50); // restarts at 60
  t.Clock.Advance(100);
  EXPECT_EQ(t.Ticks, (std::vector<int64_t>{110, 160}));
  t.Clock.Advance(30);     // 190
  t.Timer.SetInterval(50); // the same value: the period goes on
  t.Clock.Advance(20);
  EXPECT_EQ(t.Ticks.back(), 210);

  // A change while disabled is only stored.
  t.Timer.Stop();
  t.Timer.SetInterval(40);
  t.Clock.Advance(500);
  EXPECT_EQ(t.Ticks.size(), 3u);
  EXPECT_EQ(t.Timer.Interval(), 40u);
}

TEST(ThreadTimer, IntervalZeroIsSilentUnlessAllowed) {
  TClockedTimer t;
  t.Timer.SetInterval(0);
  t.Timer.Start();
  t.Clock.Advance(1000);
  EXPECT_TRUE(t.Ticks.empty());

  t.Timer.SetAllowZero(true); // as often as it can: every millisecond
  t.Clock.Advance(3);
  EXPECT_EQ(t.Ticks, (std::vector<int64_t>{1001, 1002, 1003}));

  t.Timer.SetAllowZero(false);
  t.Clock.Advance(100);
  EXPECT_EQ(t.Ticks.size(), 3u);

  // Allowing zero does not change a positive interval.
  t.Timer.SetInterval(10);
  t.Timer.SetAllowZero(true);
  t.Clock.Advance(25);
  EXPECT_EQ(t.Ticks, (std::vector<int64_t>{1001, 1002, 1003, 1113, 1123}));
}

TEST(ThreadTimer, IntervalsBeyondTheEnginesRangeWaitTheLongest) {
  TClockedTimer t;
  t.Timer.SetInterval(UINT32_MAX);
  t.Timer.Start();
  t.Clock.Advance(INT32_MAX - 1);
  EXPECT_TRUE(t.Ticks.empty());
  t.Clock.Advance(1);
  EXPECT_EQ(t.Ticks.size(), 1u);
}

TEST(ThreadTimer, HandlerMayDisableOrDestroyItsTimer) {
  TManualClock clock;
  {
    TKVThreadTimer timer(clock.Factory());
    int ticks = 0;
    timer.SetInterval(10);
    timer.OnTimer = [&] {
      ++ticks;
      timer.Stop();
    };
    timer.Start();
    clock.Advance(100);
    EXPECT_EQ(ticks, 1);
  }
  {
    auto timer = std::make_unique<TKVThreadTimer>(clock.Factory());
    auto other = std::make_unique<TKVThreadTimer>(clock.Factory());
    int ticks = 0, otherTicks = 0;
    timer->SetInterval(10);
    other->SetInterval(10);
    timer->OnTimer = [&] {
      ++ticks;
      timer.reset();
    };
    other->OnTimer = [&] { ++otherTicks; };
    timer->Start();
    other->Start();
    clock.Advance(100);
    EXPECT_EQ(timer, nullptr);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(otherTicks, 10); // the other timer of the same moment still ticks
  }
}

TEST(ThreadTimer, WithoutHandler) {
  TClockedTimer t;
  t.Timer.OnTimer = nullptr;
  t.Timer.SetInterval(5);
  t.Timer.Start();
  t.Clock.Advance(50); // nothing to call

  EXPECT_TRUE(t.Ticks.empty());
}

TEST(ThreadTimer, NoFactoryIsAnError) {
  EXPECT_THROW(TKVThreadTimer{TTimerFactory{}}, std::invalid_argument);
}

// Real timing threads delivering through a dispatcher whose user-interface thread is the test's thread.
class WorkerTimer : public ::testing::Test {
protected:
  static constexpr int Patience = 10000; // ms; only reached when something hangs

  THeadlessDispatcher Dispatcher;
  TTimerFactory Factory = ThreadTimerFactory(Dispatcher);

  // Lets the timing threads run for a while without running their ticks.
  static void Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  bool WaitForPosted(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Patience);
    while (Dispatcher.PendingCount() < count)
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      else
        Sleep(1);
    return true;
  }
};

TEST_F(WorkerTimer, TicksArriveOnTheUserInterfaceThreadOnly) {
  TKVThreadTimer timer(Factory);
  int ticks = 0;
  bool elsewhere = false;
  const auto uiThread = std::this_thread::get_id();
  timer.OnTimer = [&] {
    ++ticks;
    if (!Dispatcher.IsUIThread() || std::this_thread::get_id() != uiThread) elsewhere = true;
  };
  timer.SetInterval(2);
  timer.Start();
  ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return ticks >= 5; }, Patience));
  EXPECT_FALSE(elsewhere);
}

TEST_F(WorkerTimer, DisabledTimersDeliverNothing) {
  TKVThreadTimer never(Factory);
  TKVThreadTimer stopped(Factory);
  int neverTicks = 0, stoppedTicks = 0;
  never.OnTimer = [&] { ++neverTicks; };
  stopped.OnTimer = [&] { ++stoppedTicks; };
  never.SetInterval(1);
  stopped.SetInterval(1);
  stopped.Start();
  ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return stoppedTicks >= 2; }, Patience));
  stopped.Stop();
  const int atStop = stoppedTicks;
  Sleep(30);
  Dispatcher.ProcessUntil([] { return false; }, 30);
  EXPECT_EQ(stoppedTicks, atStop);
  EXPECT_EQ(neverTicks, 0);
}

TEST_F(WorkerTimer, FirstTickComesNoSoonerThanOneInterval) {
  for (int round = 0; round < 3; ++round) {
    TKVThreadTimer timer(Factory);
    std::chrono::steady_clock::time_point tickedAt;
    bool ticked = false;
    timer.OnTimer = [&] {
      if (ticked) return;
      ticked = true;
      tickedAt = std::chrono::steady_clock::now();
    };
    timer.SetInterval(40);
    const auto enabledAt = std::chrono::steady_clock::now();
    timer.Start();
    ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return ticked; }, Patience));
    EXPECT_GE(tickedAt - enabledAt, std::chrono::milliseconds(40));
    timer.Stop();
    Dispatcher.ProcessPending();
  }
}

TEST_F(WorkerTimer, HandsOverOneTickAtATime) {
  TKVThreadTimer timer(Factory);
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetInterval(1);
  timer.Start();
  ASSERT_TRUE(WaitForPosted(1));
  // The timing thread waits for its tick to be handled before it times the next one.
  Sleep(50);
  EXPECT_EQ(Dispatcher.PendingCount(), 1u);
  Dispatcher.ProcessPending();
  EXPECT_EQ(ticks, 1);
  ASSERT_TRUE(WaitForPosted(1));
  Sleep(20);
  EXPECT_EQ(Dispatcher.PendingCount(), 1u);
}

TEST_F(WorkerTimer, DestroyedFromInsideItsTick) {
  auto timer = std::make_unique<TKVThreadTimer>(Factory);
  int ticks = 0;
  timer->OnTimer = [&] {
    ++ticks;
    timer.reset();
  };
  timer->SetInterval(1);
  timer->Start();
  ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return timer == nullptr; }, Patience));
  Dispatcher.ProcessUntil([] { return false; }, 30);
  EXPECT_EQ(ticks, 1);
}

TEST_F(WorkerTimer, DestroyedWhileItsTickWaitsToBeRun) {
  int ticks = 0;
  {
    TKVThreadTimer timer(Factory);
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(1);
    timer.Start();
    ASSERT_TRUE(WaitForPosted(1));
  } // the timing thread is waiting for the hand-over: destruction must not wait for it
  EXPECT_EQ(Dispatcher.ProcessPending(), 1);
  EXPECT_EQ(ticks, 0);
}

TEST_F(WorkerTimer, DisabledWhileItsTickWaitsToBeRun) {
  TKVThreadTimer timer(Factory);
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetInterval(1);
  timer.Start();
  ASSERT_TRUE(WaitForPosted(1));
  timer.Stop();
  Dispatcher.ProcessPending();
  EXPECT_EQ(ticks, 0);
  // Enabled again, it times a fresh interval and ticks.
  timer.SetInterval(5);
  timer.Start();
  ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return ticks >= 2; }, Patience));
}

TEST_F(WorkerTimer, EnableDisableAndIntervalStorms) {
  std::vector<std::unique_ptr<TKVThreadTimer>> timers;
  std::vector<int> ticks(4, 0);
  for (std::size_t i = 0; i < ticks.size(); ++i) {
    timers.push_back(std::make_unique<TKVThreadTimer>(Factory));
    timers[i]->OnTimer = [&ticks, i] { ++ticks[i]; };
    timers[i]->SetAllowZero(i == 3);
  }
  for (int round = 0; round < 2000; ++round) {
    auto& timer = *timers[static_cast<std::size_t>(round) % timers.size()];
    switch (round % 5) {
    case 0:
      timer.Start();
      break;
    case 1:
      timer.SetInterval(static_cast<uint32_t>(round % 3));
      break;
    case 2:
      timer.Stop();
      break;
    case 3:
      timer.SetInterval(1);
      break;
    case 4:
      timer.SetEnabled(round % 2 == 0);
      break;
    }
    if (round % 7 == 0) Dispatcher.ProcessPending();
  }
  for (auto& timer : timers) {
    timer->SetInterval(1);
    timer->Start();
  }
  ASSERT_TRUE(Dispatcher.ProcessUntil(
      [&] {
        for (int count : ticks)
          if (count == 0) return false;
        return true;
      },
      Patience));
  for (auto& timer : timers) timer->Stop();
  Dispatcher.ProcessPending();
  const auto before = ticks;
  Dispatcher.ProcessUntil([] { return false; }, 30);
  EXPECT_EQ(ticks, before);
  // Destroyed with ticks possibly in flight.
  for (auto& timer : timers) timer->Start();
  Sleep(5);
  timers.clear();
  Dispatcher.ProcessPending();
}

TEST_F(WorkerTimer, DestroyedWhileWaitingOrNeverStarted) {
  for (uint32_t interval : {0u, 1u, 1000u, UINT32_MAX}) {
    TKVThreadTimer timer(Factory);
    timer.SetInterval(interval);
    timer.Start();
  }
  TKVThreadTimer neverEnabled(Factory);
  SUCCEED();
}
