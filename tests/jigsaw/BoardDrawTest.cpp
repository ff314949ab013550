// Drawing at pixel level on small scenes: pieces in every rotation at their places, marked pieces at half
// opacity, shadows behind the pieces in hand, turn frames, flying pieces on top, the rubber band, nothing
// while paused; and the repaint of changed areas alone against a repaint of everything.
#include "jigsaw/BoardFixture.h"

#include "gui/uBlend.h"
#include "jigsaw/uKVJigsawBoardRender.h"
#include "jigsaw/uRLE.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <span>

using namespace kv;
using kvtest::TBoardScene;

namespace {

constexpr int32_t Cell = 40, CellH = 30;

// The image of rotation r of a plain piece, as the builder turns it.
TBitmap32 PlainImage(int32_t row, int32_t col, int r) {
  TBitmap32 image(Cell, CellH);
  for (int32_t y = 0; y < CellH; ++y)
    for (int32_t x = 0; x < Cell; ++x) image.SetPixel(x, y, kvtest::PlainPixel(row, col, x, y));
  if (r == 1) image.Rotate90();
  if (r == 2) image.Rotate180();
  if (r == 3) image.Rotate270();
  return image;
}

class BoardDrawTest : public ::testing::Test {
protected:
  // The board lies at (10, 20) of the playing area.
  TBoardScene Scene{300, 220, TRect{10, 20, 290, 210}};
  TKVJigsawBoard& Board = *Scene.Board;
  static constexpr int32_t Ox = 10, Oy = 20;

  void Play(int32_t cols, int32_t rows) {
    kvtest::TGamePieces game = kvtest::MakePlainPieces(cols, rows, Cell, CellH);
    for (int32_t r = 0; r < rows; ++r)
      for (int32_t c = 0; c < cols; ++c) {
        game.Pieces[r][c].X = 10 + c * 70;
        game.Pieces[r][c].Y = 10 + r * 60;
      }
    Scene.Play(std::move(game));
  }
  TKVBoardPiece& P(int32_t row, int32_t col) { return Board.Piece(row, col); }
  TColor32 At(int32_t boardX, int32_t boardY) const {
    return Scene.Screen().PixelAt(Ox + boardX, Oy + boardY);
  }
  // Every pixel of the board area against what should be there; reports the first difference.
  void ExpectBoard(const std::function<TColor32(int32_t x, int32_t y)>& expected) {
    for (int32_t y = 0; y < 190; ++y)
      for (int32_t x = 0; x < 280; ++x)
        if (At(x, y) != expected(x, y)) {
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << At(x, y) << " instead of "
                        << expected(x, y);
          return;
        }
  }
  // The pixel of a plain piece lying at (X, Y) in rotation r, or none.
  static bool PieceAt(const TKVBoardPiece& p, int32_t x, int32_t y, TColor32& out) {
    if (x < p.X || y < p.Y || x >= p.X + p.DisplayWidth() || y >= p.Y + p.DisplayHeight()) return false;
    out = PlainImage(p.Row, p.Column, p.Rotation).PixelAt(x - p.X, y - p.Y);
    return true;
  }
};

TEST_F(BoardDrawTest, PiecesAreDrawnInTheirRotationAtTheirPlacesOverWhatLiesBelow) {
  Play(3, 2);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) P(r, c).Rotation = static_cast<uint8_t>((r * 3 + c) % 4);
  // Two pieces overlap: the one higher in the stacking order covers the other.
  P(1, 1).X = 95;
  P(1, 1).Y = 25;
  Board.RaisePiece(1, 1);
  Scene.Frame();
  const TKVBoardPiece& top = P(1, 1);
  ExpectBoard([&](int32_t x, int32_t y) {
    TColor32 c;
    if (PieceAt(top, x, y, c)) return c;
    for (const TKVBoardPiece& p : Board.Pieces())
      if (PieceAt(p, x, y, c)) return c;
    return kvtest::Background();
  });
  // The piece in rotation 1 is Height wide and Width high.
  EXPECT_EQ(P(0, 1).DisplayWidth(), CellH);
  EXPECT_EQ(P(0, 1).DisplayHeight(), Cell);
}

