// Painting the control tree: what small scenes look like pixel by pixel, the order of children, the drag
// shadow, one frame for many requests, and the property everything rests on: repainting only the changed
// areas shows exactly what repainting everything shows, over random sequences of changes.
#include "GuiFixtures.h"
#include "SurfaceFixtures.h"

#include "gui/uKVAppControlLayer.h"
#include "gui/uKVGUIButton.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUIImage.h"
#include "gui/uKVGUILabel.h"
#include "gui/uKVGUIShapeControl.h"
#include "gui/uKVGUIWorkspace.h"
#include "gui/uTextRender.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

using kv::TBitmap32;
using kv::TColor32;
using kv::TKVGUIControl;
using kv::TPoint;
using kv::TRect;
using kvtest::TBoxSkin;

const TColor32 WorkSpace = kv::Color32(kv::clAppWorkSpace);

class RepaintTest : public kvtest::TEngineFixture {
protected:
  void SetUp() override {
    TEngineFixture::SetUp();
    Root = kv::NewRootOn<kv::TKVGUIWorkspace>(Engine());
    Box->Frame();
  }
  void TearDown() override {
    Root.reset();
    static_cast<kv::TKVGR32GraphicEngine&>(Engine()).FullRepaint = false;
    TEngineFixture::TearDown();
  }
  kv::TKVGUIShapeControl& Shape(TKVGUIControl& parent, TRect r, TColor32 color) {
    auto& s = kv::NewChild<kv::TKVGUIShapeControl>(parent);
    s.SetBackgroundColor(color);
    s.SetPosition(r.Left, r.Top);
    s.SetSize(r.Width(), r.Height());
    return s;
  }
  // What a repaint of everything shows, without disturbing the buffer.
  TBitmap32 FullRepaint() {
    TBitmap32 saved = Buffer();
    Engine().RepaintNow();
    TBitmap32 full = Buffer();
    std::copy(saved.Bits(), saved.Bits() + saved.Width() * saved.Height(), Buffer().Bits());
    return full;
  }
  static bool HasFont() { return kv::TFontRasterizer::Instance().HasFace(kv::TFont32{}); }

  kv::TKVGUIOwner<kv::TKVGUIWorkspace> Root;
};

TEST_F(RepaintTest, AFilledBoxOverTheBackground) {
  Shape(*Root, TRect{10, 20, 40, 30}, 0xFF00FF00u);
  Shape(*Root, TRect{30, 25, 50, 50}, 0x80FF0000u).BringToFront();
  EXPECT_TRUE(Box->Frame());
  const TBitmap32& s = Box->Screen();
  EXPECT_EQ(s.PixelAt(15, 25), 0xFF00FF00u);
  EXPECT_EQ(s.PixelAt(9, 25), WorkSpace);
  EXPECT_EQ(s.PixelAt(40, 25), 0xFFFF0000u); // the translucent box's outline is opaque
  TBitmap32 blend(1, 1);
  blend.SetPixel(0, 0, 0xFF00FF00u);
  blend.FillRectBlend(0, 0, 1, 1, 0x80FF0000u);
  EXPECT_EQ(s.PixelAt(35, 27), blend.PixelAt(0, 0)); // drawn over the green box
  EXPECT_EQ(s.PixelAt(49, 49), 0xFFFF0000u);
  EXPECT_EQ(s.PixelAt(50, 50), WorkSpace);
}

TEST_F(RepaintTest, TheChildWithTheLowerIndexIsDrawnOnTop) {
  auto& a = Shape(*Root, TRect{10, 10, 30, 30}, 0xFF0000FFu);
  Shape(*Root, TRect{20, 20, 40, 40}, 0xFFFF0000u);
  Box->Frame();
  EXPECT_EQ(Box->Screen().PixelAt(25, 25), 0xFF0000FFu);
  a.SendToBack();
  EXPECT_TRUE(Box->Frame());
  EXPECT_EQ(Box->Screen().PixelAt(25, 25), 0xFFFF0000u);
  EXPECT_EQ(Box->Screen().PixelAt(15, 15), 0xFF0000FFu);
}

