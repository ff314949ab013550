// Play under the mouse and keyboard, delivered to the paint surface and routed through the control tree:
// picking up, dragging and dropping, snapping within Magnet, groups, turns, click mode, marking, the rubber
// band, keys, the pop-up menu, settling and completion.
#include "jigsaw/BoardFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace kv;
using kvtest::TBoardScene;

namespace {

constexpr int32_t Cell = 40, CellH = 30;

class BoardPlayTest : public ::testing::Test {
protected:
  TBoardScene Scene{400, 300};
  TKVJigsawBoard& Board = *Scene.Board;

  // Plain pieces, spread over the board so that none overlaps another.
  void Play(int32_t cols, int32_t rows, bool dragMode = true) {
    kvtest::TGamePieces game = kvtest::MakePlainPieces(cols, rows, Cell, CellH);
    for (int32_t r = 0; r < rows; ++r)
      for (int32_t c = 0; c < cols; ++c) {
        game.Pieces[r][c].X = 10 + c * 90;
        game.Pieces[r][c].Y = 10 + r * 70;
      }
    Scene.Play(std::move(game), dragMode);
  }
  TKVBoardPiece& P(int32_t row, int32_t col) { return Board.Piece(row, col); }
  void Put(int32_t row, int32_t col, int32_t x, int32_t y, uint8_t joined = 0) {
    P(row, col).X = x;
    P(row, col).Y = y;
    P(row, col).Joined = joined;
  }
  // Drags the piece by its grip so that its top-left ends at (x, y).
  void DragPieceTo(int32_t row, int32_t col, int32_t x, int32_t y) {
    const TPoint grip = Scene.Grip(row, col);
    Scene.Drag(grip, TPoint{grip.X + x - P(row, col).X, grip.Y + y - P(row, col).Y});
  }
  int Snaps() const { return Scene.App.Count(TAppCode::PlayOnce, TGameEvent::Snap); }
};

TEST_F(BoardPlayTest, PickingUpGrabsThePieceRaisesItAndAnnouncesIt) {
  Play(3, 2);
  const TPoint grip = Scene.Grip(1, 2);
  Scene.Down(grip.X, grip.Y);
  EXPECT_TRUE(P(1, 2).Grabbed);
  EXPECT_EQ(Board.GrabbedCount(), 1);
  EXPECT_EQ(Board.ZOrder().front(), (TZPos{2, 1}));
  EXPECT_EQ(Board.LastCol(), 2);
  EXPECT_EQ(Board.LastRow(), 1);
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::PickUp), 1);
  // It follows the mouse while the button is held.
  Scene.Move(grip.X + 13, grip.Y - 4);
  EXPECT_EQ(P(1, 2).X, 10 + 2 * 90 + 13);
  EXPECT_EQ(P(1, 2).Y, 10 + 70 - 4);
  Scene.Up(grip.X + 13, grip.Y - 4);
  EXPECT_EQ(Board.GrabbedCount(), 0);
  EXPECT_EQ(Snaps(), 0);
}

TEST_F(BoardPlayTest, ADropSnapsWithinMagnetAndNotBeyond) {
  struct TCase {
    int32_t Dx, Dy;
    bool Snaps;
  };
  const TCase cases[] = {{6, 0, true},   {7, 0, false}, {-6, 0, true}, {-7, 0, false}, {0, 6, true},
                         {0, -7, false}, {6, -6, true}, {6, 7, false}, {0, 0, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Dx << "," << c.Dy);
    Play(2, 1);
    Scene.App.Events.clear();
    Scene.Wins = 0;
    Put(0, 0, 100, 100);
    DragPieceTo(0, 1, 100 + Cell + c.Dx, 100 + c.Dy);
    if (c.Snaps) {
      EXPECT_EQ(P(0, 1).X, 100 + Cell);
      EXPECT_EQ(P(0, 1).Y, 100);
      EXPECT_EQ(P(0, 0).Joined, 1);
      EXPECT_EQ(P(0, 1).Joined, 1);
      EXPECT_EQ(Snaps(), 1);
      // Two pieces joined into one group: the puzzle is complete.
      EXPECT_EQ(Scene.Wins, 1);
      EXPECT_EQ(Scene.App.Count(TAppCode::PlayRepeating, TGameEvent::Complete), 1);
    } else {
      EXPECT_EQ(P(0, 1).X, 100 + Cell + c.Dx);
      EXPECT_EQ(P(0, 1).Y, 100 + c.Dy);
      EXPECT_EQ(P(0, 1).Joined, 0);
      EXPECT_EQ(Snaps(), 0);
      EXPECT_EQ(Scene.Wins, 0);
    }
  }
}

