// The paint surface: collection of changed areas, the input events published by name, and the frame
// protocol (one frame per batch of requests, painted areas presented to the screen).
#include "gui/uHeadlessPaintBox.h"
#include "platform/uHeadlessPlatform.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <random>
#include <string>
#include <vector>

namespace {

using kv::TKVDirtyRegion;
using kv::TRect;

bool Covered(const TKVDirtyRegion& region, int x, int y) {
  for (const TRect& r : region.Rects())
    if (kv::PointInRect(kv::TPoint{x, y}, r)) return true;
  return false;
}

TEST(DirtyRegionTest, AreasAreClippedMergedWhenCloseAndKeptApartWhenFar) {
  struct TCase {
    const char* Name;
    std::vector<TRect> Added;
    std::vector<TRect> Expected;
  };
  const std::vector<TCase> cases = {
      {"clipped to the bounds", {{-10, -10, 5, 5}}, {{0, 0, 5, 5}}},
      {"outside and empty ones ignored", {{200, 0, 210, 5}, {5, 5, 5, 9}, {8, 8, 3, 3}}, {}},
      {"covered one dropped", {{0, 0, 50, 50}, {10, 10, 20, 20}}, {{0, 0, 50, 50}}},
      {"overlapping much merged", {{0, 0, 20, 20}, {5, 0, 25, 20}}, {{0, 0, 25, 20}}},
      {"far apart kept", {{0, 0, 10, 10}, {80, 80, 90, 90}}, {{0, 0, 10, 10}, {80, 80, 90, 90}}},
      {"touching neighbours merged", {{0, 0, 10, 10}, {10, 0, 20, 10}}, {{0, 0, 20, 10}}},
      {"merge chains", {{0, 0, 10, 10}, {20, 0, 30, 10}, {8, 0, 22, 10}}, {{0, 0, 30, 10}}},
  };
  for (const TCase& c : cases) {
    TKVDirtyRegion region;
    region.SetBounds(TRect{0, 0, 100, 100});
    for (const TRect& r : c.Added) region.Add(r);
    std::vector<TRect> got(region.Rects().begin(), region.Rects().end());
    EXPECT_EQ(got, c.Expected) << c.Name;
  }
}

TEST(DirtyRegionTest, ManyAreasBecomeTheirUnion) {
  TKVDirtyRegion region;
  region.SetBounds(TRect{0, 0, 1000, 1000});
  for (int i = 0; i < 20; ++i) region.Add(TRect{i * 40, i * 40, i * 40 + 5, i * 40 + 5});
  EXPECT_LE(region.Rects().size(), TKVDirtyRegion::MaxRects);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(Covered(region, i * 40 + 2, i * 40 + 2)) << i;
}

TEST(DirtyRegionTest, RandomAreasStayCoveredWithinTheLimit) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 200; ++round) {
    TKVDirtyRegion region;
    region.SetBounds(TRect{0, 0, 64, 48});
    std::vector<TRect> added;
    const int n = 1 + static_cast<int>(random() % 15);
    for (int i = 0; i < n; ++i) {
      const int x = static_cast<int>(random() % 80) - 8, y = static_cast<int>(random() % 60) - 6;
      const TRect r{x, y, x + static_cast<int>(random() % 20), y + static_cast<int>(random() % 20)};
      added.push_back(r);
      region.Add(r);
    }
    ASSERT_LE(region.Rects().size(), TKVDirtyRegion::MaxRects);
    for (const TRect& r : region.Rects()) ASSERT_EQ(kv::IntersectRect(r, region.Bounds()), r);
    for (const TRect& r : added) {
      const TRect inside = kv::IntersectRect(r, region.Bounds());
      for (int y = inside.Top; y < inside.Bottom; ++y)
        for (int x = inside.Left; x < inside.Right; ++x) ASSERT_TRUE(Covered(region, x, y)) << round;
    }
    std::vector<TRect> taken;
    region.TakeInto(taken);
    EXPECT_TRUE(region.Empty());
  }
}