TEST_F(RepaintTest, AButtonIsItsSkinFrameOrPartWithTheCaptionCentred) {
  auto& b = kv::NewChild<kv::TKVGUIButton>(*Root);
  b.SetPosition(20, 30);
  b.SetCaption("");
  EXPECT_EQ(b.Width(), 64);
  EXPECT_EQ(b.Height(), 28);
  Box->Frame();
  const TBitmap32& s = Box->Screen();
  EXPECT_EQ(s.PixelAt(20, 30), 0xFF202020u);
  EXPECT_EQ(s.PixelAt(50, 40), TBoxSkin::FrameColor("@button"));
  EXPECT_EQ(s.PixelAt(84, 58), WorkSpace);
  // Another skin name draws the part, hot while the pointer is over it.
  b.SkinName = "window_buttons";
  b.Invalidate();
  Box->Frame();
  EXPECT_EQ(s.PixelAt(50, 40), TBoxSkin::PartColor("window_buttons", 0));
  b.MouseEnter();
  Box->Frame();
  EXPECT_TRUE(b.Hot());
  EXPECT_EQ(s.PixelAt(50, 40), TBoxSkin::PartColor("window_buttons", 2));
  b.MouseLeave();
  Box->Frame();
  EXPECT_EQ(s.PixelAt(50, 40), TBoxSkin::PartColor("window_buttons", 0));

  if (!HasFont()) GTEST_SKIP() << "no font face";
  b.SkinName = "@button";
  b.SetCaption("OK");
  Box->Frame();
  const TRect r = b.GetScreenRect();
  const int tx = r.Left + (r.Width() - Engine().TextWidth("OK")) / 2 + 1;
  TBitmap32 expected(ScreenWidth, ScreenHeight);
  expected.Clear(WorkSpace);
  Skin.DrawFrame(kv::TKVPainter(expected), r, "@button");
  kv::TKVPainter(expected).RenderText(tx, r.Top + 7, "OK", 0xFF000000u, kv::TFont32{});
  EXPECT_EQ(kvtest::CountDifferences(expected, s), 0);
}

TEST_F(RepaintTest, ALabelDrawsItsCaptionInBlackAtItsTopLeftEvenPastItsSize) {
  if (!HasFont()) GTEST_SKIP() << "no font face";
  auto& l = kv::NewChild<kv::TKVGUILabel>(*Root);
  l.SetPosition(12, 40);
  l.SetCaption("Are you sure?");
  ASSERT_EQ(l.Width(), 0);
  Box->Frame();
  TBitmap32 expected(ScreenWidth, ScreenHeight);
  expected.Clear(WorkSpace);
  kv::TKVPainter(expected).RenderText(12, 40, "Are you sure?", 0xFF000000u, kv::TFont32{});
  EXPECT_EQ(kvtest::CountDifferences(expected, Box->Screen()), 0);
  // A shorter caption leaves nothing of the longer one behind.
  l.SetCaption("No");
  Box->Frame();
  expected.Clear(WorkSpace);
  kv::TKVPainter(expected).RenderText(12, 40, "No", 0xFF000000u, kv::TFont32{});
  EXPECT_EQ(kvtest::CountDifferences(expected, Box->Screen()), 0);
}

