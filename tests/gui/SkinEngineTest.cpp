// Frames and parts drawn by the skin: caps placed, edges tiled and cut off, centres stretched; clipped
// draws equal to full ones inside the clip; the built-in theme.
#include "gui/ThemeFixtures.h"
#include "gui/uKVDefaultThemeBitmaps.h"
#include "gui/uKVSkinEngine.h"
#include "gui/uKVThemeBitmaps.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using kv::TBitmap32;
using kv::TColor32;
using kv::TKVCustomGamesSkin;
using kv::TKVPainter;
using kv::TRect;
using kvtest::Distinct;
using kvtest::Solid;
using kvtest::ThemeItemLayout;

constexpr TColor32 Black = kv::clBlack32;

// A picture of uniform blocks: columns split at xs, rows at ys, block (i, j) of colour colors[j][i].
TBitmap32 Blocks(const std::vector<int>& xs, const std::vector<int>& ys,
                 const std::vector<std::vector<TColor32>>& colors) {
  TBitmap32 b(xs.back(), ys.back());
  for (std::size_t j = 0; j + 1 < ys.size(); ++j)
    for (std::size_t i = 0; i + 1 < xs.size(); ++i)
      b.FillRect(xs[i], ys[j], xs[i + 1], ys[j + 1], colors[j][i]);
  return b;
}

// Colour number n, opaque and distinct.
constexpr TColor32 C(int n) {
  return 0xFF000000u | static_cast<TColor32>(n * 0x0A0B0C);
}

struct TFill {
  TRect Rect;
  TColor32 Color;
};

TBitmap32 Painted(int w, int h, TColor32 background, const std::vector<TFill>& fills) {
  TBitmap32 b = Solid(w, h, background);
  for (const auto& f : fills)
    b.FillRectClipped(f.Rect.Left, f.Rect.Top, f.Rect.Right, f.Rect.Bottom, f.Color);
  return b;
}

void ExpectSame(const TBitmap32& actual, const TBitmap32& expected) {
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  int wrong = 0;
  for (int y = 0; y < actual.Height(); ++y)
    for (int x = 0; x < actual.Width(); ++x)
      if (actual.PixelAt(x, y) != expected.PixelAt(x, y) && ++wrong <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << actual.PixelAt(x, y)
                      << " instead of " << expected.PixelAt(x, y);
  EXPECT_EQ(wrong, 0);
}

TEST(SkinFrame, TilesAreCopiedWholeAndTheLastOneCutOff) {
  // Nine-slice 18 x 12 with border 4: a top edge 10 wide between two see-through corners.
  TBitmap32 picture = Distinct(18, 12);
  picture.FillRect(0, 0, 4, 4, 0);
  picture.FillRect(14, 0, 18, 4, 0);
  TKVCustomGamesSkin skin;
  kvtest::AddThemeItem(skin.Theme(), {"t", kv::stNineSlice, picture, 0, 0, 0, 0, -1, -1, 4});
  // 35 pixels between the corners: three whole copies and one cut to 5 pixels.
  TBitmap32 target = Solid(43, 12, Black);
  skin.DrawFrame(TKVPainter(target), {0, 0, 43, 12}, "@t");
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 43; ++x) {
      const TColor32 expected = x >= 4 && x < 39 ? picture.PixelAt(4 + (x - 4) % 10, y) : Black;
      ASSERT_EQ(target.PixelAt(x, y), expected) << x << ", " << y;
    }
}

TEST(SkinFrame, AFrameNarrowerThanItsCapsDrawsTheCapsOnly) {
  // Opaque corners 4 wide; the right one is drawn last.
  const TBitmap32 picture = Distinct(18, 12);
  for (const int width : {6, 8, 9, 3}) {
    SCOPED_TRACE(width);
    TKVCustomGamesSkin skin;
    kvtest::AddThemeItem(skin.Theme(), {"t", kv::stNineSlice, picture, 0, 0, 0, 0, -1, -1, 4});
    TBitmap32 target = Solid(12, 12, Black);
    skin.DrawFrame(TKVPainter(target), {0, 0, width, 12}, "@t");
    for (int x = 0; x < 12; ++x) {
      TColor32 expected = Black;
      if (x < 4) expected = picture.PixelAt(x, 0);
      if (width == 9 && x == 4) expected = picture.PixelAt(4, 0);
      if (x >= width - 4 && x < width) expected = picture.PixelAt(14 + x - (width - 4), 0);
      EXPECT_EQ(target.PixelAt(x, 0), expected) << x;
    }
  }
}