TEST_F(BoardDrawTest, MarkedPiecesShowAtHalfOpacity) {
  Play(2, 1);
  const TPoint grip = Scene.Grip(0, 1);
  Scene.Down(grip.X, grip.Y, mbLeft, ssCtrl);
  Scene.Frame();
  ASSERT_TRUE(P(0, 1).Marked);
  const TKVBoardPiece& p = P(0, 1);
  const TColor32 background = kvtest::Background();
  for (const TPoint q : {TPoint{0, 0}, TPoint{17, 9}, TPoint{Cell - 1, CellH - 1}})
    EXPECT_EQ(At(p.X + q.X, p.Y + q.Y),
              CombinePixel(PlainImage(0, 1, 0).PixelAt(q.X, q.Y), background, cmBlend, 128));
  EXPECT_EQ(At(P(0, 0).X + 5, P(0, 0).Y + 5), PlainImage(0, 0, 0).PixelAt(5, 5));
}

TEST_F(BoardDrawTest, APieceInHandCastsItsShadowFourPixelsRightAndDown) {
  Play(2, 1);
  Board.ShadowLevel = 2;
  const TPoint grip = Scene.Grip(0, 0);
  Scene.Down(grip.X, grip.Y);
  Scene.Move(grip.X + 3, grip.Y + 2);
  Scene.Frame();
  const TKVBoardPiece& p = P(0, 0);
  // The shadow as it is made: the image turned grey 30 + 5 x 2 and blurred in place.
  TBitmap32 image = PlainImage(0, 0, 0);
  std::vector<uint32_t> shadow(image.Bits(), image.Bits() + Cell * CellH);
  BlurShadow(shadow.data(), shadow.data(), Cell, CellH, 40, AverageTable());
  const TColor32 background = kvtest::Background();
  for (const TPoint q : {TPoint{Cell + 1, 10}, TPoint{Cell + 3, CellH + 2}, TPoint{20, CellH + 3}}) {
    const TColor32 s = shadow[(q.Y - 4) * Cell + (q.X - 4)];
    EXPECT_EQ(At(p.X + q.X, p.Y + q.Y), CombinePixel(s, background, cmBlend, 255)) << q.X << "," << q.Y;
    EXPECT_EQ(RedComponent(At(p.X + q.X, p.Y + q.Y)), GreenComponent(At(p.X + q.X, p.Y + q.Y)));
  }
  // Nothing left of or above the piece; the piece itself over its shadow.
  EXPECT_EQ(At(p.X - 1, p.Y + 10), background);
  EXPECT_EQ(At(p.X + 10, p.Y - 1), background);
  EXPECT_EQ(At(p.X + Cell + 1, p.Y + 2), background);
  EXPECT_EQ(At(p.X + 30, p.Y + 20), image.PixelAt(30, 20));
  // The shadow is made once and kept with the piece.
  EXPECT_FALSE(Board.Sprite(0, 0).Shadows[0].empty());
}

TEST_F(BoardDrawTest, ShadowsLieBehindEveryPieceInHand) {
  Play(2, 1);
  P(0, 0).Joined = P(0, 1).Joined = 1;
  P(0, 1).X = P(0, 0).X + Cell;
  P(0, 1).Y = P(0, 0).Y;
  const TPoint grip = Scene.Grip(0, 1);
  Scene.Down(grip.X, grip.Y);
  Scene.Frame();
  ASSERT_EQ(Board.GrabbedCount(), 2);
  // The left piece's shadow reaches into the right piece, which is drawn over it.
  const TKVBoardPiece& right = P(0, 1);
  EXPECT_EQ(At(right.X + 1, right.Y + 10), PlainImage(0, 1, 0).PixelAt(1, 10));
}

TEST_F(BoardDrawTest, APausedBoardShowsNoPieces) {
  Play(3, 2);
  Board.Pause();
  Scene.Frame();
  ExpectBoard([](int32_t, int32_t) { return kvtest::Background(); });
  Board.Resume();
  Scene.Frame();
  EXPECT_EQ(At(P(1, 2).X + 3, P(1, 2).Y + 4), PlainImage(1, 2, 0).PixelAt(3, 4));
  // Stopped, too.
  Board.Reset();
  Scene.Frame();
  ExpectBoard([](int32_t, int32_t) { return kvtest::Background(); });
}

