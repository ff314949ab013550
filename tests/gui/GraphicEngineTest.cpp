// The graphic engine's operations on its paint surface: size and clearing, boxes, text, bitmaps, skin frames
// with and without the drag shadow, update nesting, and what happens without a paint surface.
#include "GuiFixtures.h"
#include "SurfaceFixtures.h"

#include "core/uKVErrors.h"
#include "gui/uResamplers.h"
#include "gui/uTextRender.h"
#include "platform/uHeadlessPlatform.h"

#include <gtest/gtest.h>

namespace {

using kv::TBitmap32;
using kv::TColor32;
using kv::TRect;
using kvtest::TEngineFixture;

const TColor32 WorkSpace = kv::Color32(kv::clAppWorkSpace);

class GraphicEngineTest : public TEngineFixture {};

TEST_F(GraphicEngineTest, SetSizeFillsANewBufferWithTheWorkspaceColourAndLeavesAnUnchangedOneAlone) {
  EXPECT_EQ(Engine().GetWidth(), ScreenWidth);
  EXPECT_EQ(Engine().GetHeight(), ScreenHeight);
  EXPECT_EQ(Engine().GetClientWidth(), ScreenWidth);
  EXPECT_EQ(Buffer().DrawMode(), kv::dmBlend);
  EXPECT_EQ(Buffer().Resampler().ClassName(), "TLinearResampler");
  for (int y = 0; y < ScreenHeight; y += 7)
    for (int x = 0; x < ScreenWidth; x += 5) ASSERT_EQ(Buffer().PixelAt(x, y), WorkSpace);
  EXPECT_EQ(Engine().MeasuringSurface().Width(), ScreenWidth);

  Buffer().SetPixel(3, 4, 0xFF123456u);
  Engine().SetSize(ScreenWidth, ScreenHeight);
  EXPECT_EQ(Buffer().PixelAt(3, 4), 0xFF123456u);

  Engine().SetSize(30, 20);
  EXPECT_EQ(Buffer().Width(), 30);
  EXPECT_EQ(Buffer().Height(), 20);
  EXPECT_EQ(Buffer().PixelAt(3, 4), WorkSpace);
  EXPECT_EQ(Buffer().PixelAt(29, 19), WorkSpace);
  EXPECT_EQ(Box->Width(), 30);
}

TEST_F(GraphicEngineTest, ClearTakesTheColourAsBackgroundAndFillsWithTheButtonFace) {
  Engine().Clear(0x0000FF);
  EXPECT_EQ(Box->Color, 0x0000FF);
  EXPECT_EQ(Buffer().PixelAt(0, 0), kv::Color32(kv::clBtnFace));
  EXPECT_EQ(Buffer().PixelAt(ScreenWidth - 1, ScreenHeight - 1), kv::Color32(kv::clBtnFace));
}

TEST_F(GraphicEngineTest, DrawBoxSolidAndTranslucent) {
  const TRect r{10, 10, 30, 25};
  Engine().DrawBox(r, 0x0000FF, 255);
  const TColor32 red = 0xFFFF0000u;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) ASSERT_EQ(Buffer().PixelAt(x, y), red) << x << "," << y;
  EXPECT_EQ(Buffer().PixelAt(r.Right, r.Top), WorkSpace);
  EXPECT_EQ(Buffer().PixelAt(r.Left - 1, r.Top), WorkSpace);

  const TRect s{50, 50, 70, 65};
  Engine().DrawBox(s, 0x0000FF, 64);
  TBitmap32 over(1, 1);
  over.SetPixel(0, 0, WorkSpace);
  over.FillRectBlend(0, 0, 1, 1, kv::SetAlpha(red, 64));
  const TColor32 blended = over.PixelAt(0, 0);
  EXPECT_NE(blended, red);
  EXPECT_NE(blended, WorkSpace);
  for (int x = s.Left; x < s.Right; ++x) {
    EXPECT_EQ(Buffer().PixelAt(x, s.Top), red);
    EXPECT_EQ(Buffer().PixelAt(x, s.Bottom - 1), red);
  }
  for (int y = s.Top; y < s.Bottom; ++y) {
    EXPECT_EQ(Buffer().PixelAt(s.Left, y), red);
    EXPECT_EQ(Buffer().PixelAt(s.Right - 1, y), red);
  }
  for (int y = s.Top + 1; y < s.Bottom - 1; ++y)
    for (int x = s.Left + 1; x < s.Right - 1; ++x) ASSERT_EQ(Buffer().PixelAt(x, y), blended);
}

