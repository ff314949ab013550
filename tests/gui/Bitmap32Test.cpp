#include "gui/uBitmap32.h"

#include "gui/uResamplers.h"

#include "SurfaceFixtures.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace kv {
namespace {

using kvtest::Numbered;

TEST(ColorTest, Conversions) {
  EXPECT_EQ(Color32(0x00332211), 0xFF112233u);
  EXPECT_EQ(Color32(0x12, 0x34, 0x56, 0x78), 0x78123456u);
  EXPECT_EQ(Color32(0x12, 0x34, 0x56), 0xFF123456u);
  EXPECT_EQ(WinColor(0x80112233u), 0x00332211);
  EXPECT_EQ(AlphaComponent(0x80112233u), 0x80);
  EXPECT_EQ(SetAlpha(0x80112233u, 0x40), 0x40112233u);
  EXPECT_EQ(SetAlpha(0x80112233u, -5), 0x00112233u);
  EXPECT_EQ(SetAlpha(0x80112233u, 300), 0xFF112233u);
}

TEST(ColorTest, SystemColoursResolveThroughTheDefaultTable) {
  EXPECT_EQ(Color32(clAppWorkSpace), 0xFFABABABu);
  EXPECT_EQ(Color32(clBtnFace), 0xFFF0F0F0u);
  EXPECT_EQ(ColorToRGB(clBtnFace), 0x00F0F0F0);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF000005)), 0x00FFFFFF); // window
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF0000FE)), 0);          // no such system colour
  EXPECT_EQ(ColorToRGB(0x00123456), 0x00123456);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
}

TEST(ColorTest, BlendRegHasNoShortcuts) {
  EXPECT_EQ(BlendReg(0xFFFFFFFFu, 0xFF000000u), 0xFFFEFEFEu);
  EXPECT_EQ(BlendReg(0x00FFFFFFu, 0x12345678u), 0x12345678u);
  // (128 * 255 + 128 * 0 + 128) shr 8 = 128 on every channel, alpha (128 * 128 + 128 * 255 + 128) shr 8.
  EXPECT_EQ(BlendReg(0x80FFFFFFu, 0xFF000000u), 0xC0808080u);
}

TEST(Bitmap32Test, NewSurfaceIsEmptyWithDefaults) {
  TBitmap32 b;
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.DrawMode(), dmOpaque);
  EXPECT_EQ(b.CombineMode(), cmBlend);
  EXPECT_EQ(b.MasterAlpha(), 255);
  EXPECT_EQ(b.OuterColor(), 0u);
  EXPECT_EQ(b.Resampler().ClassName(), "TNearestResampler");
  EXPECT_EQ(b.Font().Name, "MS Sans Serif");
  EXPECT_EQ(b.Font().Size, 8);
}

TEST(Bitmap32Test, SetSizeKeepsPixelsOnlyWhenTheSizeIsUnchanged) {
  TBitmap32 b(3, 2);
  b.Clear(0xFF123456u);
  EXPECT_FALSE(b.SetSize(3, 2));
  EXPECT_EQ(b.PixelAt(2, 1), 0xFF123456u);
  EXPECT_TRUE(b.SetSize(2, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(b.PixelAt(x, y), 0u);
  EXPECT_TRUE(b.SetSize(-4, 7));
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 7);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap32Test, AbsurdSizesAreRefusedAndLeaveTheSurfaceAsItWas) {
  TBitmap32 b(2, 2);
  b.Clear(0xFF010203u);
  try {
    b.SetSize(100000, 100000);
    FAIL() << "no error";
  } catch (const EBitmapError& e) {
    EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
    // The size asked for, for the tools that say what was too large.
    EXPECT_EQ(e.Width, 100000);
    EXPECT_EQ(e.Height, 100000);
    EXPECT_TRUE(e.TooLarge);
  }
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.PixelAt(1, 1), 0xFF010203u);
}

