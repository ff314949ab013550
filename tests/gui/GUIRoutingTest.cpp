// Mouse and key routing through the tree: hit order, capture of moves by the focused child, clicks on empty
// space, enter and leave of the playing area, hidden and disabled controls, keys one level deep, and the
// hover tracking that gives controls MouseEnter and MouseLeave as the pointer passes.
#include "GuiFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kv::TPoint;
using kvtest::TRecorder;

struct TEvent {
  int32_t X, Y, Kind, Shift, Button;
};

// Root 200 x 200 with a (10,10 50x50) above b (40,40 50x50), and the container c (100,100 80x80) holding
// c1 (5,5 10x10) and c2 (30,30 10x10).
class GUIRoutingTest : public ::testing::Test {
protected:
  GUIRoutingTest() : Root(kv::NewRoot<TRecorder>(&Log)) {
    Root->Name = "root";
    Root->SetSize(200, 200);
    A = &Add(*Root, "a", 10, 10, 50, 50);
    B = &Add(*Root, "b", 40, 40, 50, 50);
    C = &Add(*Root, "c", 100, 100, 80, 80);
    C1 = &Add(*C, "c1", 5, 5, 10, 10);
    C2 = &Add(*C, "c2", 30, 30, 10, 10);
    Root->SetFocusIndex(-1);
    C->SetFocusIndex(-1);
    Log.clear();
  }
  TRecorder& Add(kv::TKVGUIControl& parent, const std::string& name, int x, int y, int w, int h) {
    auto& c = kv::NewChild<TRecorder>(parent, &Log);
    c.Name = name;
    c.SetPosition(x, y);
    c.SetSize(w, h);
    return c;
  }
  void Send(const TEvent& e) { Root->DispatchMouse(TPoint{e.X, e.Y}, e.Kind, e.Shift, e.Button); }
  void Send(std::initializer_list<TEvent> events) {
    for (const TEvent& e : events) Send(e);
  }
  // The log without focus and hover lines, and those lines alone.
  std::vector<std::string> Events() const { return Filter(false); }
  std::vector<std::string> Hovers() const { return Filter(true); }
  std::vector<std::string> Filter(bool hover) const {
    std::vector<std::string> out;
    for (const std::string& line : Log) {
      const bool isHover = line.find("hover") != std::string::npos;
      const bool isFocus = line.find(" focus") != std::string::npos;
      if (hover ? isHover : !isHover && !isFocus) out.push_back(line);
    }
    return out;
  }

  std::vector<std::string> Log;
  kv::TKVGUIOwner<TRecorder> Root;
  TRecorder *A, *B, *C, *C1, *C2;
};

TEST_F(GUIRoutingTest, EventsGoToTheFirstChildHitWithThePointInItsCoordinates) {
  struct TCase {
    const char* Name;
    TEvent Event;
    std::vector<std::string> Expected;
    int32_t Focus;
  };
  const std::vector<TCase> cases = {
      {"overlap: lower index wins", {45, 45, 0, 1, 1}, {"a down 35,35 s1 b1"}, 0},
      {"right-bottom edge inside", {60, 60, 0, 0, 1}, {"a down 50,50 s0 b1"}, 0},
      {"only b", {80, 85, 1, 4, 2}, {"b up 40,45 s4 b2"}, -1},
      {"into a container", {106, 107, 0, 2, 1}, {"c1 down 1,2 s2 b1"}, 2},
      {"container's empty space", {150, 110, 0, 0, 1}, {"c down 50,10 s0 b1"}, 2},
      {"empty space of the root", {95, 20, 0, 0, 1}, {"root down 95,20 s0 b1"}, -1},
      {"move over nothing", {195, 5, 2, 0, 0}, {"root move 195,5 s0 b0"}, -1},
      {"unknown kind goes to the control itself", {45, 45, 3, 0, 0}, {"root 3 45,45 s0 b0"}, -1},
  };
  for (const TCase& c : cases) {
    Root->SetFocusIndex(-1);
    Log.clear();
    Send(c.Event);
    EXPECT_EQ(Events(), c.Expected) << c.Name;
    EXPECT_EQ(Root->FocusIndex(), c.Focus) << c.Name;
  }
}

