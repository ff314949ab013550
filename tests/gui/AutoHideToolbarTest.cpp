#include "gui/uKVAutoHideToolbar.h"

#include <gtest/gtest.h>

namespace kvtest {
namespace {

struct AutoHideToolbar : ::testing::Test {
  kv::TKVAutoHideToolbar Toolbar;
  int Shown = 0;
  int Hidden = 0;

  void SetUp() override {
    Toolbar.OnShow = [this] { ++Shown; };
    Toolbar.OnHide = [this] { ++Hidden; };
  }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) Toolbar.Tick();
  }
};

TEST_F(AutoHideToolbar, ShowsAfterThePointerRestedInTheBand) {
  Toolbar.PointerMoved(kv::kvToolbarBand - 1);
  EXPECT_EQ(Toolbar.ToolbarShowDelay(), kv::kvToolbarDelay);
  Ticks(kv::kvToolbarDelay - 1);
  EXPECT_EQ(Shown, 0);
  EXPECT_TRUE(Toolbar.ToolbarShown()); // already out while the counter runs
  Ticks(1);
  EXPECT_EQ(Shown, 1);
  Ticks(10);
  EXPECT_EQ(Shown, 1);
}

TEST_F(AutoHideToolbar, AMoveInTheBandRestartsTheWait) {
  Toolbar.PointerMoved(0);
  Ticks(30);
  Toolbar.PointerMoved(5);
  Ticks(kv::kvToolbarDelay - 1);
  EXPECT_EQ(Shown, 0);
  Ticks(1);
  EXPECT_EQ(Shown, 1);
}

TEST_F(AutoHideToolbar, HidesAWhileAfterThePointerLeftTheBand) {
  Toolbar.PointerMoved(0);
  Ticks(kv::kvToolbarDelay);
  Toolbar.PointerMoved(kv::kvToolbarBand);
  EXPECT_EQ(Toolbar.ToolbarHideDelay(), kv::kvToolbarDelay);
  Ticks(kv::kvToolbarDelay - 1);
  EXPECT_EQ(Hidden, 0);
  EXPECT_TRUE(Toolbar.ToolbarShown());
  Ticks(1);
  EXPECT_EQ(Hidden, 1);
  EXPECT_FALSE(Toolbar.ToolbarShown());
  Toolbar.PointerMoved(300);
  EXPECT_EQ(Toolbar.ToolbarHideDelay(), 0);
}

TEST_F(AutoHideToolbar, ReturningToTheBandWhileHidingKeepsItOutLonger) {
  Toolbar.PointerMoved(0);
  Ticks(kv::kvToolbarDelay);
  Toolbar.PointerMoved(200);
  Ticks(40);
  Toolbar.PointerMoved(10);
  EXPECT_EQ(Toolbar.ToolbarHideDelay(), kv::kvToolbarDelay);
  EXPECT_EQ(Toolbar.ToolbarShowDelay(), 0);
  Ticks(kv::kvToolbarDelay);
  EXPECT_EQ(Hidden, 1);
  EXPECT_EQ(Shown, 1);
}

TEST_F(AutoHideToolbar, MovesBelowTheBandDoNothingWhileItIsIn) {
  Toolbar.PointerMoved(100);
  Ticks(kv::kvToolbarDelay * 2);
  EXPECT_EQ(Shown, 0);
  EXPECT_EQ(Hidden, 0);
  EXPECT_FALSE(Toolbar.ToolbarShown());
}

} // namespace
} // namespace kvtest
