// The concrete controls: images and their stretched copy, the layer item's lifecycle, buttons, skinned
// windows, and animated images composing their frames.
#include "GuiFixtures.h"
#include "SurfaceFixtures.h"

#include "core/uToUnderlying.h"
#include "gui/uKVAppControlLayer.h"
#include "gui/uKVBitmapCollection.h"
#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGUIButton.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUIImage.h"
#include "gui/uKVGUIShapeControl.h"
#include "gui/uKVGUIWorkspace.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using kv::TBitmap32;
using kv::TColor32;
using kv::TKVGUIControl;
using kv::TPoint;
using kv::TRect;

const TColor32 WorkSpace = kv::Color32(kv::clAppWorkSpace);

struct TApp : kv::IKVApplication {
  std::vector<std::tuple<int32_t, int32_t, int32_t>> Got;
  void PostEvent(int32_t m, int32_t& p, int32_t& q) override { Got.emplace_back(m, p, q); }
};

class GUIControlsTest : public kvtest::TEngineFixture {
protected:
  void SetUp() override {
    TEngineFixture::SetUp();
    Root = kv::NewRootOn<kv::TKVGUIWorkspace>(Engine());
    Root->SetEnabled(true);
    Box->Frame();
  }
  void TearDown() override {
    Root.reset();
    TEngineFixture::TearDown();
  }
  kv::TKVGUIOwner<kv::TKVGUIWorkspace> Root;
};

// ---- the tree's engine

TEST_F(GUIControlsTest, EveryControlReachesTheEngineAndSkinThroughItsRoot) {
  auto& form = kv::NewChild<kv::TKVGUIForm>(*Root);
  auto& button = kv::NewChild<kv::TKVGUIButton>(form);
  EXPECT_EQ(Root->Engine(), &Engine());
  EXPECT_EQ(button.Engine(), &Engine());
  EXPECT_EQ(button.Skin(), &Skin);
  // A tree that no engine shows draws nothing and asks nothing.
  auto lone = kv::NewRoot<TKVGUIControl>();
  auto& child = kv::NewChild<TKVGUIControl>(*lone);
  EXPECT_EQ(child.Engine(), nullptr);
  EXPECT_EQ(child.Skin(), nullptr);
  child.Invalidate();
}

TEST_F(GUIControlsTest, AControlTakenOutOfItsTreeIsShownByTheSameEngineUntilItGoes) {
  auto& shape = kv::NewChild<kv::TKVGUIShapeControl>(*Root);
  shape.SetBackgroundColor(0xFF00FF00u);
  shape.SetSize(10, 10);
  Box->Frame();
  ASSERT_EQ(Box->Screen().PixelAt(5, 5), 0xFF00FF00u);
  kv::TKVGUIOwner<kv::TKVGUIObject> removed(Root->RemoveChild(&shape).release());
  EXPECT_EQ(shape.Engine(), &Engine());
  // Alone it is a root of its own: moved, it is painted there.
  shape.SetPosition(50, 50);
  Box->Frame();
  EXPECT_EQ(Box->Screen().PixelAt(55, 55), 0xFF00FF00u);
  // Gone, the engine no longer paints it.
  removed.reset();
  Engine().RepaintNow();
  EXPECT_EQ(Box->Screen().PixelAt(55, 55), WorkSpace);
}

// ---- image

TEST_F(GUIControlsTest, AnImageIsNotHitTestableAndShowsItsPictureAtItsPlace) {
  auto& image = kv::NewChild<kv::TKVGUIImage>(*Root);
  EXPECT_EQ(image.Options, 0);
  EXPECT_EQ(image.Picture().DrawMode(), kv::dmBlend);
  EXPECT_EQ(image.Picture().Resampler().ClassName(), "TLinearResampler");
  image.SetSize(8, 6);
  EXPECT_EQ(image.Picture().Width(), 8);
  const TBitmap32 numbered = kvtest::Numbered(8, 6);
  numbered.Draw(image.Picture(), 0, 0);
  image.SetPosition(30, 40);
  image.Invalidate();
  Box->Frame();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Box->Screen().PixelAt(30 + x, 40 + y), numbered.PixelAt(x, y));
  EXPECT_EQ(image.GetSourceRect(), (TRect{0, 0, 8, 6}));
  // Clicks pass through an image to what lies below.
  Root->DispatchMouse(TPoint{32, 42}, kv::kvmkDown, 0, kv::kvmbLeft);
  EXPECT_EQ(Root->FocusIndex(), -1);
}