TEST(Bitmap32Test, PixelSafeGivesOuterColorOutside) {
  TBitmap32 b = Numbered(3, 2);
  b.SetOuterColor(0x11223344u);
  EXPECT_EQ(b.PixelSafe(2, 1), b.PixelAt(2, 1));
  for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}}) EXPECT_EQ(b.PixelSafe(x, y), 0x11223344u);
}

TEST(Bitmap32Test, FillRectVariants) {
  TBitmap32 b(4, 4);
  b.FillRect(1, 1, 3, 2, 0xFF0000FFu);
  EXPECT_EQ(b.PixelAt(1, 1), 0xFF0000FFu);
  EXPECT_EQ(b.PixelAt(2, 1), 0xFF0000FFu);
  EXPECT_EQ(b.PixelAt(3, 1), 0u);
  EXPECT_EQ(b.PixelAt(1, 2), 0u);
  b.FillRect(3, 1, 1, 2, 0xFFFFFFFFu); // inverted: nothing
  b.FillRect(1, 3, 3, 1, 0xFFFFFFFFu);
  EXPECT_EQ(b.PixelAt(2, 2), 0u);

  b.Clear(0);
  b.FillRectClipped(-5, -5, 2, 1, 0xFF00FF00u);
  EXPECT_EQ(b.PixelAt(0, 0), 0xFF00FF00u);
  EXPECT_EQ(b.PixelAt(1, 0), 0xFF00FF00u);
  EXPECT_EQ(b.PixelAt(2, 0), 0u);
  EXPECT_EQ(b.PixelAt(0, 1), 0u);
  b.FillRectClipped(3, 3, 1, 1, 0xFFFFFFFFu); // inverted: nothing
  b.FillRectClipped(10, 10, 20, 20, 0xFFFFFFFFu);
  EXPECT_EQ(b.PixelAt(2, 2), 0u);

  // Blend: alpha 0 nothing, 255 plain fill, otherwise combined (also the alpha channel).
  b.Clear(0xFF000000u);
  b.FillRectBlend(0, 0, 4, 4, 0x00FFFFFFu);
  EXPECT_EQ(b.PixelAt(0, 0), 0xFF000000u);
  b.FillRectBlend(0, 0, 1, 1, 0xFF112233u);
  EXPECT_EQ(b.PixelAt(0, 0), 0xFF112233u);
  b.FillRectBlend(1, 0, 2, 1, 0x80FFFFFFu);
  EXPECT_EQ(b.PixelAt(1, 0), 0xC0808080u);
}

TEST(Bitmap32Test, FrameRectDrawsTheInsideEdgeClipped) {
  TBitmap32 b(5, 4);
  b.FrameRect(TRect{1, 0, 4, 3}, 0xFFFFFFFFu);
  const char* expected[] = {".###.", ".#.#.", ".###.", "....."};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(b.PixelAt(x, y) != 0, expected[y][x] == '#') << x << "," << y;
  TBitmap32 c(3, 3);
  c.FrameRect(TRect{-1, -1, 2, 2}, 0xFFFFFFFFu); // only the right column and bottom row are visible
  EXPECT_EQ(c.PixelAt(0, 0), 0u);
  EXPECT_NE(c.PixelAt(1, 0), 0u);
  EXPECT_NE(c.PixelAt(0, 1), 0u);
  EXPECT_EQ(c.PixelAt(2, 2), 0u);
  c.Clear(0);
  c.FrameRect(TRect{2, 2, 2, 5}, 0xFFFFFFFFu); // empty
  c.FrameRect(TRect{5, 5, 9, 9}, 0xFFFFFFFFu); // outside
  for (int i = 0; i < 9; ++i) EXPECT_EQ(c.Bits()[i], 0u);
}

