#include "jigsaw/uKVJigsawTypes.h"

#include "core/uKVErrors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(AverageTableTest, EntryIsSumDiv25) {
  const auto& table = kv::AverageTable();
  ASSERT_EQ(table.size(), 6400u);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[24], 0);
  EXPECT_EQ(table[25], 1);
  EXPECT_EQ(table[255], 10);
  EXPECT_EQ(table[6375], 255);
  EXPECT_EQ(table[6399], 255);
}

TEST(BlurShadowTest, SingleOpaquePixelGivesAlphaTen) {
  uint32_t pixel = 0xFF123456u;
  uint32_t shadow = 0;
  kv::BlurShadow(&pixel, &shadow, 1, 1, 30, kv::AverageTable());
  EXPECT_EQ(pixel, 0xFF1E1E1Eu); // colour bits greyed, alpha kept
  EXPECT_EQ(shadow, 0x0A1E1E1Eu);
}

// Sizes around the eight-pixel steps of the fast path, and alphas near 255, whose sums reach every residue
// of 25 close to the largest sum 6375.
TEST(BlurShadowTest, SeparateBufferMatchesTheBoxMean) {
  struct Case {
    int w, h;
    uint32_t (*alpha)(int i);
  };
  const Case cases[] = {
      {9, 7, [](int i) { return static_cast<uint32_t>((i * 37) % 256); }},
      {16, 16, [](int i) { return 255u - static_cast<uint32_t>((i * 7919) % 13); }},
      {23, 5, [](int i) { return static_cast<uint32_t>((i * 2654435761u) >> 24); }},
      {3, 40, [](int i) { return i % 2 == 0 ? 255u : 254u; }},
  };
  for (const Case& c : cases) {
    const int w = c.w, h = c.h;
    std::vector<uint32_t> pixels(static_cast<std::size_t>(w * h));
    for (int i = 0; i < w * h; ++i) pixels[static_cast<std::size_t>(i)] = c.alpha(i) << 24 | 0x00ABCDEFu;
    const std::vector<uint32_t> original = pixels;
    std::vector<uint32_t> shadow(pixels.size());
    const uint8_t grey = 30 + 5 * 7;
    kv::BlurShadow(pixels.data(), shadow.data(), w, h, grey, kv::AverageTable());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t sum = 0;
        for (int dy = -2; dy <= 2; ++dy)
          for (int dx = -2; dx <= 2; ++dx)
            if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h)
              sum += original[static_cast<std::size_t>((y + dy) * w + x + dx)] >> 24;
        const std::size_t i = static_cast<std::size_t>(y * w + x);
        EXPECT_EQ(shadow[i], (sum / 25) << 24 | 0x414141u) << w << "x" << h << " at " << x << "," << y;
        EXPECT_EQ(pixels[i], (original[i] & 0xFF000000u) | 0x414141u);
      }
  }
}

TEST(BlurShadowTest, InPlaceBlurSeesBlurredNeighbours) {
  // Two opaque pixels side by side: the second sum already reads the blurred first pixel.
  std::vector<uint32_t> pixels{0xFF000000u, 0xFF000000u};
  kv::BlurShadow(pixels.data(), pixels.data(), 2, 1, 30, kv::AverageTable());
  EXPECT_EQ(pixels[0] >> 24, 510u / 25);
  EXPECT_EQ(pixels[1] >> 24, (20u + 255u) / 25);
  EXPECT_EQ(pixels[1] & 0xFFFFFFu, 0x1E1E1Eu);
}

TEST(PieceTest, CreatedStateAndImageSizesFollowTheImages) {
  kv::TPiece piece;
  EXPECT_EQ(piece.State(), kv::TJigsawPieceState{});
  EXPECT_FALSE(piece.HasImage(0));
  piece.SetImage(2, kv::TCodedImage(12, 1));
  EXPECT_EQ(piece.ImageSizes[2], 12);
  piece.Width = 5;
  piece.Height = 3;
  EXPECT_EQ(piece.RotatedWidth(1), 3);
  EXPECT_EQ(piece.RotatedHeight(3), 5);
  kv::TPiece copy = piece; // the board keeps its own copies
  EXPECT_EQ(copy.Images[2], piece.Images[2]);
}

// A saved game records each edge shape as one byte (template index + 1): 255 is the last it can hold.
TEST(PieceTest, PieceStateRecordsEdgesThatFitAByte) {
  struct Case {
    int32_t left, top, right, bottom;
    bool fits;
  };
  const Case cases[] = {
      {0, 0, 0, 0, true},    {1, 254, 255, 7, true},  {256, 1, 1, 1, false},
      {1, 300, 1, 1, false}, {1, 1, 65535, 1, false}, {1, 1, 1, 256, false},
  };
  for (const Case& c : cases) {
    kv::TPiece piece;
    piece.LeftEdge = c.left;
    piece.TopEdge = c.top;
    piece.RightEdge = c.right;
    piece.BottomEdge = c.bottom;
    piece.X = -17;
    piece.Rotation = 3;
    SCOPED_TRACE(std::to_string(c.left) + " " + std::to_string(c.top) + " " + std::to_string(c.right) + " " +
                 std::to_string(c.bottom));
    if (!c.fits) {
      EXPECT_THROW(
          {
            try {
              kv::PieceState(piece);
            } catch (const kv::Exception& e) {
              EXPECT_STREQ(e.what(), kv::TooManyEdgeShapesMessage);
              throw;
            }
          },
          kv::Exception);
      continue;
    }
    const kv::TJigsawPieceState state = kv::PieceState(piece);
    EXPECT_EQ(state.LeftEdge, c.left);
    EXPECT_EQ(state.TopEdge, c.top);
    EXPECT_EQ(state.RightEdge, c.right);
    EXPECT_EQ(state.BottomEdge, c.bottom);
    kv::TPiece back;
    kv::ApplyPieceState(back, state);
    EXPECT_EQ(kv::PieceState(back), state);
    EXPECT_EQ(back.X, -17);
  }
}

TEST(PieceTest, GridStatesAreTheStatesOfTheirPieces) {
  kv::TPieces pieces(2, std::vector<kv::TPiece>(3));
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) pieces[r][c].X = 10 * r + c;
  const kv::TPieceGridStates grid(pieces);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.Columns(), 3);
  EXPECT_EQ(grid.State(1, 2).X, 12);
  EXPECT_EQ(kv::TPieceGridStates(kv::TPieces{}).Columns(), 0);
  pieces[1].pop_back(); // rows of unequal length match no grid
  EXPECT_EQ(grid.Columns(), -1);
}