TEST(SkinFrame, SingleItemFramePlacesCornersEdgesAndCentre) {
  // Nine-slice 9 x 9, border 3, each of the nine blocks one colour.
  const TBitmap32 picture =
      Blocks({0, 3, 6, 9}, {0, 3, 6, 9}, {{C(1), C(2), C(3)}, {C(4), C(5), C(6)}, {C(7), C(8), C(9)}});
  TKVCustomGamesSkin skin;
  kvtest::AddThemeItem(skin.Theme(), {"Panel", kv::stNineSlice, picture, 0, 0, 0, 0, -1, -1, 3});
  TBitmap32 target = Solid(24, 17, Black);
  skin.DrawFrame(TKVPainter(target), {2, 1, 22, 15}, "@panel");
  const TBitmap32 expected = Painted(24, 17, Black,
                                     {{{2, 1, 5, 4}, C(1)},
                                      {{5, 1, 19, 4}, C(2)},
                                      {{19, 1, 22, 4}, C(3)},
                                      {{2, 12, 5, 15}, C(7)},
                                      {{5, 12, 19, 15}, C(8)},
                                      {{19, 12, 22, 15}, C(9)},
                                      {{2, 4, 5, 12}, C(4)},
                                      {{19, 4, 22, 12}, C(6)},
                                      {{5, 4, 19, 12}, C(5)}});
  ExpectSame(target, expected);
}

TEST(SkinFrame, WindowFrameJoinsItsFourEdgeItemsAndBackground) {
  TKVCustomGamesSkin skin;
  auto& theme = skin.Theme();
  // Top: caps 3 and 2 wide around a 7-wide tile, 5 high.
  kvtest::AddThemeItem(theme, {"window_top", kv::stHorizontal3,
                               Blocks({0, 3, 10, 12}, {0, 5}, {{C(1), C(2), C(3)}}), 3, 0, 2, 0});
  // Sides: caps above and below a tile.
  kvtest::AddThemeItem(theme, {"window_left", kv::stVertical3,
                               Blocks({0, 2}, {0, 2, 6, 9}, {{C(4)}, {C(5)}, {C(6)}}), 0, 2, 0, 3});
  kvtest::AddThemeItem(theme, {"window_right", kv::stVertical3,
                               Blocks({0, 3}, {0, 1, 5, 7}, {{C(7)}, {C(8)}, {C(9)}}), 0, 1, 0, 2});
  kvtest::AddThemeItem(theme, {"window_bottom", kv::stHorizontal3,
                               Blocks({0, 1, 4, 6}, {0, 2}, {{C(10), C(11), C(12)}}), 1, 0, 2, 0});
  kvtest::AddThemeItem(theme, {"window_background", kv::stSingle, Solid(2, 2, C(13))});
  TBitmap32 target = Solid(33, 23, Black);
  skin.DrawFrame(TKVPainter(target), {1, 1, 31, 21}, "window");
  // In drawing order: top row, bottom row, left column, right column, centre.
  const TBitmap32 expected = Painted(33, 23, Black,
                                     {// top: x1 to x2 at y1; the fourth tile cut at 29
                                      {{1, 1, 4, 6}, C(1)},
                                      {{4, 1, 29, 6}, C(2)},
                                      {{29, 1, 31, 6}, C(3)},
                                      // bottom: from x1 + width(5) to x2 - width(11) at y2 - height(9)
                                      {{3, 19, 4, 21}, C(10)},
                                      {{4, 19, 27, 21}, C(11)},
                                      {{27, 19, 29, 21}, C(12)},
                                      // left: at x1 from y1 + height(0) to y2
                                      {{1, 6, 3, 8}, C(4)},
                                      {{1, 8, 3, 18}, C(5)},
                                      {{1, 18, 3, 21}, C(6)},
                                      // right: at x2 - width(6) from y1 + height(0) to y2
                                      {{28, 6, 31, 7}, C(7)},
                                      {{28, 7, 31, 19}, C(8)},
                                      {{28, 19, 31, 21}, C(9)},
                                      // centre between the left, top, right and bottom parts
                                      {{3, 6, 28, 19}, C(13)}});
  ExpectSame(target, expected);
}

