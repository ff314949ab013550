#include "gui/uBitmap32.h"
#include "gui/uBmpCodec.h"

#include "core/uKVErrors.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace kv;

namespace {

// A hand-made BMP file: the header kind follows HeaderSize (12 core, 40 info with masks after it, 108/124
// with masks inside).
struct BmpLayout {
  uint32_t HeaderSize = 40;
  int32_t Width = 3;
  int32_t Height = 2; // negative: top-down
  uint16_t BitCount = 24;
  uint32_t Compression = 0;
  uint32_t ColorsUsed = 0;
  std::vector<uint32_t> Palette; // $00RRGGBB
  std::vector<uint32_t> Masks;   // red, green, blue[, alpha]
  std::vector<uint8_t> Pixels;   // as stored
  uint32_t OffBits = 0xFFFFFFFF; // default: right after the palette
};

std::vector<uint8_t> Build(const BmpLayout& s) {
  kvtest::Bytes header;
  if (s.HeaderSize == 12) {
    header.u32(12)
        .u16(static_cast<uint16_t>(s.Width))
        .u16(static_cast<uint16_t>(s.Height))
        .u16(1)
        .u16(s.BitCount);
  } else {
    header.u32(s.HeaderSize).i32(s.Width).i32(s.Height).u16(1).u16(s.BitCount).u32(s.Compression);
    header.u32(static_cast<uint32_t>(s.Pixels.size())).i32(0).i32(0).u32(s.ColorsUsed).u32(0);
    if (s.HeaderSize > 40) {
      for (std::size_t i = 0; i < 4; ++i) header.u32(i < s.Masks.size() ? s.Masks[i] : 0);
      while (header.size() < s.HeaderSize) header.u8(0);
    } else {
      for (uint32_t m : s.Masks) header.u32(m);
    }
  }
  for (uint32_t c : s.Palette) {
    header.u8(static_cast<uint8_t>(c)).u8(static_cast<uint8_t>(c >> 8)).u8(static_cast<uint8_t>(c >> 16));
    if (s.HeaderSize != 12) header.u8(0);
  }
  const uint32_t off = s.OffBits != 0xFFFFFFFF ? s.OffBits : static_cast<uint32_t>(14 + header.size());
  kvtest::Bytes file;
  file.chars("BM").u32(static_cast<uint32_t>(14 + header.size() + s.Pixels.size())).u32(0).u32(off);
  file.raw(header.data()).raw(s.Pixels);
  return file.data();
}

// Rows in stored order, each padded to a multiple of four bytes.
std::vector<uint8_t> Rows(std::initializer_list<std::vector<uint8_t>> rows) {
  std::vector<uint8_t> out;
  for (const auto& r : rows) {
    out.insert(out.end(), r.begin(), r.end());
    out.resize((out.size() + 3) / 4 * 4, 0);
  }
  return out;
}

constexpr uint32_t Opaque(uint32_t rgb) {
  return 0xFF000000u | rgb;
}

// The colours of the 3 x 2 test picture: A B C over D E F.
const std::vector<uint32_t> Palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0xFFFFFF, 0x808080};
const std::vector<uint32_t> Expected = {Opaque(0xFF0000), Opaque(0x00FF00), Opaque(0x0000FF),
                                        Opaque(0x102030), Opaque(0xFFFFFF), Opaque(0x808080)};

std::vector<uint32_t> Sixteen(std::vector<uint32_t> colours) {
  colours.resize(16, 0x000000);
  return colours;
}

struct DepthCase {
  const char* Name;
  BmpLayout Layout;
  std::vector<uint32_t> Pixels; // top row first
};

