// The board's model on its own, without a control tree, timers or images: groups, turns, settling and the
// completion check.
#include "jigsaw/uKVJigsawBoardModel.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kv;

namespace {

// cols x rows pieces of cell size, straight edges, lying at their places in the picture; joined when asked.
TKVJigsawBoardModel Model(int32_t cols, int32_t rows, int32_t cellWidth, int32_t cellHeight, bool joined) {
  std::vector<TKVBoardPiece> pieces;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      TKVBoardPiece piece;
      piece.Row = r;
      piece.Column = c;
      piece.Width = cellWidth;
      piece.Height = cellHeight;
      piece.X = piece.CorrectX = c * cellWidth;
      piece.Y = piece.CorrectY = r * cellHeight;
      piece.Joined = joined ? 1 : 0;
      pieces.push_back(piece);
    }
  TKVJigsawBoardModel model;
  model.CellWidth = cellWidth;
  model.CellHeight = cellHeight;
  model.Load(std::move(pieces), cols, rows);
  return model;
}

TEST(PlainBoardModelTest, GrabTakesTheGroupRaisingEachPieceAsItIsReached) {
  TKVJigsawBoardModel model = Model(3, 1, 20, 10, true);
  // Column 2 lies apart: it is no longer attached to column 1.
  model.Piece(2).X += 50;
  model.Grab(0);
  EXPECT_TRUE(model.Piece(0).Grabbed);
  EXPECT_TRUE(model.Piece(1).Grabbed);
  EXPECT_FALSE(model.Piece(2).Grabbed);
  EXPECT_EQ(model.ZOrder(), (TZPosArray{{1, 0}, {0, 0}, {2, 0}}));
}

TEST(PlainBoardModelTest, MarkingAGroupLeavesHiddenPiecesOut) {
  TKVJigsawBoardModel model = Model(3, 1, 20, 10, true);
  model.Piece(1).Visible = false;
  model.MarkGroup(0);
  EXPECT_TRUE(model.Piece(0).Marked);
  EXPECT_FALSE(model.Piece(1).Marked);
  // The walk does not lead through the hidden piece either.
  EXPECT_FALSE(model.Piece(2).Marked);
}

TEST(PlainBoardModelTest, CompletionIsReportedOnceAndOnlyForOneGroup) {
  TKVJigsawBoardModel apart = Model(2, 2, 20, 10, true);
  apart.Piece(1).X += 100;
  apart.Piece(3).X += 100;
  EXPECT_FALSE(apart.CheckComplete());
  EXPECT_FALSE(apart.Won());

  TKVJigsawBoardModel whole = Model(2, 2, 20, 10, true);
  EXPECT_TRUE(whole.CheckComplete());
  EXPECT_TRUE(whole.Won());
  EXPECT_FALSE(whole.CheckComplete());
  whole.ResetPlay();
  EXPECT_FALSE(whole.Won());
}

TEST(PlainBoardModelTest, AQuarterTurnMovesTheCornerByTheRoundedTurnedBounds) {
  TKVBoardPiece piece;
  piece.Width = 20;
  piece.Height = 10;
  piece.Rotation = 1; // turned from rotation 0: 20 x 10 before the turn
  // Left edge PivotX + PivotY - h + w, top edge PivotY - PivotX + h; an odd edge rounds down by one.
  piece.PivotX = 3;
  piece.PivotY = 4;
  EXPECT_EQ(TKVJigsawBoardModel::QuarterTurnShift(piece), (TPoint{16 - 20, 10 - 10}));
  piece.PivotX = 4;
  EXPECT_EQ(TKVJigsawBoardModel::QuarterTurnShift(piece), (TPoint{18 - 20, 10 - 10}));
}

TEST(PlainBoardModelTest, AGroupTurnsTogetherAndStaysAttached) {
  TKVJigsawBoardModel model = Model(2, 1, 20, 10, true);
  model.StartTurn(1, 25, 5);
  EXPECT_EQ(model.RotatingCount(), 2);
  EXPECT_EQ(model.Piece(0).Rotation, 1);
  EXPECT_EQ(model.Piece(1).Rotation, 1);
  EXPECT_EQ(model.Piece(0).PivotX, 25);
  EXPECT_EQ(model.Piece(1).PivotX, 5);
  model.FinishTurn(0);
  EXPECT_EQ(model.RotatingCount(), 0);
  EXPECT_TRUE(model.Attached(0, 0, 0, 1));
}

TEST(PlainBoardModelTest, SettlingKeepsThePiecesInHandAndBringsLostOnesBack) {
  TKVJigsawBoardModel model = Model(2, 1, 20, 10, false);
  model.Piece(0).Grabbed = true;
  model.Piece(1).X = -500;
  model.SettleBoard(100, 80);
  EXPECT_TRUE(model.Piece(0).Grabbed);
  EXPECT_FALSE(model.Piece(1).Grabbed);
  EXPECT_EQ(model.Piece(1).X, -10);
}

} // namespace