TEST(DirtyRegionTest, NewBoundsKeepOnlyThePartsInside) {
  TKVDirtyRegion region;
  region.SetBounds(TRect{0, 0, 100, 100});
  region.Add(TRect{10, 10, 90, 90});
  region.SetBounds(TRect{0, 0, 50, 40});
  ASSERT_EQ(region.Rects().size(), 1u);
  EXPECT_EQ(region.Rects()[0], (TRect{10, 10, 50, 40}));
  region.SetBounds(TRect{0, 0, 5, 5});
  EXPECT_TRUE(region.Empty());
}

TEST(PaintBoxTest, TheInputEventsArePublishedByName) {
  kv::THeadlessPaintBox box;
  const char* const names[] = {"OnMouseDown",  "OnMouseUp", "OnMouseMove", "OnMouseEnter",
                               "OnMouseLeave", "OnKeyDown", "OnKeyPress",  "OnKeyUp"};
  std::vector<std::string> log;
  for (const char* name : names) {
    kv::TKVInputHandler* event = box.FindEvent(name);
    ASSERT_NE(event, nullptr) << name;
    *event = [&log, name](kv::TKVPaintBox&, kv::TKVInputEvent& e) {
      log.push_back(std::string(name) + " " + std::to_string(e.Button) + " " + std::to_string(e.Shift) + " " +
                    std::to_string(e.X) + "," + std::to_string(e.Y) + " " + std::to_string(e.Key) + " " +
                    std::to_string(static_cast<int>(e.KeyChar)));
    };
  }
  EXPECT_EQ(box.FindEvent("OnClick"), nullptr);
  EXPECT_EQ(box.FindEvent("onmousedown"), nullptr);
  box.MouseDown(kv::mbRight, kv::ssCtrl | kv::ssRight, 3, 4);
  box.MouseUp(kv::mbLeft, 0, 5, 6);
  box.MouseMove(kv::ssLeft, 7, 8);
  box.MouseEnter();
  box.MouseLeave();
  box.KeyDown(27, kv::ssShift);
  box.KeyPress('a');
  box.KeyUp(65, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"OnMouseDown 1 18 3,4 0 0", "OnMouseUp 0 0 5,6 0 0",
                                           "OnMouseMove 0 8 7,8 0 0", "OnMouseEnter 0 0 0,0 0 0",
                                           "OnMouseLeave 0 0 0,0 0 0", "OnKeyDown 0 1 0,0 27 0",
                                           "OnKeyPress 0 0 0,0 0 97", "OnKeyUp 0 0 0,0 65 0"}));
}

TEST(PaintBoxTest, AHandlerTakenOverAndPutBackIsCalledAgain) {
  kv::THeadlessPaintBox box;
  std::vector<std::string> log;
  box.OnMouseDown = [&](kv::TKVPaintBox&, kv::TKVInputEvent&) { log.push_back("original"); };
  kv::TKVInputHandler* slot = box.FindEvent("OnMouseDown");
  kv::TKVInputHandler remembered = *slot;
  *slot = [&, remembered](kv::TKVPaintBox& sender, kv::TKVInputEvent& e) {
    log.push_back("taken");
    remembered(sender, e);
  };
  box.MouseDown(kv::mbLeft, 0, 0, 0);
  *slot = remembered;
  box.MouseDown(kv::mbLeft, 0, 0, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"taken", "original", "original"}));
  // A handler that replaces itself while it runs finishes its own call.
  box.OnKeyDown = [&](kv::TKVPaintBox& sender, kv::TKVInputEvent&) {
    sender.OnKeyDown = nullptr;
    log.push_back("once");
  };
  box.KeyDown(1, 0);
  box.KeyDown(1, 0);
  EXPECT_EQ(log.back(), "once");
  EXPECT_EQ(log.size(), 4u);
}

