#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include "core/uKVErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using kv::TBitmap32;
using kv::TColor32;
using kv::TKVJigsawCarver;

namespace {

constexpr TColor32 Grey = 0xFF808080u;

kv::TKVPieceTemplate OneRowTemplate(uint16_t width, std::vector<uint8_t> mask) {
  kv::TKVPieceTemplate t;
  t.Width = width;
  t.Height = 1;
  t.Masks = {mask, mask};
  return t;
}

// Draws one mask row over a grey row of the template's width and returns the pixels.
std::vector<TColor32> DrawRow(const TKVJigsawCarver& carver, const kv::TKVPieceTemplate& t) {
  TBitmap32 dest(t.Width, 1);
  dest.Clear(Grey);
  carver.DrawEdgeTemplate(t, dest, 0, 0, 0);
  return std::vector<TColor32>(dest.Bits(), dest.Bits() + t.Width);
}

} // namespace

TEST(PieceOutlineTest, AlphaTableUsesExtendedPrecision) {
  const auto level0 = TKVJigsawCarver::AlphaTable(0);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(level0[v], v);
  const auto level7 = TKVJigsawCarver::AlphaTable(7);
  EXPECT_EQ(level7[200], 60);
  // 1 - 0.1 * 7 in extended precision lies just above 0.3: these round up where doubles round down.
  EXPECT_EQ(level7[25], 8);
  EXPECT_EQ(level7[245], 74);
  const auto level3 = TKVJigsawCarver::AlphaTable(3);
  EXPECT_EQ(level3[45], 32);
  EXPECT_EQ(level3[165], 116);
}

TEST(PieceOutlineTest, MaskInstructions) {
  struct Case {
    const char* name;
    uint8_t bevel;
    bool outline;
    uint16_t width;
    std::vector<uint8_t> mask;
    std::vector<TColor32> expected;
  };
  const TColor32 G = Grey;
  const Case cases[] = {
      {"keep", 0, false, 3, {3, 0}, {G, G, G}},
      // A clear run of n covers n + 1 pixels: the first kept pixel is transparent.
      {"clear run covers n + 1", 0, false, 6, {194, 4, 0}, {0, 0, 0, G, G, G}},
      {"clear run clipped at the edge", 0, false, 3, {1, 0, 194}, {G, 0, 0}},
      // 60 white over grey: (60 * 255 + 196 * 128 + 128) shr 8 = 158; alpha forced to 255.
      {"highlight", 7, false, 2, {66, 200, 0}, {0xFF9E9E9Eu, G}},
      // Opaque black over grey leaves (128 + 128) shr 8 = 1; alpha 0 leaves the pixel as it was.
      {"shadow", 0, false, 2, {130, 255, 0}, {0xFF010101u, G}},
      // Contour black 176 - 17 * 7 = 57: (199 * 128 + 128) shr 8 = 100.
      {"contour", 7, false, 2, {2, 208}, {0xFF646464u, 0xFF646464u}},
      // Fringe alpha Alpha(v) or 32: 30 -> 62, 60 keeps its bit 5, 0 -> 32.
      {"fringe", 7, false, 3, {3, 209, 100, 200, 0}, {62u << 24, 60u << 24, 32u << 24}},
      // A mode byte other than 0, 208 and 209 is itself the next instruction.
      {"mode re-read", 7, false, 4, {2, 66, 200, 0, 2, 0}, {0xFF9E9E9Eu, G, G, G}},
      {"outline leaves highlight and shadow", 0, true, 4, {66, 200, 9, 130, 200, 9}, {G, G, G, G}},
      {"outline clears the fringe", 0, true, 2, {2, 209, 200, 200}, {0, 0}},
      // The outline contour is one merged line of n + 1 pixels.
      {"outline contour", 0, true, 3, {2, 208, 1, 0}, {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u}},
      {"mask ends early", 0, false, 4, {193, 1}, {0, 0, G, G}},
      {"empty mask", 0, false, 2, {}, {G, G}},
  };
  for (const auto& c : cases) {
    TKVJigsawCarver carver;
    carver.BevelLevel = c.bevel;
    carver.OutlineOption = c.outline;
    carver.OutlineColor = 0x0000FF; // red as $00BBGGRR
    EXPECT_EQ(DrawRow(carver, OneRowTemplate(c.width, c.mask)), c.expected) << c.name;
  }
}