TEST(Bitmap32Test, LinesIncludeBothEndsAndClip) {
  // x1, x2 (or y1, y2), expected lit columns (rows) of a 5-pixel line.
  const std::vector<std::tuple<int, int, const char*>> cases = {{1, 3, ".###."},   {3, 1, ".###."},
                                                                {-3, 1, "##..."},  {3, 9, "...##"},
                                                                {-5, -1, "....."}, {2, 2, "..#.."}};
  for (const auto& [a, b, lit] : cases) {
    TBitmap32 h(5, 1), hb(5, 1), vb(1, 5);
    h.HorzLine(a, 0, b, 0xFFFFFFFFu);
    hb.HorzLineBlend(a, 0, b, 0x80FFFFFFu);
    vb.VertLineBlend(0, a, b, 0x80FFFFFFu);
    for (int i = 0; i < 5; ++i) {
      const bool on = lit[i] == '#';
      EXPECT_EQ(h.PixelAt(i, 0), on ? 0xFFFFFFFFu : 0u) << a << ".." << b;
      EXPECT_EQ(hb.PixelAt(i, 0), on ? 0x40808080u : 0u) << a << ".." << b;
      EXPECT_EQ(vb.PixelAt(0, i), on ? 0x40808080u : 0u) << a << ".." << b;
    }
  }
  TBitmap32 b(3, 3);
  b.HorzLineBlend(0, -1, 2, 0xFFFFFFFFu);
  b.HorzLineBlend(0, 3, 2, 0xFFFFFFFFu);
  b.VertLineBlend(-1, 0, 2, 0xFFFFFFFFu);
  b.VertLineBlend(3, 0, 2, 0xFFFFFFFFu);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(b.Bits()[i], 0u);
}

TEST(Bitmap32Test, LineBlendUsesTheSurfaceCombineMode) {
  TBitmap32 b(1, 2);
  b.Clear(0x00000000u);
  b.SetCombineMode(cmMerge);
  b.HorzLineBlend(0, 0, 0, 0x80FF0000u); // merge onto alpha 0 copies
  EXPECT_EQ(b.PixelAt(0, 0), 0x80FF0000u);
  b.SetCombineMode(cmBlend);
  b.HorzLineBlend(0, 1, 0, 0x80FF0000u);
  EXPECT_EQ(b.PixelAt(0, 1), 0x40800000u);
}

TEST(Bitmap32Test, DrawOpaqueCopiesAllChannelsAndClips) {
  const TBitmap32 src = Numbered(3, 3);
  TBitmap32 dst(4, 4);
  src.Draw(dst, -1, -2);
  EXPECT_EQ(dst.PixelAt(0, 0), src.PixelAt(1, 2));
  EXPECT_EQ(dst.PixelAt(1, 0), src.PixelAt(2, 2));
  EXPECT_EQ(dst.PixelAt(2, 0), 0u);
  EXPECT_EQ(dst.PixelAt(0, 1), 0u);

  TBitmap32 dst2(4, 4);
  src.Draw(dst2, 2, 3);
  EXPECT_EQ(dst2.PixelAt(2, 3), src.PixelAt(0, 0));
  EXPECT_EQ(dst2.PixelAt(3, 3), src.PixelAt(1, 0));
  EXPECT_EQ(dst2.PixelAt(1, 3), 0u);
  src.Draw(dst2, 4, 0);   // entirely right of dst
  src.Draw(dst2, -3, -3); // entirely above-left
  EXPECT_EQ(dst2.PixelAt(0, 0), 0u);

  TBitmap32 transparent(1, 1);
  transparent.SetPixel(0, 0, 0x00ABCDEFu);
  transparent.Draw(dst2, 0, 0);
  EXPECT_EQ(dst2.PixelAt(0, 0), 0x00ABCDEFu);
}

TEST(Bitmap32Test, DrawBlendRules) {
  struct Case {
    TColor32 Src, Dst;
    int Master;
    TColor32 Expected;
  };
  const Case cases[] = {
      {0x00FFFFFFu, 0xFF102030u, 255, 0xFF102030u}, // alpha 0 changes nothing
      {0xFF123456u, 0x80FFFFFFu, 255, 0xFF123456u}, // alpha 255 copies exactly
      {0xFFFFFFFFu, 0xFF000000u, 128, 0xFF808080u}, // w = (256 * 128) shr 8 = 128
      {0xFFFFFFFFu, 0xFF000000u, 0, 0xFF000000u},   // master alpha 0 draws nothing
      {0x80FFFFFFu, 0x00000000u, 255, 0x40808080u}, // the destination's alpha is blended too
      {0xFF000000u, 0xFFFFFFFFu, 254, 0xFF020202u}, // w = 254 without shortcut: (2 * 255 + 128) shr 8
  };
  for (const Case& c : cases) {
    TBitmap32 src(1, 1), dst(1, 1);
    src.SetPixel(0, 0, c.Src);
    dst.SetPixel(0, 0, c.Dst);
    src.SetDrawMode(dmBlend);
    src.SetMasterAlpha(c.Master);
    src.Draw(dst, 0, 0);
    EXPECT_EQ(dst.PixelAt(0, 0), c.Expected) << std::hex << c.Src << " over " << c.Dst << " M " << c.Master;
  }
}

