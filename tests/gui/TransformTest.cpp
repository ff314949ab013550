#include "gui/uTransforms.h"

#include "SurfaceFixtures.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

using kvtest::Numbered;

TEST(TransformTest, MatrixOperations) {
  TAffineTransformation t;
  t.Translate(2, 3);
  const TFloatPoint p = t.Transform({1, 1});
  EXPECT_FLOAT_EQ(p.X, 3);
  EXPECT_FLOAT_EQ(p.Y, 4);

  // A positive angle turns counter-clockwise on screen: +x goes to -y (up).
  t.Clear();
  t.Rotate(0, 0, 90);
  const TFloatPoint r = t.Transform({1, 0});
  EXPECT_NEAR(r.X, 0, 1e-6);
  EXPECT_NEAR(r.Y, -1, 1e-6);

  // About a centre, followed by a translation.
  t.Clear();
  t.Rotate(10, 10, 180);
  t.Translate(1, 0);
  const TFloatPoint q = t.Transform({12, 10});
  EXPECT_NEAR(q.X, 9, 1e-5);
  EXPECT_NEAR(q.Y, 10, 1e-5);
}

TEST(TransformTest, TranslationCopiesThePixels) {
  const TBitmap32 src = Numbered(3, 2);
  TBitmap32 dst(6, 4);
  TAffineTransformation t;
  t.SetSourceRect({0, 0, 3, 2});
  t.Translate(2, 1);
  Transform(dst, src, t);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(dst.PixelAt(x + 2, y + 1), src.PixelAt(x, y));
  EXPECT_EQ(dst.PixelAt(1, 1), 0u);
  EXPECT_EQ(dst.PixelAt(5, 1), 0u);
}

TEST(TransformTest, QuarterTurnAboutTheCentreIsCounterClockwise) {
  const TBitmap32 src = Numbered(3, 3);
  TBitmap32 dst(3, 3);
  TAffineTransformation t;
  t.Rotate(1.5f, 1.5f, 90);
  Transform(dst, src, t);
  EXPECT_EQ(dst.PixelAt(1, 0), src.PixelAt(2, 1)); // right middle to top middle
  EXPECT_EQ(dst.PixelAt(0, 0), src.PixelAt(2, 0)); // top right to top left
  EXPECT_EQ(dst.PixelAt(1, 1), src.PixelAt(1, 1));
}

TEST(TransformTest, PositionsOutsideTheSourceGiveItsOuterColour) {
  TBitmap32 src(4, 4);
  src.Clear(0xFF0000FFu);
  src.SetOuterColor(0x12345678u);
  TBitmap32 dst(6, 6);
  dst.Clear(0xFFFFFFFFu);
  TAffineTransformation t;
  t.Rotate(2, 2, 45);
  t.Translate(1, 1);
  Transform(dst, src, t);
  EXPECT_EQ(dst.PixelAt(0, 0), 0x12345678u);
  EXPECT_EQ(dst.PixelAt(3, 3), 0xFF0000FFu);
}

TEST(TransformTest, InvalidSourceRectangleFailsAndLeavesTheDestination) {
  const TBitmap32 src = Numbered(3, 3);
  TBitmap32 dst(4, 4);
  dst.Clear(0xFF00FF00u);
  TAffineTransformation t;
  t.SetSourceRect({0, 0, 5, 3});
  try {
    Transform(dst, src, t);
    FAIL() << "no error";
  } catch (const EBitmapError& e) {
    EXPECT_STREQ(e.what(), "Source rectangle is invalid");
  }
  for (int i = 0; i < 16; ++i) EXPECT_EQ(dst.Bits()[i], 0xFF00FF00u);
}

TEST(TransformTest, BlendModeAndMasterAlpha) {
  TBitmap32 src(2, 2);
  src.Clear(0xFFFFFFFFu);
  src.SetDrawMode(dmBlend);
  src.SetMasterAlpha(128);
  TBitmap32 dst(2, 2);
  dst.Clear(0xFF000000u);
  TAffineTransformation t;
  Transform(dst, src, t);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.Bits()[i], 0xFF808080u);
  src.SetMasterAlpha(0);
  dst.Clear(0xFF000000u);
  Transform(dst, src, t);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.Bits()[i], 0xFF000000u);
}

TEST(TransformTest, DegenerateTransformationsDrawNothing) {
  const TBitmap32 src = Numbered(3, 3);
  TBitmap32 dst(3, 3);
  TAffineTransformation t;
  t.Scale(0, 1);
  Transform(dst, src, t);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(dst.Bits()[i], 0u);
  TBitmap32 empty;
  TAffineTransformation identity;
  Transform(empty, src, identity);
  Transform(dst, empty, identity);
  EXPECT_TRUE(empty.Empty());
}

} // namespace
} // namespace kv
