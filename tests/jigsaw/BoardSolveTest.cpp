// The solving aids: one piece flown next to a neighbour, all pieces flown to their places, the flight in
// steps of 15 pixels with snapping on the way, and the win that follows.
#include "jigsaw/BoardFixture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

using namespace kv;
using kvtest::TBoardScene;

namespace {

constexpr int32_t Cell = 40, CellH = 30;

kvtest::TGamePieces Spread(int32_t cols, int32_t rows) {
  kvtest::TGamePieces game = kvtest::MakePlainPieces(cols, rows, Cell, CellH);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      game.Pieces[r][c].X = 200 + c * 60;
      game.Pieces[r][c].Y = 150 + r * 50;
    }
  return game;
}

class BoardSolveTest : public ::testing::Test {
protected:
  TBoardScene Scene{500, 400};
  TKVJigsawBoard& Board = *Scene.Board;
  TKVBoardPiece& P(int32_t row, int32_t col) { return Board.Piece(row, col); }
  // Lets the timer run until nothing flies (or a long time passed).
  void Fly() {
    for (int tick = 0; tick < 500 && Board.FlyingCount() > 0; ++tick) Scene.Platform.Advance(10);
    ASSERT_EQ(Board.FlyingCount(), 0);
  }
  void PickUpAndDrop(int32_t row, int32_t col) {
    const TPoint grip = Scene.Grip(row, col);
    Scene.Down(grip.X, grip.Y);
    Scene.Up(grip.X, grip.Y);
  }
};

TEST_F(BoardSolveTest, SolvingOnePieceFliesTheLastPiecePickedUpToItsNeighbourBelow) {
  Scene.Play(Spread(3, 2));
  P(0, 1).Rotation = 2;
  P(1, 1).Rotation = 3;
  PickUpAndDrop(0, 1);
  ASSERT_EQ(Board.LastCol(), 1);
  Board.SolveOnePiece();
  // Both turned to 0 in place; P flies, N ends on top.
  EXPECT_EQ(P(0, 1).Rotation, 0);
  EXPECT_EQ(P(1, 1).Rotation, 0);
  EXPECT_TRUE(P(0, 1).Flying);
  EXPECT_EQ(P(0, 1).TargetX, P(1, 1).X);
  EXPECT_EQ(P(0, 1).TargetY, P(1, 1).Y - CellH);
  EXPECT_EQ(Board.ZOrder()[0], (TZPos{1, 1}));
  EXPECT_EQ(Board.ZOrder()[1], (TZPos{1, 0}));
  EXPECT_TRUE(Board.Timer().Enabled());
  EXPECT_EQ(Board.Timer().Interval(), 10u);
  Fly();
  EXPECT_EQ(P(0, 1).X, P(1, 1).X);
  EXPECT_EQ(P(0, 1).Y, P(1, 1).Y - CellH);
  EXPECT_EQ(P(0, 1).Joined, 1);
  EXPECT_EQ(P(1, 1).Joined, 1);
  EXPECT_TRUE(Board.Attached(0, 1, 1, 1));
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::Snap), 1);
  EXPECT_FALSE(Board.Timer().Enabled());
  EXPECT_EQ(Scene.Wins, 0);
}

TEST_F(BoardSolveTest, TheNeighbourIsTheLastOneRowByRow) {
  struct TCase {
    int32_t Row, Col;
    TPoint Neighbour; // column, row
  };
  // Below if there is one, else right, else left, else above.
  const TCase cases[] = {{0, 0, {0, 1}}, {1, 0, {1, 1}}, {1, 2, {1, 1}}, {0, 2, {2, 1}}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Row << "," << c.Col);
    Scene.Play(Spread(3, 2));
    PickUpAndDrop(c.Row, c.Col);
    Board.SolveOnePiece();
    const TKVBoardPiece& n = P(c.Neighbour.Y, c.Neighbour.X);
    EXPECT_EQ(P(c.Row, c.Col).TargetX, n.X + (c.Col - c.Neighbour.X) * Cell);
    EXPECT_EQ(P(c.Row, c.Col).TargetY, n.Y + (c.Row - c.Neighbour.Y) * CellH);
    EXPECT_EQ(Board.ZOrder()[0],
              (TZPos{static_cast<uint16_t>(c.Neighbour.X), static_cast<uint16_t>(c.Neighbour.Y)}));
    Fly();
  }
}