std::vector<DepthCase> DepthCases() {
  std::vector<DepthCase> cases;
  // 1 bit: top row 1 0 1, bottom row 0 1 1 (bottom-up: bottom row stored first).
  cases.push_back({"1-bit",
                   {40, 3, 2, 1, 0, 0, {0x102030, 0xFFFFFF}, {}, Rows({{0x60}, {0xA0}})},
                   {Opaque(0xFFFFFF), Opaque(0x102030), Opaque(0xFFFFFF), Opaque(0x102030), Opaque(0xFFFFFF),
                    Opaque(0xFFFFFF)}});
  cases.push_back(
      {"4-bit", {40, 3, 2, 4, 0, 0, Sixteen(Palette), {}, Rows({{0x45, 0x60}, {0x12, 0x30}})}, Expected});
  cases.push_back(
      {"8-bit with biClrUsed", {40, 3, 2, 8, 0, 7, Palette, {}, Rows({{4, 5, 6}, {1, 2, 3}})}, Expected});
  cases.push_back(
      {"8-bit top-down", {40, 3, -2, 8, 0, 7, Palette, {}, Rows({{1, 2, 3}, {4, 5, 6}})}, Expected});
  // An index past the palette reads as black.
  cases.push_back(
      {"8-bit index past palette",
       {40, 3, 2, 8, 0, 2, {0x111111, 0x222222}, {}, Rows({{0, 1, 9}, {1, 0, 200}})},
       {Opaque(0x222222), Opaque(0x111111), Opaque(0), Opaque(0x111111), Opaque(0x222222), Opaque(0)}});
  cases.push_back({"core 8-bit RGBTRIPLE",
                   {12,
                    3,
                    2,
                    8,
                    0,
                    0,
                    [] {
                      auto p = Palette;
                      p.resize(256);
                      return p;
                    }(),
                    {},
                    Rows({{4, 5, 6}, {1, 2, 3}})},
                   Expected});
  cases.push_back(
      {"24-bit bottom-up",
       {40,
        3,
        2,
        24,
        0,
        0,
        {},
        {},
        Rows({{0x30, 0x20, 0x10, 0xFF, 0xFF, 0xFF, 0x80, 0x80, 0x80}, {0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0}})},
       Expected});
  cases.push_back(
      {"24-bit top-down",
       {40,
        3,
        -2,
        24,
        0,
        0,
        {},
        {},
        Rows({{0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0}, {0x30, 0x20, 0x10, 0xFF, 0xFF, 0xFF, 0x80, 0x80, 0x80}})},
       Expected});
  // 5-5-5: 31 -> 255, 16 -> 132.
  cases.push_back({"16-bit 5-5-5",
                   {40, 2, 1, 16, 0, 0, {}, {}, Rows({{0x00, 0x7C, 0x10, 0x42}})},
                   {Opaque(0xFF0000), Opaque(0x848484)}});
  cases.push_back({"16-bit 5-6-5 bitfields",
                   {40, 2, 1, 16, 3, 0, {}, {0xF800, 0x07E0, 0x001F}, Rows({{0xE0, 0x07, 0x1F, 0xF8}})},
                   {Opaque(0x00FF00), Opaque(0xFF00FF)}});
  // 16 bits never carry alpha, even with an alpha mask.
  cases.push_back({"16-bit V5 with alpha mask",
                   {124, 1, 1, 16, 3, 0, {}, {0x7C00, 0x03E0, 0x001F, 0x8000}, Rows({{0x1F, 0x00}})},
                   {Opaque(0x0000FF)}});
  cases.push_back({"32-bit keeps the fourth byte",
                   {40, 2, 1, 32, 0, 0, {}, {}, Rows({{0x01, 0x02, 0x03, 0x80, 0x04, 0x05, 0x06, 0x00}})},
                   {0x80030201u, 0x00060504u}});
  cases.push_back({"32-bit bitfields, byte masks",
                   {40, 1, 1, 32, 3, 0, {}, {0xFF0000, 0xFF00, 0xFF}, Rows({{0x01, 0x02, 0x03, 0x40}})},
                   {0x40030201u}});
  cases.push_back(
      {"32-bit V5 masks with alpha",
       {124, 1, 1, 32, 3, 0, {}, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, Rows({{0x01, 0x02, 0x03, 0x40}})},
       {0x40010203u}});
  cases.push_back(
      {"32-bit V4 bitfields without alpha mask",
       {108, 1, 1, 32, 3, 0, {}, {0xFF000000, 0xFF0000, 0xFF00, 0}, Rows({{0x01, 0x02, 0x03, 0x40}})},
       {0xFF400302u}});
  cases.push_back(
      {"32-bit BI_ALPHABITFIELDS",
       {40, 1, 1, 32, 6, 0, {}, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, Rows({{0x01, 0x02, 0x03, 0x40}})},
       {0x40030201u}});
  return cases;
}