TEST_F(RepaintTest, AFormIsItsWindowFrameWithTheCaptionTwiceAndItsCloseButton) {
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  f.SetCaption("");
  f.SetPosition(5, 6);
  f.SetSize(120, 80);
  ASSERT_NE(f.CloseButton(), nullptr);
  EXPECT_EQ(f.CloseButton()->GetBoundsRect(), (TRect{93, 4, 112, 23}));
  Box->Frame();
  TBitmap32 expected(ScreenWidth, ScreenHeight);
  expected.Clear(WorkSpace);
  Skin.DrawFrame(kv::TKVPainter(expected), TRect{5, 6, 125, 86}, "window");
  Skin.DrawPart(kv::TKVPainter(expected), TRect{98, 10, 117, 29}, 0, "window_buttons");
  EXPECT_EQ(kvtest::CountDifferences(expected, Box->Screen()), 0);

  if (!HasFont()) GTEST_SKIP() << "no font face";
  f.SetCaption("Preview");
  Box->Frame();
  kv::TKVPainter(expected).RenderText(20, 14, "Preview", 0xFF000000u, kv::TFont32{});
  kv::TKVPainter(expected).RenderText(19, 13, "Preview", 0xFFFFFFFFu, kv::TFont32{});
  EXPECT_EQ(kvtest::CountDifferences(expected, Box->Screen()), 0);
}

TEST_F(RepaintTest, AFormWithTheBuiltInThemeShowsItsFramesAndCastsItsShadowWhenDragged) {
  kv::TKVCustomGamesSkin skin;
  skin.LoadDefaultTheme();
  Engine().SetSkin(skin);
  Root->SetEnabled(true);
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  f.SetCaption("");
  f.SetSize(90, 60);
  f.SetPosition(20, 20);
  Box->Frame();
  TBitmap32 expected(ScreenWidth, ScreenHeight);
  expected.Clear(WorkSpace);
  skin.DrawFrame(kv::TKVPainter(expected), TRect{20, 20, 110, 80}, "window");
  skin.DrawPart(kv::TKVPainter(expected), TRect{83, 24, 102, 43}, 0, "window_buttons");
  EXPECT_EQ(kvtest::CountDifferences(expected, Box->Screen()), 0);
  EXPECT_NE(Box->Screen().PixelAt(60, 22), WorkSpace); // the theme drew something
  Root->DispatchMouse(TPoint{40, 30}, kv::kvmkDown, 0, kv::kvmbLeft);
  Root->DispatchMouse(TPoint{41, 30}, kv::kvmkMove, 0, kv::kvmbLeft);
  Box->Frame();
  EXPECT_EQ(kvtest::CountDifferences(Box->Screen(), FullRepaint()), 0);
  EXPECT_NE(Box->Screen().PixelAt(113, 82), WorkSpace); // the shadow past the bottom-right corner
  Root->DispatchMouse(TPoint{41, 30}, kv::kvmkUp, 0, kv::kvmbLeft);
  Box->Frame();
  EXPECT_EQ(Box->Screen().PixelAt(113, 82), WorkSpace);
  Engine().SetSkin(Skin);
}

TEST_F(RepaintTest, ADraggedFormCarriesItsShadowAndLosesItWhenReleased) {
  Root->SetEnabled(true);
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  f.SetCaption("");
  f.SetSize(60, 40);
  f.SetPosition(10, 10);
  f.CloseButton()->SetVisible(false);
  Box->Frame();
  const TBitmap32& s = Box->Screen();
  EXPECT_EQ(s.PixelAt(72, 52), WorkSpace);
  Root->DispatchMouse(TPoint{30, 30}, kv::kvmkDown, 0, kv::kvmbLeft);
  Root->DispatchMouse(TPoint{50, 45}, kv::kvmkMove, 0, kv::kvmbLeft);
  EXPECT_TRUE(f.Dragging());
  EXPECT_EQ(f.GetBoundsRect(), (TRect{30, 25, 90, 65}));
  Box->Frame();
  // The frame with its shadow, 4 pixels down and right.
  TBitmap32 frame(60, 40), shadowed;
  Skin.DrawFrame(kv::TKVPainter(frame), TRect{0, 0, 60, 40}, "window");
  kv::MakeShadow(frame, shadowed, 4, 0);
  TBitmap32 expected(ScreenWidth, ScreenHeight);
  expected.Clear(WorkSpace);
  shadowed.Draw(expected, 30, 25);
  EXPECT_EQ(kvtest::CountDifferences(expected, s), 0);
  EXPECT_NE(s.PixelAt(92, 67), WorkSpace);
  // No trace of the old place.
  EXPECT_EQ(s.PixelAt(15, 15), WorkSpace);
  Root->DispatchMouse(TPoint{50, 45}, kv::kvmkUp, 0, kv::kvmbLeft);
  EXPECT_FALSE(f.Dragging());
  Box->Frame();
  expected.Clear(WorkSpace);
  frame.Draw(expected, 30, 25);
  EXPECT_EQ(kvtest::CountDifferences(expected, s), 0);
  EXPECT_EQ(s.PixelAt(92, 67), WorkSpace);
}

