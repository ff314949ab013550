#include "data/uBannerSwitcher.h"
#include "platform/uTimer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

using namespace kv;

namespace {

// A container over banners that need no picture: the switcher looks only at their intervals.
class TFixture {
public:
  explicit TFixture(std::vector<int32_t> intervals) {
    for (int32_t interval : intervals) {
      TBanner& b = Banners.Add(Random);
      b.Interval = interval;
      Container.AddBanner(&b);
    }
  }
  TRandomSource Random;
  TBanners Banners;
  TBannerContainer Container;
  TManualClock Clock;
  // (time, banner index) of every switch.
  std::vector<std::pair<int64_t, int32_t>> Shown;

  std::unique_ptr<TBannerSwitcher> Switcher() {
    auto s = std::make_unique<TBannerSwitcher>(Clock.CreateTimer());
    s->Banners = &Container;
    s->OnSwitchBanner = [this](TBannerSwitcher& sender) {
      Shown.emplace_back(Clock.Now(), sender.BannerIndex());
    };
    return s;
  }
};

using TShown = std::vector<std::pair<int64_t, int32_t>>;

} // namespace

TEST(BannerSwitcher, CyclesByEachBannersInterval) {
  TFixture f({2000, 5000});
  auto switcher = f.Switcher();
  switcher->Start();
  EXPECT_EQ(f.Shown, (TShown{{0, 0}}));
  f.Clock.Advance(1999);
  EXPECT_EQ(f.Shown.size(), 1u);
  f.Clock.Advance(1);
  f.Clock.Advance(4999);
  EXPECT_EQ(f.Shown, (TShown{{0, 0}, {2000, 1}}));
  f.Clock.Advance(1 + 2000 + 5000);
  EXPECT_EQ(f.Shown, (TShown{{0, 0}, {2000, 1}, {7000, 0}, {9000, 1}, {14000, 0}}));
  EXPECT_EQ(switcher->CurrentBanner(), f.Banners.Items(0));

  // Starting again shows the first banner and times it afresh.
  f.Clock.Advance(1500);
  switcher->Start();
  f.Clock.Advance(2000);
  EXPECT_EQ(f.Shown.back(), (std::pair<int64_t, int32_t>{17500, 1}));

  switcher->Stop();
  f.Clock.Advance(100000);
  EXPECT_EQ(f.Shown.back().first, 17500);
}

TEST(BannerSwitcher, ASingleBannerIsShownOnce) {
  TFixture f({2000});
  auto switcher = f.Switcher();
  switcher->Start();
  f.Clock.Advance(1000000);
  EXPECT_EQ(f.Shown, (TShown{{0, 0}}));
  EXPECT_EQ(switcher->Timer().Interval(), 0);
}

TEST(BannerSwitcher, ABannerWithoutIntervalStays) {
  TFixture f({100, 0, 100});
  auto switcher = f.Switcher();
  switcher->Start();
  f.Clock.Advance(100000);
  EXPECT_EQ(f.Shown, (TShown{{0, 0}, {100, 1}}));
}

TEST(BannerSwitcher, NothingToShow) {
  TFixture f({});
  auto switcher = f.Switcher();
  switcher->Start();
  EXPECT_TRUE(f.Shown.empty());
  EXPECT_FALSE(switcher->Timer().Enabled());
  EXPECT_EQ(switcher->CurrentBanner(), nullptr);

  switcher->Banners = nullptr;
  switcher->Start();
  EXPECT_TRUE(f.Shown.empty());
  EXPECT_EQ(switcher->CurrentBanner(), nullptr);
}

TEST(BannerSwitcher, ContainerChangingWhileRunning) {
  TFixture f({10, 10, 10});
  auto switcher = f.Switcher();
  switcher->Start();
  f.Clock.Advance(20);
  EXPECT_EQ(switcher->BannerIndex(), 2);

  // The container shrinks to one banner: the index wraps and that banner stays.
  TBannerContainer smaller;
  smaller.AddBanner(f.Banners.Items(1));
  switcher->Banners = &smaller;
  f.Clock.Advance(10);
  EXPECT_EQ(f.Shown.back(), (std::pair<int64_t, int32_t>{30, 0}));
  f.Clock.Advance(1000);
  EXPECT_EQ(f.Shown.size(), 4u);

  // Emptied: the next tick stops.
  TFixture g({10, 10});
  auto other = g.Switcher();
  other->Start();
  TBannerContainer empty;
  other->Banners = &empty;
  g.Clock.Advance(10);
  EXPECT_EQ(g.Shown.size(), 1u);
  EXPECT_FALSE(other->Timer().Enabled());
}

TEST(BannerSwitcher, ManagerOwnsItsSwitchers) {
  TFixture f({10, 20});
  TBannerSwitcherManager manager(f.Clock.Factory());
  int switches = 0;
  for (int i = 0; i < 2; ++i) {
    TBannerSwitcher& s = manager.Add();
    s.Banners = &f.Container;
    s.OnSwitchBanner = [&](TBannerSwitcher&) { ++switches; };
    s.Start();
  }
  EXPECT_EQ(manager.Count(), 2);
  EXPECT_EQ(manager.Items(2), nullptr);
  f.Clock.Advance(10);
  EXPECT_EQ(switches, 4);
  manager.Clear();
  EXPECT_EQ(manager.Count(), 0);
  f.Clock.Advance(1000); // their timers went with them
  EXPECT_EQ(switches, 4);
}

TEST(BannerSwitcher, ATimerIsRequired) {
  EXPECT_THROW(TBannerSwitcher(nullptr), std::invalid_argument);
  TBannerSwitcherManager placeholder;
  EXPECT_THROW(placeholder.Add(), std::invalid_argument);
  EXPECT_EQ(placeholder.Count(), 0);
}
