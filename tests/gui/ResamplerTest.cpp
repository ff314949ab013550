#include "gui/uResamplers.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

TBitmap32 Row(const std::vector<TColor32>& pixels) {
  TBitmap32 b(static_cast<int>(pixels.size()), 1);
  for (std::size_t i = 0; i < pixels.size(); ++i) b.SetPixel(static_cast<int>(i), 0, pixels[i]);
  return b;
}

std::vector<TColor32> RowOf(const TBitmap32& b, int y = 0) {
  return std::vector<TColor32>(b.ScanLine(y), b.ScanLine(y) + b.Width());
}

TEST(ResamplerTest, InvalidSourceRectangleFailsAndLeavesTheDestination) {
  const TBitmap32 src = Row({1, 2, 3});
  for (const TRect& bad : {TRect{-1, 0, 2, 1}, TRect{0, 0, 4, 1}, TRect{0, 0, 2, 2}, TRect{2, 0, 1, 1}}) {
    TBitmap32 dst(8, 8);
    dst.Clear(0xFF00FF00u);
    try {
      src.DrawStretched(dst, TRect{0, 0, 8, 8}, bad);
      FAIL() << "no error";
    } catch (const EBitmapError& e) {
      EXPECT_STREQ(e.what(), "Source rectangle is invalid");
    }
    for (int i = 0; i < 64; ++i) ASSERT_EQ(dst.Bits()[i], 0xFF00FF00u);
  }
}

TEST(ResamplerTest, EqualSizesTransferTheRectangleLikeDraw) {
  const TBitmap32 src = Row({0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u});
  TBitmap32 dst(3, 1);
  src.DrawStretched(dst, TRect{-1, 0, 1, 1}, TRect{1, 0, 3, 1});
  EXPECT_EQ(RowOf(dst), (std::vector<TColor32>{0xFF000003u, 0, 0}));
}

TEST(ResamplerTest, NearestTakesThePixelWhoseCellHoldsTheCentre) {
  const TBitmap32 src = Row({0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u});
  TBitmap32 up(8, 2);
  src.DrawStretched(up, TRect{0, 0, 8, 2});
  for (int y = 0; y < 2; ++y)
    EXPECT_EQ(RowOf(up, y), (std::vector<TColor32>{0xFF000001u, 0xFF000001u, 0xFF000002u, 0xFF000002u,
                                                   0xFF000003u, 0xFF000003u, 0xFF000004u, 0xFF000004u}));
  TBitmap32 down(2, 1);
  src.DrawStretched(down, TRect{0, 0, 2, 1});
  EXPECT_EQ(RowOf(down), (std::vector<TColor32>{0xFF000002u, 0xFF000004u}));

  // A destination rectangle reaching outside the destination keeps its proportions.
  TBitmap32 clipped(2, 1);
  src.DrawStretched(clipped, TRect{-6, 0, 2, 1});
  EXPECT_EQ(RowOf(clipped), (std::vector<TColor32>{0xFF000004u, 0xFF000004u}));
}

TEST(ResamplerTest, LinearInterpolatesAllFourChannels) {
  TBitmap32 src = Row({0x00000000u, 0xFFFFFFFFu});
  NewResampler<TLinearResampler>(src);
  TBitmap32 dst(4, 1);
  src.DrawStretched(dst, TRect{0, 0, 4, 1});
  EXPECT_EQ(RowOf(dst), (std::vector<TColor32>{0x00000000u, 0x40404040u, 0xBFBFBFBFu, 0xFFFFFFFFu}));
}

TEST(ResamplerTest, UniformAreasStayUniformWithEveryResampler) {
  for (int kind = 0; kind < 3; ++kind) {
    TBitmap32 src(5, 4);
    src.Clear(0x80336699u);
    if (kind == 1) NewResampler<TLinearResampler>(src);
    if (kind == 2) NewResampler<TKernelResampler>(src);
    for (const TRect& r : {TRect{0, 0, 13, 7}, TRect{0, 0, 2, 3}}) {
      TBitmap32 dst(13, 7);
      src.DrawStretched(dst, r);
      for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
          ASSERT_EQ(dst.PixelAt(x, y), 0x80336699u) << src.Resampler().ClassName() << " " << x << "," << y;
    }
  }
}