TEST_F(RepaintTest, AHiddenFormsChildrenAreNotPaintedAndNotReachable) {
  Root->SetEnabled(true);
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  auto& inner = Shape(f, TRect{10, 30, 30, 50}, 0xFF00FF00u);
  bool clicked = false;
  f.CloseButton()->OnClick = [&](TKVGUIControl*) { clicked = true; };
  Box->Frame();
  EXPECT_EQ(Box->Screen().PixelAt(15, 35), 0xFF00FF00u);
  f.SetVisible(false);
  Box->Frame();
  EXPECT_EQ(Box->Screen().PixelAt(15, 35), WorkSpace);
  EXPECT_EQ(Box->Screen().PixelAt(150, 100), WorkSpace);
  Root->DispatchMouse(TPoint{280, 10}, kv::kvmkDown, 0, kv::kvmbLeft);
  EXPECT_FALSE(clicked);
  inner.SetPosition(40, 40); // changes inside a hidden window ask for nothing
  EXPECT_FALSE(Box->FramePending());
}

TEST_F(RepaintTest, ManyRequestsBetweenTwoFramesGiveOneRepaint) {
  auto& engine = static_cast<kv::TKVGR32GraphicEngine&>(Engine());
  auto& s = Shape(*Root, TRect{0, 0, 10, 10}, 0xFF00FF00u);
  Box->Frame();
  const int64_t painted = engine.FramesPainted();
  const int scheduled = Box->FramesScheduled;
  for (int i = 0; i < 100; ++i) {
    s.SetPosition(i % 90, (i * 7) % 90);
    s.Invalidate();
  }
  EXPECT_EQ(Box->FramesScheduled, scheduled + 1);
  EXPECT_TRUE(Box->Frame());
  EXPECT_FALSE(Box->Frame());
  EXPECT_EQ(engine.FramesPainted(), painted + 1);
  EXPECT_EQ(Engine().UpdateCount(), 0);
}

TEST_F(RepaintTest, ControlsOutsideTheRepaintedAreaAreNotAskedToPaint) {
  struct TCounted : kv::TKVGUIShapeControl {
    int Paints = 0;
    void PaintContent() override {
      ++Paints;
      kv::TKVGUIShapeControl::PaintContent();
    }
  };
  auto& near = kv::NewChild<TCounted>(*Root);
  near.SetSize(10, 10);
  auto& far = kv::NewChild<TCounted>(*Root);
  far.SetPosition(100, 100);
  far.SetSize(10, 10);
  Box->Frame();
  near.Paints = far.Paints = 0;
  near.SetBackgroundColor(0xFF123456u);
  Box->Frame();
  EXPECT_EQ(near.Paints, 1);
  EXPECT_EQ(far.Paints, 0);
  EXPECT_EQ(Box->Screen().PixelAt(5, 5), 0xFF123456u);
}

TEST_F(RepaintTest, AFailingPaintStillEndsTheUpdate) {
  struct TFailing : TKVGUIControl {
    bool Fail = false;
    void PaintContent() override {
      if (Fail) throw std::runtime_error("broken");
    }
  };
  auto& f = kv::NewChild<TFailing>(*Root);
  f.SetSize(10, 10);
  Box->Frame();
  f.Fail = true;
  f.Invalidate();
  EXPECT_THROW(Box->Frame(), std::runtime_error);
  EXPECT_EQ(Engine().UpdateCount(), 0);
  EXPECT_EQ(Engine().ClipRect(), Buffer().BoundsRect());
  EXPECT_FALSE(Box->InFrame());
  // The failed frame is not asked for again (it would fail the same way, frame after frame); the area is
  // painted once the control changes again.
  EXPECT_FALSE(Box->Frame());
  f.Fail = false;
  Buffer().Clear(0);
  f.Invalidate();
  EXPECT_TRUE(Box->Frame());
  EXPECT_EQ(Box->Screen().PixelAt(5, 5), WorkSpace);
}