TEST_F(GUIRoutingTest, AfterAButtonDownOnAChildItCapturesEveryMove) {
  Send({{80, 80, 0, 0, 1}, {190, 5, 2, 0, 1}, {15, 15, 2, 0, 0}, {15, 15, 1, 0, 1}});
  // The up is not a move: it goes where the pointer is.
  EXPECT_EQ(Events(), (std::vector<std::string>{"b down 40,40 s0 b1", "b move 150,-35 s0 b1",
                                                "b move -25,-25 s0 b0", "a up 5,5 s0 b1"}));
  // A click elsewhere ends the capture.
  Log.clear();
  Send({{5, 150, 0, 0, 1}, {15, 15, 2, 0, 0}});
  EXPECT_EQ(Events(), (std::vector<std::string>{"root down 5,150 s0 b1", "a move 5,5 s0 b0"}));
}

TEST_F(GUIRoutingTest, ACapturingContainerRoutesTheMoveOnToItsOwnChildren) {
  Send({{106, 106, 0, 0, 1}, {10, 10, 2, 0, 1}});
  // c captured at the root; inside c, c1 (its focused child) captures in turn.
  EXPECT_EQ(Events(), (std::vector<std::string>{"c1 down 1,1 s0 b1", "c1 move -95,-95 s0 b1"}));
}

TEST_F(GUIRoutingTest, DisabledControlsAndControlsWithoutChildrenIgnoreRouting) {
  auto lone = kv::NewRoot<TRecorder>(&Log);
  lone->Name = "lone";
  lone->DispatchMouse(TPoint{1, 1}, 0, 0, 1);
  Root->SetEnabled(false);
  Send({{45, 45, 0, 0, 1}, {45, 45, 2, 0, 0}});
  EXPECT_TRUE(Log.empty());
}

TEST_F(GUIRoutingTest, HiddenDisabledAndNonHitTestableChildrenAreSkipped) {
  struct TCase {
    const char* Name;
    std::function<void()> Change;
    std::string Expected;
  };
  const std::vector<TCase> cases = {
      {"hidden", [&] { A->SetVisible(false); }, "b down 5,5 s0 b1"},
      {"disabled", [&] { A->SetEnabled(false); }, "b down 5,5 s0 b1"},
      {"no hit test option", [&] { A->Options = 0; }, "b down 5,5 s0 b1"},
      {"hidden container's children", [&] { C->SetVisible(false); }, "root down 106,106 s0 b1"},
  };
  for (const TCase& c : cases) {
    A->SetVisible(true);
    A->SetEnabled(true);
    A->Options = kv::kvcoAll;
    C->SetVisible(true);
    c.Change();
    Log.clear();
    Send(c.Name == std::string("hidden container's children") ? TEvent{106, 106, 0, 0, 1}
                                                              : TEvent{45, 45, 0, 0, 1});
    EXPECT_EQ(Events(), std::vector<std::string>{c.Expected}) << c.Name;
  }
}

TEST_F(GUIRoutingTest, AHiddenFocusedChildLosesTheCaptureToTheFirstFocusableChild) {
  Send({{80, 80, 0, 0, 1}});
  ASSERT_EQ(Root->FocusIndex(), 1);
  // Hidden behind the tree's back: the focus is moved when the next event arrives.
  B->SetVisible(false);
  Root->SetFocusIndex(1);
  Log.clear();
  Send({{190, 190, 2, 0, 0}});
  EXPECT_EQ(Root->FocusIndex(), 0);
  EXPECT_EQ(Events(), (std::vector<std::string>{"a move 180,180 s0 b0"}));
  // With no focusable child left nothing captures, and a hidden child receives nothing.
  A->SetVisible(false);
  C->SetVisible(false);
  Root->SetFocusIndex(1);
  Log.clear();
  Send({{190, 190, 2, 0, 0}});
  EXPECT_EQ(Events(), (std::vector<std::string>{"root move 190,190 s0 b0"}));
}