TEST(BmpCodecTest, DecodesEveryDepth) {
  for (const DepthCase& c : DepthCases()) {
    SCOPED_TRACE(c.Name);
    const TDecodedPicture picture = DecodeBmp(Build(c.Layout));
    EXPECT_EQ(picture.Width, c.Layout.Width);
    EXPECT_EQ(picture.Height, std::abs(c.Layout.Height));
    EXPECT_EQ(picture.Pixels, c.Pixels);
  }
}

// The row-by-row reading the package tools convert with gives the pixels of a whole decode.
TEST(BmpCodecTest, RowsVisitedAreThoseOfTheWholeDecode) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const DepthCase& c : DepthCases()) files.emplace_back(c.Name, Build(c.Layout));
  BmpLayout rle{40, 4, 3, 8, 1, 5, {0x000010, 0x110000, 0x002200, 0x000033, 0x444444}, {}, {}};
  rle.Pixels = {2, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 1, 1, 1, 4, 0, 1};
  files.emplace_back("RLE8", Build(rle));
  files.emplace_back("fixture top-down", kvtest::MakeBmp(7, 5, true));
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    const TDecodedPicture whole = DecodeBmp(bytes);
    TDecodedPicture visited;
    int32_t next = 0;
    VisitBmpRows(
        bytes,
        [&](int32_t width, int32_t height) {
          visited.Width = width;
          visited.Height = height;
        },
        [&](int32_t y, const uint32_t* row) {
          EXPECT_EQ(y, next++);
          visited.Pixels.insert(visited.Pixels.end(), row, row + visited.Width);
        });
    EXPECT_EQ(visited.Width, whole.Width);
    EXPECT_EQ(visited.Height, whole.Height);
    EXPECT_EQ(visited.Pixels, whole.Pixels);
  }
}

TEST(BmpCodecTest, DecodesRle8WithEscapes) {
  // 4 x 3 bottom-up. Bottom row: run of two 1s, absolute 2 3 2 (the last one falls off the row), end of
  // line. Then a delta (1, 1) to the top row, one pixel 4, end of bitmap. Skipped pixels take entry 0.
  BmpLayout s{40, 4, 3, 8, 1, 5, {0x000010, 0x110000, 0x002200, 0x000033, 0x444444}, {}, {}};
  s.Pixels = {2, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 1, 1, 1, 4, 0, 1};
  const TDecodedPicture p = DecodeBmp(Build(s));
  const uint32_t z = Opaque(0x000010);
  EXPECT_EQ(p.Pixels, (std::vector<uint32_t>{z, Opaque(0x444444), z, z, z, z, z, z, Opaque(0x110000),
                                             Opaque(0x110000), Opaque(0x002200), Opaque(0x000033)}));
}

TEST(BmpCodecTest, DecodesRle4WithEscapes) {
  // 5 x 2. Bottom row: run of three alternating 1 2, absolute 3 4 5 (5 falls off), end of line.
  // Top row: run of 0 then data ends without an end-of-bitmap escape.
  BmpLayout s{40, 5, 2, 4, 2, 6, {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006}, {}, {}};
  s.Pixels = {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 2, 0x55};
  const TDecodedPicture p = DecodeBmp(Build(s));
  const uint32_t z = Opaque(1);
  EXPECT_EQ(p.Pixels, (std::vector<uint32_t>{Opaque(6), Opaque(6), z, z, z, Opaque(2), Opaque(3), Opaque(2),
                                             Opaque(4), Opaque(5)}));
}