TEST_F(BoardDrawTest, TheRubberBandIsARedFrameWithATranslucentFillInEitherDirection) {
  Play(1, 1);
  const TColor32 red = 0xFFFF0000u,
                 fill = CombinePixel(SetAlpha(red, 64), kvtest::Background(), cmBlend, 255);
  const TPoint drags[2][2] = {{{200, 100}, {260, 150}}, {{260, 150}, {200, 100}}};
  for (const auto& drag : drags) {
    Scene.Down(Ox + drag[0].X, Oy + drag[0].Y);
    Scene.Move(Ox + drag[1].X, Oy + drag[1].Y);
    Scene.Frame();
    ExpectBoard([&](int32_t x, int32_t y) {
      TColor32 c;
      if (PieceAt(P(0, 0), x, y, c)) return c;
      if (x < 200 || y < 100 || x >= 260 || y >= 150) return kvtest::Background();
      if (x == 200 || y == 100 || x == 259 || y == 149) return red;
      return fill;
    });
    Scene.Up(Ox + drag[1].X, Oy + drag[1].Y);
    Scene.Frame();
    EXPECT_EQ(At(200, 100), kvtest::Background());
  }
  // A band of no width is not drawn.
  Scene.Down(Ox + 200, Oy + 100);
  Scene.Move(Ox + 200, Oy + 160);
  Scene.Frame();
  EXPECT_EQ(At(200, 120), kvtest::Background());
}

TEST_F(BoardDrawTest, DuringATurnTheFrameShowsAndPiecesInHandDoNot) {
  kvtest::TGamePieces game = kvtest::MakePlainPieces(2, 1, Cell, CellH);
  game.Pieces[0][0].X = 30;
  game.Pieces[0][0].Y = 30;
  game.Pieces[0][1].X = 150;
  game.Pieces[0][1].Y = 100;
  Scene.Play(std::move(game), /*dragMode=*/false);
  // A piece in hand (click mode), then a turn of the other one.
  const TPoint held = Scene.Grip(0, 0);
  Scene.Down(held.X, held.Y);
  Scene.Up(held.X, held.Y);
  ASSERT_TRUE(P(0, 0).Grabbed);
  const TKVBoardPiece& t = P(0, 1);
  Scene.Down(Ox + t.X + 20, Oy + t.Y + 15, mbRight);
  Scene.Frame();
  ASSERT_TRUE(t.Rotating);
  ASSERT_EQ(t.Angle, -10);
  EXPECT_EQ(At(P(0, 0).X + 20, P(0, 0).Y + 15), kvtest::Background());
  // The frame: the old image turned 10 degrees about the clicked point, which stays where it was.
  EXPECT_NE(At(t.X + 20, t.Y + 15), kvtest::Background());
  // A corner of the unturned image is left bare by the turn, a point beyond its side is covered.
  EXPECT_EQ(At(t.X + Cell - 1, t.Y), kvtest::Background());
  EXPECT_NE(At(t.X + 5, t.Y - 2), kvtest::Background());
  Scene.Platform.Advance(200);
  Scene.Frame();
  ASSERT_FALSE(t.Rotating);
  EXPECT_EQ(At(P(0, 0).X + 20, P(0, 0).Y + 15), PlainImage(0, 0, 0).PixelAt(20, 15));
  TColor32 c;
  ASSERT_TRUE(PieceAt(t, t.X + 5, t.Y + 7, c));
  EXPECT_EQ(At(t.X + 5, t.Y + 7), c);
}

TEST_F(BoardDrawTest, AFlyingPieceIsDrawnOverEverything) {
  kvtest::TGamePieces game = kvtest::MakePlainPieces(2, 1, Cell, CellH);
  game.Pieces[0][1].X = 100;
  game.Pieces[0][1].Y = 100;
  game.Pieces[0][0].X = 110;
  game.Pieces[0][0].Y = 110;
  Scene.Play(std::move(game));
  const TPoint grip = Scene.Grip(0, 0);
  Scene.Down(grip.X, grip.Y);
  Scene.Up(grip.X, grip.Y);
  Board.SolveOnePiece();
  // Its neighbour ends on top of the stacking order, yet the flying piece shows over it.
  ASSERT_EQ(Board.ZOrder()[0], (TZPos{1, 0}));
  Scene.Platform.Advance(10);
  Scene.Frame();
  ASSERT_TRUE(P(0, 0).Flying);
  ASSERT_EQ(P(0, 0).X, 95);
  ASSERT_EQ(P(0, 0).Y, 100);
  EXPECT_EQ(At(120, 110), PlainImage(0, 0, 0).PixelAt(25, 10));
}