TEST_F(GUIRoutingTest, EnterAndLeaveOfThePlayingAreaPairUpThroughHovered) {
  // Enter: the first child not hovered, the point unchanged; the container's children are not reached.
  Send({{-1, -1, 5, 0, 0}});
  EXPECT_EQ(Events(), (std::vector<std::string>{"a enter -1,-1 s0 b0"}));
  A->MouseEnter();
  B->MouseEnter();
  Log.clear();
  Send({{-1, -1, 5, 0, 0}});
  EXPECT_EQ(Events(), (std::vector<std::string>{"c enter -1,-1 s0 b0"}));
  // Leave: only the first hovered child gets kind 6.
  Log.clear();
  Send({{-1, -1, 6, 0, 0}});
  EXPECT_EQ(Events(), (std::vector<std::string>{"a leave -1,-1 s0 b0"}));
  // Nobody hovered: the root itself.
  Log.clear();
  Send({{-1, -1, 6, 0, 0}});
  EXPECT_EQ(Events(), (std::vector<std::string>{"root leave -1,-1 s0 b0"}));
}

TEST_F(GUIRoutingTest, KeysGoOneLevelToTheFocusedChildElseToTheControlAndItsOnKey) {
  std::vector<std::string> keys;
  Root->OnKey = [&](kv::TKVGUIControl* s, int32_t key, int32_t shift, int32_t kind) {
    keys.push_back(s->Name + " " + std::to_string(key) + " " + std::to_string(shift) + " " +
                   std::to_string(kind));
  };
  C->SetFocusIndex(0);
  Root->SetFocusIndex(2);
  Root->DispatchKey(65, 0, 2);
  Root->SetFocusIndex(-1);
  Root->DispatchKey(97, 2, 0);
  Root->SetFocusIndex(1);
  B->SetEnabled(false);
  Root->DispatchKey(27, 0, 0);
  EXPECT_EQ(Events(), (std::vector<std::string>{"c key 65 k0 s2", "root key 97 k2 s0", "root key 27 k0 s0"}));
  EXPECT_EQ(keys, (std::vector<std::string>{"root 97 0 2", "root 27 0 0"}));
}

TEST_F(GUIRoutingTest, ThePointerPassingOverControlsEntersAndLeavesThem) {
  Send({{20, 20, 2, 0, 0},
        {45, 45, 2, 0, 0},
        {80, 80, 2, 0, 0},
        {106, 106, 2, 0, 0},
        {135, 135, 2, 0, 0},
        {195, 195, 2, 0, 0}});
  EXPECT_EQ(Hovers(),
            (std::vector<std::string>{"a +hover", "a -hover", "b +hover", "b -hover", "c +hover", "c1 +hover",
                                      "c1 -hover", "c2 +hover", "c2 -hover", "c -hover"}));
  // Leaving the playing area clears every hover, however deep.
  Log.clear();
  Send({{106, 106, 2, 0, 0}, {-1, -1, 6, 0, 0}});
  EXPECT_EQ(Hovers(), (std::vector<std::string>{"c +hover", "c1 +hover", "c1 -hover", "c -hover"}));
  EXPECT_FALSE(C->Hovered());
  EXPECT_FALSE(C1->Hovered());
}

TEST_F(GUIRoutingTest, HoverFollowsThePointerWhileAChildCapturesTheMoves) {
  Send({{20, 20, 0, 0, 1}, {80, 80, 2, 0, 1}});
  EXPECT_EQ(Events(), (std::vector<std::string>{"a down 10,10 s0 b1", "a move 70,70 s0 b1"}));
  EXPECT_EQ(Hovers(), (std::vector<std::string>{"b +hover"}));
}

TEST_F(GUIRoutingTest, ADisabledRootTracksNoHover) {
  Root->SetEnabled(false);
  Send({{20, 20, 2, 0, 0}});
  EXPECT_TRUE(Hovers().empty());
}

} // namespace