TEST_F(BoardPlayTest, MagnetIsTheBoardsSetting) {
  Play(2, 1);
  Board.Magnet = 2;
  Put(0, 0, 100, 100);
  DragPieceTo(0, 1, 100 + Cell + 3, 100);
  EXPECT_EQ(P(0, 1).Joined, 0);
  DragPieceTo(0, 1, 100 + Cell + 2, 100);
  EXPECT_EQ(P(0, 1).Joined, 1);
  EXPECT_EQ(P(0, 1).X, 100 + Cell);
}

TEST_F(BoardPlayTest, PiecesInAnotherRotationDoNotSnap) {
  Play(2, 1);
  Put(0, 0, 100, 100);
  P(0, 1).Rotation = 1;
  DragPieceTo(0, 1, 100 + Cell, 100);
  EXPECT_EQ(P(0, 1).Joined, 0);
  EXPECT_EQ(Snaps(), 0);
}

TEST_F(BoardPlayTest, AGroupDroppedOntoAnotherJoinsBothAndSettlesIntoPlace) {
  Play(2, 2);
  // Left column: a group at (40, 150); right column: a group at (250, 40).
  Put(0, 0, 40, 150, 1);
  Put(1, 0, 40, 150 + CellH, 1);
  Put(0, 1, 250, 40, 1);
  Put(1, 1, 250, 40 + CellH, 1);
  ASSERT_TRUE(Board.Attached(0, 0, 1, 0));
  ASSERT_TRUE(Board.Attached(0, 1, 1, 1));
  // The left group lands 4 px left of and 3 px above its place: its lower piece jumps next to the right
  // group, and settling aligns the rest, all four at their exact relative places.
  DragPieceTo(0, 0, 250 - Cell - 4, 40 - 3);
  const TPoint origin{P(0, 0).X, P(0, 0).Y};
  EXPECT_LE(std::abs(origin.X - (250 - Cell)), 4);
  EXPECT_LE(std::abs(origin.Y - 40), 3);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(P(r, c).X, origin.X + c * Cell) << r << c;
      EXPECT_EQ(P(r, c).Y, origin.Y + r * CellH) << r << c;
    }
  EXPECT_EQ(Snaps(), 1);
  EXPECT_EQ(Scene.Wins, 1);
}

TEST_F(BoardPlayTest, CompletionNeedsOneGroupAndComesOnce) {
  Play(4, 1);
  Put(0, 0, 20, 20, 1);
  Put(0, 1, 20 + Cell, 20, 1);
  Put(0, 2, 200, 200);
  Put(0, 3, 300, 100);
  // Two complete halves lying apart are not a finished puzzle.
  DragPieceTo(0, 3, 200 + Cell + 2, 200 + 1);
  EXPECT_EQ(Snaps(), 1);
  EXPECT_TRUE(Board.Attached(0, 2, 0, 3));
  EXPECT_EQ(Scene.Wins, 0);
  EXPECT_FALSE(Board.Won());
  // A drop that joins nothing does not complete it either.
  DragPieceTo(0, 2, 200, 150);
  EXPECT_EQ(Snaps(), 1);
  EXPECT_EQ(Scene.Wins, 0);
  // The last join completes it, once.
  DragPieceTo(0, 2, 20 + 2 * Cell - 5, 20 + 5);
  EXPECT_EQ(Scene.Wins, 1);
  EXPECT_TRUE(Board.Won());
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayRepeating, TGameEvent::Complete), 1);
  // Moving the finished puzzle about and dropping it raises nothing more.
  DragPieceTo(0, 0, 60, 60);
  DragPieceTo(0, 3, 90, 40);
  EXPECT_EQ(Scene.Wins, 1);
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayRepeating, TGameEvent::Complete), 1);
}