TEST(PieceOutlineTest, RowsOutsideTheBitmapAreNotDrawn) {
  // Four rows drawn from row -1 of a two-row bitmap: clear (above it), keep, clear, and a clear below it.
  kv::TKVPieceTemplate t;
  t.Width = 2;
  t.Height = 4;
  t.Masks[0] = {193, 1, 0, 2, 0, 193, 1, 0, 193, 1, 0};
  const TKVJigsawCarver carver;
  TBitmap32 dest(2, 2);
  dest.Clear(Grey);
  carver.DrawEdgeTemplate(t, dest, 0, -1, 0);
  EXPECT_EQ(dest.PixelAt(0, 0), Grey);
  EXPECT_EQ(dest.PixelAt(1, 0), Grey);
  EXPECT_EQ(dest.PixelAt(0, 1), 0u);
  EXPECT_EQ(dest.PixelAt(1, 1), 0u);
  dest.Clear(Grey);
  carver.DrawEdgeTemplate(t, dest, 0, -3, 0); // only the last row lands, and clears
  EXPECT_EQ(dest.PixelAt(0, 0), 0u);
  EXPECT_EQ(dest.PixelAt(0, 1), Grey);
}

TEST(PieceOutlineTest, HostileMasksStayInsideTheBitmap) {
  // Random masks of every size drawn at every kind of offset. Each is drawn twice: clipped on a small
  // surface, and whole on a large one with a margin of sentinel pixels. The small surface must show exactly
  // its window of the large one, and the large one must keep its sentinels above, below and left of the
  // template (a run may reach up to 255 pixels past the template's right side, as the mask says).
  constexpr TColor32 Sentinel = 0x12345678u;
  constexpr int MarginX = 320, MarginY = 64;
  std::mt19937 random(7);
  TKVJigsawCarver carver;
  carver.BevelLevel = 9; // beyond the stored range: treated as the weakest bevel
  for (int round = 0; round < 2000; ++round) {
    kv::TKVPieceTemplate t;
    t.Width = static_cast<uint16_t>(random() % 40);
    t.Height = static_cast<uint16_t>(random() % 40);
    std::vector<uint8_t> mask(random() % 300);
    for (auto& b : mask) b = static_cast<uint8_t>(random());
    t.Masks = {mask, mask};
    carver.OutlineOption = round % 2 == 0;
    const int w = 1 + static_cast<int>(random() % 20), h = 1 + static_cast<int>(random() % 20);
    const int x = static_cast<int>(random() % 50) - 25, y = static_cast<int>(random() % 50) - 25;
    const int side = static_cast<int>(random() % 4);
    TBitmap32 small(w, h), large(w + 2 * MarginX, h + 2 * MarginY);
    small.Clear(Sentinel);
    large.Clear(Sentinel);
    carver.DrawEdgeTemplate(t, small, x, y, side);
    carver.DrawEdgeTemplate(t, large, x + MarginX, y + MarginY, side);
    for (int py = 0; py < h; ++py)
      for (int px = 0; px < w; ++px)
        ASSERT_EQ(small.PixelAt(px, py), large.PixelAt(px + MarginX, py + MarginY)) << "round " << round;
    for (int py = 0; py < large.Height(); ++py)
      for (int px = 0; px < large.Width(); ++px) {
        const bool reachable = py >= y + MarginY && py < y + MarginY + t.Height && px >= x + MarginX;
        if (!reachable) {
          ASSERT_EQ(large.PixelAt(px, py), Sentinel) << "round " << round;
        }
      }
  }
}

namespace {

// A library with one layout of square cells (20 x 20 unless asked: two bevel lines of alpha 86 and 58), a
// cut with that layout chosen, and the carver; pieces are built by template index, as the cut builds them.
struct TOneLayoutCut {
  kv::TKVJigsawPieceLibrary Library;
  kv::TKVJigsawCut Cut;
  TKVJigsawCarver Carver;