TEST(ResamplerTest, LanczosKernel) {
  const TLanczosKernel k;
  EXPECT_DOUBLE_EQ(k.Filter(0), 1.0);
  EXPECT_NEAR(k.Filter(1), 0.0, 1e-12);
  EXPECT_NEAR(k.Filter(2), 0.0, 1e-12);
  EXPECT_EQ(k.Filter(3), 0.0);
  EXPECT_EQ(k.Filter(-4), 0.0);
  EXPECT_GT(k.Filter(0.5), 0.5);
  EXPECT_LT(k.Filter(1.5), 0.0); // the negative lobe

  // A step stays within the channel range and keeps its ends.
  TBitmap32 src = Row({0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu});
  NewResampler<TKernelResampler>(src);
  TBitmap32 dst(24, 1);
  src.DrawStretched(dst, TRect{0, 0, 24, 1});
  EXPECT_EQ(dst.PixelAt(0, 0), 0xFF000000u);
  EXPECT_EQ(dst.PixelAt(23, 0), 0xFFFFFFFFu);
  EXPECT_LT(RedComponent(dst.PixelAt(10, 0)), RedComponent(dst.PixelAt(13, 0)));
}

TEST(ResamplerTest, StretchedSamplesAreCombinedByTheDrawMode) {
  TBitmap32 src(1, 1);
  src.SetPixel(0, 0, 0x80FFFFFFu);
  src.SetDrawMode(dmBlend);
  TBitmap32 dst(2, 2);
  dst.Clear(0xFF000000u);
  src.DrawStretched(dst, TRect{0, 0, 2, 2});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.Bits()[i], 0xC0808080u);

  src.SetMasterAlpha(0);
  dst.Clear(0xFF000000u);
  src.DrawStretched(dst, TRect{0, 0, 2, 2});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.Bits()[i], 0xFF000000u);
}

TEST(ResamplerTest, RowSamplingAgreesWithSingleSamples) {
  TBitmap32 src(7, 5);
  uint32_t state = 12345;
  for (int i = 0; i < 35; ++i) src.Bits()[i] = state = state * 1664525u + 1013904223u;
  src.SetOuterColor(0x0BADF00Du);
  const TRect area{1, 1, 6, 4};
  for (int kind = 0; kind < 2; ++kind) {
    if (kind == 1) NewResampler<TLinearResampler>(src);
    // The same geometry twice (cached columns), then another one.
    for (const double dx : {0.37, 0.37, 1.9}) {
      std::vector<TColor32> row(12);
      for (const float y : {0.5f, 1.2f, 2.5f, 3.99f, 4.5f}) {
        src.Resampler().SampleRow(src, area, 0.3, dx, y, 12, row.data());
        for (int i = 0; i < 12; ++i)
          ASSERT_EQ(row[i], src.Resampler().GetSample(src, area, static_cast<float>(0.3 + i * dx), y))
              << src.Resampler().ClassName() << " dx " << dx << " y " << y << " i " << i;
      }
    }
  }
}

TEST(ResamplerTest, SamplesOutsideTheAreaGiveTheOuterColour) {
  TBitmap32 src = Row({0xFF000001u, 0xFF000002u});
  src.SetOuterColor(0x12345678u);
  const TRect area = src.BoundsRect();
  for (int kind = 0; kind < 3; ++kind) {
    if (kind == 1) NewResampler<TLinearResampler>(src);
    if (kind == 2) NewResampler<TKernelResampler>(src);
    EXPECT_EQ(src.Resampler().GetSample(src, area, -0.1f, 0.5f), 0x12345678u);
    EXPECT_EQ(src.Resampler().GetSample(src, area, 2.0f, 0.5f), 0x12345678u);
    EXPECT_EQ(src.Resampler().GetSample(src, area, 0.5f, 1.0f), 0x12345678u);
    EXPECT_EQ(src.Resampler().GetSample(src, area, 0.5f, 0.5f), 0xFF000001u);
  }
}

} // namespace
} // namespace kv
