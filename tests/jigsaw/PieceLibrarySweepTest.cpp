#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "uKVPieceLibraryGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <vector>

using kv::TKVJigsawPieceLibrary;

namespace {

std::vector<kv::TKVLayout> Layouts() {
  std::vector<kv::TKVLayout> layouts;
  for (const auto& layout : kv::TKVPieceLibraryGenerator::DefaultLayouts())
    layouts.push_back({layout.CellWidth, layout.CellHeight});
  return layouts;
}

int Round(double x) {
  return static_cast<int>(std::nearbyint(x));
}

bool InRange(int count, int d) {
  return count >= kv::DifficultyRanges[d].Minimum && count <= kv::DifficultyRanges[d].Maximum;
}

// The picture as the search first reduces it.
std::pair<int, int> Reduced(int w, int h) {
  while (w > 1024 || h > 768) {
    w = Round(w * 0.975);
    h = Round(h * 0.975);
  }
  return {w, h};
}

} // namespace

// The size the search falls back to when nothing fits: every difficulty must have a layout in range there
// at scale 1.0, so that every search ends there at the latest (else it would double to 1280 x 960 and fall
// back again for ever).
TEST(PieceLibrarySweepTest, FallbackSizeHasALayoutForEveryDifficulty) {
  const auto layouts = Layouts();
  for (const auto& [w, h] : {std::pair{640, 480}})
    for (int d = 0; d < 6; ++d) {
      bool found = false;
      for (const auto& layout : layouts)
        found =
            found || InRange(Round(double(w) / layout.CellWidth) * Round(double(h) / layout.CellHeight), d);
      EXPECT_TRUE(found) << w << "x" << h << " difficulty " << d;
    }
}

// Pictures from 200 x 200 to 4000 x 3000 with aspect ratios from 1:3 to 3:1: the search ends with a layout
// in range, without falling back to the fixed 640 x 480 (which would distort the picture).
TEST(PieceLibrarySweepTest, EveryPictureSizeFindsALayoutInRange) {
  const auto layouts = Layouts();
  const std::pair<int, int> aspects[] = {{1, 3}, {1, 2}, {9, 16}, {2, 3}, {3, 4}, {1, 1},
                                         {4, 3}, {3, 2}, {16, 9}, {2, 1}, {3, 1}};
  int pictures = 0;
  for (int w = 200; w <= 4000; w += (w < 1100 ? 13 : 97))
    for (const auto& [aw, ah] : aspects) {
      const int h = Round(double(w) * ah / aw);
      if (h < 200 || h > 4000 || (w > 4000 * 3 / 4 && h > 3000 && w * ah != h * aw)) continue;
      ++pictures;
      const auto [rw, rh] = Reduced(w, h);
      for (int d = 0; d < 6; ++d) {
        kv::TLayoutChoice choice;
        ASSERT_NO_THROW(choice =
                            TKVJigsawPieceLibrary::ChooseLayoutSize(layouts, w, h, static_cast<uint8_t>(d)))
            << w << "x" << h << " difficulty " << d;
        ASSERT_GE(choice.LayoutIndex, 0);
        ASSERT_LT(choice.LayoutIndex, static_cast<int>(layouts.size()));
        const auto& layout = layouts[static_cast<std::size_t>(choice.LayoutIndex)];
        ASSERT_EQ(choice.FinalWidth % layout.CellWidth, 0);
        ASSERT_EQ(choice.FinalHeight % layout.CellHeight, 0);
        const int count = (choice.FinalWidth / layout.CellWidth) * (choice.FinalHeight / layout.CellHeight);
        EXPECT_TRUE(InRange(count, d)) << w << "x" << h << " difficulty " << d << ": " << count;
        // Rounding to whole cells bends a small grid's aspect by up to a third; the fixed fallback size would
        // turn a 3:1 picture into 4:3.
        const double bend = (double(choice.FinalWidth) / choice.FinalHeight) / (double(rw) / rh);
        EXPECT_LT(std::abs(std::log(bend)), std::log(1.4)) << w << "x" << h << " difficulty " << d;
      }
    }
  EXPECT_GT(pictures, 500);
}

// Large 4:3 pictures (reduced to about 1024 x 768) get counts well inside each range, and difficulty 5 gives
// 300 to 500 pieces.
TEST(PieceLibrarySweepTest, LargeFourByThreePicturesLandMidRange) {
  const auto layouts = Layouts();
  std::ostringstream table;
  for (const auto& [w, h] : {std::pair{1024, 768}, std::pair{1600, 1200}, std::pair{2048, 1536},
                             std::pair{3264, 2448}, std::pair{4000, 3000}}) {
    table << w << "x" << h << ":";
    for (int d = 0; d < 6; ++d) {
      const auto choice = TKVJigsawPieceLibrary::ChooseLayoutSize(layouts, w, h, static_cast<uint8_t>(d));
      const auto& layout = layouts[static_cast<std::size_t>(choice.LayoutIndex)];
      const int count = (choice.FinalWidth / layout.CellWidth) * (choice.FinalHeight / layout.CellHeight);
      table << " " << count;
      if (d == 5) {
        EXPECT_GE(count, 300) << w << "x" << h;
        EXPECT_LE(count, 500) << w << "x" << h;
      } else {
        const int low = kv::DifficultyRanges[d].Minimum, high = kv::DifficultyRanges[d].Maximum;
        EXPECT_GE(count, low + (high - low) / 10) << w << "x" << h << " difficulty " << d;
        EXPECT_LE(count, high - (high - low) / 10) << w << "x" << h << " difficulty " << d;
      }
    }
    table << "\n";
  }
  std::cout << "pieces per difficulty 0..5\n" << table.str();
}