TEST_F(BoardPlayTest, AllSoundsStopBeforeTheWinIsAnnounced) {
  Play(2, 1);
  std::vector<std::string> order;
  Board.OnStopAllSounds = [&] { order.push_back("stop"); };
  Board.OnWin = [&](TKVGUIControl* sender) {
    EXPECT_EQ(sender, &Board);
    order.push_back("win " + std::to_string(Scene.App.Count(TAppCode::PlayRepeating, TGameEvent::Complete)));
  };
  Put(0, 0, 100, 100);
  DragPieceTo(0, 1, 100 + Cell, 100);
  EXPECT_EQ(order, (std::vector<std::string>{"stop", "win 1"}));
}

TEST_F(BoardPlayTest, AOnePiecePuzzleIsNotCompletedByADrop) {
  Play(1, 1);
  DragPieceTo(0, 0, 50, 50);
  EXPECT_EQ(Scene.Wins, 0);
  EXPECT_FALSE(Board.Won());
}

TEST_F(BoardPlayTest, ASinglePieceTurnsInNineStepsAboutTheClickedPoint) {
  struct TCase {
    int32_t Px, Py;  // the click, relative to the piece
    TPoint Expected; // where the turned piece lies
  };
  // The new corner is (x + y - Y - h, y - x + X) on the board; a coordinate that the rounding of the turned
  // bounds takes as odd comes out one less.
  const TCase cases[] = {
      {10, 20, {100, 110}}, {11, 20, {100, 108}}, {20, 15, {104, 94}}, {25, 16, {110, 90}}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Px << "," << c.Py);
    Play(1, 1);
    Scene.App.Events.clear();
    Put(0, 0, 100, 100);
    Scene.Down(100 + c.Px, 100 + c.Py, mbRight);
    Scene.Up(100 + c.Px, 100 + c.Py, mbRight);
    EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::Turn), 1);
    // The first step at once, then one every 20 ms.
    EXPECT_TRUE(P(0, 0).Rotating);
    EXPECT_EQ(P(0, 0).Angle, -10);
    EXPECT_EQ(P(0, 0).Rotation, 1);
    EXPECT_TRUE(Board.Timer().Enabled());
    EXPECT_EQ(Board.Timer().Interval(), 20u);
    for (int step = 2; step <= 8; ++step) {
      Scene.Platform.Advance(20);
      EXPECT_EQ(P(0, 0).Angle, -10 * step);
    }
    // Busy: clicks do nothing while it turns.
    const TPoint grip = Scene.Grip(0, 0);
    Scene.Down(grip.X, grip.Y);
    Scene.Up(grip.X, grip.Y);
    EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::PickUp), 0);
    Scene.Platform.Advance(20);
    EXPECT_FALSE(P(0, 0).Rotating);
    EXPECT_EQ(P(0, 0).Angle, 0);
    EXPECT_EQ(P(0, 0).Rotation, 1);
    EXPECT_EQ(TPoint(P(0, 0).X, P(0, 0).Y), c.Expected);
    EXPECT_FALSE(Board.Timer().Enabled());
    EXPECT_EQ(P(0, 0).DisplayWidth(), CellH);
    EXPECT_EQ(P(0, 0).DisplayHeight(), Cell);
  }
}

TEST_F(BoardPlayTest, FourTurnsAboutTheMiddleBringAPieceRoundWithTheRoundingsDrift) {
  Play(1, 1);
  Put(0, 0, 100, 100);
  const TPoint corners[4] = {{104, 94}, {98, 98}, {102, 92}, {96, 96}};
  for (int turn = 0; turn < 4; ++turn) {
    const TKVBoardPiece& p = P(0, 0);
    Scene.Down(p.X + p.DisplayWidth() / 2, p.Y + p.DisplayHeight() / 2, mbRight);
    Scene.Platform.Advance(200);
    EXPECT_EQ(TPoint(p.X, p.Y), corners[turn]) << turn;
  }
  EXPECT_EQ(P(0, 0).Rotation, 0);
}