TEST(Bitmap32Test, DrawOntoItselfReadsTheOriginalPixels) {
  TBitmap32 b = Numbered(3, 1);
  const TColor32 first = b.PixelAt(0, 0), second = b.PixelAt(1, 0);
  b.Draw(b, 1, 0);
  EXPECT_EQ(b.PixelAt(1, 0), first);
  EXPECT_EQ(b.PixelAt(2, 0), second);
}

TEST(Bitmap32Test, DrawingFromOrToAnEmptySurfaceDoesNothing) {
  TBitmap32 empty, b(2, 2);
  int changes = 0;
  b.OnChange = [&](TBitmap32&) { ++changes; };
  empty.Draw(b, 0, 0);
  b.Draw(empty, 0, 0);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(empty.Empty());
}

TEST(Bitmap32Test, ClearKeyColorComparesTheLow24Bits) {
  TBitmap32 b(4, 1);
  const TColor32 pixels[] = {0xFFFF00FFu, 0x00FF00FFu, 0x80FF00FEu, 0xFF000000u};
  for (int i = 0; i < 4; ++i) b.SetPixel(i, 0, pixels[i]);
  b.ClearKeyColor(0x00FF00FFu);
  EXPECT_EQ(b.PixelAt(0, 0), 0u);
  EXPECT_EQ(b.PixelAt(1, 0), 0u);
  EXPECT_EQ(b.PixelAt(2, 0), 0x80FF00FEu);
  EXPECT_EQ(b.PixelAt(3, 0), 0xFF000000u);
}

TEST(Bitmap32Test, QuarterTurns) {
  const TBitmap32 src = Numbered(3, 2);
  const auto at = [&](int x, int y) { return src.PixelAt(x, y); };

  TBitmap32 r90;
  TBitmap32(src).Rotate90(&r90);
  ASSERT_EQ(r90.Width(), 2);
  ASSERT_EQ(r90.Height(), 3);
  EXPECT_EQ(r90.PixelAt(1, 0), at(0, 0)); // former top-left at the top-right
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(r90.PixelAt(2 - 1 - y, x), at(x, y));

  TBitmap32 r180 = src;
  r180.Rotate180();
  ASSERT_EQ(r180.Width(), 3);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(r180.PixelAt(3 - 1 - x, 2 - 1 - y), at(x, y));

  TBitmap32 r270 = src;
  r270.Rotate270();
  ASSERT_EQ(r270.Width(), 2);
  ASSERT_EQ(r270.Height(), 3);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(r270.PixelAt(y, 3 - 1 - x), at(x, y));

  TBitmap32 back = r90;
  back.Rotate270();
  EXPECT_EQ(std::vector<TColor32>(back.Bits(), back.Bits() + 6),
            std::vector<TColor32>(src.Bits(), src.Bits() + 6));
}