TEST(SkinFrame, NamesMatchWithoutCaseAndTheLaterItemWins) {
  TKVCustomGamesSkin skin;
  const auto nine = [](TColor32 color) {
    return ThemeItemLayout{"", kv::stNineSlice, Solid(6, 6, color), 0, 0, 0, 0, -1, -1, 2};
  };
  ThemeItemLayout first = nine(C(1)), second = nine(C(2));
  first.Name = "button";
  second.Name = "BuTtOn";
  kvtest::AddThemeItem(skin.Theme(), first);
  kvtest::AddThemeItem(skin.Theme(), second);
  TBitmap32 target = Solid(10, 10, Black);
  skin.DrawFrame(TKVPainter(target), {0, 0, 10, 10}, "@button");
  ExpectSame(target, Solid(10, 10, C(2)));
}

TEST(SkinFrame, AnEmptyThemeDrawsNothingAndRaisesNothing) {
  TKVCustomGamesSkin skin;
  kv::TMemoryStream none(std::vector<uint8_t>{0, 0});
  skin.Theme().LoadThemeStream(none);
  const TBitmap32 background = Distinct(40, 30);
  TBitmap32 target = background;
  const TKVPainter painter(target);
  skin.DrawFrame(painter, {0, 0, 40, 30}, "window");
  skin.DrawFrame(painter, {2, 2, 30, 20}, "@button");
  skin.DrawFrame(painter, {2, 2, 30, 20}, "@");
  skin.DrawFrame(painter, {2, 2, 30, 20}, "");
  skin.DrawPart(painter, {3, 4, 22, 23}, 2, "window_buttons");
  EXPECT_TRUE(skin.GetPart("window_top", 7).Empty());
  ExpectSame(target, background);
}

TEST(SkinFrame, PartsThatAnItemDoesNotHaveRaiseTheListIndexError) {
  TKVCustomGamesSkin skin;
  kvtest::AddThemeItem(skin.Theme(), {"button", kv::stSingle, Solid(4, 4, C(1))});
  TBitmap32 target(20, 20);
  EXPECT_THROW(skin.DrawFrame(TKVPainter(target), {0, 0, 20, 20}, "@button"), kv::EListError);
  EXPECT_THROW(skin.DrawPart(TKVPainter(target), {0, 0, 20, 20}, 1, "button"), kv::EListError);
  EXPECT_THROW(skin.DrawPart(TKVPainter(target), {0, 0, 20, 20}, -1, "button"), kv::EListError);
}

TEST(SkinPart, APartIsStretchedOverTheRectangle) {
  TKVCustomGamesSkin skin;
  // Grid cells 2 x 2: part 1 is the second cell.
  const TBitmap32 picture = Distinct(4, 2);
  kvtest::AddThemeItem(skin.Theme(), {"cells", kv::stGrid13, picture, 0, 0, 0, 0, 2, 2});
  TBitmap32 target = Solid(6, 6, Black);
  skin.DrawPart(TKVPainter(target), {1, 1, 5, 5}, 1, "CELLS");
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 5 && y >= 1 && y < 5;
      const TColor32 expected = inside ? picture.PixelAt(2 + (x - 1) / 2, (y - 1) / 2) : Black;
      EXPECT_EQ(target.PixelAt(x, y), expected) << x << ", " << y;
    }
  // Translucent pixels blend with what lies beneath.
  kvtest::AddThemeItem(skin.Theme(), {"glass", kv::stSingle, Solid(1, 1, 0x80FFFFFFu)});
  skin.DrawPart(TKVPainter(target), {0, 0, 1, 1}, 0, "glass");
  EXPECT_EQ(target.PixelAt(0, 0), kv::BlendReg(0x80FFFFFFu, Black));
}

// Pictures with see-through and half-transparent pixels.
TBitmap32 Translucent(int w, int h, uint32_t seed) {
  std::mt19937 random(seed);
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t alpha = random() % 3 == 0 ? 0 : random() % 2 == 0 ? 0xFF : random() & 0xFF;
      b.SetPixel(x, y, alpha << 24 | (random() & 0xFFFFFF));
    }
  return b;
}