TEST(BoardSolveDrawsTest, RandomDrawsPickALoosePieceAndFallBackToAScan) {
  struct TCase {
    const char* Name;
    std::vector<int32_t> Draws; // the random source's answers, then 0 for ever
    bool OriginJoined;
    TPoint Expected; // column, row of the piece that flies
    std::size_t Calls;
    bool PickJoinedFirst = false; // the piece last picked up is (1, 0), joined since
  };
  // 3 x 2 pieces; (0, 0) may be joined, (2, 1) always is (with its neighbour (2, 0) kept loose).
  std::vector<int32_t> late(2 * 499, 0);
  late.push_back(1); // the 500th draw finds (1, 0) loose, yet a scan decides
  late.push_back(0);
  const TCase cases[] = {
      {"first draw loose", {1, 1}, true, {1, 1}, 2},
      {"joined draws, then loose", {0, 0, 0, 0, 2, 0}, true, {2, 0}, 6},
      {"never loose: scan, last loose row by row", {}, true, {1, 1}, 1002},
      {"loose at the 500th draw: scan", late, true, {1, 1}, 1000},
      {"origin loose", {}, false, {0, 0}, 2},
      {"last picked up but joined: draws decide", {2, 0}, true, {2, 0}, 2, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::deque<int32_t> answers(c.Draws.begin(), c.Draws.end());
    std::size_t calls = 0;
    TBoardScene scene(500, 400, [&](TPlatformServices& services) {
      services.Random = std::make_shared<kvtest::ScriptedRandom>([&](int32_t limit) {
        ++calls;
        int32_t v = 0;
        if (!answers.empty()) {
          v = answers.front();
          answers.pop_front();
        }
        EXPECT_LT(v, limit);
        return v;
      });
    });
    scene.Play(Spread(3, 2));
    scene.Board->Piece(0, 0).Joined = c.OriginJoined ? 1 : 0;
    scene.Board->Piece(1, 2).Joined = 1;
    if (c.PickJoinedFirst) {
      const TPoint grip = scene.Grip(0, 1);
      scene.Down(grip.X, grip.Y);
      scene.Up(grip.X, grip.Y);
      ASSERT_EQ(scene.Board->LastCol(), 1);
      scene.Board->Piece(0, 1).Joined = 1;
    }
    scene.Board->SolveOnePiece();
    EXPECT_EQ(calls, c.Calls);
    ASSERT_EQ(scene.Board->FlyingCount(), 1);
    EXPECT_TRUE(scene.Board->Piece(c.Expected.Y, c.Expected.X).Flying);
  }
}

TEST_F(BoardSolveTest, SolvingOnePieceDoesNothingWhenEveryPieceIsJoinedOrTheBoardIsNotPlaying) {
  Scene.Play(Spread(3, 2));
  for (TKVBoardPiece& p : Board.Pieces()) p.Joined = 1;
  Board.SolveOnePiece();
  EXPECT_EQ(Board.FlyingCount(), 0);
  EXPECT_FALSE(Board.Timer().Enabled());

  for (TKVBoardPiece& p : Board.Pieces()) p.Joined = 0;
  Board.Pause();
  Board.SolveOnePiece();
  Board.SolveAll(0);
  EXPECT_EQ(Board.FlyingCount(), 0);
  Board.Resume();
  // Busy: a piece turning.
  Scene.Down(Scene.Grip(0, 0).X, Scene.Grip(0, 0).Y, mbRight);
  ASSERT_EQ(Board.RotatingCount(), 1);
  Board.SolveOnePiece();
  Board.SolveAll(0);
  EXPECT_EQ(Board.FlyingCount(), 0);
}

TEST_F(BoardSolveTest, APiecePassingAFittingNeighbourLandsOnItsTargetAtOnce) {
  kvtest::TGamePieces game = Spread(2, 2);
  game.Pieces[0][0].X = 100;
  game.Pieces[0][0].Y = 20;
  game.Pieces[1][0].X = 100;
  game.Pieces[1][0].Y = 200;
  // Where (0, 0) fits its right neighbour when it passes y = 80 on its way down.
  game.Pieces[0][1].X = 140;
  game.Pieces[0][1].Y = 80;
  Scene.Play(std::move(game));
  PickUpAndDrop(0, 0);
  Board.SolveOnePiece();
  ASSERT_EQ(P(0, 0).TargetY, 170);
  Scene.Platform.Advance(30);
  EXPECT_EQ(P(0, 0).Y, 65);
  EXPECT_TRUE(P(0, 0).Flying);
  Scene.Platform.Advance(10);
  EXPECT_FALSE(P(0, 0).Flying);
  EXPECT_EQ(P(0, 0).X, 100);
  EXPECT_EQ(P(0, 0).Y, 170);
  EXPECT_EQ(P(0, 1).Joined, 1);
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayOnce, TGameEvent::Snap), 1);
}