TEST(Bitmap32Test, AssignCopiesPixelsAndProperties) {
  TBitmap32 src = Numbered(2, 2);
  src.SetDrawMode(dmBlend);
  src.SetCombineMode(cmMerge);
  src.SetMasterAlpha(77);
  src.SetOuterColor(0x01020304u);
  src.Font().Size = 12;
  NewResampler<TLinearResampler>(src);
  TBitmap32 dst(5, 5);
  dst.Assign(src);
  EXPECT_EQ(dst.Width(), 2);
  EXPECT_EQ(dst.PixelAt(1, 1), src.PixelAt(1, 1));
  EXPECT_EQ(dst.DrawMode(), dmBlend);
  EXPECT_EQ(dst.CombineMode(), cmMerge);
  EXPECT_EQ(dst.MasterAlpha(), 77);
  EXPECT_EQ(dst.OuterColor(), 0x01020304u);
  EXPECT_EQ(dst.Font().Size, 12);
  EXPECT_EQ(dst.Resampler().ClassName(), "TLinearResampler");
  dst.Assign(nullptr);
  EXPECT_TRUE(dst.Empty());

  TDecodedPicture picture{2, 1, {0xFF010203u, 0xFF040506u}};
  dst.Assign(picture);
  EXPECT_EQ(dst.Width(), 2);
  EXPECT_EQ(dst.PixelAt(1, 0), 0xFF040506u);
  TDecodedPicture broken{4, 4, {1, 2}};
  EXPECT_THROW(dst.Assign(broken), EImageError);
}

TEST(Bitmap32Test, ResamplerCreatedForASurfaceBecomesItsResampler) {
  TBitmap32 b;
  TLinearResampler& linear = NewResampler<TLinearResampler>(b);
  EXPECT_EQ(&b.Resampler(), &linear);
  EXPECT_EQ(b.Resampler().ClassName(), "TLinearResampler");
  NewResampler<TKernelResampler>(b);
  EXPECT_EQ(b.Resampler().ClassName(), "TKernelResampler");
  b.SetResampler(nullptr);
  EXPECT_EQ(b.Resampler().ClassName(), "TNearestResampler");
}

TEST(Bitmap32Test, OnChangeFiresOnceAfterTheOutermostEndUpdate) {
  TBitmap32 b(2, 2);
  int changes = 0;
  b.OnChange = [&](TBitmap32&) { ++changes; };
  b.Clear(1);
  EXPECT_EQ(changes, 1);
  b.BeginUpdate();
  b.BeginUpdate();
  b.Clear(2);
  b.SetPixel(0, 0, 3);
  b.FillRectClipped(0, 0, 1, 1, 4);
  b.EndUpdate();
  EXPECT_EQ(changes, 1);
  b.EndUpdate();
  EXPECT_EQ(changes, 2);
  b.BeginUpdate();
  b.EndUpdate(); // nothing changed meanwhile
  EXPECT_EQ(changes, 2);
  b.EndUpdate(); // unbalanced: ignored
  EXPECT_EQ(changes, 2);

  // Property changes notify; setting the same value does not.
  b.SetDrawMode(dmBlend);
  b.SetCombineMode(cmMerge);
  b.SetMasterAlpha(10);
  b.SetMasterAlpha(10);
  EXPECT_EQ(changes, 5);
  b.SetResampler(std::make_unique<TLinearResampler>());
  EXPECT_EQ(changes, 6);
  EXPECT_FALSE(b.SetSize(2, 2));
  EXPECT_EQ(changes, 6);
  EXPECT_TRUE(b.SetSize(3, 2));
  EXPECT_EQ(changes, 7);
}

TEST(Bitmap32Test, MasterAlphaIsClamped) {
  TBitmap32 b;
  b.SetMasterAlpha(-3);
  EXPECT_EQ(b.MasterAlpha(), 0);
  b.SetMasterAlpha(999);
  EXPECT_EQ(b.MasterAlpha(), 255);
}

TEST(Bitmap32Test, CopyAndMoveKeepAUsableSurface) {
  TBitmap32 a = Numbered(2, 2);
  TBitmap32 moved(std::move(a));
  EXPECT_EQ(moved.Width(), 2);
  EXPECT_TRUE(a.Empty()); // NOLINT(bugprone-use-after-move): a moved-from surface is empty and usable
  EXPECT_EQ(a.Resampler().ClassName(), "TNearestResampler");
  a.SetSize(1, 1);
  EXPECT_EQ(a.PixelAt(0, 0), 0u);
}

} // namespace
} // namespace kv