TEST_F(GUIControlsTest, SourceRectOfAStretchedImageIsTheWholeShownSurface) {
  auto& image = kv::NewChild<kv::TKVGUIImage>(*Root);
  image.SetSize(20, 10);
  image.Picture().SetSize(5, 4);
  image.SetStretch(true);
  EXPECT_EQ(image.GetSourceRect(), (TRect{0, 0, 5, 4}));
  image.SetUseStretchedCopy(true);
  EXPECT_EQ(image.StretchedCopy().Width(), 20);
  EXPECT_EQ(image.GetSourceRect(), (TRect{0, 0, 20, 10}));
  image.SetStretch(false);
  EXPECT_EQ(image.GetSourceRect(), (TRect{0, 0, 20, 10}));
}

TEST_F(GUIControlsTest, TheStretchedCopyIsThePictureStretchedOverTheControlBlendedOntoNothing) {
  auto& image = kv::NewChild<kv::TKVGUIImage>(*Root);
  image.SetSize(4, 4);
  image.Picture().Clear(0x80FF0000u);
  image.SetUseStretchedCopy(true);
  image.SetSize(12, 8); // rebuilt with the new size
  ASSERT_EQ(image.StretchedCopy().Width(), 12);
  ASSERT_EQ(image.StretchedCopy().Height(), 8);
  TBitmap32 expected(12, 8);
  image.Picture().SetSize(12, 8); // resized with the control: cleared
  EXPECT_EQ(image.StretchedCopy().PixelAt(5, 5), 0u);
  image.Picture().Clear(0xFF00FF00u);
  image.RebuildStretchedCopy();
  EXPECT_EQ(image.StretchedCopy().PixelAt(0, 0), 0xFF00FF00u);
  EXPECT_EQ(image.StretchedCopy().PixelAt(11, 7), 0xFF00FF00u);
  image.SetPictureAlpha(100);
  EXPECT_EQ(image.Picture().MasterAlpha(), 100);
}

// ---- layer item

class TLayer : public kv::TKVAppControlLayerItem {
public:
  static inline bool FailInitialize = false;
  void Initialize() override {
    Log.push_back("initialize");
    if (FailInitialize) throw std::runtime_error("no");
  }
  void Prepared() override { Log.push_back("prepared"); }
  void Shutdown() override {
    Log.push_back("shutdown");
    kv::TKVAppControlLayerItem::Shutdown();
  }
  std::vector<std::string> Log;
};

TEST_F(GUIControlsTest, ALayerItemFollowsItsSessionStates) {
  auto& layer = kv::NewChild<TLayer>(*Root);
  EXPECT_TRUE(layer.Initialized());
  EXPECT_EQ(layer.State(), kv::TGameState::Stopped);
  EXPECT_FALSE(layer.IsPrepared());
  layer.Prepare();
  EXPECT_TRUE(layer.IsPrepared());
  struct TStep {
    void (kv::TKVAppControlLayerItem::*Op)();
    kv::TGameState State;
  };
  const TStep steps[] = {{&kv::TKVAppControlLayerItem::Start, kv::TGameState::Running},
                         {&kv::TKVAppControlLayerItem::Pause, kv::TGameState::Paused},
                         {&kv::TKVAppControlLayerItem::Resume, kv::TGameState::Running},
                         {&kv::TKVAppControlLayerItem::Reset, kv::TGameState::Stopped},
                         {&kv::TKVAppControlLayerItem::Pause, kv::TGameState::Paused},
                         {&kv::TKVAppControlLayerItem::Start, kv::TGameState::Running},
                         {&kv::TKVAppControlLayerItem::Shutdown, kv::TGameState::Stopped}};
  for (const TStep& s : steps) {
    (layer.*s.Op)();
    EXPECT_EQ(layer.State(), s.State);
  }
  EXPECT_FALSE(layer.Initialized());
}