TEST_F(BoardPlayTest, AGroupTurnsAtOnceAndStaysTogether) {
  Play(3, 2);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) Put(r, c, 120 + c * Cell, 100 + r * CellH, 1);
  Scene.Down(125, 105, mbRight);
  EXPECT_EQ(Board.RotatingCount(), 0);
  EXPECT_FALSE(Board.Timer().Enabled());
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::Turn), 1);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(P(r, c).Rotation, 1);
  // Turned clockwise: a row now runs downwards, a column leftwards.
  EXPECT_TRUE(Board.Attached(0, 0, 0, 1));
  EXPECT_TRUE(Board.Attached(0, 0, 1, 0));
  EXPECT_TRUE(Board.Attached(1, 1, 1, 2));
  EXPECT_EQ(P(0, 1).X, P(0, 0).X);
  EXPECT_EQ(P(0, 1).Y, P(0, 0).Y + Cell);
  EXPECT_EQ(P(1, 0).X, P(0, 0).X - CellH);
  EXPECT_EQ(P(1, 0).Y, P(0, 0).Y);
  // The clicked point stays on the piece: (125, 105) was 5, 5 from the top-left corner.
  EXPECT_NEAR(P(0, 0).X + P(0, 0).DisplayWidth() - 5, 125, 1);
}

TEST_F(BoardPlayTest, NoRotationLeavesRightClicksOnPiecesAlone) {
  Play(1, 1);
  Board.NoRotation = true;
  Put(0, 0, 100, 100);
  Scene.Down(110, 110, mbRight);
  EXPECT_EQ(P(0, 0).Rotation, 0);
  EXPECT_FALSE(P(0, 0).Rotating);
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::Turn), 0);
  EXPECT_TRUE(Scene.Menu.Opened.empty());
}

TEST_F(BoardPlayTest, InClickModeTheFirstClickPicksUpAndTheSecondDrops) {
  Play(2, 1, /*dragMode=*/false);
  Put(0, 0, 100, 100);
  const TPoint grip = Scene.Grip(0, 1);
  Scene.Down(grip.X, grip.Y);
  Scene.Up(grip.X, grip.Y);
  EXPECT_TRUE(P(0, 1).Grabbed);
  EXPECT_EQ(Board.ClickCount(), 1);
  // The piece follows the mouse without a button held.
  const int32_t dx = 100 + Cell + 3 - P(0, 1).X, dy = 100 - 2 - P(0, 1).Y;
  Scene.Move(grip.X + dx / 2, grip.Y + dy / 2, 0);
  Scene.Move(grip.X + dx, grip.Y + dy, 0);
  EXPECT_EQ(P(0, 1).X, 100 + Cell + 3);
  EXPECT_TRUE(P(0, 1).Grabbed);
  Scene.Down(grip.X + dx, grip.Y + dy);
  EXPECT_FALSE(P(0, 1).Grabbed);
  EXPECT_EQ(Board.ClickCount(), 0);
  EXPECT_EQ(P(0, 1).X, 100 + Cell);
  EXPECT_EQ(P(0, 1).Y, 100);
  EXPECT_EQ(Snaps(), 1);
  Scene.Up(grip.X + dx, grip.Y + dy);
  EXPECT_EQ(Board.GrabbedCount(), 0);
}

TEST_F(BoardPlayTest, CtrlClicksMarkPiecesThatThenMoveTogether) {
  Play(3, 1);
  Scene.App.Events.clear();
  for (const int col : {0, 2}) {
    const TPoint grip = Scene.Grip(0, col);
    Scene.Down(grip.X, grip.Y, mbLeft, ssCtrl);
    Scene.Up(grip.X, grip.Y);
    EXPECT_TRUE(P(0, col).Marked);
    EXPECT_EQ(Board.ZOrder().front(), (TZPos{static_cast<uint16_t>(col), 0}));
  }
  EXPECT_EQ(Board.MarkedCount(), 2);
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::PickUp), 0);
  // A second Ctrl-click unmarks.
  TPoint grip = Scene.Grip(0, 1);
  Scene.Down(grip.X, grip.Y, mbLeft, ssCtrl);
  Scene.Down(grip.X, grip.Y, mbLeft, ssCtrl);
  EXPECT_FALSE(P(0, 1).Marked);

  const int32_t x0 = P(0, 0).X, x1 = P(0, 1).X, x2 = P(0, 2).X;
  grip = Scene.Grip(0, 0);
  Scene.Down(grip.X, grip.Y);
  EXPECT_TRUE(P(0, 0).Grabbed);
  EXPECT_TRUE(P(0, 2).Grabbed);
  EXPECT_FALSE(P(0, 1).Grabbed);
  Scene.Move(grip.X + 7, grip.Y + 50);
  Scene.Up(grip.X + 7, grip.Y + 50);
  EXPECT_EQ(P(0, 0).X, x0 + 7);
  EXPECT_EQ(P(0, 2).X, x2 + 7);
  EXPECT_EQ(P(0, 1).X, x1);
}