TEST_F(BoardSolveTest, SolvingAllAsksFirstWhenToldAndADeclineChangesNothing) {
  Scene.Play(Spread(3, 2));
  P(1, 2).Rotation = 3;
  std::vector<TKVBoardPiece> before(Board.Pieces().begin(), Board.Pieces().end());
  Scene.Platform.Boxes.Answers = {false};
  Board.SolveAll(1);
  ASSERT_EQ(Scene.Platform.Boxes.Shown.size(), 1u);
  EXPECT_EQ(Scene.Platform.Boxes.Shown[0],
            (TScriptedMessageBoxes::TShown{"confirmation", "Solve all pieces?"}));
  EXPECT_FALSE(Board.Timer().Enabled());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(Board.Pieces()[i].X, before[i].X);
    EXPECT_EQ(Board.Pieces()[i].Rotation, before[i].Rotation);
    EXPECT_FALSE(Board.Pieces()[i].Flying);
  }
  // Any other value than 0 and 1 does nothing.
  Board.SolveAll(2);
  EXPECT_EQ(Scene.Platform.Boxes.Shown.size(), 1u);
  EXPECT_EQ(Board.FlyingCount(), 0);

  Scene.Platform.Boxes.Answers = {true};
  Board.SolveAll(1);
  EXPECT_EQ(Scene.Platform.Boxes.Shown.size(), 2u);
  EXPECT_EQ(Board.FlyingCount(), 6);
  Fly();
  for (const TKVBoardPiece& p : Board.Pieces()) {
    EXPECT_EQ(p.X, p.CorrectX);
    EXPECT_EQ(p.Y, p.CorrectY);
    EXPECT_EQ(p.Rotation, 0);
    EXPECT_EQ(p.Joined, 1);
  }
  EXPECT_EQ(Scene.Wins, 1);
  EXPECT_EQ(Scene.App.Count(TAppCode::PlayRepeating, TGameEvent::Complete), 1);
  // Won: the aids do nothing more.
  Board.SolveAll(0);
  Board.SolveOnePiece();
  EXPECT_EQ(Board.FlyingCount(), 0);
  EXPECT_EQ(Scene.Platform.Boxes.Shown.size(), 2u);
}

TEST_F(BoardSolveTest, SolvingAllAtOnceAsksNothing) {
  Scene.Play(Spread(2, 2));
  Board.SolveAll(0);
  EXPECT_TRUE(Scene.Platform.Boxes.Shown.empty());
  Fly();
  EXPECT_EQ(Scene.Wins, 1);
}

TEST_F(BoardSolveTest, FlightsGoInStepsOf15PixelsPerAxis) {
  kvtest::TGamePieces game = kvtest::MakePlainPieces(1, 1, Cell, CellH);
  game.Pieces[0][0].X = 50;
  game.Pieces[0][0].Y = 200;
  Scene.Play(std::move(game));
  Board.SolveAll(0);
  const TPoint path[] = {{35, 185}, {20, 170}, {5, 155}, {0, 140}, {0, 125}};
  for (const TPoint& at : path) {
    Scene.Platform.Advance(10);
    EXPECT_EQ(TPoint(P(0, 0).X, P(0, 0).Y), at);
  }
  Fly();
  EXPECT_EQ(TPoint(P(0, 0).X, P(0, 0).Y), (TPoint{0, 0}));
}

TEST_F(BoardSolveTest, AOnePiecePuzzleIsSolvedByEitherAid) {
  for (const bool all : {true, false}) {
    SCOPED_TRACE(all ? "all" : "one");
    kvtest::TGamePieces game = kvtest::MakePlainPieces(1, 1, Cell, CellH);
    game.Pieces[0][0].X = 300;
    game.Pieces[0][0].Y = 10;
    game.Pieces[0][0].CorrectX = 7;
    game.Pieces[0][0].CorrectY = 9;
    Scene.Wins = 0;
    Scene.Play(std::move(game));
    if (all)
      Board.SolveAll(0);
    else
      Board.SolveOnePiece();
    Fly();
    EXPECT_EQ(TPoint(P(0, 0).X, P(0, 0).Y), (TPoint{7, 9}));
    EXPECT_EQ(P(0, 0).Joined, 1);
    EXPECT_EQ(Scene.Wins, 1);
    EXPECT_TRUE(Board.Won());
  }
}

TEST_F(BoardSolveTest, WhileFlyingOnlyTheMenuAnswersTheMouseAndPiecesInHandArePutDown) {
  Scene.Play(Spread(2, 1), /*dragMode=*/false);
  const TPoint grip = Scene.Grip(0, 1);
  Scene.Down(grip.X, grip.Y);
  ASSERT_TRUE(P(0, 1).Grabbed);
  Board.SolveAll(0);
  EXPECT_EQ(Board.GrabbedCount(), 0);
  const int32_t x = P(0, 1).X;
  Scene.Move(grip.X + 50, grip.Y + 50, 0);
  EXPECT_EQ(P(0, 1).X, x);
  Scene.Down(grip.X + 50, grip.Y + 50);
  EXPECT_EQ(Board.GrabbedCount(), 0);
  Scene.Down(grip.X + 50, grip.Y + 50, mbRight);
  EXPECT_EQ(Scene.Menu.Opened.size(), 1u);
  Fly();
  EXPECT_EQ(Scene.Wins, 1);
}

} // namespace