TEST_F(RepaintTest, WorkspaceRepaintShowsTheWholeTreeAtOnce) {
  Shape(*Root, TRect{0, 0, ScreenWidth, ScreenHeight}, 0xFF7F7F7Fu);
  Box->Frame();
  Buffer().Clear(0);
  Root->Repaint();
  EXPECT_FALSE(Box->FramePending());
  EXPECT_EQ(Box->Screen().PixelAt(ScreenWidth - 1, 0), 0xFF7F7F7Fu);
  EXPECT_EQ(Buffer().PixelAt(0, ScreenHeight - 1), 0xFF7F7F7Fu);
}

TEST_F(RepaintTest, ADestroyedControlLeavesNothingBehind) {
  auto& a = Shape(*Root, TRect{10, 10, 30, 30}, 0xFF0000FFu);
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  f.SetSize(50, 50);
  f.SetPosition(60, 10);
  Box->Frame();
  Root->DestroyChild(&a);
  Root->DestroyChild(&f);
  Box->Frame();
  TBitmap32 empty(ScreenWidth, ScreenHeight);
  empty.Clear(WorkSpace);
  EXPECT_EQ(kvtest::CountDifferences(empty, Box->Screen()), 0);
}

// ---- partial repaint equals full repaint

// A random tree of shapes, images, labels, buttons and forms with children, changed by random steps.
class TRandomScene {
public:
  TRandomScene(kv::TKVGUIWorkspace& root, uint32_t seed) : Root(root), Random(seed) {
    if (Next(2)) Add(Root, 0); // a background in half the scenes
    for (int i = 0; i < 6; ++i) Add(Root, 1 + Next(5));
    auto& form = kv::NewChild<kv::TKVGUIForm>(Root);
    form.SetCaption("Window");
    form.SetPosition(Next(100), Next(60));
    form.SetSize(60 + Next(60), 50 + Next(40));
    Forms.push_back(&form);
    for (int i = 0; i < 3; ++i) Add(form, 1 + Next(5));
  }

