#include "jigsaw/uKVJigsawPieceCollection.h"
#include "uKVPieceLibraryGenerator.h"

#include "data/uKVStream.h"

#include <gtest/gtest.h>

#include <set>

using kv::TKVGenLibrary;
using kv::TKVJigsawPieceCollection;
using kv::TKVMaskOp;
using kv::TKVMaskPixel;
using kv::TKVPieceLibraryGenerator;

namespace {

constexpr uint64_t kSeed = 20261210;

std::vector<uint8_t> LibraryBytes(uint64_t seed) {
  kv::TMemoryStream stream;
  TKVPieceLibraryGenerator::SaveToStream(TKVPieceLibraryGenerator::Generate(seed), stream);
  return stream.Bytes();
}

const TKVGenLibrary& Library() {
  static const TKVGenLibrary library = TKVPieceLibraryGenerator::Generate(kSeed);
  return library;
}

constexpr kv::TColor32 kBackground = 0xFF5080B0u;

// Draws one mask with the collection's interpreter over an opaque surface one column wider than the
// template, so that a write past the template's width shows in the extra column.
kv::TBitmap32 DrawMask(const kv::TKVPieceTemplate& pieceTemplate, int mask) {
  TKVJigsawPieceCollection collection;
  kv::TBitmap32 dest;
  dest.SetSize(pieceTemplate.Width + 1, pieceTemplate.Height);
  dest.Clear(kBackground);
  collection.DrawEdgeTemplate(pieceTemplate, dest, 0, 0, mask == 0 ? 0 : 2);
  return dest;
}

// What each pixel operation must leave on the opaque background.
void ExpectPixel(const TKVMaskPixel& op, kv::TColor32 got, const std::string& where) {
  const uint32_t alpha = got >> 24;
  switch (op.Op) {
  case TKVMaskOp::moClear:
    EXPECT_EQ(got, 0u) << where;
    break;
  case TKVMaskOp::moKeep:
    EXPECT_EQ(got, kBackground) << where;
    break;
  case TKVMaskOp::moFringe:
    EXPECT_EQ(got, static_cast<kv::TColor32>(op.Value | 32u) << 24) << where;
    break;
  case TKVMaskOp::moContour:
  case TKVMaskOp::moShadow:
    EXPECT_EQ(alpha, 255u) << where;
    EXPECT_LT(got & 0xFFu, kBackground & 0xFFu) << where;
    break;
  case TKVMaskOp::moHighlight:
    EXPECT_EQ(alpha, 255u) << where;
    EXPECT_GT(got & 0xFFu, kBackground & 0xFFu) << where;
    break;
  }
}

kv::TKVPieceTemplate MakeTemplate(const std::vector<TKVMaskPixel>& row0,
                                  const std::vector<TKVMaskPixel>& row1, uint16_t width, uint16_t height) {
  kv::TKVPieceTemplate pieceTemplate;
  pieceTemplate.Width = width;
  pieceTemplate.Height = height;
  pieceTemplate.Masks[0] = TKVPieceLibraryGenerator::EncodeMask(row0, width, height);
  pieceTemplate.Masks[1] = TKVPieceLibraryGenerator::EncodeMask(row1, width, height);
  return pieceTemplate;
}

} // namespace

TEST(PieceLibraryTest, SameSeedGivesTheSameBytes) {
  const auto first = LibraryBytes(kSeed);
  EXPECT_EQ(first, LibraryBytes(kSeed));
  EXPECT_NE(first, LibraryBytes(kSeed + 1));
}

TEST(PieceLibraryTest, LoadsThroughTheCollectionAndWritesBackIdentically) {
  kv::TMemoryStream stream;
  TKVPieceLibraryGenerator::SaveToStream(Library(), stream);
  stream.Seek(0, kv::TSeekOrigin::soBeginning);
  TKVJigsawPieceCollection collection;
  collection.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), stream.Size());
  ASSERT_EQ(collection.Layouts.size(), Library().Layouts.size());
  for (std::size_t i = 0; i < collection.Layouts.size(); ++i) {
    EXPECT_EQ(collection.Layouts[i].CellWidth, Library().Layouts[i].CellWidth);
    EXPECT_EQ(collection.Layouts[i].CellHeight, Library().Layouts[i].CellHeight);
  }
  ASSERT_EQ(collection.Templates.size(), Library().Templates.size());
  for (std::size_t i = 0; i < collection.Templates.size(); ++i) {
    const auto& got = collection.Templates[i];
    const auto& want = Library().Templates[i];
    EXPECT_EQ(got.Width, want.Width);
    EXPECT_EQ(got.Height, want.Height);
    EXPECT_EQ(got.Vertical, want.Vertical);
    EXPECT_EQ(got.LayoutIndex, want.LayoutIndex);
    EXPECT_EQ(got.Masks, want.Masks);
  }
  kv::TMemoryStream again;
  collection.SaveToStream(again);
  EXPECT_EQ(again.Bytes(), stream.Bytes());
}

TEST(PieceLibraryTest, EveryLayoutHasEnoughEvenSizedTemplatesOfItsCellSize) {
  const auto& library = Library();
  ASSERT_LE(library.Layouts.size(), 128u);
  std::set<std::pair<int, int>> distinct;
  for (std::size_t li = 0; li < library.Layouts.size(); ++li) {
    const auto& layout = library.Layouts[li];
    EXPECT_TRUE(distinct.insert({layout.CellWidth, layout.CellHeight}).second) << li;
    int horizontal = 0, vertical = 0;
    for (const auto& entry : library.Templates) {
      if (entry.LayoutIndex != li) continue;
      // The dimension across the edge is halved for the piece margins: an odd one would lose a line.
      EXPECT_EQ((entry.Vertical ? entry.Width : entry.Height) % 2, 0);
      EXPECT_LE(entry.Width, 255);
      EXPECT_LE(entry.Height, 255);
      if (entry.Vertical) {
        ++vertical;
        EXPECT_EQ(entry.Height, layout.CellHeight);
        EXPECT_LT(entry.Width, layout.CellWidth);
      } else {
        ++horizontal;
        EXPECT_EQ(entry.Width, layout.CellWidth);
        EXPECT_LT(entry.Height, layout.CellHeight);
      }
    }
    EXPECT_GE(horizontal, 12) << li;
    EXPECT_GE(vertical, 12) << li;
  }
}

