#include "jigsaw/uKVGameClock.h"

#include "platform/uHeadlessPlatform.h"

#include <gtest/gtest.h>

#include <climits>

namespace kvtest {
namespace {

struct GameClock : ::testing::Test {
  kv::THeadlessPlatform Platform;
  kv::TKVGameClock Clock{Platform.Services().ThreadTimers};
  bool Playing = true;
  int Ticks = 0;
  int TimeUps = 0;

  void SetUp() override {
    Clock.Playing = [this] { return Playing; };
    Clock.OnTick = [this] { ++Ticks; };
    Clock.OnTimeUp = [this] { ++TimeUps; };
  }
};

TEST_F(GameClock, CountsSecondsOnlyWhileRunning) {
  EXPECT_EQ(Clock.Timer().Interval(), kv::kvClockInterval);
  Clock.SetRunning(true);
  Platform.Advance(3000);
  EXPECT_EQ(Clock.Clock(), 3);
  EXPECT_EQ(Ticks, 3);
  Clock.SetRunning(false);
  Platform.Advance(5000);
  EXPECT_EQ(Clock.Clock(), 3);
  EXPECT_EQ(TimeUps, 0);
}

TEST_F(GameClock, CountsOnButReportsNothingWhileTheGameDoesNotPlay) {
  Playing = false;
  Clock.SetCountDown(true);
  Clock.SetClock(1);
  Clock.Tick();
  EXPECT_EQ(Clock.Clock(), 0);
  EXPECT_EQ(Ticks, 0);
  EXPECT_EQ(TimeUps, 0);
}

TEST_F(GameClock, ACountDownEndsOnceWhenItReachesZero) {
  Clock.SetCountDown(true);
  Clock.SetClock(2);
  Clock.Tick();
  EXPECT_EQ(TimeUps, 0);
  Clock.Tick();
  EXPECT_EQ(Clock.Clock(), 0);
  EXPECT_EQ(Ticks, 2);
  EXPECT_EQ(TimeUps, 1);
  // Below zero (a count-down from 0 seconds) the game never ends.
  Clock.Tick();
  EXPECT_EQ(Clock.Clock(), -1);
  EXPECT_EQ(TimeUps, 1);
}

TEST_F(GameClock, OnlyACountDownEndsTheGameAndTheCountNeverOverflows) {
  // A saved game of a game without a time limit, its clock damaged to -5: counting up through zero is
  // no time-out.
  Clock.SetClock(-5);
  for (int i = 0; i < 10; ++i) Clock.Tick();
  EXPECT_EQ(Clock.Clock(), 5);
  EXPECT_EQ(TimeUps, 0);
  // At the ends of the range the count stays where it is.
  Clock.SetClock(INT32_MAX);
  Clock.Tick();
  EXPECT_EQ(Clock.Clock(), INT32_MAX);
  Clock.SetCountDown(true);
  Clock.SetClock(INT32_MIN);
  Clock.Tick();
  EXPECT_EQ(Clock.Clock(), INT32_MIN);
  EXPECT_EQ(TimeUps, 0);
}

} // namespace
} // namespace kvtest