TEST(BmpCodecTest, RleRunsAndDeltasNeverWriteOutside) {
  // Long runs, deltas far past the edges and absolute blocks past the end of each row.
  BmpLayout s{40, 2, 2, 8, 1, 2, {0x000000, 0xFFFFFF}, {}, {}};
  s.Pixels = {255, 1, 0, 2, 255, 0, 255, 1, 0, 0, 0, 2, 0, 255, 0, 5, 1, 1, 1, 1, 1, 0, 0, 0, 200, 1, 0, 1};
  const TDecodedPicture p = DecodeBmp(Build(s));
  EXPECT_EQ(p.Pixels.size(), 4u);
}

TEST(BmpCodecTest, PixelOffsetFromTheFileHeader) {
  BmpLayout s{40, 1, 1, 24, 0, 0, {}, {}, {0xAA, 0xBB, 0x01, 0x02, 0x03, 0x00}};
  s.OffBits = 14 + 40 + 2; // two filler bytes before the pixels
  EXPECT_EQ(DecodeBmp(Build(s)).Pixels, std::vector<uint32_t>{Opaque(0x030201)});
  s.OffBits = 0; // writers that leave it 0: the pixels follow the header
  s.Pixels = {0x01, 0x02, 0x03, 0x00};
  EXPECT_EQ(DecodeBmp(Build(s)).Pixels, std::vector<uint32_t>{Opaque(0x030201)});
}

TEST(BmpCodecTest, FixtureBitmapsLoadOpaque) {
  for (const auto& bytes : {kvtest::MakeBmp(7, 5), kvtest::MakeBmp(7, 5, true), kvtest::MakeCoreBmp(7, 5)}) {
    TMemoryStream stream(bytes);
    TBitmap32 bitmap;
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(bitmap.Width(), 7);
    EXPECT_EQ(bitmap.Height(), 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(AlphaComponent(bitmap.PixelAt(x, y)), 255);
  }
  // The fixtures store the same rows either way, so the top-down picture is the bottom-up one upside down.
  const auto up = DecodeBmp(kvtest::MakeBmp(7, 5)).Pixels,
             down = DecodeBmp(kvtest::MakeBmp(7, 5, true)).Pixels;
  for (int y = 0; y < 5; ++y)
    EXPECT_TRUE(std::equal(up.begin() + 7 * y, up.begin() + 7 * y + 7, down.begin() + 7 * (4 - y)));
}

TEST(BmpCodecTest, SaveWritesBottomUp32BitAndRoundTripsAlpha) {
  TBitmap32 bitmap(3, 2);
  const std::vector<TColor32> pixels = {0x00000000u, 0x80FF0000u, 0xFF00FF00u,
                                        0x010000FFu, 0x7F102030u, 0xFFFFFFFFu};
  std::copy(pixels.begin(), pixels.end(), bitmap.Bits());
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  const auto& b = stream.Bytes();
  ASSERT_EQ(b.size(), 54u + 24u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[14], 40);        // BITMAPINFOHEADER
  EXPECT_EQ(b[22], 2);         // positive height: bottom-up
  EXPECT_EQ(b[28], 32);        // bits per pixel
  EXPECT_EQ(b[30], 0);         // uncompressed
  EXPECT_EQ(b[54 + 3], 0x01);  // first stored pixel: bottom-left, alpha byte last
  EXPECT_EQ(b[54 + 12], 0x00); // top-left pixel, blue first

  stream.SetPosition(0);
  TBitmap32 loaded;
  loaded.LoadFromStream(stream);
  ASSERT_EQ(loaded.Width(), 3);
  ASSERT_EQ(loaded.Height(), 2);
  EXPECT_EQ(std::vector<TColor32>(loaded.Bits(), loaded.Bits() + 6), pixels);
}

TEST(BmpCodecTest, A24BitFileHasPaddedBlueGreenRedRowsBottomUp) {
  // 3 pixels of 3 bytes: rows of 9 bytes padded to 12.
  const std::vector<uint32_t> pixels = {0xFF112233u, 0x80445566u, 0x00778899u,
                                        0xFFAABBCCu, 0xFFDDEEFFu, 0xFF010203u};
  TMemoryStream stream;
  WriteBmp24(stream, 3, 2, pixels.data());
  const auto& b = stream.Bytes();
  ASSERT_EQ(b.size(), 54u + 2u * 12u);
  auto dword = [&](std::size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                 static_cast<uint32_t>(b[at + 3]) << 24);
  };
  EXPECT_EQ(dword(2), 54u + 24u); // file size
  EXPECT_EQ(dword(10), 54u);      // pixel data offset
  EXPECT_EQ(b[28], 24);           // bits per pixel
  EXPECT_EQ(dword(34), 24u);      // image size with the padding
  // Bottom row first: CC BB AA, FF EE DD, 03 02 01, then three bytes of padding.
  const std::vector<uint8_t> bottom(b.begin() + 54, b.begin() + 66);
  EXPECT_EQ(bottom, (std::vector<uint8_t>{0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0}));
  stream.SetPosition(0);
  const TDecodedPicture read = ReadBmp(stream);
  ASSERT_EQ(read.Width, 3);
  EXPECT_EQ(read.Pixels[0] & 0xFFFFFFu, 0x112233u); // top-left, its alpha gone
}

