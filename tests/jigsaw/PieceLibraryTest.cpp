#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "uKVPieceLibraryGenerator.h"

#include "data/uKVStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

using kv::TKVJigsawPieceLibrary;
using kv::TKVMaskOp;
using kv::TKVMaskPixel;
using kv::TKVPieceLibraryGenerator;

namespace {

constexpr uint64_t kSeed = 20261210;

std::vector<uint8_t> LibraryBytes(uint64_t seed) {
  kv::TMemoryStream stream;
  TKVPieceLibraryGenerator::Generate(seed).SaveToStream(stream);
  return stream.Bytes();
}

const kv::TKVJigsawPieceLibrary& Library() {
  static const kv::TKVJigsawPieceLibrary library = TKVPieceLibraryGenerator::Generate(kSeed);
  return library;
}

constexpr kv::TColor32 kBackground = 0xFF5080B0u;

// Draws one mask with the carver's interpreter over an opaque surface one column wider than the
// template, so that a write past the template's width shows in the extra column.
kv::TBitmap32 DrawMask(const kv::TKVPieceTemplate& pieceTemplate, int mask) {
  kv::TKVJigsawCarver carver;
  kv::TBitmap32 dest;
  dest.SetSize(pieceTemplate.Width + 1, pieceTemplate.Height);
  dest.Clear(kBackground);
  carver.DrawEdgeTemplate(pieceTemplate, dest, 0, 0, mask == 0 ? 0 : 2);
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
  Library().SaveToStream(stream);
  stream.Seek(0, kv::TSeekOrigin::soBeginning);
  TKVJigsawPieceLibrary collection;
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
          TKVPieceLibraryGenerator::DrawTemplatePixels(layout, vertical, n < 2, random, width, height);
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

namespace {

// One template of the generated library drawn with the collection's interpreter, seen in the frame of its
// edge: Along runs along the edge (0..Length), Across over it (0..2 * Half), the edge line lying between
// Across = Half - 1 and Half. The first piece is the upper (left) one, whose cell lies at Across < Half.
class TEdgeView {
public:
  explicit TEdgeView(const kv::TKVPieceTemplate& pieceTemplate)
      : Vertical(pieceTemplate.Vertical), Length(Vertical ? pieceTemplate.Height : pieceTemplate.Width),
        Half((Vertical ? pieceTemplate.Width : pieceTemplate.Height) / 2), Drawn{DrawMask(pieceTemplate, 0),
                                                                                 DrawMask(pieceTemplate, 1)} {
  }

  // piece 0: the upper (left) piece, 1: the lower (right) one.
  kv::TColor32 Pixel(int piece, int along, int across) const {
    const kv::TBitmap32& mask = Drawn[Vertical ? piece : 1 - piece];
    return Vertical ? mask.PixelAt(across, along) : mask.PixelAt(along, across);
  }
  bool Opaque(int piece, int along, int across) const { return Pixel(piece, along, across) >> 24 == 255; }

  const bool Vertical;
  const int Length;
  const int Half;

private:
  kv::TBitmap32 Drawn[2];
};

// The tab of one edge as its pixels show it, in pixels: how far it stands out of the edge line, how wide
// its head is, how narrow its neck, where its head's middle lies along the edge.
struct TKnob {
  int Owner = 0;
  int Depth = 0;
  int Head = 0;
  int Neck = 0;
  double Position = 0;
};

TKnob MeasureKnob(const TEdgeView& view) {
  TKnob knob;
  // Row t of the other cell, t + 1 rows from the edge line; the gentle wave moves the line by a pixel or two,
  // so the owner is the piece that reaches five rows deep.
  auto across = [&](int t) { return knob.Owner == 0 ? view.Half + t : view.Half - 1 - t; };
  auto count = [&](int t) {
    int n = 0;
    for (int a = 0; a < view.Length; ++a) n += view.Opaque(knob.Owner, a, across(t));
    return n;
  };
  knob.Owner = 0;
  if (count(4) == 0) knob.Owner = 1;
  while (knob.Depth < view.Half && count(knob.Depth) > 0) ++knob.Depth;
  // The run of the owner's pixels through the middle of the head's top, row by row.
  int top = 0, topCount = 0;
  for (int a = 0; a < view.Length; ++a)
    if (view.Opaque(knob.Owner, a, across(knob.Depth - 2))) {
      top += a;
      ++topCount;
    }
  if (topCount == 0) return knob;
  const int middle = top / topCount;
  auto run = [&](int t) {
    if (!view.Opaque(knob.Owner, middle, across(t))) return 0;
    int left = middle, right = middle;
    while (left > 0 && view.Opaque(knob.Owner, left - 1, across(t))) --left;
    while (right + 1 < view.Length && view.Opaque(knob.Owner, right + 1, across(t))) ++right;
    return right - left + 1;
  };
  // The head is widest in the upper two thirds of the tab; the neck is the narrowest row below it.
  int widest = knob.Depth - 1;
  for (int t = knob.Depth / 3; t < knob.Depth; ++t)
    if (run(t) >= knob.Head) {
      knob.Head = run(t);
      widest = t;
    }
  knob.Neck = knob.Head;
  for (int t = 0; t < widest; ++t) knob.Neck = std::min(knob.Neck, run(t));
  double sum = 0;
  for (int a = 0; a < view.Length; ++a)
    if (view.Opaque(knob.Owner, a, across(widest))) sum += a + 0.5;
  knob.Position = sum / count(widest) / view.Length;
  return knob;
}

kv::TKVJigsawPieceLibrary LoadedLibrary() {
  kv::TMemoryStream stream;
  Library().SaveToStream(stream);
  stream.SetPosition(0);
  kv::TKVJigsawPieceLibrary collection;
  collection.LoadFromStream(stream);
  return collection;
}

} // namespace

// Knobs as die-cut pieces have them at every cell size: a head of 0.28 to 0.33 of the edge across on a neck
// about 0.6 as wide, standing out about 0.28 of the edge; sizes, positions and directions vary.
TEST(PieceLibraryTest, KnobsHaveClassicProportions) {
  const auto collection = LoadedLibrary();
  for (std::size_t li = 0; li < collection.Layouts.size(); ++li) {
    const auto& layout = collection.Layouts[li];
    for (const bool vertical : {false, true}) {
      const std::string name = std::to_string(layout.CellWidth) + "x" + std::to_string(layout.CellHeight) +
                               (vertical ? " vertical" : " horizontal");
      double head = 0, depth = 0, neck = 0;
      int count = 0, owners[2] = {0, 0};
      std::set<int> heads, depths, positions;
      for (const auto& pieceTemplate : collection.Templates) {
        if (pieceTemplate.LayoutIndex != li || pieceTemplate.Vertical != vertical) continue;
        const TEdgeView view(pieceTemplate);
        const TKnob knob = MeasureKnob(view);
        const double length = view.Length;
        const std::string at = name + " template " + std::to_string(count);
        // One pixel of rounding either way on the smallest cells.
        EXPECT_GE(knob.Head, 0.28 * length - 1.5) << at;
        EXPECT_LE(knob.Head, 0.33 * length + 1.5) << at;
        EXPECT_GE(knob.Depth, 0.25 * length - 1.5) << at;
        EXPECT_LE(knob.Depth, 0.31 * length + 1.5) << at;
        EXPECT_GE(knob.Neck, 0.45 * knob.Head - 1) << at;
        EXPECT_LE(knob.Neck, 0.75 * knob.Head + 1) << at; // a waist the head stands out over
        EXPECT_NEAR(knob.Position, 0.5, 0.06) << at;
        head += knob.Head / length;
        depth += knob.Depth / length;
        neck += static_cast<double>(knob.Neck) / knob.Head;
        ++count;
        ++owners[knob.Owner];
        heads.insert(knob.Head);
        depths.insert(knob.Depth);
        positions.insert(static_cast<int>(std::lround(knob.Position * length)));
      }
      ASSERT_GE(count, 12) << name;
      EXPECT_NEAR(head / count, 0.305, 0.025) << name;
      EXPECT_NEAR(depth / count, 0.28, 0.025) << name;
      EXPECT_NEAR(neck / count, 0.6, 0.08) << name;
      EXPECT_EQ(owners[0], owners[1]) << name;
      EXPECT_GE(heads.size(), 2u) << name;
      EXPECT_GE(depths.size(), 2u) << name;
      EXPECT_GE(positions.size(), 2u) << name;
    }
  }
}

// Where a template differs from a straight edge (its tab, the gentle wave, and the outline, bevel and fringe
// around them), it stays in its own quarter of the cell: nearer its edge than the crossing edges. Tabs of
// crossing edges then never meet, and both ends of every edge are straight, so that the two templates drawn
// into one corner agree. The template holds the whole tab with its ring: its outermost rows are the plain
// inside of one piece and the outside of the other.
TEST(PieceLibraryTest, TabsStayInTheirQuarterOfTheCell) {
  const auto collection = LoadedLibrary();
  for (std::size_t i = 0; i < collection.Templates.size(); ++i) {
    const TEdgeView view(collection.Templates[i]);
    const std::string name = "template " + std::to_string(i);
    for (int piece = 0; piece < 2; ++piece) {
      for (int across = 0; across < 2 * view.Half; ++across) {
        const kv::TColor32 straight = view.Pixel(piece, 0, across);
        ASSERT_EQ(view.Pixel(piece, view.Length - 1, across), straight) << name << " row " << across;
        for (int along = 1; along < view.Length - 1; ++along) {
          if (view.Pixel(piece, along, across) == straight) continue;
          const double off = std::abs(across + 0.5 - view.Half);
          ASSERT_LT(off, std::min(along + 0.5, view.Length - along - 0.5))
              << name << " piece " << piece << " at " << along << "," << across;
        }
      }
      const int own = piece == 0 ? 0 : 2 * view.Half - 1, other = 2 * view.Half - 1 - own;
      for (int along = 0; along < view.Length; ++along) {
        ASSERT_EQ(view.Pixel(piece, along, own), kBackground) << name << " piece " << piece;
        ASSERT_EQ(view.Pixel(piece, along, other), 0u) << name << " piece " << piece;
      }
    }
  }
}