TEST_F(GraphicEngineTest, DrawBoxWithCornersInDragOrderDrawsTheSameBox) {
  // A rubber band dragged up and left has its corners the other way round.
  const TRect corners[] = {{30, 25, 10, 10}, {10, 25, 30, 10}, {30, 10, 10, 25}};
  for (const TRect& c : corners) {
    Engine().SetSize(1, 1);
    Engine().SetSize(ScreenWidth, ScreenHeight);
    Engine().DrawBox(c, 0x0000FF, 64);
    TBitmap32 reversed = Buffer();
    Engine().SetSize(1, 1);
    Engine().SetSize(ScreenWidth, ScreenHeight);
    Engine().DrawBox(TRect{10, 10, 30, 25}, 0x0000FF, 64);
    EXPECT_EQ(kvtest::CountDifferences(reversed, Buffer()), 0) << c.Left << "," << c.Top;
    EXPECT_EQ(Buffer().PixelAt(10, 10), 0xFFFF0000u);
  }
}

TEST_F(GraphicEngineTest, DrawBitmapStretchesTheSourceAndCopiesOneToOneParts) {
  TBitmap32 picture = kvtest::Numbered(8, 6);
  Engine().DrawBitmap(TRect{20, 20, 28, 26}, TRect{0, 0, 8, 6}, picture);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Buffer().PixelAt(20 + x, 20 + y), picture.PixelAt(x, y));
  // A one-to-one source reaching past the picture: the part that exists, at its place.
  Engine().DrawBitmap(TRect{40, 40, 50, 50}, TRect{0, 0, 10, 10}, picture);
  EXPECT_EQ(Buffer().PixelAt(47, 45), picture.PixelAt(7, 5));
  EXPECT_EQ(Buffer().PixelAt(48, 45), WorkSpace);
  EXPECT_EQ(Buffer().PixelAt(47, 46), WorkSpace);
  // A stretch from outside the picture draws nothing and raises nothing.
  TBitmap32 before = Buffer();
  Engine().DrawBitmap(TRect{60, 60, 90, 90}, TRect{4, 4, 12, 12}, picture);
  EXPECT_EQ(kvtest::CountDifferences(before, Buffer()), 0);
  // Stretched: the corners of a doubled picture keep their colours.
  kv::NewResampler<kv::TNearestResampler>(picture);
  Engine().DrawBitmap(TRect{100, 10, 116, 22}, TRect{0, 0, 8, 6}, picture);
  EXPECT_EQ(Buffer().PixelAt(100, 10), picture.PixelAt(0, 0));
  EXPECT_EQ(Buffer().PixelAt(115, 21), picture.PixelAt(7, 5));
}

TEST_F(GraphicEngineTest, DrawTextWritesTheColourOnGlyphPixelsOnly) {
  if (!kv::TFontRasterizer::Instance().HasFace(kv::TFont32{})) GTEST_SKIP() << "no font face";
  EXPECT_GT(Engine().TextWidth("Hello"), 10);
  EXPECT_GT(Engine().TextHeight("Hello"), 5);
  Engine().DrawText(5, 5, 0x00FF00, "Hello");
  int green = 0, other = 0;
  for (int y = 0; y < ScreenHeight; ++y)
    for (int x = 0; x < ScreenWidth; ++x) {
      const TColor32 p = Buffer().PixelAt(x, y);
      green += p == 0xFF00FF00u;
      other += p != 0xFF00FF00u && p != WorkSpace;
    }
  EXPECT_GT(green, 20);
  EXPECT_EQ(other, 0);
}

TEST_F(GraphicEngineTest, SkinFramesAndPartsComeFromTheSkin) {
  Engine().DrawSkinFrame(TRect{10, 10, 40, 30}, "@button", false);
  Engine().DrawSkinPart(TRect{50, 10, 60, 20}, "window_buttons", 2);
  EXPECT_EQ(Skin.Calls, (std::vector<std::string>{"frame @button", "part window_buttons 2"}));
  EXPECT_EQ(Buffer().PixelAt(20, 20), kvtest::TBoxSkin::FrameColor("@button"));
  EXPECT_EQ(Buffer().PixelAt(10, 10), 0xFF202020u);
  EXPECT_EQ(Buffer().PixelAt(55, 15), kvtest::TBoxSkin::PartColor("window_buttons", 2));
}

