#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"

#include <gtest/gtest.h>

#include <tuple>

using kv::TBitmap32;
using kv::TKVJigsawCarver;
using kv::TKVJigsawCut;
using kv::TKVJigsawPieceLibrary;

namespace {

TBitmap32 NoisePicture(int w, int h) {
  TBitmap32 picture(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      picture.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>((x * 7919 + y * 104729) & 0xFFFFFF));
  return picture;
}

// A template of the given size whose masks keep every pixel.
kv::TKVPieceTemplate KeepTemplate(uint16_t w, uint16_t h, bool vertical, uint8_t layout = 0) {
  kv::TKVPieceTemplate t;
  t.Width = w;
  t.Height = h;
  t.Vertical = vertical;
  t.LayoutIndex = layout;
  for (auto& mask : t.Masks)
    for (int row = 0; row < h; ++row) mask.insert(mask.end(), {static_cast<uint8_t>(w), 0});
  return t;
}

// Layout 0 of 20 x 20 cells with horizontal templates of heights 8 and 14 and vertical ones of widths 10
// and 12 (so that every origin depends on which template was drawn), and a vertical one of another layout.
TKVJigsawPieceLibrary CutLibrary() {
  TKVJigsawPieceLibrary library;
  library.Layouts = {{20, 20}, {30, 30}};
  library.Templates = {KeepTemplate(20, 8, false), KeepTemplate(10, 20, true), KeepTemplate(20, 14, false),
                       KeepTemplate(12, 20, true), KeepTemplate(30, 30, true, 1)};
  return library;
}

// A cut of cols x rows cells of layout 0, its picture scaled already.
TKVJigsawCut ScaledCut(int cols, int rows) {
  TKVJigsawCut cut;
  cut.LayoutIndex = 0;
  cut.ScaledPicture = NoisePicture(cols * 20, rows * 20);
  return cut;
}

} // namespace

TEST(CutTest, WholeCellPictureIsCopiedOtherwiseResampledLinearly) {
  TKVJigsawPieceLibrary library;
  library.Layouts = {{40, 40}};
  TKVJigsawCut cut;
  cut.Picture = NoisePicture(320, 240); // 8 x 6 cells at scale 1.0
  cut.Difficulty = 1;
  cut.ChooseLayout(library);
  EXPECT_EQ(cut.LayoutIndex, 0);
  EXPECT_EQ(cut.Picture.Resampler().ClassName(), "TNearestResampler");
  ASSERT_EQ(cut.ScaledPicture.Width(), 320);
  ASSERT_EQ(cut.ScaledPicture.Height(), 240);
  EXPECT_TRUE(std::equal(cut.Picture.Bits(), cut.Picture.Bits() + 320 * 240, cut.ScaledPicture.Bits()));
  EXPECT_EQ(cut.Cols(library), 8);
  EXPECT_EQ(cut.Rows(library), 6);

  cut.Picture = NoisePicture(330, 250);
  cut.ChooseLayout(library);
  EXPECT_EQ(cut.Picture.Resampler().ClassName(), "TLinearResampler");
  EXPECT_EQ(cut.PictureWidth(), 320);
  EXPECT_EQ(cut.PictureHeight(), 240);
  EXPECT_EQ(cut.CellWidth(library), 40);
  EXPECT_EQ(cut.CellHeight(library), 40);
}

TEST(CutTest, EmptyPictureLeavesTheCutAsItWas) {
  TKVJigsawPieceLibrary library;
  library.Layouts = {{40, 40}};
  TKVJigsawCut cut;
  cut.LayoutIndex = 0;
  cut.ScaledPicture = NoisePicture(80, 80);
  cut.ChooseLayout(library);
  EXPECT_EQ(cut.LayoutIndex, 0);
  EXPECT_EQ(cut.PictureWidth(), 80);
}

TEST(CutTest, NoUsableLayoutRaises) {
  TKVJigsawPieceLibrary library;
  library.Layouts = {{8, 8}};
  TKVJigsawCut cut;
  cut.Picture = NoisePicture(640, 480);
  cut.Difficulty = 0;
  EXPECT_THROW(cut.ChooseLayout(library), kv::Exception);
}

