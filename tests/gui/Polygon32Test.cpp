#include "gui/uPolygon32.h"

#include "gui/uBlend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace kv {
namespace {

std::vector<std::string> Coverage(const TBitmap32& b) {
  std::vector<std::string> rows;
  for (int y = 0; y < b.Height(); ++y) {
    std::string row;
    for (int x = 0; x < b.Width(); ++x) row += b.PixelAt(x, y) != 0 ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

TPolygon32 Polygon(std::initializer_list<std::pair<double, double>> points) {
  TPolygon32 p;
  for (auto [x, y] : points) p.Add(FixedPoint(x, y));
  return p;
}

TEST(Polygon32Test, FixedPoint) {
  EXPECT_EQ(Fixed(1), 0x10000);
  EXPECT_EQ(Fixed(-2), -0x20000);
  EXPECT_EQ(Fixed(1.5), 0x18000);
  TPolygon32 p = Polygon({{0, 0}, {1, 1}});
  EXPECT_EQ(p.Points().size(), 2u);
  p.Clear();
  EXPECT_TRUE(p.Points().empty());
}

TEST(Polygon32Test, RectangleCoversThePixelsWhoseCentresLieInside) {
  TBitmap32 b(6, 5);
  Polygon({{1, 1}, {4, 1}, {4, 3}, {1, 3}}).DrawFill(b, 0xFFFFFFFFu);
  EXPECT_EQ(Coverage(b), (std::vector<std::string>{"......", ".###..", ".###..", "......", "......"}));
}

TEST(Polygon32Test, EvenOddLeavesTheCentreOfAPentagramOpen) {
  TBitmap32 b(41, 41);
  TPolygon32 star;
  for (int i = 0; i < 5; ++i) {
    const double a = -std::numbers::pi / 2 + i * 4 * std::numbers::pi / 5;
    star.Add(FixedPoint(20.5 + 19 * std::cos(a), 20.5 + 19 * std::sin(a)));
  }
  star.DrawFill(b, 0xFFFFFFFFu);
  EXPECT_EQ(b.PixelAt(20, 20), 0u);         // covered twice
  EXPECT_EQ(b.PixelAt(20, 4), 0xFFFFFFFFu); // the top tip
  EXPECT_EQ(b.PixelAt(0, 0), 0u);
}

TEST(Polygon32Test, SolidFillCombinesLikeHorzLineBlend) {
  TBitmap32 b(3, 1), expected(3, 1);
  b.Clear(0xFF000000u);
  expected.Clear(0xFF000000u);
  Polygon({{0, 0}, {3, 0}, {3, 1}, {0, 1}}).DrawFill(b, 0x80FFFFFFu);
  expected.HorzLineBlend(0, 0, 2, 0x80FFFFFFu);
  EXPECT_EQ(b.PixelAt(1, 0), expected.PixelAt(1, 0));
  EXPECT_EQ(b.PixelAt(1, 0), 0xC0808080u);

  b.Clear(0xFF000000u);
  b.SetCombineMode(cmMerge);
  Polygon({{0, 0}, {3, 0}, {3, 1}, {0, 1}}).DrawFill(b, 0x80FFFFFFu);
  EXPECT_EQ(b.PixelAt(1, 0), 0xFF808080u);
}

TEST(Polygon32Test, OutlinesReachingOutsideAreClipped) {
  TBitmap32 b(4, 4);
  Polygon({{-100, -100}, {2, -100}, {2, 100}, {-100, 100}}).DrawFill(b, 0xFFFFFFFFu);
  EXPECT_EQ(Coverage(b), (std::vector<std::string>{"##..", "##..", "##..", "##.."}));
  TBitmap32 c(4, 4);
  Polygon({{0, 0}, {4, 4}}).DrawFill(c, 0xFFFFFFFFu);         // fewer than three points
  Polygon({{0, 0}, {4, 0}, {4, 4}}).DrawFill(c, 0x00FFFFFFu); // alpha 0
  EXPECT_EQ(Coverage(c), (std::vector<std::string>{"....", "....", "....", "...."}));
}

TEST(Polygon32Test, PatternFillTilesFromTheDestinationOrigin) {
  TBitmap32 pattern(2, 2);
  pattern.SetPixel(0, 0, 0xFF000001u);
  pattern.SetPixel(1, 0, 0xFF000002u);
  pattern.SetPixel(0, 1, 0xFF000003u);
  pattern.SetPixel(1, 1, 0xFF000004u);
  TBitmapPolygonFiller filler(&pattern);
  TBitmap32 b(5, 3);
  Polygon({{1, 0}, {5, 0}, {5, 3}, {1, 3}}).DrawFill(b, filler);
  EXPECT_EQ(b.PixelAt(0, 0), 0u);
  for (int y = 0; y < 3; ++y)
    for (int x = 1; x < 5; ++x) EXPECT_EQ(b.PixelAt(x, y), pattern.PixelAt(x % 2, y % 2)) << x << "," << y;
}

TEST(Polygon32Test, PatternFillBlendWeights) {
  TBitmap32 pattern(1, 1);
  pattern.SetPixel(0, 0, 0xFFFFFFFFu);
  pattern.SetDrawMode(dmBlend);
  TBitmapPolygonFiller filler(&pattern);
  const TPolygon32 square = Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});

  TBitmap32 b(1, 1);
  b.Clear(0xFF000000u);
  square.DrawFill(b, filler); // weight 255: copied
  EXPECT_EQ(b.PixelAt(0, 0), 0xFFFFFFFFu);

  // ((M + 1) * Fa) shr 8 = (129 * 255) shr 8 = 128.
  pattern.SetMasterAlpha(128);
  b.Clear(0xFF000000u);
  square.DrawFill(b, filler);
  EXPECT_EQ(b.PixelAt(0, 0), LerpReg(0xFFFFFFFFu, 0xFF000000u, 128));
  // M = 254: weight (255 * 255) shr 8 = 254, blended, not copied: (254 * 255 + 128) shr 8 = 253.
  pattern.SetMasterAlpha(254);
  b.Clear(0xFF000000u);
  square.DrawFill(b, filler);
  EXPECT_EQ(b.PixelAt(0, 0), 0xFFFDFDFDu);
}

} // namespace
} // namespace kv