TEST(SkinFrame, AClippedFrameEqualsTheFullFrameInsideTheClip) {
  TKVCustomGamesSkin skin;
  auto& theme = skin.Theme();
  kvtest::AddThemeItem(theme, {"window_top", kv::stHorizontal3, Translucent(17, 6, 1), 4, 0, 3, 0});
  kvtest::AddThemeItem(theme, {"window_left", kv::stVertical3, Translucent(3, 11, 2), 0, 2, 0, 3});
  kvtest::AddThemeItem(theme, {"window_right", kv::stVertical3, Translucent(4, 9, 3), 0, 1, 0, 4});
  kvtest::AddThemeItem(theme, {"window_bottom", kv::stHorizontal3, Translucent(9, 3, 4), 2, 0, 1, 0});
  kvtest::AddThemeItem(theme, {"window_background", kv::stSingle, Translucent(7, 5, 5)});
  kvtest::AddThemeItem(theme, {"button", kv::stNineSlice, Translucent(13, 11, 6), 0, 0, 0, 0, -1, -1, 4});
  kvtest::AddThemeItem(theme, {"window_buttons", kv::stGrid13, Translucent(15, 5, 7), 0, 0, 0, 0, 5, 5});
  struct TDraw {
    const char* Name;
    TRect Rect;
    int32_t Part; // -1: a frame
  };
  const std::vector<TDraw> draws = {
      {"window", {3, 2, 61, 45}, -1},        {"window", {-9, -7, 70, 30}, -1},
      {"window", {20, 10, 26, 14}, -1},      {"@button", {5, 6, 50, 33}, -1},
      {"@button", {40, -3, 75, 20}, -1},     {"@button", {10, 10, 16, 13}, -1},
      {"window_buttons", {7, 9, 40, 31}, 2}, {"button", {-4, 20, 30, 60}, 12},
  };
  std::mt19937 random(99);
  const TBitmap32 background = Translucent(64, 48, 11);
  for (const auto& d : draws) {
    SCOPED_TRACE(std::string(d.Name) + " part " + std::to_string(d.Part));
    auto paint = [&](const TKVPainter& painter) {
      if (d.Part < 0)
        skin.DrawFrame(painter, d.Rect, d.Name);
      else
        skin.DrawPart(painter, d.Rect, d.Part, d.Name);
    };
    TBitmap32 full = background;
    paint(TKVPainter(full));
    for (int trial = 0; trial < 30; ++trial) {
      const int x1 = static_cast<int>(random() % 70) - 3, y1 = static_cast<int>(random() % 54) - 3;
      const TRect clip{x1, y1, x1 + static_cast<int>(random() % 40), y1 + static_cast<int>(random() % 30)};
      TBitmap32 part = background;
      paint(TKVPainter(part, clip));
      for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
          const bool inside = kv::PointInRect({x, y}, clip);
          ASSERT_EQ(part.PixelAt(x, y), inside ? full.PixelAt(x, y) : background.PixelAt(x, y))
              << "clip " << clip.Left << "," << clip.Top << "," << clip.Right << "," << clip.Bottom
              << " pixel " << x << "," << y;
        }
    }
  }
}

int Differences(const TBitmap32& a, const TBitmap32& b) {
  int n = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) n += a.PixelAt(x, y) != b.PixelAt(x, y);
  return n;
}

TEST(SkinPart, AStretchKeptForRepaintsDrawsWhatAFreshStretchDraws) {
  TKVCustomGamesSkin skin;
  kvtest::AddThemeItem(skin.Theme(), {"glass", kv::stSingle, Translucent(7, 5, 21)});
  const TBitmap32 background = Translucent(64, 48, 22);
  const std::vector<TRect> rects = {{3, 2, 61, 45}, {10, 10, 17, 15}, {0, 0, 64, 48}, {-5, 4, 30, 20},
                                    {40, 30, 70, 50}, {3, 2, 61, 45}};
  for (int round = 0; round < 2; ++round) // the second round draws from what the first one kept
    for (const TRect& r : rects) {
      SCOPED_TRACE(std::to_string(round) + ": " + std::to_string(r.Left) + "," + std::to_string(r.Top));
      TBitmap32 kept = background, fresh = background;
      skin.DrawPart(TKVPainter(kept), r, 0, "glass");
      skin.GetPart("glass", 0).DrawStretched(fresh, r);
      ASSERT_EQ(Differences(kept, fresh), 0);
      // Clipped, too.
      TBitmap32 clipped = background;
      const TRect clip{20, 12, 44, 30};
      skin.DrawPart(TKVPainter(clipped, clip), r, 0, "glass");
      for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
          ASSERT_EQ(clipped.PixelAt(x, y), kv::PointInRect({x, y}, clip) ? fresh.PixelAt(x, y)
                                                                        : background.PixelAt(x, y));
    }
  // A theme loaded anew is drawn anew.
  kv::TMemoryStream none;
  skin.LoadThemeOrDefault(none);
  kvtest::AddThemeItem(skin.Theme(), {"glass", kv::stSingle, Translucent(7, 5, 23)});
  TBitmap32 kept = background, fresh = background;
  skin.DrawPart(TKVPainter(kept), rects[0], 0, "glass");
  skin.GetPart("glass", 0).DrawStretched(fresh, rects[0]);
  EXPECT_EQ(Differences(kept, fresh), 0);
}