TEST_F(GUIControlsTest, AnErrorInInitializeIsSwallowedAndLeavesTheItemUninitialised) {
  TLayer::FailInitialize = true;
  auto& layer = kv::NewChild<TLayer>(*Root);
  TLayer::FailInitialize = false;
  EXPECT_FALSE(layer.Initialized());
  EXPECT_EQ(layer.Log, (std::vector<std::string>{"initialize"}));
  EXPECT_EQ(layer.Options, 0); // an image until the descendant says otherwise
}

TEST_F(GUIControlsTest, DestroyingALayerItemShutsItDownWhileItIsStillWhole) {
  struct TProbe : kv::TKVAppControlLayerItem {
    std::vector<std::string>* Out = nullptr;
    void Shutdown() override {
      if (Out)
        Out->push_back("shutdown " + std::to_string(kv::ToUnderlying(State())) + " " +
                       std::to_string(Initialized()));
      kv::TKVAppControlLayerItem::Shutdown();
    }
  };
  std::vector<std::string> seen;
  auto& probe = kv::NewChild<TProbe>(*Root);
  probe.Out = &seen;
  probe.Start();
  Root->DestroyChild(&probe);
  EXPECT_EQ(seen, (std::vector<std::string>{"shutdown 1 1"}));
  auto owned = kv::NewRootOn<TProbe>(Engine());
  owned->Out = &seen;
  owned.reset();
  EXPECT_EQ(seen.back(), "shutdown 0 1");
}

TEST_F(GUIControlsTest, ALayerItemsPictureFollowsItsSize) {
  auto& layer = kv::NewChild<TLayer>(*Root);
  layer.SetSize(30, 20);
  EXPECT_EQ(layer.Picture().Width(), 30);
  EXPECT_EQ(layer.Picture().Height(), 20);
  EXPECT_EQ(layer.Picture().UpdateCount(), 0);
}

// ---- button

TEST_F(GUIControlsTest, AButtonClicksOnButtonDownAndShowsItsHotLookWhileThePointerIsOverIt) {
  auto& b = kv::NewChild<kv::TKVGUIButton>(*Root);
  b.SetPosition(10, 10);
  std::vector<std::string> clicks;
  b.OnClick = [&](TKVGUIControl* s) { clicks.push_back(s->Name); };
  Root->DispatchMouse(TPoint{20, 20}, kv::kvmkMove, 0, kv::kvmbNone);
  EXPECT_TRUE(b.Hot());
  EXPECT_TRUE(b.Hovered());
  Root->DispatchMouse(TPoint{20, 20}, kv::kvmkDown, 0, kv::kvmbLeft);
  EXPECT_EQ(clicks, (std::vector<std::string>{"TKVGUIButton"}));
  Root->DispatchMouse(TPoint{20, 20}, kv::kvmkUp, 0, kv::kvmbLeft);
  EXPECT_EQ(clicks.size(), 1u);
  Root->DispatchMouse(TPoint{120, 20}, kv::kvmkMove, 0, kv::kvmbNone);
  EXPECT_FALSE(b.Hot());
  // Leaving the playing area: the hovered button gets kind 6 and loses its hot look.
  Root->DispatchMouse(TPoint{20, 20}, kv::kvmkMove, 0, kv::kvmbNone);
  EXPECT_TRUE(b.Hot());
  Root->DispatchMouse(TPoint{-1, -1}, kv::kvmkLeave, 0, kv::kvmbNone);
  EXPECT_FALSE(b.Hot());
  EXPECT_FALSE(b.Hovered());
  // Entering the playing area alone does not make it hot.
  Root->DispatchMouse(TPoint{-1, -1}, kv::kvmkEnter, 0, kv::kvmbNone);
  EXPECT_FALSE(b.Hot());
}