TEST(MakeShadowTest, ShadowPixelsAndSofteningFollowTheirOrder) {
  TBitmap32 source(1, 1);
  source.SetPixel(0, 0, 0xFFFFFFFFu);
  TBitmap32 dest;
  kv::MakeShadow(source, dest, 1, 0);
  ASSERT_EQ(dest.Width(), 2);
  ASSERT_EQ(dest.Height(), 2);
  EXPECT_EQ(dest.DrawMode(), kv::dmBlend);
  // (1,1) is first half-transparent black (alpha 127); softened in reading order, each pixel sees the
  // values its earlier neighbours already took: (1,0) 382/9 -> 42, (0,1) (255+42+127)/9 -> 47,
  // (1,1) (255+42+47)/9 -> 38.
  EXPECT_EQ(dest.PixelAt(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dest.PixelAt(1, 0), 0x2A606060u);
  EXPECT_EQ(dest.PixelAt(0, 1), 0x2F606060u);
  EXPECT_EQ(dest.PixelAt(1, 1), 0x26606060u);
}

TEST(MakeShadowTest, OffsetFourCastsTheShadowDownAndRightOfAnOpaqueBlock) {
  TBitmap32 source(6, 5);
  source.Clear(0xFF336699u);
  TBitmap32 dest;
  kv::MakeShadow(source, dest, 4, 0);
  ASSERT_EQ(dest.Width(), 10);
  ASSERT_EQ(dest.Height(), 9);
  // The block itself stays.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(dest.PixelAt(x, y), 0xFF336699u);
  // Below and right of it lies grey with alpha; the far corner from the block is clear.
  for (int y = 5; y < 8; ++y) EXPECT_GT(kv::AlphaComponent(dest.PixelAt(7, y)), 0) << y;
  for (int x = 6; x < 9; ++x) EXPECT_GT(kv::AlphaComponent(dest.PixelAt(x, 7)), 0) << x;
  EXPECT_EQ(dest.PixelAt(7, 7) & 0x00FFFFFFu, 0x606060u);
  // Softening in place carries a little alpha along each row: it fades away from the block.
  EXPECT_LT(kv::AlphaComponent(dest.PixelAt(9, 0)), kv::AlphaComponent(dest.PixelAt(7, 0)));
  EXPECT_LT(kv::AlphaComponent(dest.PixelAt(0, 8)), kv::AlphaComponent(dest.PixelAt(0, 6)));
  EXPECT_LT(kv::AlphaComponent(dest.PixelAt(0, 8)), 8);
  // Black counts as the key colour: a black source casts nothing.
  source.Clear(0xFF000000u);
  kv::MakeShadow(source, dest, 4, 0);
  for (int y = 0; y < dest.Height(); ++y)
    for (int x = 0; x < dest.Width(); ++x) ASSERT_EQ(kv::AlphaComponent(dest.PixelAt(x, y)), 0);
}

TEST_F(GraphicEngineTest, ASkinFrameWithShadowIsTheFrameWithItsShadowDrawnAtTheRectangle) {
  const TRect r{20, 30, 60, 55};
  Engine().DrawSkinFrame(r, "window", true);
  TBitmap32 frame(r.Width(), r.Height());
  Skin.DrawFrame(kv::TKVPainter(frame), TRect{0, 0, r.Width(), r.Height()}, "window");
  TBitmap32 shadowed;
  kv::MakeShadow(frame, shadowed, 4, 0);
  TBitmap32 expected(ScreenWidth, ScreenHeight);
  expected.Clear(WorkSpace);
  shadowed.Draw(expected, r.Left, r.Top);
  EXPECT_EQ(kvtest::CountDifferences(expected, Buffer()), 0);
  // The shadow reaches 4 pixels past the frame and no further.
  EXPECT_NE(Buffer().PixelAt(r.Right + 2, r.Bottom + 2), WorkSpace);
  EXPECT_EQ(Buffer().PixelAt(r.Right + 4, r.Bottom + 2), WorkSpace);
  EXPECT_EQ(Buffer().PixelAt(r.Right + 2, r.Bottom + 4), WorkSpace);
}

TEST_F(GraphicEngineTest, NestedUpdatesShowTheSurfaceOnceWhenTheOutermostEnds) {
  Box->Frame();
  const int scheduled = Box->FramesScheduled;
  Engine().BeginUpdate();
  Engine().BeginUpdate();
  Engine().DrawBox(TRect{1, 1, 5, 5}, 0, 255);
  Engine().EndUpdate();
  EXPECT_EQ(Engine().UpdateCount(), 1);
  EXPECT_FALSE(Box->FramePending());
  Engine().EndUpdate();
  EXPECT_EQ(Engine().UpdateCount(), 0);
  EXPECT_EQ(Box->FramesScheduled, scheduled + 1);
  EXPECT_EQ(Buffer().UpdateCount(), 0);
  EXPECT_TRUE(Box->Frame());
  EXPECT_EQ(Box->Screen().PixelAt(2, 2), 0xFF000000u);
  // An unbalanced end does not go below zero.
  Engine().EndUpdate();
  EXPECT_EQ(Engine().UpdateCount(), 0);
}

TEST_F(GraphicEngineTest, AnUpdateScopeEndsItsUpdateAlsoWhenAnErrorLeavesIt) {
  {
    const auto outer = kv::UpdateScope(Engine());
    EXPECT_EQ(Engine().UpdateCount(), 1);
    EXPECT_THROW(
        {
          const auto inner = kv::UpdateScope(Engine());
          EXPECT_EQ(Engine().UpdateCount(), 2);
          throw kv::Exception("paint failed");
        },
        kv::Exception);
    EXPECT_EQ(Engine().UpdateCount(), 1);
  }
  EXPECT_EQ(Engine().UpdateCount(), 0);
  EXPECT_EQ(Buffer().UpdateCount(), 0);
}

TEST_F(GraphicEngineTest, ADrawOutsideAnyUpdateIsShownInTheNextFrame) {
  Box->Frame();
  Engine().DrawBox(TRect{1, 1, 5, 5}, 0, 255);
  EXPECT_EQ(Box->Screen().PixelAt(2, 2), WorkSpace);
  EXPECT_TRUE(Box->Frame());
  EXPECT_EQ(Box->Screen().PixelAt(2, 2), 0xFF000000u);
}

TEST_F(GraphicEngineTest, ThePlatformResizingThePaintSurfaceLetsDrawingReachItsNewArea) {
  Box->SetSize(300, 200); // as a window aligned to its parent does
  EXPECT_EQ(Engine().ClipRect(), (TRect{0, 0, 300, 200}));
  Engine().DrawBox(TRect{250, 150, 260, 160}, 0x0000FF, 255);
  EXPECT_EQ(Buffer().PixelAt(255, 155), 0xFFFF0000u);
  Box->SetSize(20, 10);
  EXPECT_EQ(Engine().Painter().Clip(), (TRect{0, 0, 20, 10}));
}

TEST_F(GraphicEngineTest, PopupMenuIsStoredAndGivenToThePaintSurface) {
  kv::TRecordingPopupMenu menu;
  Engine().SetPopupMenu(&menu);
  EXPECT_EQ(Engine().PopupMenu(), &menu);
  EXPECT_EQ(Box->PopupMenu, &menu);
}

TEST_F(GraphicEngineTest, GeometryOperationsReachThePaintSurface) {
  Engine().SetPosition(7, 9);
  Engine().SetAlign(kv::alClient);
  Engine().SetClientWidth(50);
  Engine().SetClientHeight(40);
  EXPECT_EQ(Engine().GetLeft(), 7);
  EXPECT_EQ(Engine().GetTop(), 9);
  EXPECT_EQ(Engine().GetAlign(), kv::alClient);
  EXPECT_EQ(Engine().GetWidth(), 50);
  EXPECT_EQ(Engine().GetHeight(), 40);
  EXPECT_EQ(Buffer().Width(), 50);
  // A second surface is refused while one exists.
  auto other = std::make_unique<kv::THeadlessPaintBox>();
  Engine().CreateSurface(std::move(other));
  EXPECT_EQ(Engine().PaintBox(), Box);
}

TEST(GraphicEngineWithoutSurfaceTest, DrawingDoesNothingAndTheBufferIsTheDefault) {
  kv::TKVGamesSkin skin;
  kv::TKVGR32GraphicEngine ownEngine(skin);
  kv::TKVCustomGraphicEngine& engine = ownEngine;
  ASSERT_EQ(engine.PaintBox(), nullptr);
  TBitmap32 fallback(2, 2);
  EXPECT_EQ(engine.GetBuffer(&fallback), &fallback);
  EXPECT_EQ(engine.GetBuffer(), nullptr);
  EXPECT_EQ(engine.GetWidth(), 0);
  engine.SetSize(10, 10);
  engine.Clear(0);
  engine.DrawBox(TRect{0, 0, 5, 5}, 0, 255);
  engine.DrawSkinFrame(TRect{0, 0, 5, 5}, "window", true);
  engine.DrawText(0, 0, 0, "x");
  engine.DrawBitmap(TRect{0, 0, 2, 2}, TRect{0, 0, 2, 2}, fallback);
  engine.Invalidate();
  engine.RepaintNow();
  engine.BeginUpdate();
  engine.EndUpdate();
  engine.Painter().FillRect(TRect{0, 0, 100, 100}, 0xFFFFFFFFu);
  EXPECT_EQ(engine.UpdateCount(), 0);
  EXPECT_EQ(engine.GetBuffer(), nullptr);
}

} // namespace