  // One random change of the tree.
  void Step() {
    TKVGUIControl& c = *Pick();
    switch (Next(12)) {
    case 0:
    case 1:
      c.SetPosition(c.Left() + Next(41) - 20, c.Top() + Next(41) - 20);
      break;
    case 2:
      c.SetSize(std::max(0, c.Width() + Next(21) - 10), std::max(0, c.Height() + Next(21) - 10));
      break;
    case 3:
      c.SetVisible(!c.Visible());
      break;
    case 4:
      if (Next(2))
        c.BringToFront();
      else
        c.SendToBack();
      break;
    case 5:
      c.SetCaption(std::string(1 + Next(8), static_cast<char>('A' + Next(26))));
      break;
    case 6:
      if (auto* s = dynamic_cast<kv::TKVGUIShapeControl*>(&c)) s->SetBackgroundColor(Color());
      if (auto* b = dynamic_cast<kv::TKVGUIButton*>(&c)) Next(2) ? b->MouseEnter() : b->MouseLeave();
      break;
    case 7:
      if (auto* i = dynamic_cast<kv::TKVGUIImage*>(&c)) i->SetStretch(!i->Stretch());
      break;
    case 8: {
      // Drag a window a little, or let it go.
      kv::TKVGUIForm& f = *Forms[Next(static_cast<int>(Forms.size()))];
      const TPoint p{f.Left() + 20, f.Top() + 10};
      if (!f.Dragging()) {
        f.MouseEvent(TPoint{20, 10}, kv::kvmkDown, 0, kv::kvmbLeft);
      } else if (Next(3) == 0) {
        f.MouseEvent(TPoint{20, 10}, kv::kvmkUp, 0, kv::kvmbLeft);
      } else {
        f.MouseEvent(TPoint{20 + Next(31) - 15, 10 + Next(31) - 15}, kv::kvmkMove, 0, kv::kvmbLeft);
      }
      (void)p;
      break;
    }
    case 9:
      if (Root.ChildCount() < 14) Add(Next(3) ? static_cast<TKVGUIControl&>(Root) : *Forms[0], 1 + Next(5));
      break;
    case 10:
      if (&c != Forms[0] && c.Parent()) {
        std::erase(Controls, &c);
        c.Parent()->DestroyChild(&c);
      }
      break;
    case 11:
      if (auto* i = dynamic_cast<kv::TKVGUIImage*>(&c)) i->SetPictureAlpha(Next(256));
      break;
    }
  }

private:
  int Next(int n) { return static_cast<int>(Random() % static_cast<uint32_t>(n)); }
  TColor32 Color() { return Next(2) ? (0xFF000000u | Random()) : Random(); }
  TKVGUIControl* Pick() {
    const int n = static_cast<int>(Controls.size());
    return Next(4) == 0 || n == 0 ? Forms[0] : Controls[Next(n)];
  }
  void Add(TKVGUIControl& parent, int kind) {
    TKVGUIControl* c = nullptr;
    switch (kind) {
    case 0: {
      auto& s = kv::NewChild<kv::TKVGUIShapeControl>(parent);
      s.SetBackgroundColor(0xFF7F7F7Fu);
      s.SetSize(200, 150);
      s.SendToBack();
      c = &s;
      break;
    }
    case 1: {
      auto& s = kv::NewChild<kv::TKVGUIShapeControl>(parent);
      s.SetBackgroundColor(Color());
      c = &s;
      break;
    }
    case 2: {
      auto& i = kv::NewChild<kv::TKVGUIImage>(parent);
      i.SetSize(10 + Next(30), 10 + Next(30));
      TBitmap32 picture = kvtest::Numbered(8 + Next(20), 8 + Next(20));
      for (int y = 0; y < picture.Height(); y += 3)
        for (int x = 0; x < picture.Width(); ++x) picture.SetPixel(x, y, Random() & 0x7FFFFFFFu);
      i.Picture().SetSize(picture.Width(), picture.Height());
      picture.SetDrawMode(kv::dmOpaque);
      picture.Draw(i.Picture(), 0, 0);
      if (Next(2)) i.SetUseStretchedCopy(true);
      c = &i;
      break;
    }
    case 3: {
      auto& l = kv::NewChild<kv::TKVGUILabel>(parent);
      l.SetCaption("Label " + std::to_string(Next(100)));
      c = &l;
      break;
    }
    default: {
      auto& b = kv::NewChild<kv::TKVGUIButton>(parent);
      b.SetCaption(Next(2) ? "OK" : "Cancel");
      if (Next(2)) b.SkinName = "window_buttons";
      c = &b;
      break;
    }
    }
    if (kind != 0) {
      c->SetPosition(Next(180) - 20, Next(140) - 20);
      if (c->Width() == 0) c->SetSize(Next(60), Next(50));
    }
    Controls.push_back(c);
  }

  kv::TKVGUIWorkspace& Root;
  std::mt19937 Random;
  std::vector<TKVGUIControl*> Controls;
  std::vector<kv::TKVGUIForm*> Forms;
};

TEST_F(RepaintTest, RepaintingTheChangedAreasShowsWhatRepaintingEverythingShows) {
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    Root->ClearChildren();
    Box->Frame();
    TRandomScene scene(*Root, seed);
    Box->Frame();
    for (int step = 0; step < 40; ++step) {
      const int changes = 1 + static_cast<int>(seed + step) % 4;
      for (int i = 0; i < changes; ++i) scene.Step();
      Box->Frame();
      const TBitmap32 shown = Box->Screen();
      const TBitmap32 full = FullRepaint();
      ASSERT_EQ(kvtest::CountDifferences(shown, full), 0) << "seed " << seed << " step " << step;
    }
  }
}