// ---- form

TEST_F(GUIControlsTest, AFormStartsWithItsSizeAndACloseButtonThatHidesIt) {
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  EXPECT_EQ(f.GetBoundsRect(), (TRect{0, 0, 300, 210}));
  EXPECT_EQ(f.GetSkinName(), "window");
  kv::TKVGUIButton* close = f.CloseButton();
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->SkinName, "window_buttons");
  EXPECT_EQ(close->Caption(), "");
  EXPECT_EQ(close->GetBoundsRect(), (TRect{273, 4, 292, 23}));
  f.SetSize(200, 100);
  EXPECT_EQ(close->GetBoundsRect(), (TRect{173, 4, 192, 23}));
  Root->DispatchMouse(TPoint{180, 10}, kv::kvmkDown, 0, kv::kvmbLeft);
  EXPECT_FALSE(f.Visible());
  f.ShowAndFocus();
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(Root->FocusIndex(), 0);
}

TEST_F(GUIControlsTest, EscapeInAFocusedFormAsksTheMainWindowToClose) {
  TApp app;
  kv::NewChild<kv::TKVGUIButton>(*Root);
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  f.Application = &app;
  f.ShowAndFocus();
  Root->DispatchKey(27, kv::kvkkChar, 0); // a typed Escape character is not a key-down
  Root->DispatchKey(13, kv::kvkkKeyDown, 0);
  EXPECT_TRUE(app.Got.empty());
  Root->DispatchKey(27, kv::kvkkKeyDown, 0);
  ASSERT_EQ(app.Got.size(), 1u);
  EXPECT_EQ(app.Got[0], std::make_tuple(1024, 16, 0));
}

TEST_F(GUIControlsTest, AFormIsDraggedByTheLeftButtonAndNeverTouchedByHoverWhileDragged) {
  auto& other = kv::NewChild<kv::TKVGUIButton>(*Root);
  other.SetPosition(200, 10);
  auto& f = kv::NewChild<kv::TKVGUIForm>(*Root);
  f.SetSize(100, 60);
  f.SetPosition(10, 10);
  int moves = 0;
  f.OnMove = [&](TKVGUIControl*) { ++moves; };
  Root->DispatchMouse(TPoint{20, 30}, kv::kvmkDown, 0, kv::kvmbLeft);
  EXPECT_TRUE(f.Dragging());
  Root->DispatchMouse(TPoint{20, 30}, kv::kvmkMove, 0, kv::kvmbLeft); // no change: no move
  EXPECT_EQ(moves, 0);
  Root->DispatchMouse(TPoint{30, 45}, kv::kvmkMove, 0, kv::kvmbLeft);
  EXPECT_EQ(f.GetBoundsRect(), (TRect{20, 25, 120, 85}));
  // Over the other button the window stays captured and dragged: no hover change reaches it.
  Root->DispatchMouse(TPoint{230, 20}, kv::kvmkMove, 0, kv::kvmbLeft);
  EXPECT_TRUE(f.Dragging());
  EXPECT_TRUE(other.Hovered());
  EXPECT_EQ(f.GetBoundsRect(), (TRect{220, 0, 320, 60}));
  EXPECT_EQ(moves, 2);
  // Released over the button, which lies on top: the window does not see the button go up ...
  Root->DispatchMouse(TPoint{230, 20}, kv::kvmkUp, 0, kv::kvmbLeft);
  EXPECT_TRUE(f.Dragging());
  // ... but the next move without the left button ends its drag where it is.
  Root->DispatchMouse(TPoint{240, 30}, kv::kvmkMove, 0, kv::kvmbNone);
  EXPECT_FALSE(f.Dragging());
  EXPECT_EQ(f.GetBoundsRect(), (TRect{220, 0, 320, 60}));
  // Released over the window itself.
  f.MouseEvent(TPoint{5, 5}, kv::kvmkDown, 0, kv::kvmbLeft);
  f.MouseEvent(TPoint{5, 5}, kv::kvmkUp, 0, kv::kvmbLeft);
  EXPECT_FALSE(f.Dragging());
  // Only the left button drags.
  f.MouseEvent(TPoint{5, 5}, kv::kvmkDown, 0, kv::kvmbOther);
  f.MouseEvent(TPoint{25, 5}, kv::kvmkMove, 0, kv::kvmbOther);
  EXPECT_EQ(f.Left(), 220);
  EXPECT_FALSE(f.Dragging());
  // Enter and leave end a drag.
  f.MouseEvent(TPoint{5, 5}, kv::kvmkDown, 0, kv::kvmbLeft);
  f.MouseLeave();
  EXPECT_FALSE(f.Dragging());
  f.MouseEvent(TPoint{5, 5}, kv::kvmkDown, 0, kv::kvmbLeft);
  f.MouseEnter();
  EXPECT_FALSE(f.Dragging());
}

