// The board's model: loading pieces, the stacking order, the cell geometry and the attachment rule, and the
// piece states a saved game takes from it.
#include "jigsaw/BoardFixture.h"

#include "core/uKVErrors.h"
#include "gui/uPictureConverters.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

using namespace kv;
using kvtest::TBoardScene;

namespace {

class BoardModelTest : public ::testing::Test {
protected:
  TBoardScene Scene{400, 300};
  TKVJigsawBoard& Board = *Scene.Board;
};

TEST_F(BoardModelTest, NewBoardHoldsItsDefaults) {
  EXPECT_EQ(Board.Magnet, 6);
  EXPECT_EQ(Board.RotationStep, 10);
  EXPECT_EQ(Board.FlyStep, 15);
  EXPECT_FALSE(Board.DragMode);
  EXPECT_FALSE(Board.Timer().Enabled());
  EXPECT_EQ(Board.Selection(), (TRect{-1, -1, -1, -1}));
  EXPECT_EQ(Board.LastCol(), -1);
  EXPECT_EQ(Board.LastRow(), -1);
  EXPECT_TRUE(Board.Options & kvcoHitTest);
  EXPECT_EQ(Board.State(), TGameState::Stopped);
  // Published as the board's properties.
  ASSERT_NE(Board.FindProperty("DragMode"), nullptr);
  ASSERT_NE(Board.FindProperty("Magnet"), nullptr);
  Board.FindProperty("Magnet")->SetInt(Board, 9);
  EXPECT_EQ(Board.Magnet, 9);
}

TEST_F(BoardModelTest, LoadPiecesCopiesStatesAndTakesImagesOverWithoutCopying) {
  kvtest::TGamePieces game = kvtest::MakePlainPieces(3, 2, 20, 16);
  TPiece& source = game.Pieces[1][2];
  source.X = 111;
  source.Y = -7;
  source.Rotation = 3;
  source.StartRotation = 2;
  source.Joined = 1;
  source.LeftEdge = 4;
  source.TopSize = 9;
  const uint8_t* codedBytes[4];
  for (int k = 0; k < 4; ++k) codedBytes[k] = source.Images[k].data();
  const std::size_t codedSize = source.Images[0].size();

  Board.LoadPieces(std::move(game.Pieces), 3, 2);

  ASSERT_EQ(Board.Cols(), 3);
  ASSERT_EQ(Board.Rows(), 2);
  EXPECT_EQ(Board.PieceCount(), 6);
  const TKVBoardPiece& piece = Board.Piece(1, 2);
  EXPECT_EQ(piece.X, 111);
  EXPECT_EQ(piece.Y, -7);
  EXPECT_EQ(piece.Rotation, 3);
  EXPECT_EQ(piece.StartRotation, 2);
  EXPECT_EQ(piece.Joined, 1);
  EXPECT_EQ(piece.LeftEdge, 4);
  EXPECT_EQ(piece.TopSize, 9);
  EXPECT_EQ(piece.Column, 2);
  EXPECT_EQ(piece.Row, 1);
  EXPECT_EQ(piece.Width, 20);
  EXPECT_EQ(piece.Height, 16);
  // Transient flags start clear.
  EXPECT_FALSE(piece.Marked);
  EXPECT_FALSE(piece.Grabbed);
  EXPECT_FALSE(piece.Rotating);
  // The very bytes the builder coded, moved rather than copied; the source keeps its state alone.
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Board.Sprite(1, 2).Images[k].data(), codedBytes[k]);
  EXPECT_EQ(Board.Sprite(1, 2).Images[0].size(), codedSize);
  EXPECT_TRUE(game.Pieces[1][2].Images[0].empty());
  EXPECT_EQ(game.Pieces[1][2].X, 111);
}

TEST_F(BoardModelTest, LoadPiecesRefusesAGridOfAnotherSize) {
  struct TCase {
    int32_t Cols, Rows;
  };
  for (const TCase c : {TCase{3, 3}, TCase{2, 2}, TCase{-1, 2}, TCase{3, 0}}) {
    kvtest::TGamePieces game = kvtest::MakePlainPieces(3, 2, 10, 10);
    EXPECT_THROW(Board.LoadPieces(std::move(game.Pieces), c.Cols, c.Rows), Exception)
        << c.Cols << "x" << c.Rows;
  }
  kvtest::TGamePieces ragged = kvtest::MakePlainPieces(3, 2, 10, 10);
  ragged.Pieces[1].pop_back();
  EXPECT_THROW(Board.LoadPieces(std::move(ragged.Pieces), 3, 2), Exception);
  EXPECT_EQ(Board.PieceCount(), 0);
}

