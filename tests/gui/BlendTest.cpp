#include "gui/uBlend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace kv {
namespace {

uint32_t Ch(TColor32 c, int shift) {
  return c >> shift & 0xFF;
}

// The merge rule written out with doubles: rounding to nearest, ties to even; the colour step rounds the
// magnitude and keeps the sign.
TColor32 ReferenceMerge(TColor32 f, TColor32 d, int master) {
  double fa = Ch(f, 24);
  if (master < 255) fa = std::nearbyint(fa * master / 255.0);
  const double da = Ch(d, 24);
  if (fa == 0) return d;
  if (fa == 255 || da == 0) return (f & 0x00FFFFFFu) | static_cast<TColor32>(fa) << 24;
  TColor32 r = 0;
  if (da == 255) {
    for (int s = 0; s < 24; s += 8)
      r |= ((static_cast<uint32_t>(fa) * Ch(f, s) + (256 - static_cast<uint32_t>(fa)) * Ch(d, s) + 128) >> 8)
           << s;
    return r | 0xFF000000u;
  }
  const double ra = fa + da - std::nearbyint(fa * da / 255.0);
  const double w = std::nearbyint(255.0 * fa / ra);
  for (int s = 0; s < 24; s += 8) {
    const double diff = static_cast<double>(Ch(f, s)) - static_cast<double>(Ch(d, s));
    const double step = std::nearbyint(w * std::fabs(diff) / 255.0);
    r |= static_cast<uint32_t>(Ch(d, s) + (diff < 0 ? -step : step)) << s;
  }
  return r | static_cast<TColor32>(ra) << 24;
}

TColor32 ReferenceBlend(TColor32 f, TColor32 d, int master) {
  const uint32_t fa = Ch(f, 24);
  const uint32_t w = master >= 255 ? fa : ((fa + 1) * master) >> 8;
  if (w == 0) return d;
  if (w == 255 && master >= 255) return f;
  TColor32 r = 0;
  for (int s = 0; s < 32; s += 8) r |= ((w * Ch(f, s) + (256 - w) * Ch(d, s) + 128) >> 8) << s;
  return r;
}

TEST(BlendTest, TablesHoldRoundedProductsAndQuotients) {
  const TMergeTables& t = MergeTables();
  for (int i = 0; i < 256; ++i)
    for (int j = 0; j < 256; ++j) {
      ASSERT_EQ(t.MulDiv255[i][j], std::nearbyint(i * j / 255.0)) << i << "," << j;
      if (j == 0) {
        ASSERT_EQ(t.Div255[i][j], 0);
      } else if (i <= j) {
        ASSERT_EQ(t.Div255[i][j], std::nearbyint(i * 255.0 / j)) << i << "," << j;
      }
    }
  EXPECT_EQ(t.Div255[1][2], 128); // 127.5 ties to even
  EXPECT_EQ(t.Div255[3][2], 255); // out of the byte range: saturated
}

TEST(BlendTest, MergeSpecialCases) {
  // Fa = 0 keeps D; Fa = 255 or Da = 0 copies F; Da = 255 blends and stays opaque.
  EXPECT_EQ(MergePixel(0x00FFFFFFu, 0x80123456u), 0x80123456u);
  EXPECT_EQ(MergePixel(0xFF123456u, 0x80FFFFFFu), 0xFF123456u);
  EXPECT_EQ(MergePixel(0x40123456u, 0x00FFFFFFu), 0x40123456u);
  EXPECT_EQ(MergePixel(0x80FFFFFFu, 0xFF000000u), 0xFF808080u);
  // Half over half: Ra = 128 + 128 - 64 = 192, W = round(255 * 128 / 192) = 170.
  EXPECT_EQ(MergePixel(0x80FF0000u, 0x800000FFu), 0xC0AA0055u);
  // With a master alpha the foreground alpha becomes round(Fa * M / 255) first.
  EXPECT_EQ(MergePixelMaster(0xFF123456u, 0x00000000u, 128), 0x80123456u);
  EXPECT_EQ(MergePixelMaster(0xFF123456u, 0x80000000u, 0), 0x80000000u);
}

TEST(BlendTest, MergeMatchesTheReferenceForEveryAlphaPair) {
  const TColor32 colours[][2] = {{0x00FFFFFFu, 0x00000000u},
                                 {0x00000000u, 0x00FFFFFFu},
                                 {0x0012F0A7u, 0x00E8015Cu},
                                 {0x00808080u, 0x00808081u}};
  for (const auto& pair : colours)
    for (uint32_t fa = 0; fa < 256; ++fa)
      for (uint32_t da = 0; da < 256; ++da) {
        const TColor32 f = pair[0] | fa << 24, d = pair[1] | da << 24;
        ASSERT_EQ(MergePixel(f, d), ReferenceMerge(f, d, 255)) << std::hex << f << " onto " << d;
      }
}

TEST(BlendTest, CombineLinesMatchTheReferenceForRandomPixels) {
  std::mt19937 rng(7);
  std::vector<TColor32> src(4099), dst(src.size());
  for (std::size_t i = 0; i < src.size(); ++i) {
    src[i] = rng();
    dst[i] = rng();
    // Plenty of the shortcut alphas.
    if (i % 5 == 0) src[i] &= 0x00FFFFFFu;
    if (i % 5 == 1) src[i] |= 0xFF000000u;
    if (i % 7 == 2) dst[i] &= 0x00FFFFFFu;
    if (i % 7 == 3) dst[i] |= 0xFF000000u;
  }
  for (TCombineMode mode : {cmBlend, cmMerge})
    for (int master : {255, 254, 200, 128, 1}) {
      std::vector<TColor32> out = dst;
      CombineLine(src.data(), out.data(), static_cast<int>(out.size()), mode, master);
      for (std::size_t i = 0; i < out.size(); ++i) {
        const TColor32 expected =
            mode == cmMerge ? ReferenceMerge(src[i], dst[i], master) : ReferenceBlend(src[i], dst[i], master);
        ASSERT_EQ(out[i], expected) << "mode " << mode << " master " << master << " pixel " << i;
        ASSERT_EQ(CombinePixel(src[i], dst[i], mode, master), expected);
      }
    }
}

TEST(BlendTest, MasterAlphaZeroLeavesTheLine) {
  std::vector<TColor32> dst = {1, 2, 3};
  const std::vector<TColor32> src = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  CombineLine(src.data(), dst.data(), 3, cmBlend, 0);
  CombineLine(src.data(), dst.data(), 3, cmMerge, 0);
  EXPECT_EQ(dst, (std::vector<TColor32>{1, 2, 3}));
}

TEST(BlendTest, ColourLineShortcutsAndCombine) {
  std::vector<TColor32> line = {0xFF000000u, 0x00000000u};
  CombineColorLine(0x00FFFFFFu, line.data(), 2, cmBlend);
  EXPECT_EQ(line, (std::vector<TColor32>{0xFF000000u, 0x00000000u}));
  CombineColorLine(0x80FFFFFFu, line.data(), 2, cmBlend);
  EXPECT_EQ(line, (std::vector<TColor32>{0xC0808080u, 0x40808080u}));
  line = {0xFF000000u, 0x00000000u};
  CombineColorLine(0x80FFFFFFu, line.data(), 2, cmMerge);
  EXPECT_EQ(line, (std::vector<TColor32>{0xFF808080u, 0x80FFFFFFu}));
  CombineColorLine(0xFF010203u, line.data(), 2, cmMerge);
  EXPECT_EQ(line, (std::vector<TColor32>{0xFF010203u, 0xFF010203u}));
}

TEST(BlendTest, DrawLineByDrawMode) {
  const std::vector<TColor32> src = {0x00FFFFFFu, 0x80FFFFFFu};
  std::vector<TColor32> opaque = {0xFF000000u, 0xFF000000u}, blend = opaque;
  DrawLine(src.data(), opaque.data(), 2, dmOpaque, cmBlend, 255);
  DrawLine(src.data(), blend.data(), 2, dmBlend, cmBlend, 255);
  EXPECT_EQ(opaque, src);
  EXPECT_EQ(blend, (std::vector<TColor32>{0xFF000000u, 0xC0808080u}));
}

} // namespace
} // namespace kv