  void Build(const TBitmap32& picture, TBitmap32& piece, int32_t x, int32_t y, int32_t top, int32_t bottom,
             int32_t right, int32_t left) const {
    Cut.BuildPieceBitmap(Library, Carver, picture, piece, x, y, top, bottom, right, left);
  }
};

TOneLayoutCut OneLayoutCut(uint8_t cell = 20) {
  TOneLayoutCut cut;
  cut.Library.Layouts = {{cell, cell}};
  cut.Cut.LayoutIndex = 0;
  return cut;
}

TBitmap32 GreyPicture(int w, int h) {
  TBitmap32 picture(w, h);
  picture.Clear(Grey);
  return picture;
}

// A template of the given size whose masks keep every pixel.
kv::TKVPieceTemplate KeepTemplate(uint16_t w, uint16_t h, bool vertical) {
  kv::TKVPieceTemplate t;
  t.Width = w;
  t.Height = h;
  t.Vertical = vertical;
  for (auto& mask : t.Masks)
    for (int row = 0; row < h; ++row) mask.insert(mask.end(), {static_cast<uint8_t>(w), 0});
  return t;
}

} // namespace

TEST(PieceOutlineTest, SinglePieceHasFourBevelledSidesAndNoTransparentPixels) {
  auto grey = OneLayoutCut();
  const TBitmap32 picture = GreyPicture(20, 20);
  TBitmap32 piece;
  grey.Build(picture, piece, 0, 0, -1, -1, -1, -1);
  ASSERT_EQ(piece.Width(), 20);
  ASSERT_EQ(piece.Height(), 20);
  EXPECT_EQ(piece.DrawMode(), kv::dmBlend);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_EQ(piece.PixelAt(x, y) >> 24, 255u) << x << "," << y;
  const TColor32 dark = 0xFF010101u;
  const TColor32 white86 = 0xFFABABABu, white58 = 0xFF9D9D9Du; // white over grey
  const TColor32 black86 = 0xFF555555u, black58 = 0xFF636363u; // black over grey
  struct Probe {
    int x, y;
    TColor32 colour;
  };
  const Probe probes[] = {
      {5, 0, dark},     {19, 5, dark},    {5, 19, dark}, {0, 5, dark}, // outer lines
      {5, 1, white86},  {5, 2, white58},  {5, 3, Grey},                // top: white
      {1, 5, white86},  {2, 5, white58},  {3, 5, Grey},                // left: white
      {18, 5, black86}, {17, 5, black58}, {16, 5, Grey},               // right: black
      {5, 18, black86}, {5, 17, black58}, {5, 16, Grey},               // bottom: black
      {1, 2, white86},  {2, 1, white86},                               // each inner line is shorter
      {10, 10, Grey},
  };
  for (const auto& p : probes) EXPECT_EQ(piece.PixelAt(p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST(PieceOutlineTest, BevelDepthFollowsTheCellWidth) {
  struct Case {
    uint8_t cell;
    std::vector<uint8_t> alphas;
  };
  const Case cases[] = {
      {49, {86, 58}}, {50, {134, 106, 78}}, {100, {134, 106, 78}}, {101, {112, 84, 56, 28}}};
  for (const auto& c : cases) {
    const auto cut = OneLayoutCut(c.cell);
    TBitmap32 picture(c.cell, c.cell);
    picture.Clear(0xFF000000u);
    TBitmap32 piece;
    cut.Build(picture, piece, 0, 0, -1, -1, -1, -1);
    // White of alpha a over black gives (a * 255 + 128) shr 8 at row k of the top side.
    for (std::size_t k = 1; k <= c.alphas.size() + 1; ++k) {
      const uint32_t a = k <= c.alphas.size() ? c.alphas[k - 1] : 0;
      EXPECT_EQ(piece.PixelAt(c.cell / 2, static_cast<int>(k)) & 0xFF, (a * 255 + 128) >> 8)
          << int(c.cell) << " line " << k;
    }
  }
}

TEST(PieceOutlineTest, OutlineOptionDrawsOneColourAndLightensNothing) {
  auto grey = OneLayoutCut();
  grey.Carver.OutlineOption = true;
  grey.Carver.OutlineColor = 0x0000FF;
  const TBitmap32 picture = GreyPicture(20, 20);
  TBitmap32 piece;
  grey.Build(picture, piece, 0, 0, -1, -1, -1, -1);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool border = x == 0 || y == 0 || x == 19 || y == 19;
      EXPECT_EQ(piece.PixelAt(x, y), border ? 0xFFFF0000u : Grey) << x << "," << y;
    }
}

TEST(PieceOutlineTest, TemplateSidesSetTheMarginsAndClearTheCorners) {
  auto grey = OneLayoutCut();
  grey.Library.Templates = {KeepTemplate(20, 10, false), KeepTemplate(12, 20, true)};
  const TBitmap32 picture = GreyPicture(60, 60);
  TBitmap32 piece;
  // Top and bottom template 0 (margins 5), left and right template 1 (margins 6).
  grey.Build(picture, piece, 10, 10, 0, 0, 1, 1);
  ASSERT_EQ(piece.Width(), 20 + 6 + 6);
  ASSERT_EQ(piece.Height(), 20 + 5 + 5);
  for (int y = 0; y < piece.Height(); ++y)
    for (int x = 0; x < piece.Width(); ++x) {
      const bool corner = (x < 6 || x >= 26) && (y < 5 || y >= 25);
      EXPECT_EQ(piece.PixelAt(x, y), corner ? 0u : Grey) << x << "," << y;
    }
}

TEST(PieceOutlineTest, PartOfThePieceOutsideThePictureStaysTransparent) {
  auto grey = OneLayoutCut();
  const TBitmap32 picture = GreyPicture(20, 20);
  TBitmap32 piece;
  grey.Carver.OutlineOption = true;
  grey.Carver.OutlineColor = 0x0000FF;
  grey.Build(picture, piece, 10, -5, -1, -1, -1, -1);
  EXPECT_EQ(piece.PixelAt(5, 3), 0u); // above and inside the picture's columns: nothing to copy
  EXPECT_EQ(piece.PixelAt(5, 10), Grey);
  EXPECT_EQ(piece.PixelAt(15, 10), 0u); // right of the picture
}

TEST(PieceOutlineTest, InvalidTemplateIndexOrNoLayoutRaises) {
  auto grey = OneLayoutCut();
  const TBitmap32 picture = GreyPicture(20, 20);
  TBitmap32 piece;
  EXPECT_THROW(grey.Build(picture, piece, 0, 0, 3, -1, -1, -1), kv::Exception);
  EXPECT_THROW(grey.Build(picture, piece, 0, 0, -1, -1, -2, -1), kv::Exception);
  grey.Cut.LayoutIndex = -1;
  EXPECT_THROW(grey.Build(picture, piece, 0, 0, -1, -1, -1, -1), kv::Exception);
}

TEST(PieceOutlineTest, TheCarverNeedsNoLibraryOnlyTheCellAndTheTemplates) {
  const kv::TKVPieceTemplate horizontal = KeepTemplate(20, 10, false);
  const kv::TKVPieceTemplate vertical = KeepTemplate(12, 20, true);
  kv::TKVJigsawCarver carver;
  carver.BevelLevel = 3;
  const TBitmap32 picture = GreyPicture(60, 60);
  TBitmap32 piece;
  // A top template and a right one; bottom and left are straight, bevelled sides.
  carver.BuildPieceBitmap(picture, piece, 10, 10, kv::TKVLayout{20, 20},
                          kv::TKVPieceEdges{&horizontal, nullptr, &vertical, nullptr});
  ASSERT_EQ(piece.Width(), 20 + 6);
  ASSERT_EQ(piece.Height(), 20 + 5);

  auto grey = OneLayoutCut();
  grey.Library.Templates = {horizontal, vertical};
  grey.Carver.BevelLevel = 3;
  TBitmap32 same;
  grey.Build(picture, same, 10, 10, 0, -1, 1, -1);
  ASSERT_EQ(same.Width(), piece.Width());
  ASSERT_EQ(same.Height(), piece.Height());
  EXPECT_TRUE(std::equal(piece.Bits(), piece.Bits() + piece.Width() * piece.Height(), same.Bits()));
}