TEST(BmpCodecTest, EmptySurfaceRoundTrips) {
  TBitmap32 empty;
  TMemoryStream stream;
  empty.SaveToStream(stream);
  stream.SetPosition(0);
  TBitmap32 loaded(4, 4);
  loaded.LoadFromStream(stream);
  EXPECT_TRUE(loaded.Empty());
}

TEST(BmpCodecTest, ReadLeavesThePositionAfterThePixels) {
  std::vector<uint8_t> bytes = {0xEE, 0xEE};
  const auto bmp = Build({40, 1, 1, 24, 0, 0, {}, {}, {1, 2, 3, 0}});
  bytes.insert(bytes.end(), bmp.begin(), bmp.end());
  bytes.push_back(0x77);
  TMemoryStream stream(bytes);
  stream.SetPosition(2);
  const TDecodedPicture p = ReadBmp(stream);
  EXPECT_EQ(p.Pixels, std::vector<uint32_t>{Opaque(0x030201)});
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(bytes.size() - 1));
}

TEST(BmpCodecTest, BadFilesRaiseImageError) {
  const auto good =
      Build({40, 3, 2, 24, 0, 0, {}, {}, Rows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}})});
  auto cut = [&](std::size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
  auto withHeader = [&](std::size_t at, uint32_t v) {
    auto b = good;
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
    return b;
  };
  struct Bad {
    const char* Name;
    std::vector<uint8_t> Bytes;
  };
  const std::vector<Bad> cases = {
      {"empty", {}},
      {"magic only", {'B', 'M'}},
      {"wrong magic",
       [&] {
         auto b = good;
         b[0] = 'X';
         return b;
       }()},
      {"header cut short", cut(30)},
      {"pixels cut short", cut(good.size() - 4)},
      {"header size 0", withHeader(14, 0)},
      {"header size 13", withHeader(14, 13)},
      {"header larger than the file", withHeader(14, 1000)},
      {"negative width", withHeader(18, static_cast<uint32_t>(-3))},
      {"height INT_MIN", withHeader(22, 0x80000000u)},
      {"huge size",
       [&] {
         auto b = withHeader(18, 100000);
         for (int i = 0; i < 4; ++i) b[22 + i] = static_cast<uint8_t>(100000 >> (8 * i));
         return b;
       }()},
      {"size larger than the data", withHeader(18, 4000)},
      {"depth 7", Build({40, 1, 1, 7, 0, 0, {}, {}, {0, 0, 0, 0}})},
      {"JPEG compression", Build({40, 1, 1, 24, 4, 0, {}, {}, {0, 0, 0, 0}})},
      {"bitfields on 8 bits", Build({40, 1, 1, 8, 3, 2, {0, 0}, {1, 2, 3}, {0, 0, 0, 0}})},
      {"masks cut short", Build({40, 1, 1, 16, 3, 0, {}, {}, {}})},
      {"palette cut short", Build({40, 1, 1, 8, 0, 0, {0x1, 0x2}, {}, {}})},
      {"offset past the end", withHeader(10, 100000)},
      {"RLE8 on 24 bits", Build({40, 1, 1, 24, 1, 0, {}, {}, {1, 1, 0, 1}})},
      {"RLE cut inside a delta", Build({40, 2, 2, 8, 1, 1, {0}, {}, {0, 2, 1}})},
      {"RLE cut inside an absolute block", Build({40, 8, 1, 8, 1, 1, {0}, {}, {0, 5, 1, 1}})},
      {"RLE asking for far more pixels than its data", Build({40, 20000, 20000, 8, 1, 1, {0}, {}, {0, 1}})},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_THROW(DecodeBmp(c.Bytes), EImageError);
    EXPECT_THROW(VisitBmpRows(
                     c.Bytes, [](int32_t, int32_t) {}, [](int32_t, const uint32_t*) {}),
                 EImageError);
  }
  auto masks = withHeader(30, 3); // BI_BITFIELDS on a 24-bit image
  EXPECT_THROW(DecodeBmp(masks), EImageError);
}