TEST(PaintBoxTest, RequestsBetweenTwoFramesMakeOneFrameThatPaintsAndPresentsTheirAreas) {
  kv::THeadlessPaintBox box;
  std::vector<std::vector<TRect>> frames;
  box.SetFrameHandler([&](std::span<const TRect> areas) {
    frames.emplace_back(areas.begin(), areas.end());
    for (const TRect& a : areas) box.Buffer().FillRect(a.Left, a.Top, a.Right, a.Bottom, 0xFF00FF00u);
  });
  box.SetSize(40, 30);
  EXPECT_EQ(box.FramesScheduled, 1);
  EXPECT_TRUE(box.Frame());
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], (std::vector<TRect>{{0, 0, 40, 30}}));
  EXPECT_EQ(box.Screen().PixelAt(39, 29), 0xFF00FF00u);
  EXPECT_FALSE(box.Frame());

  for (int i = 0; i < 50; ++i) box.InvalidateRect(TRect{i % 5, 0, i % 5 + 2, 2});
  box.InvalidateRect(TRect{30, 20, 35, 25});
  EXPECT_EQ(box.FramesScheduled, 2);
  box.Buffer().Clear(0);
  EXPECT_TRUE(box.Frame());
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1], (std::vector<TRect>{{0, 0, 6, 2}, {30, 20, 35, 25}}));
  EXPECT_EQ(box.LastPresented, frames[1]);
  // Only the presented areas reached the screen.
  EXPECT_EQ(box.Screen().PixelAt(31, 21), 0xFF00FF00u);
  EXPECT_EQ(box.Screen().PixelAt(10, 10), 0xFF00FF00u); // from the first frame, not presented again
  EXPECT_EQ(box.Buffer().PixelAt(10, 10), 0u);
}

TEST(PaintBoxTest, AFrameThatFailsIsNotAskedForAgain) {
  kv::THeadlessPaintBox box;
  int frames = 0;
  box.SetFrameHandler([&](std::span<const TRect>) {
    ++frames;
    throw std::runtime_error("a theme item without the part asked for");
  });
  box.SetSize(40, 30);
  EXPECT_THROW(box.Frame(), std::runtime_error);
  // Nothing asks for the failed areas again: no frame follows until something changes.
  EXPECT_FALSE(box.Frame());
  EXPECT_EQ(frames, 1);
  box.InvalidateRect(TRect{0, 0, 5, 5});
  EXPECT_THROW(box.Frame(), std::runtime_error);
  EXPECT_EQ(frames, 2);
}

TEST(PaintBoxTest, ChangedAreasArePresentedWithoutAFramePaint) {
  kv::THeadlessPaintBox box;
  int painted = 0;
  box.SetFrameHandler([&](std::span<const TRect>) { ++painted; });
  box.SetSize(10, 10);
  box.Frame();
  box.Buffer().SetPixel(4, 4, 0xFFFF0000u);
  box.MarkChanged(TRect{4, 4, 5, 5});
  EXPECT_TRUE(box.Frame());
  EXPECT_EQ(painted, 1);
  EXPECT_EQ(box.LastPresented, (std::vector<TRect>{{4, 4, 5, 5}}));
  EXPECT_EQ(box.Screen().PixelAt(4, 4), 0xFFFF0000u);
}

TEST(PaintBoxTest, ThroughADispatcherTheFrameRunsWhenTheLoopDoes) {
  kv::THeadlessPlatform platform;
  int frames = 0;
  {
    kv::THeadlessPaintBox box(&platform.Dispatcher);
    box.SetFrameHandler([&](std::span<const TRect>) { ++frames; });
    box.SetSize(10, 10);
    box.InvalidateRect(TRect{1, 1, 2, 2});
    EXPECT_EQ(platform.Dispatcher.PendingCount(), 1u);
    platform.Advance(0);
    EXPECT_EQ(frames, 1);
    EXPECT_FALSE(box.FramePending());
    box.InvalidateRect(TRect{1, 1, 2, 2});
  }
  // The box went away with its frame still queued: the task finds nobody.
  platform.Advance(0);
  EXPECT_EQ(frames, 1);
}

TEST(PaintBoxTest, ClientToScreenAddsTheScreenOrigin) {
  kv::THeadlessPaintBox box;
  box.ScreenOrigin = kv::TPoint{100, 50};
  EXPECT_EQ(box.ClientToScreen(kv::TPoint{3, 4}), (kv::TPoint{103, 54}));
  box.SetCursor(kv::crHandPoint);
  EXPECT_EQ(box.Cursor(), kv::crHandPoint);
}

} // namespace
