// A whole game of real pieces, built from a picture by the piece builder and played with the mouse on the
// paint surface: every piece turned upright with right clicks, then dropped near its place, until the
// picture is whole.
#include "jigsaw/BoardFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kv;
using kvtest::TBoardScene;

namespace {

TEST(BoardGameTest, AGameIsPlayedFromScatteredPiecesToTheWin) {
  kvtest::TGamePieces game = kvtest::BuildGamePieces(240, 180, 0, /*noRotation=*/false, 500, 400);
  const int32_t cols = game.Cols, rows = game.Rows;
  ASSERT_GE(cols * rows, 5);
  // Each piece in a slot of its own on the left, the picture to be made on the right.
  int32_t slot = 0;
  for (const auto& row : game.Pieces)
    for (const TPiece& p : row) slot = std::max({slot, p.Width, p.Height});
  slot += 24;
  const int32_t perRow = 660 / slot;
  ASSERT_GE(perRow * (700 / slot), cols * rows);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const int32_t i = r * cols + c;
      game.Pieces[r][c].X = 12 + (i % perRow) * slot;
      game.Pieces[r][c].Y = 12 + (i / perRow) * slot;
    }
  bool turned = false;
  for (const auto& row : game.Pieces)
    for (const TPiece& p : row) turned |= p.Rotation != 0;
  ASSERT_TRUE(turned) << "the builder scatters pieces in all rotations";

  TBoardScene scene(1000, 720);
  scene.Play(std::move(game));
  TKVJigsawBoard& board = *scene.Board;

  // Upright first: each right click turns a piece a quarter, in nine steps of 20 ms.
  int turns = 0;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c)
      while (board.Piece(r, c).Rotation != 0) {
        const TPoint grip = scene.Grip(r, c);
        scene.Down(grip.X, grip.Y, mbRight);
        scene.Up(grip.X, grip.Y, mbRight);
        scene.Platform.Advance(200);
        ASSERT_FALSE(board.Piece(r, c).Rotating);
        ++turns;
      }
  EXPECT_EQ(scene.App.Count(TAppCode::PlayOnce, TGameEvent::Turn), turns);

  // Then each piece near its place next to those already there.
  const TPoint anchor{700, 120};
  const TKVBoardPiece& first = board.Piece(0, 0);
  const TPoint jitters[] = {{3, -2}, {-4, 5}, {6, 6}, {-6, 0}, {0, -5}, {2, 4}};
  int drops = 0;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const TKVBoardPiece& p = board.Piece(r, c);
      const TPoint place{anchor.X + p.CorrectX - (r == 0 && c == 0 ? p.CorrectX : first.CorrectX),
                         anchor.Y + p.CorrectY - (r == 0 && c == 0 ? p.CorrectY : first.CorrectY)};
      const TPoint jitter = (r == 0 && c == 0) ? TPoint{} : jitters[drops % 6];
      const TPoint grip = scene.Grip(r, c);
      scene.Drag(grip, TPoint{grip.X + place.X + jitter.X - p.X, grip.Y + place.Y + jitter.Y - p.Y});
      ++drops;
      EXPECT_EQ(p.X, place.X) << r << "," << c;
      EXPECT_EQ(p.Y, place.Y) << r << "," << c;
      EXPECT_EQ(scene.Wins, r == rows - 1 && c == cols - 1 ? 1 : 0) << r << "," << c;
    }
  EXPECT_EQ(scene.App.Count(TAppCode::PlayOnce, TGameEvent::PickUp), drops);
  EXPECT_EQ(scene.App.Count(TAppCode::PlayOnce, TGameEvent::Snap), cols * rows - 1);
  EXPECT_EQ(scene.App.Count(TAppCode::PlayRepeating, TGameEvent::Complete), 1);
  EXPECT_TRUE(board.Won());
  // The pieces lie as their solved rectangles, shifted as one.
  const TRect s0 = board.SolvedRect(0, 0);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const TRect s = board.SolvedRect(r, c);
      EXPECT_EQ(board.Piece(r, c).X - first.X, s.Left - s0.Left);
      EXPECT_EQ(board.Piece(r, c).Y - first.Y, s.Top - s0.Top);
      EXPECT_EQ(board.Piece(r, c).Joined, 1);
    }
  // What is shown is what a repaint of everything shows, and it is the picture, whole.
  scene.Frame();
  const TBitmap32 shown = scene.Screen();
  EXPECT_TRUE(std::equal(shown.Bits(), shown.Bits() + 800 * 600, scene.FullRepaint().Bits()));
}

} // namespace