// ---- animated image

class AnimatedImageTest : public GUIControlsTest {
protected:
  kv::TKVGUIAnimatedImage& Make(int w, int h) {
    auto& a = kv::NewChild<kv::TKVGUIAnimatedImage>(*Root);
    a.SetSize(w, h);
    return a;
  }
  static void AddFrame(kv::TKVGUIAnimatedImage& a, int w, int h, TColor32 color, int duration,
                       TPoint offset = {}) {
    kv::TKVCustomBitmapItem& item = a.Frames().Items().Add();
    item.Bitmap().SetSize(w, h);
    item.Bitmap().Clear(color);
    item.Duration = duration;
    item.Offset = offset;
  }
};

TEST_F(AnimatedImageTest, OneFrameIsDrawnOnceAtItsOffsetOnACanvasOfTheLogicalSize) {
  auto& a = Make(10, 8);
  a.Frames().SetLogicalSize(6, 4);
  AddFrame(a, 2, 2, 0xFF00FF00u, 100, TPoint{1, 1});
  a.NextFrame();
  EXPECT_EQ(a.TickCount(), 1);
  EXPECT_EQ(a.Canvas().Width(), 6);
  EXPECT_EQ(a.Canvas().PixelAt(0, 0), 0u); // cleared to 0 on tick 1
  EXPECT_EQ(a.Canvas().PixelAt(1, 1), 0xFF00FF00u);
  a.NextFrame();
  EXPECT_EQ(a.TickCount(), 1);
}

TEST_F(AnimatedImageTest, SeveralFramesFollowTheirDurationsAndStartOver) {
  auto& a = Make(10, 8);
  a.Frames().SetLogicalSize(4, 4);
  AddFrame(a, 4, 4, 0xFF0000FFu, 2);
  AddFrame(a, 2, 2, 0xFFFF0000u, 3);
  std::vector<int> current;
  for (int i = 0; i < 6; ++i) {
    a.NextFrame();
    current.push_back(a.CurrentFrame());
  }
  // Ticks 1 and 2 in frame 0, 3 to 5 in frame 1; tick 6 runs past the last frame.
  EXPECT_EQ(current, (std::vector<int>{0, 0, 1, 1, 1, 1}));
  EXPECT_EQ(a.TickCount(), 0);
  // Frame 1 was drawn over frame 0.
  EXPECT_EQ(a.Canvas().PixelAt(0, 0), 0xFFFF0000u);
  EXPECT_EQ(a.Canvas().PixelAt(3, 3), 0xFF0000FFu);
  // Starting over: the canvas is cleared to the background colour and frame 0 drawn again.
  a.Frames().Items()[0].Bitmap().FillRect(0, 0, 1, 1, 0u);
  a.NextFrame();
  EXPECT_EQ(a.TickCount(), 1);
  EXPECT_EQ(a.CurrentFrame(), 0);
  EXPECT_EQ(a.Canvas().PixelAt(3, 3), 0xFF0000FFu);
  EXPECT_EQ(a.Canvas().PixelAt(1, 1), 0xFF0000FFu);
}

