#include "jigsaw/uKVJigsawPieceLibrary.h"

#include "core/uKVErrors.h"

#include <gtest/gtest.h>

using kv::TKVJigsawPieceLibrary;

TEST(LayoutSearchTest, DifficultyRanges) {
  const std::pair<uint16_t, uint16_t> expected[] = {{5, 25},    {25, 50},   {50, 100},
                                                    {100, 150}, {150, 200}, {200, 65535}};
  for (int d = 0; d < 6; ++d) {
    EXPECT_EQ(kv::DifficultyRanges[d].Minimum, expected[d].first) << d;
    EXPECT_EQ(kv::DifficultyRanges[d].Maximum, expected[d].second) << d;
  }
}

TEST(LayoutSearchTest, Choices) {
  struct Case {
    const char* name;
    std::vector<kv::TKVLayout> layouts;
    int32_t width, height;
    uint8_t difficulty;
    int32_t layout;
    uint16_t finalWidth, finalHeight, best;
  };
  const Case cases[] = {
      // 5 x 5 cells: the bounds of both ranges hold exactly 25 pieces.
      {"difficulty 0 takes 25", {{32, 32}, {20, 20}}, 160, 160, 0, 0, 160, 160, 0},
      {"difficulty 1 takes 25", {{20, 20}, {32, 32}}, 160, 160, 1, 1, 160, 160, 0},
      // Whole cells at scale 1.0 end the search at once: the first exact layout stays.
      {"exact fit ends the search", {{32, 32}, {40, 40}}, 320, 320, 2, 0, 320, 320, 0},
      // No exact fit: each layout in range is taken in turn, so the last one wins.
      {"last layout in range wins", {{32, 32}, {40, 40}}, 330, 330, 2, 1, 320, 320, 6500},
      // Counts below the range at 10, 20 and 40 pixels; at 80 a scale of 1.025 gives 3 x 3 cells of 32.
      {"tiny picture doubled", {{32, 32}}, 10, 10, 0, 0, 96, 96, 2816},
      // Reduced by steps of 0.975, rounding each step, to 1008 x 756: 24 x 18 cells of 42 at scale 1.0.
      {"large picture reduced first", {{42, 42}}, 2048, 1536, 5, 0, 1008, 756, 0},
      // Cell sizes of zero are passed over.
      {"zero cell size skipped", {{0, 20}, {20, 0}, {20, 20}}, 100, 100, 0, 2, 100, 100, 0},
  };
  for (const auto& c : cases) {
    const auto choice = TKVJigsawPieceLibrary::ChooseLayoutSize(c.layouts, c.width, c.height, c.difficulty);
    EXPECT_EQ(choice.LayoutIndex, c.layout) << c.name;
    EXPECT_EQ(choice.FinalWidth, c.finalWidth) << c.name;
    EXPECT_EQ(choice.FinalHeight, c.finalHeight) << c.name;
    EXPECT_EQ(choice.Best, c.best) << c.name;
  }
}

TEST(LayoutSearchTest, EmptyPictureChoosesNothing) {
  const auto choice = TKVJigsawPieceLibrary::ChooseLayoutSize({{20, 20}}, 0, 0, 1);
  EXPECT_EQ(choice.LayoutIndex, -1);
}

TEST(LayoutSearchTest, LibraryWithoutAUsableLayoutRaisesInsteadOfSearchingForEver) {
  struct Case {
    const char* name;
    std::vector<kv::TKVLayout> layouts;
    int32_t width, height;
    uint8_t difficulty;
  };
  const Case cases[] = {
      {"empty library", {}, 800, 600, 1},
      {"only zero cells", {{0, 0}, {0, 9}}, 800, 600, 1},
      // Cells of 8 give hundreds of pieces at every size, so 640 x 480 and 1280 x 960 alternate.
      {"cells too small at every size", {{8, 8}}, 1024, 768, 0},
      // Doubling from a small size until the 16-bit sizes wrap to 0.
      {"cells too large", {{255, 255}}, 30, 20, 5},
  };
  for (const auto& c : cases) {
    try {
      TKVJigsawPieceLibrary::ChooseLayoutSize(c.layouts, c.width, c.height, c.difficulty);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const kv::Exception& e) {
      EXPECT_STREQ(e.what(), "The piece library has no layout for this picture and difficulty.") << c.name;
    }
  }
}

TEST(ScaleGridTest, FirstScaleWithinTheRange) {
  struct Case {
    int32_t minimum, maximum, width, height, areaWidth, areaHeight;
    float scale;
    int32_t cell, tab, columns, rows;
  };
  // A 100 x 100 picture in a large area (m = 1): 27 x 27 at 0.25, 14 x 14 at 0.5, 11 x 11 at 0.75, 8 x 8 at
  // 1.0, 7 x 7 at 1.25, 6 x 6 at 1.5 (cell Round(22.5) = 22), 5 x 5 at 1.75.
  const Case cases[] = {
      {2, 1000, 100, 100, 1000, 1000, 0.25f, 4, 1, 27, 27},
      {2, 100, 100, 100, 1000, 1000, 1.0f, 15, 4, 8, 8},
      {2, 36, 100, 100, 1000, 1000, 1.5f, 22, 6, 6, 6},
      {100, 110, 100, 100, 1000, 1000, 1.0f, 15, 4, 8, 8}, // fell below the minimum
      // Wider than the area: m = 0.5 shrinks the columns (100 / 4 = 25 + 2) and the rows (50 / 4 = 12 + 2).
      {2, 1000, 200, 100, 100, 1000, 0.25f, 4, 1, 27, 14},
      // A maximum below 9 ends with the smallest grid: first scale with 3 x 3 cells (cell 52 > 50).
      {2, 5, 100, 100, 1000, 1000, 3.5f, 52, 14, 3, 3},
      {0, 0, 100, 100, 1000, 1000, 3.5f, 52, 14, 3, 3},
      {0, 8, 0, 0, 1000, 1000, 0.25f, 4, 1, 3, 3},
  };
  for (const auto& c : cases) {
    const auto grid = TKVJigsawPieceLibrary::FitScaleGrid(c.minimum, c.maximum, c.width, c.height,
                                                          c.areaWidth, c.areaHeight);
    SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " " << c.width << "x" << c.height);
    EXPECT_EQ(grid.Scale, c.scale);
    EXPECT_EQ(grid.Cell, c.cell);
    EXPECT_EQ(grid.Tab, c.tab);
    EXPECT_EQ(grid.Columns, c.columns);
    EXPECT_EQ(grid.Rows, c.rows);
  }
}