TEST_F(BoardModelTest, PrepareResetsTheStackingOrderColumnByColumn) {
  Board.LoadPieces(std::move(kvtest::MakePlainPieces(3, 2, 10, 10).Pieces), 3, 2);
  Board.RaisePiece(2, 1);
  Board.Prepare();
  const TZPosArray expected{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}};
  EXPECT_EQ(Board.ZOrder(), expected);
  EXPECT_TRUE(Board.IsPrepared());
}

TEST_F(BoardModelTest, RaisePieceMovesOneEntryToTheTop) {
  Board.LoadPieces(std::move(kvtest::MakePlainPieces(2, 2, 10, 10).Pieces), 2, 2);
  Board.Prepare();
  Board.RaisePiece(1, 0); // entry 2
  EXPECT_EQ(Board.ZOrder(), (TZPosArray{{1, 0}, {0, 0}, {0, 1}, {1, 1}}));
  // Already on top: unchanged.
  Board.RaisePiece(1, 0);
  EXPECT_EQ(Board.ZOrder(), (TZPosArray{{1, 0}, {0, 0}, {0, 1}, {1, 1}}));
  Board.RaisePiece(1, 1); // the bottom entry
  EXPECT_EQ(Board.ZOrder(), (TZPosArray{{1, 1}, {1, 0}, {0, 0}, {0, 1}}));
  // Cells outside the grid change nothing.
  Board.RaisePiece(5, 0);
  EXPECT_EQ(Board.ZOrder(), (TZPosArray{{1, 1}, {1, 0}, {0, 0}, {0, 1}}));
}

// A 3 x 2 cut with templates: the solved rectangles and the origins of the turned puzzle.
class BoardGeometryTest : public BoardModelTest {
protected:
  void SetUp() override {
    kvtest::TGamePieces game = kvtest::MakePlainPieces(3, 2, 30, 20);
    // Margins of a cut: half of each template reaches into the neighbour's cell.
    const int lefts[3] = {0, 10, 8}, rights[3] = {10, 8, 0}, tops[2] = {0, 6}, bottoms[2] = {6, 0};
    for (int r = 0; r < 2; ++r)
      for (int c = 0; c < 3; ++c) {
        TPiece& p = game.Pieces[r][c];
        p.LeftEdge = lefts[c] ? 1 : 0;
        p.LeftSize = static_cast<uint8_t>(lefts[c]);
        p.RightEdge = rights[c] ? 1 : 0;
        p.RightSize = static_cast<uint8_t>(rights[c]);
        p.TopEdge = tops[r] ? 1 : 0;
        p.TopSize = static_cast<uint8_t>(tops[r]);
        p.BottomEdge = bottoms[r] ? 1 : 0;
        p.BottomSize = static_cast<uint8_t>(bottoms[r]);
        p.Width = 30 + lefts[c] / 2 + rights[c] / 2;
        p.Height = 20 + tops[r] / 2 + bottoms[r] / 2;
      }
    Board.LoadPieces(std::move(game.Pieces), 3, 2);
    Board.CellWidth = 30;
    Board.CellHeight = 20;
  }
};

TEST_F(BoardGeometryTest, SolvedRectsLieInTheAssembledPicture) {
  EXPECT_EQ(Board.SolvedRect(0, 0), (TRect{0, 0, 35, 23}));
  EXPECT_EQ(Board.SolvedRect(0, 1), (TRect{25, 0, 64, 23}));
  EXPECT_EQ(Board.SolvedRect(0, 2), (TRect{56, 0, 90, 23}));
  EXPECT_EQ(Board.SolvedRect(1, 0), (TRect{0, 17, 35, 40}));
  EXPECT_EQ(Board.SolvedRect(1, 1), (TRect{25, 17, 64, 40}));
  EXPECT_EQ(Board.SolvedRect(1, 2), (TRect{56, 17, 90, 40}));
}

