#include "jigsaw/uKVJigsawBoardPiece.h"

#include "core/uKVErrors.h"

#include <gtest/gtest.h>

namespace {

TEST(BoardPieceTest, CreatedPlayStateHasNoTargetAndIsShown) {
  const kv::TKVBoardPiece piece;
  EXPECT_EQ(piece.TargetX, -1);
  EXPECT_EQ(piece.TargetY, -1);
  EXPECT_TRUE(piece.Visible);
  EXPECT_FALSE(piece.Flying || piece.Marked || piece.Grabbed || piece.Rotating);
}

TEST(BoardPieceTest, TheBoardKeepsTheBuiltStateAndSavesItBack) {
  kv::TPiece built;
  built.LeftEdge = 3;
  built.BottomEdge = 255;
  built.X = -40;
  built.Y = 71;
  built.CorrectX = 20;
  built.CorrectY = 30;
  built.StartX = 5;
  built.StartY = 6;
  built.Width = 48;
  built.Height = 36;
  built.Rotation = 2;
  built.StartRotation = 1;
  built.Joined = 1;
  built.TopSize = 9;
  const kv::TKVBoardPiece piece = kv::BoardPieceState(built);
  EXPECT_EQ(piece.State(), built.State());
  EXPECT_EQ(piece.TopSize, 9);
  EXPECT_EQ(kv::BoardPieceSaveState(piece), built.State());
}

TEST(BoardPieceTest, AnEdgeBeyondAByteIsNotSaved) {
  kv::TKVBoardPiece piece;
  piece.RightEdge = 256;
  EXPECT_THROW(kv::BoardPieceSaveState(piece), kv::Exception);
  EXPECT_THROW(piece.Encode(), kv::Exception);
}

} // namespace
