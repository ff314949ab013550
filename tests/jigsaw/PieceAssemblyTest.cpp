#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "support/PieceFixtures.h"
#include "uKVPieceLibraryGenerator.h"

#include "data/uKVStandardFunc.h"
#include "data/uKVStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

// Cut real pictures with the generated library and lay every piece bitmap at its place: each pixel of the
// scaled picture is opaque in exactly one piece. Pixels that are neither opaque nor clear are the dark
// fringe outside an outline (black with bit 5 of the alpha set), which lies over the neighbouring piece.
TEST(PieceAssemblyTest, EveryPixelBelongsToExactlyOnePiece) {
  kv::TRandomSource random;
  struct Case {
    int width, height;
    uint8_t difficulty;
  };
  const Case cases[] = {{1024, 768, 0}, {1024, 768, 1}, {1024, 768, 2}, {1024, 768, 3}, {1024, 768, 4},
                        {1024, 768, 5}, {640, 480, 5},  {800, 600, 3},  {300, 900, 2},  {1200, 400, 4},
                        {250, 250, 1},  {333, 222, 5},  {4000, 1333, 0}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " difficulty " +
                             std::to_string(c.difficulty);
    kv::TKVJigsawPieceLibrary library;
    kv::TMemoryStream stream(kvtest::GeneratedLibraryBytes());
    library.LoadFromStream(stream);
    kv::TKVJigsawCut cut;
    std::vector<std::string> errors;
    cut.OnError = [&](const std::string& message) { errors.push_back(message); };
    cut.Picture = kvtest::PhotoLikeBitmap(c.width, c.height);
    cut.SetDifficulty(library, c.difficulty);
    cut.ChooseLayout(library);
    random.Seed(c.width * 7 + c.difficulty);
    const kv::TKVJigsawCarver carver;
    cut.AssignEdges(library, &carver, random);
    EXPECT_TRUE(errors.empty()) << name;

    const int width = cut.PictureWidth(), height = cut.PictureHeight();
    const int pieces = cut.Cols(library) * cut.Rows(library);
    ASSERT_GT(width, 0) << name;
    ASSERT_EQ(cut.PieceItems.size(), static_cast<std::size_t>(pieces));
    std::vector<uint8_t> cover(static_cast<std::size_t>(width) * height, 0);
    int strayPixels = 0, fringePixels = 0;
    for (const auto& piece : cut.PieceItems) {
      const auto& bitmap = piece.Bitmap;
      for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
          const kv::TColor32 pixel = bitmap.PixelAt(x, y);
          const uint32_t alpha = pixel >> 24;
          if (alpha == 0) continue;
          const int px = piece.X + x, py = piece.Y + y;
          if (alpha != 255) {
            if ((alpha & 32) != 0 && (pixel & 0xFFFFFFu) == 0) {
              ++fringePixels;
            } else {
              ++strayPixels;
            }
            continue;
          }
          if (px < 0 || py < 0 || px >= width || py >= height) {
            ++strayPixels; // opaque outside the picture
            continue;
          }
          ++cover[static_cast<std::size_t>(py) * width + px];
        }
    }
    EXPECT_EQ(strayPixels, 0) << name;
    if (pieces > 1) {
      EXPECT_GT(fringePixels, 0) << name;
    }
    int uncovered = 0, doubled = 0;
    for (std::size_t i = 0; i < cover.size(); ++i) {
      const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
      uncovered += cover[i] == 0;
      doubled += cover[i] > 1;
      if (cover[i] != 1 && uncovered + doubled < 6)
        ADD_FAILURE() << name << " pixel " << x << "," << y << " in " << int(cover[i]) << " pieces";
    }
    EXPECT_EQ(uncovered, 0) << name;
    EXPECT_EQ(doubled, 0) << name;
  }
}

// Three by three pieces of every layout with random templates on the twelve inner edges: the middle piece
// meets four tabs at once, and every corner sees a horizontal and a vertical tab side by side.
TEST(PieceAssemblyTest, CornersOfEveryLayoutFitTogether) {
  kv::TKVJigsawPieceLibrary library;
  kv::TMemoryStream stream(kvtest::GeneratedLibraryBytes());
  library.LoadFromStream(stream);
  kv::TKVJigsawCut cut;
  const kv::TKVJigsawCarver carver;
  kv::TKVGenRandom random(99);
  for (int32_t li = 0; li < static_cast<int32_t>(library.Layouts.size()); ++li) {
    cut.LayoutIndex = li;
    const int cw = library.Layouts[static_cast<std::size_t>(li)].CellWidth;
    const int ch = library.Layouts[static_cast<std::size_t>(li)].CellHeight;
    std::vector<int32_t> horizontal, vertical;
    for (int32_t t = 0; t < library.TemplateCount(); ++t)
      if (library.Template(t).LayoutIndex == li)
        (library.Template(t).Vertical ? vertical : horizontal).push_back(t);
    ASSERT_FALSE(horizontal.empty());
    ASSERT_FALSE(vertical.empty());
    const kv::TBitmap32 source = kvtest::PhotoLikeBitmap(3 * cw, 3 * ch);
    auto pick = [&](const std::vector<int32_t>& from) {
      return from[static_cast<std::size_t>(random.Next() % from.size())];
    };
    for (int trial = 0; trial < 30; ++trial) {
      int32_t below[3][3], right[3][3];
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
          below[r][c] = r < 2 ? pick(horizontal) : -1;
          right[r][c] = c < 2 ? pick(vertical) : -1;
        }
      std::vector<uint8_t> cover(static_cast<std::size_t>(9 * cw * ch), 0);
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
          const int32_t top = r > 0 ? below[r - 1][c] : -1, left = c > 0 ? right[r][c - 1] : -1;
          const int32_t x = c * cw - (left >= 0 ? library.Template(left).Width / 2 : 0);
          const int32_t y = r * ch - (top >= 0 ? library.Template(top).Height / 2 : 0);
          kv::TBitmap32 bitmap;
          cut.BuildPieceBitmap(library, carver, source, bitmap, x, y, top, below[r][c], right[r][c], left);
          for (int py = 0; py < bitmap.Height(); ++py)
            for (int px = 0; px < bitmap.Width(); ++px)
              if ((bitmap.PixelAt(px, py) >> 24) == 255) {
                const int sx = x + px, sy = y + py;
                ASSERT_TRUE(sx >= 0 && sy >= 0 && sx < 3 * cw && sy < 3 * ch);
                ++cover[static_cast<std::size_t>(sy) * 3 * cw + sx];
              }
        }
      for (int sy = 0; sy < 3 * ch; ++sy)
        for (int sx = 0; sx < 3 * cw; ++sx) {
          const int n = cover[static_cast<std::size_t>(sy) * 3 * cw + sx];
          // The bottom border line's extra pixel, as in the cut above.
          if (n == 2 && sy == 3 * ch - 1 && sx % cw == 0) continue;
          ASSERT_EQ(n, 1) << "layout " << li << " trial " << trial << " at " << sx << "," << sy;
        }
    }
  }
}