// Every mask drawn by the collection's interpreter leaves each pixel as the generator meant it, never
// touches the pixel past the template's width, and the two masks of a template give each pixel to exactly
// one of the two pieces. The whole instruction set is in use.
TEST(PieceLibraryTest, MasksDrawAsDesignedAndComplementEachOther) {
  const auto& layouts = Library().Layouts;
  kv::TKVGenRandom random(kSeed ^ 0x5A5A);
  std::set<TKVMaskOp> used;
  for (const auto& layout : layouts)
    for (int n = 0; n < 4; ++n) {
      uint16_t width = 0, height = 0;
      const bool vertical = n % 2 == 1;
      const auto pixels =
          TKVPieceLibraryGenerator::DrawTemplatePixels(layout, vertical, random, width, height);
      const auto pieceTemplate = MakeTemplate(pixels[0], pixels[1], width, height);
      const kv::TBitmap32 drawn[2] = {DrawMask(pieceTemplate, 0), DrawMask(pieceTemplate, 1)};
      for (int y = 0; y < height; ++y) {
        for (int m = 0; m < 2; ++m)
          ASSERT_EQ(drawn[m].PixelAt(width, y), kBackground) << "past the width, row " << y << " mask " << m;
        for (int x = 0; x < width; ++x) {
          const std::size_t i = static_cast<std::size_t>(y) * width + x;
          int opaque = 0;
          for (int m = 0; m < 2; ++m) {
            used.insert(pixels[m][i].Op);
            ExpectPixel(pixels[m][i], drawn[m].PixelAt(x, y),
                        std::to_string(layout.CellWidth) + (vertical ? "v" : "h") + " mask " +
                            std::to_string(m) + " at " + std::to_string(x) + "," + std::to_string(y));
            if ((drawn[m].PixelAt(x, y) >> 24) == 255) ++opaque;
          }
          ASSERT_EQ(opaque, 1) << layout.CellWidth << (vertical ? "v " : "h ") << x << "," << y;
        }
      }
    }
  EXPECT_EQ(used.size(), 6u);
}

// A clear run of n clears n + 1 pixels: the encoder must end clear runs so that nothing it means to keep is
// lost and nothing past the row is cleared.
TEST(PieceLibraryTest, ClearRunsEndWithoutEatingTheNextPixel) {
  const TKVMaskPixel C{TKVMaskOp::moClear, 0}, K{TKVMaskOp::moKeep, 0}, F{TKVMaskOp::moFringe, 40},
      O{TKVMaskOp::moContour, 0}, H{TKVMaskOp::moHighlight, 90}, S{TKVMaskOp::moShadow, 90};
  auto run = [](TKVMaskPixel pixel, int n) {
    return std::vector<TKVMaskPixel>(static_cast<std::size_t>(n), pixel);
  };
  auto join = [](std::initializer_list<std::vector<TKVMaskPixel>> parts) {
    std::vector<TKVMaskPixel> row;
    for (const auto& part : parts) row.insert(row.end(), part.begin(), part.end());
    return row;
  };
  struct Case {
    const char* name;
    std::vector<TKVMaskPixel> row;
  };
  const Case cases[] = {
      {"clear then keep", join({run(C, 5), run(K, 5)})},
      {"clear then contour", join({run(C, 3), run(O, 2), run(K, 5)})},
      {"clear then fringe", join({run(C, 4), run(F, 2), run(O, 1), run(K, 3)})},
      {"single clear between kept pixels", join({run(K, 3), run(C, 1), run(H, 3), run(S, 3)})},
      {"clear to the end of the row", join({run(K, 4), run(C, 6)})},
      {"single clear at the end", join({run(K, 9), run(C, 1)})},
      {"whole row clear", run(C, 10)},
      {"long clear of 63", join({run(C, 63), run(K, 3)})},
      {"long clear of 64", join({run(C, 64), run(K, 2)})},
      {"long clear of 127 then one kept", join({run(C, 127), run(K, 1)})},
      {"long clear of 126 to the end", run(C, 126)},
      {"long runs of every kind",
       join({run(K, 70), run(O, 65), run(H, 66), run(S, 67), run(F, 68), run(C, 130)})},
  };
  for (const Case& c : cases) {
    const uint16_t width = static_cast<uint16_t>(c.row.size());
    const auto pieceTemplate = MakeTemplate(c.row, c.row, width, 1);
    const auto drawn = DrawMask(pieceTemplate, 0);
    EXPECT_EQ(drawn.PixelAt(width, 0), kBackground) << c.name << ": past the row";
    for (int x = 0; x < width; ++x) {
      if ((std::string(c.name) == "single clear between kept pixels" && x == 3) ||
          (std::string(c.name) == "single clear at the end" && x == 9)) {
        // One pixel alone cannot be cleared without clearing the next: the faintest fringe stands in.
        EXPECT_EQ(drawn.PixelAt(x, 0), 32u << 24) << c.name;
        continue;
      }
      ExpectPixel(c.row[static_cast<std::size_t>(x)], drawn.PixelAt(x, 0),
                  std::string(c.name) + " at " + std::to_string(x));
    }
  }
}