TEST(CutTest, SetDifficultyTakesTheLastLayoutInRange) {
  TKVJigsawPieceLibrary library;
  // 200 x 100: 40 cells give 5 x 2 = 10, 25 give 8 x 4 = 32, 30 give 6 x 3 = 18, 10 give 200.
  library.Layouts = {{40, 40}, {25, 25}, {30, 30}, {10, 10}};
  TKVJigsawCut cut;
  cut.Picture = NoisePicture(200, 100);
  cut.SetDifficulty(library, 0);
  EXPECT_EQ(cut.Difficulty, 0);
  EXPECT_EQ(cut.Picture.Resampler().ClassName(),
            "TNearestResampler"); // only the search's scaling is linear
  EXPECT_EQ(cut.LayoutIndex, 2);
  // Round(200 / 30) x 30 by Round(100 / 30) x 30.
  EXPECT_EQ(cut.PictureWidth(), 210);
  EXPECT_EQ(cut.PictureHeight(), 90);
  cut.SetDifficulty(library, 1);
  EXPECT_EQ(cut.LayoutIndex, 1);
  EXPECT_EQ(cut.PictureWidth(), 200);
  EXPECT_EQ(cut.PictureHeight(), 100);
  cut.SetDifficulty(library, 5);
  EXPECT_EQ(cut.LayoutIndex, 3);
  cut.SetDifficulty(library, 3);
  EXPECT_EQ(cut.LayoutIndex, -1);
}

TEST(CutTest, SingleRowUsesOnlyVerticalTemplates) {
  kv::TRandomSource random(1);
  auto library = CutLibrary();
  auto cut = ScaledCut(5, 1);
  library.Templates.erase(library.Templates.begin()); // the library may lack what the grid does not need
  library.Templates.erase(library.Templates.begin() + 1);
  const TKVJigsawCarver carver;
  cut.AssignEdges(library, &carver, random);
  ASSERT_EQ(cut.PieceItems.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    const auto& item = cut.Piece(i);
    EXPECT_EQ(item.TopEdge, -1);
    EXPECT_EQ(item.BottomEdge, -1);
    if (i < 4) {
      ASSERT_GE(item.RightEdge, 0);
      EXPECT_TRUE(library.Template(item.RightEdge).Vertical);
      EXPECT_EQ(library.Template(item.RightEdge).LayoutIndex, 0);
    }
  }
}

TEST(CutTest, NeighboursShareTheirEdgeAndOriginsFollowTheTemplates) {
  kv::TRandomSource random;
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    random.Seed(seed);
    const int cols = 4, rows = 3;
    const auto library = CutLibrary();
    auto cut = ScaledCut(cols, rows);
    const TKVJigsawCarver carver;
    cut.AssignEdges(library, &carver, random);
    ASSERT_EQ(cut.PieceItems.size(), static_cast<std::size_t>(cols * rows));
    for (int row = 0; row < rows; ++row)
      for (int col = 0; col < cols; ++col) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " piece " << row << "," << col);
        const int i = row * cols + col;
        const auto& item = cut.Piece(i);
        EXPECT_EQ(item.TopEdge == -1, row == 0);
        EXPECT_EQ(item.LeftEdge == -1, col == 0);
        EXPECT_EQ(item.BottomEdge == -1, row == rows - 1);
        EXPECT_EQ(item.RightEdge == -1, col == cols - 1);
        if (col < cols - 1) {
          EXPECT_EQ(item.RightEdge, cut.Piece(i + 1).LeftEdge);
          EXPECT_TRUE(library.Template(item.RightEdge).Vertical);
          EXPECT_EQ(library.Template(item.RightEdge).LayoutIndex, 0);
        }
        if (row < rows - 1) {
          EXPECT_EQ(item.BottomEdge, cut.Piece(i + cols).TopEdge);
          EXPECT_FALSE(library.Template(item.BottomEdge).Vertical);
        }
        const int topHalf = item.TopEdge == -1 ? 0 : library.Template(item.TopEdge).Height / 2;
        const int leftHalf = item.LeftEdge == -1 ? 0 : library.Template(item.LeftEdge).Width / 2;
        const int rightHalf = item.RightEdge == -1 ? 0 : library.Template(item.RightEdge).Width / 2;
        const int bottomHalf = item.BottomEdge == -1 ? 0 : library.Template(item.BottomEdge).Height / 2;
        EXPECT_EQ(item.X, col * 20 - leftHalf);
        EXPECT_EQ(item.Y, row * 20 - topHalf);
        EXPECT_EQ(item.Bitmap.Width(), 20 + leftHalf + rightHalf);
        EXPECT_EQ(item.Bitmap.Height(), 20 + topHalf + bottomHalf);
        // The cell body shows the picture at the piece's place (away from the bevels).
        EXPECT_EQ(item.Bitmap.PixelAt(leftHalf + 10, topHalf + 10),
                  cut.ScaledPicture.PixelAt(col * 20 + 10, row * 20 + 10));
      }
  }
}

