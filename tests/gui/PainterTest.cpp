// A paint through a clipped painter writes exactly the pixels of the same paint on the whole surface inside
// the clip, and nothing outside it.
#include "gui/uKVPainter.h"
#include "gui/uResamplers.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

using kv::TBitmap32;
using kv::TKVPainter;
using kv::TRect;

TBitmap32 Pattern(int w, int h, uint32_t seed, bool translucent) {
  TBitmap32 b(w, h);
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t value = random();
      if (!translucent) value |= 0xFF000000u;
      b.SetPixel(x, y, value);
    }
  return b;
}

struct TPaintCase {
  const char* Name;
  std::function<void(const TKVPainter&)> Paint;
};


TEST(PainterTest, ClippedPaintsEqualFullPaintsInsideTheClipAndLeaveTheRestAlone) {
  TBitmap32 sprite = Pattern(23, 17, 7, true);
  sprite.SetDrawMode(kv::dmBlend);
  sprite.SetMasterAlpha(200);
  TBitmap32 photo = Pattern(40, 30, 9, false);
  kv::NewResampler<kv::TLinearResampler>(photo);
  TBitmap32 shrunk = Pattern(90, 70, 11, true);
  shrunk.SetDrawMode(kv::dmBlend);
  kv::NewResampler<kv::TLinearResampler>(shrunk);
  const std::vector<TPaintCase> cases = {
      {"draw", [&](const TKVPainter& p) { p.Draw(sprite, -5, 12); }},
      {"draw inside", [&](const TKVPainter& p) { p.Draw(sprite, 30, 20); }},
      {"stretch up", [&](const TKVPainter& p) { p.DrawStretched(photo, TRect{-7, 3, 71, 55}); }},
      {"stretch down", [&](const TKVPainter& p) { p.DrawStretched(shrunk, TRect{5, -4, 44, 39}); }},
      {"stretch part", [&](const TKVPainter& p) { p.DrawStretched(photo, TRect{10, 10, 50, 45}, {3, 4, 20, 30}); }},
      {"fill", [&](const TKVPainter& p) { p.FillRect(TRect{3, 5, 50, 41}, 0xFF336699u); }},
      {"blend", [&](const TKVPainter& p) { p.FillRectBlend(TRect{-3, 5, 50, 41}, 0x40FF0000u); }},
      {"frame", [&](const TKVPainter& p) { p.FrameRect(TRect{2, 3, 60, 44}, 0xFFFF0000u); }},
      {"text", [&](const TKVPainter& p) { p.RenderText(6, 9, "Preview Wg", 0xFF000000u, kv::TFont32{}); }},
  };
  std::mt19937 random(1234);
  for (const auto& c : cases) {
    const TBitmap32 background = Pattern(64, 48, 3, false);
    TBitmap32 full = background;
    c.Paint(TKVPainter(full));
    for (int trial = 0; trial < 40; ++trial) {
      const int x1 = static_cast<int>(random() % 70) - 3, y1 = static_cast<int>(random() % 54) - 3;
      const TRect clip{x1, y1, x1 + static_cast<int>(random() % 40), y1 + static_cast<int>(random() % 30)};
      TBitmap32 clipped = background;
      c.Paint(TKVPainter(clipped, clip));
      for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
          const bool inside = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
          const auto expected = inside ? full.PixelAt(x, y) : background.PixelAt(x, y);
          ASSERT_EQ(clipped.PixelAt(x, y), expected) << c.Name << " at " << x << "," << y << " clip " << clip.Left
                                                     << "," << clip.Top << "," << clip.Right << "," << clip.Bottom;
        }
    }
  }
}

TEST(PainterTest, AClipOutsideTheTargetPaintsNothing) {
  TBitmap32 target = Pattern(10, 10, 1, false);
  const TBitmap32 before = target;
  TKVPainter painter(target, TRect{20, 20, 30, 30});
  EXPECT_TRUE(painter.Clip().IsEmpty());
  painter.FillRect(TRect{0, 0, 10, 10}, 0xFF000000u);
  painter.Draw(before, 0, 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(target.PixelAt(x, y), before.PixelAt(x, y));
}

} // namespace