TEST_F(RepaintTest, TheSameChangesGiveTheSameScreensWithAndWithoutChangedAreaRepaint) {
  // The sequence of screens of a seeded run, once through changed areas and once repainting everything.
  auto run = [&](bool full, uint32_t seed) {
    static_cast<kv::TKVGR32GraphicEngine&>(Engine()).FullRepaint = full;
    Root->ClearChildren();
    Engine().RepaintNow();
    TRandomScene scene(*Root, seed);
    uint64_t sum = 0;
    for (int step = 0; step < 80; ++step) {
      scene.Step();
      Box->Frame();
      sum = sum * 31 + kvtest::Checksum(Box->Screen());
    }
    return sum;
  };
  for (uint32_t seed : {7u, 99u, 2024u}) EXPECT_EQ(run(false, seed), run(true, seed)) << seed;
}

// A layer that draws its own items through the engine's painter, as the board draws its pieces, and asks
// for the repaint of the part that changed only.
class TPieceLayer : public kv::TKVAppControlLayerItem {
public:
  struct TPiece {
    TRect Place;
    TColor32 Color;
  };
  void PaintContent() override {
    const kv::TKVPainter painter = Engine()->Painter();
    Clips.push_back(painter.Clip());
    const TRect screen = GetScreenRect();
    for (auto it = Pieces.rbegin(); it != Pieces.rend(); ++it)
      painter.FillRectBlend(kv::OffsetRect(it->Place, screen.Left, screen.Top), it->Color);
  }
  void MovePiece(std::size_t i, int dx, int dy) {
    const TRect screen = GetScreenRect();
    InvalidateRect(kv::OffsetRect(Pieces[i].Place, screen.Left, screen.Top));
    Pieces[i].Place = kv::OffsetRect(Pieces[i].Place, dx, dy);
    InvalidateRect(kv::OffsetRect(Pieces[i].Place, screen.Left, screen.Top));
  }
  std::vector<TPiece> Pieces;
  std::vector<TRect> Clips;
};

TEST_F(RepaintTest, ALayerRepaintingOnlyItsMovedItemsShowsWhatAWholeRepaintShows) {
  Shape(*Root, TRect{0, 0, ScreenWidth, ScreenHeight}, 0xFF7F7F7Fu);
  auto& layer = kv::NewChild<TPieceLayer>(*Root);
  layer.BringToFront();
  layer.SetPosition(5, 3);
  layer.SetSize(ScreenWidth - 10, ScreenHeight - 6);
  std::mt19937 random(77);
  for (int i = 0; i < 12; ++i) {
    const int x = static_cast<int>(random() % 120), y = static_cast<int>(random() % 90);
    layer.Pieces.push_back(
        {TRect{x, y, x + 8 + static_cast<int>(random() % 20), y + 8 + static_cast<int>(random() % 20)},
         static_cast<TColor32>(0x60000000u | (random() & 0x00FFFFFFu))});
  }
  layer.Invalidate();
  Box->Frame();
  for (int step = 0; step < 150; ++step) {
    layer.Clips.clear();
    const std::size_t piece = random() % layer.Pieces.size();
    const TRect before = layer.Pieces[piece].Place;
    const int dx = static_cast<int>(random() % 15) - 7;
    const int dy = static_cast<int>(random() % 15) - 7;
    layer.MovePiece(piece, dx, dy);
    ASSERT_TRUE(Box->Frame());
    // The layer painted with the changed areas as its clip, not the whole screen; a piece that wandered off
    // the layer is clipped away and asks for no paint.
    const TRect changed = kv::OffsetRect(kv::UnionRect(before, layer.Pieces[piece].Place), 5, 3);
    if (!kv::IntersectRect(changed, layer.GetPaintRect()).IsEmpty()) {
      ASSERT_FALSE(layer.Clips.empty()) << "step " << step;
    }
    for (const TRect& clip : layer.Clips)
      ASSERT_LT(clip.Width() * clip.Height(), ScreenWidth * ScreenHeight / 2);
    for (const TRect& shown : Box->LastPresented)
      ASSERT_LT(shown.Width() * shown.Height(), ScreenWidth * ScreenHeight / 2);
    const TBitmap32 shown = Box->Screen();
    ASSERT_EQ(kvtest::CountDifferences(shown, FullRepaint()), 0) << "step " << step;
  }
}