TEST(CutTest, MissingTemplatesOfANeededOrientationRaise) {
  struct Case {
    const char* name;
    int cols, rows;
    bool keepHorizontal, keepVertical;
    bool raises;
  };
  const Case cases[] = {
      {"no vertical for a row", 3, 1, true, false, true},
      {"no horizontal for a column", 1, 3, false, true, true},
      {"single piece needs none", 1, 1, false, false, false},
      {"column with horizontal only", 1, 3, true, false, false},
  };
  const TKVJigsawCarver carver;
  kv::TRandomSource random(1);
  for (const auto& c : cases) {
    auto library = CutLibrary();
    auto cut = ScaledCut(c.cols, c.rows);
    std::vector<kv::TKVPieceTemplate> kept;
    for (auto& t : library.Templates)
      if (t.LayoutIndex == 0 && (t.Vertical ? c.keepVertical : c.keepHorizontal)) kept.push_back(t);
    kept.push_back(KeepTemplate(30, 30, true, 1)); // a vertical template of another layout never counts
    kept.push_back(KeepTemplate(30, 30, false, 1));
    library.Templates = kept;
    if (c.raises) {
      try {
        cut.AssignEdges(library, &carver, random);
        ADD_FAILURE() << c.name;
      } catch (const kv::Exception& e) {
        EXPECT_STREQ(e.what(), "The piece library has no edge templates for the chosen layout.") << c.name;
      }
    } else {
      EXPECT_NO_THROW(cut.AssignEdges(library, &carver, random)) << c.name;
      EXPECT_EQ(cut.PieceItems.size(), static_cast<std::size_t>(c.cols * c.rows)) << c.name;
    }
  }
}

TEST(CutTest, CutsShareOneLibraryAndOnlyACarverMakesBitmaps) {
  const TKVJigsawPieceLibrary library = CutLibrary();
  TKVJigsawCut drawn = ScaledCut(4, 3), plain = ScaledCut(4, 3);
  const TKVJigsawCarver carver;
  kv::TRandomSource random(7);
  drawn.AssignEdges(library, &carver, random);
  random.Seed(7);
  plain.AssignEdges(library, nullptr, random);
  ASSERT_EQ(drawn.PieceItems.size(), 12u);
  ASSERT_EQ(plain.PieceItems.size(), 12u);
  for (int i = 0; i < 12; ++i) {
    const auto& a = drawn.Piece(i);
    const auto& b = plain.Piece(i);
    EXPECT_EQ(std::tuple(a.X, a.Y, a.TopEdge, a.RightEdge, a.BottomEdge, a.LeftEdge),
              std::tuple(b.X, b.Y, b.TopEdge, b.RightEdge, b.BottomEdge, b.LeftEdge))
        << i;
    EXPECT_FALSE(a.Bitmap.Empty()) << i;
    EXPECT_TRUE(b.Bitmap.Empty()) << i;
  }
  EXPECT_EQ(library.TemplateCount(), 5);
  EXPECT_EQ(drawn.Cols(library), 4);
  EXPECT_EQ(drawn.Rows(library), 3);
}