TEST(DefaultTheme, DrawsAWindowWithTitleBarCloseButtonAndButton) {
  TKVCustomGamesSkin skin;
  skin.LoadDefaultTheme();
  for (const char* name : {"window_top", "window_left", "window_right", "window_bottom", "window_background",
                           "window_buttons", "button"})
    EXPECT_NE(skin.Theme().FindItem(name), nullptr) << name;
  for (const int part : {0, 1, 2}) {
    EXPECT_EQ(skin.GetPart("window_buttons", part).Width(), 19);
    EXPECT_EQ(skin.GetPart("window_buttons", part).Height(), 19);
  }
  EXPECT_EQ(skin.Theme().FindItem("button")->Parts().size(), 13u);

  // A window of 300 x 210 on a background that every pixel of the frame covers.
  TBitmap32 window = Solid(300, 210, 0xFF00FF00u);
  skin.DrawFrame(TKVPainter(window), {0, 0, 300, 210}, "window");
  for (int y = 0; y < 210; ++y)
    for (int x = 0; x < 300; ++x) ASSERT_NE(window.PixelAt(x, y), 0xFF00FF00u) << x << ", " << y;
  const auto gray = [](TColor32 c) { return kv::RedComponent(c) == kv::GreenComponent(c); };
  for (const auto& [x, y] :
       {std::pair{0, 0}, std::pair{299, 0}, std::pair{0, 209}, std::pair{299, 209}, std::pair{150, 0}})
    EXPECT_EQ(window.PixelAt(x, y), 0xFF404040u) << x << ", " << y;
  // Dark title bar, light client area.
  EXPECT_LT(kv::RedComponent(window.PixelAt(150, 12)), 0x60);
  EXPECT_FALSE(gray(window.PixelAt(150, 12)));
  EXPECT_GT(kv::RedComponent(window.PixelAt(150, 100)), 0xC0);
  // The close button's hot look differs from its normal one, and has a cross in its middle.
  EXPECT_NE(skin.GetPart("window_buttons", 0).PixelAt(9, 9), skin.GetPart("window_buttons", 0).PixelAt(3, 9));
  EXPECT_NE(skin.GetPart("window_buttons", 2).PixelAt(9, 9), skin.GetPart("window_buttons", 0).PixelAt(9, 9));

  // A button 64 x 28: corners stay see-through, the face is grey.
  TBitmap32 button = Solid(64, 28, 0xFF00FF00u);
  skin.DrawFrame(TKVPainter(button), {0, 0, 64, 28}, "@button");
  EXPECT_EQ(button.PixelAt(0, 0), 0xFF00FF00u);
  EXPECT_EQ(button.PixelAt(63, 27), 0xFF00FF00u);
  EXPECT_EQ(button.PixelAt(1, 0), 0xFF404040u);
  EXPECT_TRUE(gray(button.PixelAt(32, 14)));
  EXPECT_GT(kv::RedComponent(button.PixelAt(32, 14)), 0x80);
}

TEST(DefaultTheme, StandsInForAnEmptyPackageTheme) {
  const std::vector<uint8_t> sample = kvtest::ThemeStreamBytes(kvtest::SampleThemeLayouts());
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    bool Default;
  };
  const std::vector<TCase> cases = {
      {"no stream", {}, true}, {"no items", {0, 0}, true}, {"a theme", sample, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TKVCustomGamesSkin skin;
    kv::TMemoryStream stream(c.Bytes);
    stream.Seek(0, kv::TSeekOrigin::soEnd);
    skin.LoadThemeOrDefault(stream);
    EXPECT_EQ(skin.Theme().Count(), c.Default ? 7 : 8);
    EXPECT_EQ(skin.Theme().FindItem("digits") != nullptr, !c.Default);
  }
  // A stream that fails leaves the theme as it was.
  TKVCustomGamesSkin skin;
  skin.LoadDefaultTheme();
  kv::TMemoryStream bad(std::vector<uint8_t>(sample.begin(), sample.begin() + 40));
  EXPECT_THROW(skin.LoadThemeOrDefault(bad), kv::Exception);
  EXPECT_EQ(skin.Theme().Count(), 7);
}

} // namespace
