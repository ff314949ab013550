#include "gui/uTextRender.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {

class TextRenderTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!TFontRasterizer::Instance().HasFace(TFont32{}))
      GTEST_SKIP() << "no font face found through fontconfig (install fonts-dejavu-core)";
  }

  static int Count(const TBitmap32& b, TColor32 colour) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) n += b.PixelAt(x, y) == colour;
    return n;
  }
};

TEST(TextRenderNames, WindowsUiNamesMapToDejaVu) {
  for (const char* name : {"MS Sans Serif", "ms sans serif", "Microsoft Sans Serif", "MS Shell Dlg",
                           "MS Shell Dlg 2", "Tahoma", "Segoe UI", "System", ""})
    EXPECT_EQ(MapFontName(name), "DejaVu Sans") << name;
  EXPECT_EQ(MapFontName("Liberation Serif"), "Liberation Serif");
}

TEST(TextRenderNames, NonPositiveSizeMeasuresAndDrawsNothing) {
  TBitmap32 b(40, 20);
  b.Font().Size = 0;
  EXPECT_EQ(b.TextWidth("Hello"), 0);
  EXPECT_EQ(b.TextHeight("Hello"), 0);
  b.RenderText(0, 0, "Hello", clWhite32);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(b.PixelAt(x, y), 0u);
}

TEST_F(TextRenderTest, MeasuresText) {
  TBitmap32 b;
  const int w = b.TextWidth("Hello"), h = b.TextHeight("Hello");
  EXPECT_GT(w, 10);
  EXPECT_LT(w, 60);
  EXPECT_GE(h, 10); // 8 points at 96 dpi is 10.7 pixels
  EXPECT_LT(h, 20);
  EXPECT_EQ(b.TextWidth(""), 0);
  EXPECT_EQ(b.TextWidth("HelloHello"), 2 * w);
  EXPECT_GT(b.TextWidth("Hello "), w);
  b.Font().Size = 16;
  EXPECT_GT(b.TextWidth("Hello"), w * 3 / 2);
  EXPECT_GT(b.TextHeight("Hello"), h * 3 / 2);
}

TEST_F(TextRenderTest, Windows1252CharactersHaveGlyphs) {
  TBitmap32 b(60, 20);
  // 0x80 is the euro sign in Windows-1252, 0xE9 e acute.
  EXPECT_GT(b.TextWidth("\x80"), 0);
  EXPECT_GT(b.TextWidth("\xE9"), 0);
  b.RenderText(0, 0, "\x80", 0xFF00FF00u);
  EXPECT_GT(Count(b, 0xFF00FF00u), 5);
}

TEST_F(TextRenderTest, DrawsOpaqueColourWithAlphaFromCoverage) {
  TBitmap32 b(100, 30);
  b.RenderText(3, 2, "Hello", 0xFFFF8000u);
  int coloured = 0, other = 0;
  int minX = 100, maxX = -1, minY = 30, maxY = -1;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) {
      const TColor32 p = b.PixelAt(x, y);
      if (p == 0) continue;
      (p == 0xFFFF8000u ? coloured : other)++;
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  EXPECT_GT(coloured, 20);
  EXPECT_EQ(other, 0); // no anti-aliasing: coverage is 0 or 255
  EXPECT_GE(minX, 3);
  EXPECT_LT(maxX, 3 + b.TextWidth("Hello "));
  EXPECT_GE(minY, 2);
  EXPECT_LT(maxY, 2 + b.TextHeight("Hello"));
}

TEST_F(TextRenderTest, ColourAlphaIsTheMasterAlpha) {
  TBitmap32 b(100, 30);
  b.Clear(clBlack32);
  b.RenderText(0, 0, "Hello", 0x80FF0000u);
  // Weight ((255 + 1) * 128) shr 8 = 128: red (128 * 255 + 128) shr 8 = 128, alpha stays 255.
  int blended = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) {
      const TColor32 p = b.PixelAt(x, y);
      if (p == clBlack32) continue;
      ASSERT_EQ(p, 0xFF800000u);
      ++blended;
    }
  EXPECT_GT(blended, 20);

  TBitmap32 c(100, 30);
  c.Clear(clBlack32);
  c.RenderText(0, 0, "Hello", 0x00FFFFFFu); // alpha 0 draws nothing
  EXPECT_EQ(Count(c, clBlack32), 100 * 30);
}

TEST_F(TextRenderTest, StylesChangeTheGlyphs) {
  TBitmap32 regular(200, 40), bold(200, 40), underline(200, 40);
  regular.RenderText(0, 0, "Hello World", clWhite32);
  bold.Font().Style = fsBold;
  bold.RenderText(0, 0, "Hello World", clWhite32);
  underline.Font().Style = fsUnderline;
  underline.RenderText(0, 0, "Hello World", clWhite32);
  EXPECT_GT(Count(bold, clWhite32), Count(regular, clWhite32));
  EXPECT_GT(Count(underline, clWhite32), Count(regular, clWhite32));
}

TEST_F(TextRenderTest, TextOutsideTheSurfaceIsClipped) {
  // What lands on a small surface is exactly its window of the same text drawn whole on a large one.
  constexpr int Margin = 200;
  int inked = 0;
  for (auto [x, y] : {std::pair{-30, -20}, std::pair{15, 5}, std::pair{-5, 2}, std::pair{100, 100}}) {
    TBitmap32 small(20, 8), large(20 + 2 * Margin, 8 + 2 * Margin);
    for (TBitmap32* b : {&small, &large}) {
      b->Font().Size = 24;
      b->Clear(clBlack32);
    }
    small.RenderText(x, y, "Wide text", clWhite32);
    large.RenderText(x + Margin, y + Margin, "Wide text", clWhite32);
    for (int py = 0; py < 8; ++py)
      for (int px = 0; px < 20; ++px) {
        ASSERT_EQ(small.PixelAt(px, py), large.PixelAt(px + Margin, py + Margin)) << x << "," << y;
        if (small.PixelAt(px, py) != clBlack32) ++inked;
      }
  }
  EXPECT_GT(inked, 0); // some of the text did land
  TBitmap32 empty;
  empty.RenderText(0, 0, "x", clWhite32);
  EXPECT_TRUE(empty.Empty());
}

} // namespace