TEST_F(BoardGeometryTest, RotatedOriginsFollowTheTable) {
  struct TCase {
    int32_t Row, Col;
    int R;
    TPoint Expected;
  };
  const TCase cases[] = {
      {1, 1, 0, {25, 17}},
      // r = 1: (S(Rows-1, col).bottom - S.bottom, S.left - S(row, 0).left)
      {0, 0, 1, {40 - 23, 0}},
      {1, 1, 1, {0, 25}},
      {0, 2, 1, {17, 56}},
      // r = 2: (S(row, Cols-1).right - S.right, S(Rows-1, col).bottom - S.bottom)
      {0, 0, 2, {90 - 35, 17}},
      {1, 2, 2, {0, 0}},
      // r = 3: (S.top - S(0, col).top, S(row, Cols-1).right - S.right)
      {1, 0, 3, {17, 55}},
      {0, 2, 3, {0, 0}},
  };
  for (const TCase& c : cases) {
    const TPoint o = Board.RotatedOrigin(c.Row, c.Col, c.R);
    EXPECT_EQ(o, c.Expected) << c.Row << "," << c.Col << " r" << c.R;
  }
}

TEST_F(BoardGeometryTest, TurnedPuzzleKeepsNeighboursApartByTheirTurnedOffsets) {
  // In rotation 1 the piece to the right of another lies below it, the one below lies to its left.
  const TPoint a = Board.RotatedOrigin(0, 0, 1), right = Board.RotatedOrigin(0, 1, 1),
               below = Board.RotatedOrigin(1, 0, 1);
  EXPECT_EQ(right.X, a.X);
  EXPECT_GT(right.Y, a.Y);
  EXPECT_LT(below.X, a.X);
  EXPECT_EQ(below.Y, a.Y);
}

TEST_F(BoardGeometryTest, AttachedNeedsNeighboursJoinedInOneRotationWithinMagnet) {
  // Pieces at the exact relative places of the assembled picture, shifted as a whole.
  auto place = [&](int r, int c, int dx, int dy) {
    TKVBoardPiece& p = Board.Piece(r, c);
    const TPoint o = Board.RotatedOrigin(r, c, p.Rotation);
    p.X = 100 + o.X + dx;
    p.Y = 50 + o.Y + dy;
  };
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) {
      Board.Piece(r, c).Joined = 1;
      place(r, c, 0, 0);
    }
  EXPECT_TRUE(Board.Attached(0, 0, 0, 1));
  EXPECT_TRUE(Board.Attached(0, 1, 1, 1));
  // Not neighbours: diagonal, same cell, two apart.
  EXPECT_FALSE(Board.Attached(0, 0, 1, 1));
  EXPECT_FALSE(Board.Attached(0, 0, 0, 0));
  EXPECT_FALSE(Board.Attached(0, 0, 0, 2));

  struct TCase {
    int Dx, Dy;
    uint8_t Magnet;
    bool Expected;
  };
  const TCase cases[] = {{6, 0, 6, true}, {7, 0, 6, false}, {0, -6, 6, true}, {0, -7, 6, false},
                         {6, 6, 6, true}, {0, 0, 0, true},  {1, 0, 0, false}, {-3, 2, 3, true}};
  for (const TCase& c : cases) {
    Board.Magnet = c.Magnet;
    place(0, 1, c.Dx, c.Dy);
    EXPECT_EQ(Board.Attached(0, 0, 0, 1), c.Expected) << c.Dx << "," << c.Dy << " magnet " << int(c.Magnet);
    EXPECT_EQ(Board.Attached(0, 1, 0, 0), c.Expected);
  }
  Board.Magnet = 6;
  place(0, 1, 0, 0);

  // Joined on both sides is required, however exact.
  Board.Piece(0, 1).Joined = 0;
  EXPECT_FALSE(Board.Attached(0, 0, 0, 1));
  Board.Piece(0, 1).Joined = 1;

  // Neighbours in different rotations are never attached, however close.
  Board.Piece(0, 1).Rotation = 2;
  place(0, 1, 0, 0);
  EXPECT_FALSE(Board.Attached(0, 0, 0, 1));
  // In the same turned rotation at their turned offsets they are.
  Board.Piece(0, 0).Rotation = 2;
  place(0, 0, 0, 0);
  EXPECT_TRUE(Board.Attached(0, 0, 0, 1));
}