TEST_F(RepaintTest, OnlyWhatIsSurelyPaintedOpaquelyHidesTheBackground) {
  const TRect area{20, 20, 40, 40};
  struct TCase {
    const char* What;
    std::function<void(TKVGUIControl& root)> Build;
    bool Hides;
  };
  auto image = [](TKVGUIControl& parent, TRect r, kv::TDrawMode mode,
                  int32_t pictureSize) -> kv::TKVGUIImage& {
    auto& i = kv::NewChild<kv::TKVGUIImage>(parent);
    i.SetPosition(r.Left, r.Top);
    i.SetSize(r.Width(), r.Height());
    i.Picture().SetSize(pictureSize, pictureSize);
    i.Picture().Clear(0x00000000u); // copied as it is, transparent or not
    i.Picture().SetDrawMode(mode);
    return i;
  };
  const std::vector<TCase> cases = {
      {"nothing", [](TKVGUIControl&) {}, false},
      {"an opaque box over it",
       [&](TKVGUIControl& r) {
         Shape(r, TRect{10, 10, 50, 50}, 0xFF00FF00u);
       },
       true},
      {"an opaque box over part of it",
       [&](TKVGUIControl& r) {
         Shape(r, TRect{25, 10, 50, 50}, 0xFF00FF00u);
       },
       false},
      {"a translucent box",
       [&](TKVGUIControl& r) {
         Shape(r, TRect{10, 10, 50, 50}, 0x80FF0000u);
       },
       false},
      {"a hidden box",
       [&](TKVGUIControl& r) {
         Shape(r, TRect{10, 10, 50, 50}, 0xFF00FF00u).SetVisible(false);
       },
       false},
      {"a copied picture",
       [&](TKVGUIControl& r) {
         image(r, TRect{0, 0, 60, 60}, kv::dmOpaque, 60);
       },
       true},
      {"a blended picture",
       [&](TKVGUIControl& r) {
         image(r, TRect{0, 0, 60, 60}, kv::dmBlend, 60);
       },
       false},
      {"a copied picture smaller than its control",
       [&](TKVGUIControl& r) {
         image(r, TRect{0, 0, 60, 60}, kv::dmOpaque, 30);
       },
       false},
      {"a box in a smaller parent, which does not clip it",
       [&](TKVGUIControl& r) {
         auto& parent = Shape(r, TRect{0, 0, 30, 30}, 0x00000000u);
         Shape(parent, TRect{0, 0, 60, 60}, 0xFF00FF00u);
       },
       true},
      {"a box in a hidden parent",
       [&](TKVGUIControl& r) {
         auto& parent = Shape(r, TRect{0, 0, 60, 60}, 0x00000000u);
         Shape(parent, TRect{0, 0, 60, 60}, 0xFF00FF00u);
         parent.SetVisible(false);
       },
       false},
  };
  for (const TCase& c : cases) {
    Root->ClearChildren();
    c.Build(*Root);
    EXPECT_EQ(Root->HidesArea(area), c.Hides) << c.What;
    // Either way the frame shows what painting over the background colour shows.
    Box->Frame();
    EXPECT_EQ(kvtest::CountDifferences(Box->Screen(), FullRepaint()), 0) << c.What;
    TBitmap32 expected = Box->Screen();
    Buffer().Clear(0xFF123456u);
    Engine().RepaintNow();
    EXPECT_EQ(kvtest::CountDifferences(expected, Buffer()), 0) << c.What;
  }
}

} // namespace
