// The control's own rules: creation defaults, focus bookkeeping, visibility and enabling, geometry and its
// events, rectangles, hit testing, z-order.
#include "GuiFixtures.h"

#include "gui/uKVGUIControl.h"
#include "gui/uKVGUIWorkspace.h"

#include <gtest/gtest.h>

namespace {

using kv::TKVGUIControl;
using kv::TPoint;
using kv::TRect;
using kvtest::TRecorder;

class GUIControlTest : public ::testing::Test {
protected:
  GUIControlTest() : Root(kv::NewRoot<TKVGUIControl>()) {}
  TRecorder& Add(const std::string& name, TKVGUIControl* parent = nullptr) {
    auto& c = kv::NewChild<TRecorder>(parent ? *parent : *Root, &Log);
    c.Name = name;
    return c;
  }
  std::vector<std::string> Log;
  kv::TKVGUIOwner<TKVGUIControl> Root;
};

TEST_F(GUIControlTest, ACreatedControlIsVisibleEnabledHitTestableAndNamedAfterItsClass) {
  auto& c = kv::NewChild<TKVGUIControl>(*Root);
  EXPECT_TRUE(c.Visible());
  EXPECT_TRUE(c.Enabled());
  EXPECT_EQ(c.Name, "TKVGUIControl");
  EXPECT_EQ(c.Caption(), "TKVGUIControl");
  EXPECT_EQ(c.Options, kv::kvcoAll);
  EXPECT_EQ(c.FocusIndex(), -1);
  EXPECT_FALSE(c.Hovered());
  EXPECT_EQ(c.GetSkinName(), "TKVGUIControl");
  auto workspace = kv::NewRoot<kv::TKVGUIWorkspace>();
  EXPECT_FALSE(workspace->Enabled());
  EXPECT_EQ(workspace->Name, "TKVGUIWorkspace");
}

TEST_F(GUIControlTest, TheFirstChildOfAControlWithoutFocusBecomesFocused) {
  Add("a");
  EXPECT_EQ(Root->FocusIndex(), 0);
  Add("b");
  EXPECT_EQ(Root->FocusIndex(), 0);
  Root->SetFocusIndex(-1);
  Add("c");
  EXPECT_EQ(Root->FocusIndex(), 2);
}

TEST_F(GUIControlTest, SetFocusIndexTellsTheChildOrTheControlItself) {
  auto& a = Add("a");
  auto& b = Add("b", &a);
  Log.clear();
  a.SetFocusIndex(0);
  a.SetFocusIndex(-1);
  b.SetFocus(); // b's index in a, and a's in the root
  EXPECT_EQ(Log, (std::vector<std::string>{"b focus", "a focus", "b focus", "a focus"}));
  EXPECT_EQ(a.FocusIndex(), 0);
  EXPECT_EQ(Root->FocusIndex(), 0);
}

TEST_F(GUIControlTest, HidingTheFocusedChildMovesTheFocusToTheFirstVisibleEnabledChild) {
  auto& a = Add("a");
  auto& b = Add("b");
  auto& c = Add("c");
  b.SetEnabled(false);
  Root->SetFocusIndex(0);
  a.SetVisible(false);
  EXPECT_EQ(Root->FocusIndex(), 2);
  c.SetVisible(false);
  EXPECT_EQ(Root->FocusIndex(), -1);
  // Showing a child when nothing is focused gives the focus back.
  a.SetVisible(true);
  EXPECT_EQ(Root->FocusIndex(), 0);
  // Hiding a child that is not focused leaves the focus.
  c.SetVisible(true);
  c.SetVisible(false);
  EXPECT_EQ(Root->FocusIndex(), 0);
}

TEST_F(GUIControlTest, FocusFollowsMovesAndRemovalsOfChildren) {
  struct TCase {
    const char* Name;
    int32_t Focus;
    std::function<void(TKVGUIControl&)> Change;
    int32_t Expected;
  };
  const TCase cases[] = {
      {"focused to top", 2, [](TKVGUIControl& r) { r.MoveChildToTop(2); }, 0},
      {"focused to bottom", 1, [](TKVGUIControl& r) { r.MoveChildToBottom(1); }, 3},
      {"other to top shifts focus down", 1, [](TKVGUIControl& r) { r.MoveChildToTop(3); }, 2},
      {"other below to top keeps focus", 1, [](TKVGUIControl& r) { r.MoveChildToTop(0); }, 1},
      {"other above to bottom shifts focus up", 2, [](TKVGUIControl& r) { r.MoveChildToBottom(0); }, 1},
      {"focused removed", 2, [](TKVGUIControl& r) { r.DestroyChild(r.Children(2)); }, 0},
      {"removal above shifts focus", 2, [](TKVGUIControl& r) { r.DestroyChild(r.Children(0)); }, 1},
      {"removal below keeps focus", 1, [](TKVGUIControl& r) { r.DestroyChild(r.Children(3)); }, 1},
      {"bring to front", 3,
       [](TKVGUIControl& r) { static_cast<TKVGUIControl*>(r.Children(3))->BringToFront(); }, 0},
      {"send to back", 0, [](TKVGUIControl& r) { static_cast<TKVGUIControl*>(r.Children(0))->SendToBack(); },
       3},
      {"clear children", 1, [](TKVGUIControl& r) { r.ClearChildren(); }, -1},
  };
  for (const TCase& c : cases) {
    auto root = kv::NewRoot<TKVGUIControl>();
    for (int i = 0; i < 4; ++i) kv::NewChild<TKVGUIControl>(*root).Name = std::string(1, char('a' + i));
    root->SetFocusIndex(c.Focus);
    const kv::TKVGUIObject* focused = root->Children(c.Focus);
    c.Change(*root);
    EXPECT_EQ(root->FocusIndex(), c.Expected) << c.Name;
    if (c.Expected >= 0 && std::string(c.Name).find("removed") == std::string::npos) {
      EXPECT_EQ(root->Children(root->FocusIndex()), focused) << c.Name;
    }
  }
}

TEST_F(GUIControlTest, FirstFocusableSkipsHiddenAndDisabledChildren) {
  auto& a = Add("a");
  auto& b = Add("b");
  Add("c");
  a.SetVisible(false);
  b.SetEnabled(false);
  EXPECT_EQ(Root->FirstFocusable(), 2);
  Root->UpdateFocus();
  EXPECT_EQ(Root->FocusIndex(), 2);
}

TEST_F(GUIControlTest, VisibilityAndEnablingCallTheirHooksAndEventsOnlyOnChange) {
  auto& a = Add("a");
  std::vector<std::string> events;
  a.OnShow = [&](TKVGUIControl* s) { events.push_back("show " + s->Name); };
  a.OnHide = [&](TKVGUIControl* s) { events.push_back("hide " + s->Name); };
  a.SetVisible(true);
  a.SetVisible(false);
  a.SetVisible(false);
  a.SetVisible(true);
  EXPECT_EQ(events, (std::vector<std::string>{"hide a", "show a"}));
  EXPECT_EQ(a.GetState(), 0);
  a.SetEnabled(false);
  EXPECT_EQ(a.GetState(), 4);
  a.MouseEnter();
  EXPECT_EQ(a.GetState(), 4);
  a.SetEnabled(true);
  EXPECT_EQ(a.GetState(), 1);
  a.MouseLeave();
  EXPECT_EQ(a.GetState(), 0);
}

TEST_F(GUIControlTest, SetPositionAndSetSize) {
  auto& a = Add("a");
  int moves = 0;
  a.OnMove = [&](TKVGUIControl*) { ++moves; };
  a.SetPosition(5, 6);
  a.SetPosition(5, 6);
  EXPECT_EQ(moves, 1);
  a.SetPosition(TPoint{5, 6}); // the point form always moves
  EXPECT_EQ(moves, 2);
  a.SetSize(30, 20);
  EXPECT_EQ(a.Surface().Width(), 30);
  EXPECT_EQ(a.Surface().Height(), 20);
  EXPECT_EQ(a.GetBoundsRect(), (TRect{5, 6, 35, 26}));
  EXPECT_EQ(a.GetClientRect(), (TRect{0, 0, 30, 20}));
  a.SetWidth(31);
  a.SetHeight(21);
  EXPECT_EQ(a.GetBoundsRect(), (TRect{5, 6, 36, 27}));
}

TEST_F(GUIControlTest, ResizingTellsEveryChildItsParentResized) {
  struct TResized : TKVGUIControl {
    int Count = 0;
    void ParentResized() override { ++Count; }
  };
  auto& a = Add("a");
  auto& x = kv::NewChild<TResized>(a);
  auto& y = kv::NewChild<TResized>(a);
  a.SetSize(10, 10);
  a.SetSize(10, 10);
  EXPECT_EQ(x.Count, 1);
  EXPECT_EQ(y.Count, 1);
}

TEST_F(GUIControlTest, ScreenRectAddsTheParentsPositionsUpToTheRoot) {
  Root->SetPosition(100, 100); // a root's screen rect is its bounds
  Root->SetSize(10, 10);
  auto& a = Add("a");
  a.SetPosition(10, 20);
  a.SetSize(50, 50);
  auto& b = Add("b", &a);
  b.SetPosition(3, 4);
  b.SetSize(5, 6);
  EXPECT_EQ(Root->GetScreenRect(), (TRect{100, 100, 110, 110}));
  EXPECT_EQ(a.GetScreenRect(), (TRect{110, 120, 160, 170}));
  EXPECT_EQ(b.GetScreenRect(), (TRect{113, 124, 118, 130}));
}

TEST_F(GUIControlTest, HitTestCountsTheRightAndBottomEdgesAsInside) {
  auto& a = Add("a");
  a.SetPosition(10, 20);
  a.SetSize(30, 40);
  struct TCase {
    TPoint P;
    bool Hit;
  };
  const TCase cases[] = {{{10, 20}, true},  {{40, 60}, true},  {{40, 20}, true},
                         {{10, 60}, true},  {{9, 20}, false},  {{41, 30}, false},
                         {{20, 19}, false}, {{20, 61}, false}, {{25, 35}, true}};
  for (const TCase& c : cases) EXPECT_EQ(a.HitTest(c.P), c.Hit) << c.P.X << "," << c.P.Y;
}

TEST_F(GUIControlTest, SourceRectOfAControlReachingPastItsParent) {
  Root->SetSize(100, 100);
  auto& inside = Add("in");
  inside.SetPosition(10, 10);
  inside.SetSize(20, 20);
  EXPECT_EQ(inside.GetSourceRect(), (TRect{10, 10, 30, 30}));
  auto& past = Add("past");
  past.SetPosition(-5, 10);
  past.SetSize(120, 20);
  // Left: P.left - R.left; right: R.right - P.right; top and bottom unchanged.
  EXPECT_EQ(past.GetSourceRect(), (TRect{5, 10, 15, 30}));
}

TEST_F(GUIControlTest, CaptionAssignmentStoresIt) {
  auto& a = Add("a");
  a.SetCaption("Hello");
  EXPECT_EQ(a.Caption(), "Hello");
  const kv::TKVPropInfo* caption = a.FindProperty("Caption");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->GetString(a), "Hello");
  ASSERT_NE(a.FindProperty("Width"), nullptr);
  a.FindProperty("Width")->SetInt(a, 12);
  EXPECT_EQ(a.Width(), 12);
}

TEST_F(GUIControlTest, NotifyApplicationReachesTheApplicationWhenSet) {
  struct TApp : kv::IKVApplication {
    std::vector<std::tuple<int32_t, int32_t, int32_t>> Got;
    void PostEvent(int32_t m, int32_t& p, int32_t& q) override {
      Got.emplace_back(m, p, q);
      p = q = -1;
    }
  } app;
  auto& a = Add("a");
  a.NotifyApplication(1024, 16, 0); // nobody to tell
  a.Application = &app;
  a.NotifyApplication(1024, 65535, 100);
  ASSERT_EQ(app.Got.size(), 1u);
  EXPECT_EQ(app.Got[0], std::make_tuple(1024, 65535, 100));
}

} // namespace