TEST_F(BoardModelTest, ASavedGameTakesThePieceStatesFromTheBoard) {
  kvtest::TGamePieces game = kvtest::MakePlainPieces(3, 2, 12, 10);
  game.Pieces[0][1].RightEdge = 7;
  game.Pieces[1][0].Joined = 1;
  game.Pieces[1][2].StartX = 99;
  Board.LoadPieces(std::move(game.Pieces), 3, 2);
  Board.Piece(1, 2).X = 321;
  Board.Piece(1, 2).Rotation = 2;

  TJigsawFile file;
  file.Columns = Board.Columns();
  file.Rows = Board.Rows();
  file.SetPieces(&Board);
  kvtest::TempDir dir;
  const std::string name = dir.file("game.jsw");
  file.SaveToFile(name);

  TJigsawFile loaded;
  loaded.LoadFromFile(name, ReadPictureSize);
  ASSERT_EQ(loaded.PieceStates.size(), 6u);
  EXPECT_EQ(loaded.PieceStates[1].RightEdge, 7);
  EXPECT_EQ(loaded.PieceStates[3].Joined, 1);
  EXPECT_EQ(loaded.PieceStates[5].X, 321);
  EXPECT_EQ(loaded.PieceStates[5].Rotation, 2);
  EXPECT_EQ(loaded.PieceStates[5].StartX, 99);
  EXPECT_EQ(loaded.PieceStates[5].Width, 12);
  EXPECT_EQ(loaded.PieceStates[5].CorrectY, 10);

  // An edge shape beyond a byte cannot be saved.
  Board.Piece(0, 0).TopEdge = 300;
  EXPECT_THROW(Board.State(0, 0), Exception);
}

TEST_F(BoardModelTest, ResetClearsTheTransientStateAndClearPiecesEmptiesTheGrid) {
  Board.LoadPieces(std::move(kvtest::MakePlainPieces(2, 2, 10, 10).Pieces), 2, 2);
  Board.Prepare();
  Board.Start();
  for (TKVBoardPiece& p : Board.Pieces()) {
    p.Marked = p.Grabbed = p.Rotating = p.Flying = true;
    p.Angle = -30;
  }
  Board.Reset();
  EXPECT_EQ(Board.State(), TGameState::Stopped);
  for (const TKVBoardPiece& p : Board.Pieces()) {
    EXPECT_FALSE(p.Marked || p.Grabbed || p.Rotating || p.Flying);
    EXPECT_EQ(p.Angle, 0);
  }
  EXPECT_FALSE(Board.Timer().Enabled());
  EXPECT_EQ(Board.Selection(), (TRect{-1, -1, -1, -1}));

  Board.ClearPieces();
  EXPECT_EQ(Board.PieceCount(), 0);
  EXPECT_TRUE(Board.ZOrder().empty());
  EXPECT_TRUE(Board.Pieces().empty());
}

TEST_F(BoardModelTest, StatesFromAnySavedGameAreTakenWithinBounds) {
  kvtest::TGamePieces game = kvtest::MakePlainPieces(3, 1, 10, 10);
  TPiece& p = game.Pieces[0][0];
  p.Rotation = 6;
  p.Joined = 5;
  p.X = INT32_MAX;
  p.Y = INT32_MIN;
  p.CorrectX = INT32_MIN;
  game.Pieces[0][1].X = INT32_MAX - 5;
  game.Pieces[0][2].X = 50;
  game.Pieces[0][2].Y = 50;
  Board.LoadPieces(std::move(game.Pieces), 3, 1);
  EXPECT_EQ(Board.Piece(0, 0).Rotation, 2);
  EXPECT_EQ(Board.Piece(0, 0).Joined, 1);
  EXPECT_EQ(Board.Piece(0, 0).X, 1 << 24);
  EXPECT_EQ(Board.Piece(0, 0).Y, -(1 << 24));
  EXPECT_EQ(Board.Piece(0, 0).CorrectX, -(1 << 24));
  // Such pieces play: a drop brings the loose one back to the board's edge, and moves the joined one towards
  // the board (by at most its size beyond twice the board, as far as the group rule reaches).
  Board.CellWidth = Board.CellHeight = 10;
  Board.DragMode = true;
  Board.Prepare();
  Board.Start();
  Scene.Drag(Scene.Grip(0, 2), TPoint{120, 120});
  EXPECT_EQ(Board.Piece(0, 1).X, 400 - 5);
  // A drop settles the board twice.
  EXPECT_EQ(Board.Piece(0, 0).X, (1 << 24) - 2 * (800 - 400 + 10));
  EXPECT_EQ(Board.Piece(0, 0).Y, -(1 << 24) + 2 * (10 + 65535));
  Scene.Frame();
}

} // namespace