// A bitmap without pixels loads as one at once, however many rows (or columns) of nothing it claims.
TEST(BmpCodecTest, BitmapsWithoutPixelsLoadAtOnce) {
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int32_t Width, Height;
  } cases[] = {
      {"width 0, two billion rows", Build({40, 0, 0x7FFFFFFF, 24, 0, 0, {}, {}, {}}), 0, 0x7FFFFFFF},
      {"width 0, top-down", Build({40, 0, -0x7FFFFFFF, 32, 0, 0, {}, {}, {}}), 0, 0x7FFFFFFF},
      {"height 0, wide", Build({40, 0x7FFFFFFF, 0, 8, 0, 2, {1, 2}, {}, {}}), 0x7FFFFFFF, 0},
      {"core header, width 0", Build({12, 0, 0xFFFF, 1, 0, 0, {1, 2}, {}, {}}), 0, 0xFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodedPicture p = DecodeBmp(c.Bytes);
    EXPECT_EQ(p.Width, c.Width);
    EXPECT_EQ(p.Height, c.Height);
    EXPECT_TRUE(p.Pixels.empty());
  }
}

// Random damage to valid files never crashes or reads outside; it loads or raises EImageError.
TEST(BmpCodecTest, DamagedFilesLoadOrFail) {
  std::vector<std::vector<uint8_t>> seeds;
  for (const DepthCase& c : DepthCases()) seeds.push_back(Build(c.Layout));
  seeds.push_back(Build(
      {40, 4, 3, 8, 1, 5, {1, 2, 3, 4, 5}, {}, {2, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 1, 1, 1, 4, 0, 1}}));
  seeds.push_back(
      Build({40, 5, 2, 4, 2, 6, {1, 2, 3, 4, 5, 6}, {}, {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 2, 0x55}}));
  std::mt19937 random(1234);
  int loaded = 0;
  for (int round = 0; round < 4000; ++round) {
    auto bytes = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % bytes.size();
      switch (random() % 3) {
      case 0:
        bytes[at] = static_cast<uint8_t>(random());
        break;
      case 1:
        bytes.resize(at + 1);
        break;
      default:
        bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
      }
    }
    try {
      const TDecodedPicture p = DecodeBmp(bytes);
      EXPECT_EQ(p.Pixels.size(), static_cast<std::size_t>(p.Width) * static_cast<std::size_t>(p.Height));
      ++loaded;
    } catch (const EImageError&) {
    }
  }
  EXPECT_GT(loaded, 0);
}

} // namespace