TEST_F(BoardPlayTest, TheRubberBandMarksTheSamePiecesInEitherDirection) {
  Play(4, 3);
  // Centres of the pieces at (30 + 90c, 25 + 70r): a band from (60, 20) to (235, 170) holds columns 1 and 2
  // of rows 0 to 2 (centre y 25, 95, 165).
  std::set<std::pair<int, int>> marked[2];
  const TPoint corners[2][2] = {{{60, 20}, {235, 170}}, {{235, 170}, {60, 20}}};
  for (int direction = 0; direction < 2; ++direction) {
    Scene.Key(VK_D);
    Scene.Drag(corners[direction][0], corners[direction][1]);
    EXPECT_EQ(Board.Selection(), (TRect{-1, -1, -1, -1}));
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c)
        if (P(r, c).Marked) marked[direction].insert({r, c});
  }
  const std::set<std::pair<int, int>> expected{{0, 1}, {0, 2}, {1, 1}, {1, 2}, {2, 1}, {2, 2}};
  EXPECT_EQ(marked[0], expected);
  EXPECT_EQ(marked[1], expected);
  // Marked pieces come to the front.
  std::set<std::pair<int, int>> top;
  for (int i = 0; i < 6; ++i) top.insert({Board.ZOrder()[i].Row, Board.ZOrder()[i].Column});
  EXPECT_EQ(top, expected);
}

TEST_F(BoardPlayTest, TheRubberBandFollowsTheMouseAndHiddenPiecesStayUnmarked) {
  Play(2, 1);
  P(0, 1).Visible = false;
  Scene.Down(5, 5);
  EXPECT_EQ(Board.Selection(), (TRect{5, 5, 5, 5}));
  Scene.Move(150, 80);
  EXPECT_EQ(Board.Selection(), (TRect{5, 5, 150, 80}));
  Scene.Up(150, 80);
  EXPECT_TRUE(P(0, 0).Marked);
  EXPECT_FALSE(P(0, 1).Marked);
}

TEST_F(BoardPlayTest, HiddenPiecesAreNeitherHitNorSnappedTo) {
  Play(2, 1);
  Put(0, 0, 100, 100);
  P(0, 0).Visible = false;
  // A click on the hidden piece starts a rubber band.
  Scene.Down(110, 110);
  EXPECT_EQ(Board.GrabbedCount(), 0);
  EXPECT_EQ(Board.Selection().Left, 110);
  Scene.Up(110, 110);
  DragPieceTo(0, 1, 100 + Cell + 2, 100);
  EXPECT_EQ(P(0, 1).Joined, 0);
  EXPECT_EQ(Snaps(), 0);
}

TEST_F(BoardPlayTest, ThePointerEnteringAndLeavingTheAreaReachesTheBoard) {
  Play(1, 1);
  Scene.Root->DispatchMouse(TPoint{-1, -1}, kvmkEnter, 0, kvmbNone);
  EXPECT_TRUE(Board.Hovered());
  Scene.Root->DispatchMouse(TPoint{-1, -1}, kvmkLeave, 0, kvmbNone);
  EXPECT_FALSE(Board.Hovered());
}

TEST_F(BoardPlayTest, KeysMarkAllUnmarkAllAndEscapeAsksToClose) {
  Play(3, 2);
  Scene.Key(VK_A);
  EXPECT_EQ(Board.MarkedCount(), 6);
  // Marking everything keeps the stacking order.
  EXPECT_EQ(Board.ZOrder().front(), (TZPos{0, 0}));
  Scene.Key(VK_D);
  EXPECT_EQ(Board.MarkedCount(), 0);
  Scene.Key(VK_A, ssCtrl | ssShift);
  EXPECT_EQ(Board.MarkedCount(), 6);
  Scene.Key(VK_ESCAPE);
  EXPECT_EQ(Scene.App.Count(TAppCode::Close, VK_ESCAPE), 1);
}