// A coded image drawn straight from its spans writes exactly what expanding it and blending the expansion
// writes, whole or clipped, plain or marked, for images of every mix of clear, soft and opaque stretches and
// for coded data that ends early or claims more than it holds.
TEST(BoardRendererTest, ASpriteDrawsExactlyItsExpandedImage) {
  std::mt19937 random(17);
  auto below = [&](int n) { return static_cast<int32_t>(random() % static_cast<uint32_t>(n)); };
  // Rows of stretches: long and short, clear, soft and opaque, as piece rims and bevels give them.
  auto picture = [&](int32_t w, int32_t h) {
    std::vector<uint32_t> words(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < words.size();) {
      const std::size_t length = std::min<std::size_t>(words.size() - i, 1 + below(below(2) ? 40 : 4));
      const int kind = below(3);
      for (std::size_t k = 0; k < length; ++k, ++i) {
        const uint32_t alpha = kind == 0 ? 0 : kind == 1 ? 0xFF : 1 + below(254);
        words[i] = alpha == 0 ? 0 : alpha << 24 | (random() & 0xFFFFFF);
      }
    }
    return words;
  };
  struct TCase {
    const char* What;
    int32_t W, H;
    int Cut; // 0: whole; 1: the coded data ends early; 2: the last record claims more than there is
  };
  const std::vector<TCase> cases = {{"wide", 61, 23, 0},     {"narrow", 3, 40, 0}, {"one pixel", 1, 1, 0},
                                    {"ends early", 37, 29, 1}, {"overlong", 37, 29, 2}};
  for (const TCase& c : cases)
    for (int trial = 0; trial < 6; ++trial) {
      SCOPED_TRACE(testing::Message() << c.What << " trial " << trial);
      const std::vector<uint32_t> words = picture(c.W, c.H);
      TCodedImage coded;
      {
        const std::vector<uint8_t> bytes = TRLE::Compress(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(words.data()), words.size() * 4));
        coded.assign(bytes.begin(), bytes.end());
      }
      if (c.Cut == 1) coded.resize(coded.size() / 2);
      if (c.Cut == 2) {
        // The first record's count made far larger than the data.
        uint32_t count = 0;
        std::memcpy(&count, coded.data(), 4);
        count += 1000;
        std::memcpy(coded.data(), &count, 4);
      }
      TKVBoardPiece piece;
      piece.Width = c.W;
      piece.Height = c.H;
      piece.X = below(30) - 10;
      piece.Y = below(30) - 10;
      piece.Marked = trial % 3 == 2;
      TKVPieceSprite sprite;
      sprite.Images[0] = coded;
      // What the board showed before: the expansion blended over the target.
      TBitmap32 expanded(c.W, c.H);
      TRLE::Decode(std::span<const uint8_t>(coded.data(), coded.size()),
                   std::span<uint32_t>(expanded.Bits(), static_cast<std::size_t>(c.W) * c.H));
      expanded.SetDrawMode(dmBlend);
      expanded.SetMasterAlpha(piece.Marked ? 128 : 255);
      TBitmap32 background(80, 60);
      for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 0; x < 80; ++x) background.SetPixel(x, y, 0xFF000000u | (random() & 0xFFFFFF));
      TKVJigsawBoardRenderer renderer;
      for (int clipTrial = 0; clipTrial < 4; ++clipTrial) {
        const TRect clip = clipTrial == 0 ? background.BoundsRect()
                                          : TRect{below(70), below(50), below(70) + 10, below(50) + 12};
        TBitmap32 expected = background, drawn = background;
        expanded.Draw(expected, piece.X + 2, piece.Y + 3, clip);
        renderer.DrawPiece(TKVPainter(drawn, clip), piece, sprite, TPoint{2, 3});
        int differences = 0;
        for (int32_t y = 0; y < 60; ++y)
          for (int32_t x = 0; x < 80; ++x) differences += drawn.PixelAt(x, y) != expected.PixelAt(x, y);
        ASSERT_EQ(differences, 0) << "clip " << clip.Left << "," << clip.Top << "," << clip.Right << ","
                                  << clip.Bottom;
      }
    }
}