TEST_F(AnimatedImageTest, NothingHappensWhileDisabledOrWithoutFrames) {
  auto& a = Make(10, 8);
  a.NextFrame();
  EXPECT_EQ(a.TickCount(), 0);
  AddFrame(a, 2, 2, 0xFF00FF00u, 100);
  a.SetEnabled(false);
  a.NextFrame();
  EXPECT_EQ(a.TickCount(), 0);
}

TEST_F(AnimatedImageTest, TheDrawStylesPlaceTheCanvasOnThePicture) {
  struct TCase {
    uint8_t Style;
    std::vector<std::pair<TPoint, TColor32>> Expected;
  };
  const TColor32 grey = 0xFF7F7F7Fu, green = 0xFF00FF00u, red = 0xFFFF0000u;
  const std::vector<TCase> cases = {
      {kv::kvisTopLeft, {{{0, 0}, green}, {{3, 1}, red}, {{4, 0}, grey}, {{9, 7}, grey}}},
      {kv::kvisCenter, {{{3, 2}, green}, {{6, 3}, red}, {{2, 2}, grey}, {{7, 2}, grey}}},
      {kv::kvisTile,
       {{{0, 0}, green}, {{4, 0}, green}, {{8, 4}, green}, {{7, 5}, red}, {{9, 7}, red}, {{5, 1}, green}}},
  };
  for (const TCase& c : cases) {
    auto& a = Make(10, 8);
    a.Frames().SetLogicalSize(4, 4);
    AddFrame(a, 4, 4, green, 100);
    a.Frames().Items()[0].Bitmap().FillRect(2, 0, 4, 4, red);
    a.Frames().Items()[0].Bitmap().FillRect(0, 2, 4, 4, red);
    a.SetDrawStyle(c.Style);
    Box->Frame();
    for (const auto& [p, color] : c.Expected)
      EXPECT_EQ(a.Picture().PixelAt(p.X, p.Y), color) << int(c.Style) << " at " << p.X << "," << p.Y;
    Root->DestroyChild(&a);
  }
  // Stretched (with the canvas's Lanczos resampler): green at the top-left, red at the bottom-right.
  auto& a = Make(10, 8);
  a.Frames().SetLogicalSize(4, 4);
  AddFrame(a, 4, 4, green, 100);
  a.Frames().Items()[0].Bitmap().FillRect(2, 0, 4, 4, red);
  a.Frames().Items()[0].Bitmap().FillRect(0, 2, 4, 4, red);
  a.SetDrawStyle(kv::kvisStretch);
  Box->Frame();
  const TColor32 tl = a.Picture().PixelAt(0, 0), br = a.Picture().PixelAt(9, 7);
  EXPECT_GT(kv::GreenComponent(tl), 200);
  EXPECT_LT(kv::RedComponent(tl), 60);
  EXPECT_EQ(br, red);
}

TEST_F(AnimatedImageTest, TheShownPictureIsThePaintedOneAndNewFramesStartOver) {
  auto& a = Make(4, 4);
  a.Frames().SetLogicalSize(4, 4);
  AddFrame(a, 4, 4, 0xFF00FF00u, 100);
  a.SetPosition(20, 20);
  Box->Frame();
  EXPECT_EQ(Box->Screen().PixelAt(21, 21), 0xFF00FF00u);
  a.Frames().Items().Clear();
  AddFrame(a, 4, 4, 0xFF0000FFu, 100);
  EXPECT_EQ(a.TickCount(), 0);
  EXPECT_TRUE(Box->Frame());
  EXPECT_EQ(Box->Screen().PixelAt(21, 21), 0xFF0000FFu);
  // The stretched copy composes first when the canvas is still empty.
  auto& b = Make(8, 8);
  b.Frames().SetLogicalSize(2, 2);
  AddFrame(b, 2, 2, 0xFFFF0000u, 100);
  b.SetDrawStyle(kv::kvisStretch);
  b.SetUseStretchedCopy(true);
  EXPECT_EQ(b.StretchedCopy().PixelAt(4, 4), 0xFFFF0000u);
}

} // namespace