TEST(BoardPopupTest, ThePopupMenuOpensOnEmptySpaceAndWhileNotRunning) {
  TBoardScene scene(400, 300, TRect{20, 30, 420, 330});
  kvtest::TGamePieces game = kvtest::MakePlainPieces(1, 1, Cell, CellH);
  scene.Play(std::move(game));
  // Right click on empty space: the menu at the screen point.
  scene.Down(200, 200, mbRight);
  ASSERT_EQ(scene.Menu.Opened.size(), 1u);
  EXPECT_EQ(scene.Menu.Opened[0], (TPoint{1200, 2200}));
  // Paused: only the menu, for the right button, even on a piece.
  scene.Board->Pause();
  const TPoint grip = scene.Grip(0, 0);
  scene.Down(grip.X, grip.Y, mbRight);
  scene.Down(grip.X, grip.Y);
  EXPECT_EQ(scene.Menu.Opened.size(), 2u);
  EXPECT_EQ(scene.Board->GrabbedCount(), 0);
  EXPECT_FALSE(scene.Board->Piece(0, 0).Rotating);
  scene.Board->Resume();
  scene.Down(grip.X, grip.Y);
  EXPECT_EQ(scene.Board->GrabbedCount(), 1);
}

TEST_F(BoardPlayTest, ALoosePieceDroppedOffTheBoardComesBackToItsEdge) {
  struct TCase {
    TPoint To, Expected;
  };
  // Board 400 x 300, piece 40 x 30: at most half of it may lie beyond the left and top edges; one that passed
  // the right or bottom edge comes back to half inside.
  const TCase cases[] = {{{-100, 50}, {-20, 50}},  {{-20, 50}, {-20, 50}}, {{50, -90}, {50, -15}},
                         {{401, 50}, {380, 50}},   {{400, 50}, {400, 50}}, {{50, 301}, {50, 285}},
                         {{-500, 900}, {-20, 285}}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.To.X << "," << c.To.Y);
    Play(1, 1);
    DragPieceTo(0, 0, c.To.X, c.To.Y);
    EXPECT_EQ(TPoint(P(0, 0).X, P(0, 0).Y), c.Expected);
  }
}

TEST_F(BoardPlayTest, AReleaseOutsideTheBoardDropsWhenThePointerComesBack) {
  Play(2, 1);
  Put(0, 0, 100, 100);
  const TPoint grip = Scene.Grip(0, 1);
  Scene.Down(grip.X, grip.Y);
  Scene.Move(500, 400);
  // Released beyond the board: the tree has no control there to take the release.
  Scene.Up(500, 400);
  EXPECT_EQ(Board.GrabbedCount(), 1);
  // The pointer returns without a button held: what was in hand is dropped where it was let go.
  Scene.Move(200, 150, 0);
  EXPECT_EQ(Board.GrabbedCount(), 0);
  EXPECT_EQ(P(0, 1).X, 400 - Cell / 2);
  EXPECT_EQ(P(0, 1).Y, 300 - CellH / 2);
  // A new press with pieces still in hand drops them first, too.
  const TPoint grip2 = Scene.Grip(0, 1);
  Scene.Down(grip2.X, grip2.Y);
  Scene.Move(grip2.X + 600, grip2.Y);
  Scene.Up(grip2.X + 600, grip2.Y);
  Scene.Down(5, 5);
  EXPECT_EQ(Board.GrabbedCount(), 0);
  EXPECT_EQ(P(0, 1).X, 400 - Cell / 2);
}

TEST_F(BoardPlayTest, AGroupThatLeftTheBoardIsBroughtBack) {
  Play(2, 1);
  Put(0, 0, 100, 100, 1);
  Put(0, 1, 100 + Cell, 100, 1);
  // Entirely above the board: down until one piece height of it is inside.
  DragPieceTo(0, 0, 100, -200);
  EXPECT_EQ(P(0, 0).Y, 0);
  EXPECT_EQ(P(0, 1).Y, 0);
  EXPECT_TRUE(Board.Attached(0, 0, 0, 1));
  // Entirely right of it: left until one piece width is inside.
  DragPieceTo(0, 0, 900, 100);
  EXPECT_EQ(P(0, 0).X, 400 - Cell);
  EXPECT_EQ(P(0, 1).X, 400);
  // Partly outside: left where it is.
  DragPieceTo(0, 0, -60, 100);
  EXPECT_EQ(P(0, 0).X, -60);
}

} // namespace