// Random play on a board of real pieces: after every step the areas repainted alone must show exactly what
// a repaint of everything shows.
TEST(BoardRepaintTest, RepaintingChangedAreasEqualsRepaintingEverything) {
  kvtest::TGamePieces built = kvtest::BuildGamePieces(200, 150, 1, false, 300, 220);
  for (const uint32_t seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    TBoardScene scene(340, 260, TRect{12, 9, 332, 249});
    kvtest::TGamePieces game = built;
    const bool dragMode = seed % 2 == 1;
    scene.Play(std::move(game), dragMode);
    scene.Board->ShadowLevel = 1;
    TKVJigsawBoard& board = *scene.Board;
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int32_t>(random() % static_cast<uint32_t>(n)); };
    auto grip = [&]() { return scene.Grip(below(board.Rows()), below(board.Cols())); };
    int steps = 0, mismatches = 0;
    TPoint pointer{100, 100};
    bool held = false;
    for (int step = 0; step < 400; ++step) {
      const int action = below(100);
      if (action < 25) {
        pointer = action < 20 ? grip() : TPoint{below(340), below(260)};
        scene.Down(pointer.X, pointer.Y, mbLeft, action % 7 == 0 ? ssCtrl : 0);
        held = true;
      } else if (action < 55) {
        pointer.X += below(41) - 20;
        pointer.Y += below(31) - 15;
        scene.Move(pointer.X, pointer.Y, held ? ssLeft : 0);
      } else if (action < 70) {
        scene.Up(pointer.X, pointer.Y);
        held = false;
      } else if (action < 78) {
        const TPoint g = grip();
        scene.Down(g.X, g.Y, mbRight);
        scene.Up(g.X, g.Y, mbRight);
      } else if (action < 88) {
        scene.Platform.Advance(10 * (1 + below(12)));
      } else if (action < 91) {
        scene.Key(action == 88 ? VK_A : VK_D);
      } else if (action < 94) {
        board.SolveOnePiece();
      } else if (action < 96) {
        board.Pause();
        scene.Frame();
        board.Resume();
      } else if (action < 98) {
        board.RaisePiece(below(board.Cols()), below(board.Rows()));
      } else if (action == 98) {
        TKVBoardPiece& p = board.Piece(below(board.Rows()), below(board.Cols()));
        p.Visible = !p.Visible;
        board.InvalidateChanges();
      } else {
        board.SolveAll(0);
      }
      scene.Frame();
      const TBitmap32 partial = scene.Screen();
      const TBitmap32 full = scene.FullRepaint();
      const auto bytes = [](const TBitmap32& b) {
        return std::span<const uint32_t>(b.Bits(), static_cast<std::size_t>(b.Width()) * b.Height());
      };
      ++steps;
      if (!std::ranges::equal(bytes(partial), bytes(full))) {
        if (++mismatches == 1) ADD_FAILURE() << "step " << step << " after action " << action;
      }
    }
    EXPECT_EQ(mismatches, 0) << "of " << steps << " steps";
  }
}

// What moving a group repaints: the places it left and reached, not the board.
TEST(BoardRepaintTest, MovingAGroupRepaintsItsOldAndNewPlacesOnly) {
  TBoardScene scene(640, 480);
  kvtest::TGamePieces game = kvtest::BuildGamePieces(400, 300, 3, true, 640, 480);
  const int32_t cols = game.Cols, rows = game.Rows;
  ASSERT_GE(cols, 5);
  ASSERT_GE(rows, 4);
  scene.Play(std::move(game));
  TKVJigsawBoard& board = *scene.Board;
  // A block of 5 x 4 pieces joined at their places, the rest elsewhere.
  TRect group{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      TKVBoardPiece& p = board.Piece(r, c);
      if (r < 4 && c < 5) {
        p.X = 100 + p.CorrectX;
        p.Y = 80 + p.CorrectY;
        p.Joined = 1;
        group = TRect{std::min(group.Left, p.X), std::min(group.Top, p.Y),
                      std::max(group.Right, p.X + p.Width), std::max(group.Bottom, p.Y + p.Height)};
      } else {
        p.X = 500;
        p.Y = 400;
      }
    }
  board.InvalidateChanges();
  scene.FullRepaint();
  const TPoint g = scene.Grip(1, 1);
  scene.Down(g.X, g.Y);
  scene.Frame();
  ASSERT_EQ(board.GrabbedCount(), 20);
  scene.Move(g.X + 3, g.Y + 2);
  scene.Frame();
  const TRect reach{group.Left - 1, group.Top - 1, group.Right + 3 + 4 + 1, group.Bottom + 2 + 4 + 1};
  int64_t area = 0;
  for (const TRect& r : scene.Box->LastPresented) {
    area += int64_t{r.Width()} * r.Height();
    EXPECT_EQ(IntersectRect(r, reach), r) << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
  }
  EXPECT_LE(area, int64_t{reach.Width()} * reach.Height());
  EXPECT_LT(area, 640 * 480 / 4);
}

} // namespace
