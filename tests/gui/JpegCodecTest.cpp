#include "gui/uJpegCodec.h"

#include "data/uKVErrors.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

using namespace kv;

namespace {

// A JPEG of any input colour space straight from libjpeg (which writes an Adobe marker for CMYK).
std::vector<uint8_t> EncodeRaw(const std::vector<uint8_t>& samples, int width, int height, int components,
                               J_COLOR_SPACE space) {
  return kvtest::EncodeJpegSamples(samples, width, height, components, space, 95);
}

void ExpectNear(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift : {0, 8, 16, 24})
    EXPECT_NEAR(static_cast<int>(actual >> shift & 0xFF), static_cast<int>(expected >> shift & 0xFF),
                tolerance)
        << std::hex << actual << " vs " << expected;
}

// Three flat blocks side by side: red, green, blue; the alpha of the source varies and is dropped.
TDecodedPicture Blocks() {
  TDecodedPicture p{48, 16, {}};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 48; ++x) {
      const uint32_t rgb = x < 16 ? 0xFF0000 : x < 32 ? 0x00FF00 : 0x0000FF;
      p.Pixels.push_back(static_cast<uint32_t>(x * 5) << 24 | rgb);
    }
  return p;
}

TEST(JpegCodecTest, RoundTripKeepsSizeAndColours) {
  const TDecodedPicture source = Blocks();
  TMemoryStream jpeg = EncodeJpeg(source);
  EXPECT_EQ(jpeg.Position(), 0);
  ASSERT_GE(jpeg.Size(), 4);
  EXPECT_EQ(jpeg.Bytes()[0], 0xFF);
  EXPECT_EQ(jpeg.Bytes()[1], 0xD8);
  const TDecodedPicture decoded = ReadJpeg(jpeg);
  ASSERT_EQ(decoded.Width, 48);
  ASSERT_EQ(decoded.Height, 16);
  for (int block = 0; block < 3; ++block) {
    const uint32_t expected = 0xFF000000u | (block == 0 ? 0xFF0000 : block == 1 ? 0x00FF00 : 0x0000FF);
    ExpectNear(decoded.Pixels[8 * 48 + block * 16 + 8], expected, 12);
  }
}

TEST(JpegCodecTest, DefaultQualityIsLibjpegDefault) {
  const TDecodedPicture source = Blocks();
  std::vector<uint8_t> rgb;
  for (uint32_t p : source.Pixels) {
    rgb.push_back(static_cast<uint8_t>(p >> 16));
    rgb.push_back(static_cast<uint8_t>(p >> 8));
    rgb.push_back(static_cast<uint8_t>(p));
  }
  EXPECT_EQ(EncodeJpeg(source).Bytes(), kvtest::EncodeJpeg(rgb, 48, 16, 75));
  const auto photo = DecodeJpeg(kvtest::MakePhotoJpeg(64, 64, 7, 90));
  EXPECT_GT(EncodeJpeg(photo, 95).Size(), EncodeJpeg(photo, 30).Size());
}

TEST(JpegCodecTest, GrayscaleAndCmykDecodeToOpaqueRgb) {
  const std::vector<uint8_t> gray(8 * 8, 0x80);
  const TDecodedPicture g = DecodeJpeg(EncodeRaw(gray, 8, 8, 1, JCS_GRAYSCALE));
  ASSERT_EQ(g.Pixels.size(), 64u);
  ExpectNear(g.Pixels[27], 0xFF808080u, 2);

  // Adobe CMYK is stored inverted: red is C=255 M=0 Y=0 K=255 in the file.
  std::vector<uint8_t> cmyk;
  for (int i = 0; i < 64; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
  const TDecodedPicture c = DecodeJpeg(EncodeRaw(cmyk, 8, 8, 4, JCS_CMYK));
  ASSERT_EQ(c.Pixels.size(), 64u);
  ExpectNear(c.Pixels[27], 0xFFFF0000u, 6);
}

TEST(JpegCodecTest, FixtureJpegsDecode) {
  const TDecodedPicture p = DecodeJpeg(kvtest::MakeJpeg(33, 17));
  EXPECT_EQ(p.Width, 33);
  EXPECT_EQ(p.Height, 17);
  for (uint32_t px : p.Pixels) ASSERT_EQ(px >> 24, 0xFFu);
}

TEST(JpegCodecTest, TruncatedScanStillDecodes) {
  // libjpeg only warns about data that ends early and fills the rest; that is not an error.
  auto bytes = kvtest::MakePhotoJpeg(64, 64, 3, 90);
  bytes.resize(bytes.size() * 2 / 3);
  const TDecodedPicture p = DecodeJpeg(bytes);
  EXPECT_EQ(p.Width, 64);
  EXPECT_EQ(p.Pixels.size(), 64u * 64u);
}

TEST(JpegCodecTest, BadDataRaisesImageError) {
  const auto good = kvtest::MakeJpeg(16, 16);
  // A start-of-frame that claims 65000 x 65000 pixels.
  auto huge = good;
  for (std::size_t i = 0; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xFD, huge[i + 6] = 0xE8, huge[i + 7] = 0xFD, huge[i + 8] = 0xE8;
      break;
    }
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"not a JPEG", kvtest::MakeBmp(4, 4)},
      {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
      {"huge frame", huge},
      {"frame far larger than its data",
       [&] {
         auto b = huge;
         for (std::size_t i = 0; i + 8 < b.size(); ++i)
           if (b[i] == 0xFF && b[i + 1] == 0xC0) {
             b[i + 5] = 0x1F, b[i + 6] = 0x40, b[i + 7] = 0x1F, b[i + 8] = 0x40; // 8000 x 8000
             break;
           }
         return b;
       }()},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_THROW(DecodeJpeg(bytes), EImageError);
  }
  EXPECT_THROW(EncodeJpeg(TDecodedPicture{}), EImageError);
}

TEST(JpegCodecTest, DamagedFilesLoadOrFail) {
  const auto seed = kvtest::MakePhotoJpeg(24, 24, 5, 80);
  std::mt19937 random(99);
  for (int round = 0; round < 600; ++round) {
    auto bytes = seed;
    for (int e = 0; e < 3; ++e) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    try {
      const TDecodedPicture p = DecodeJpeg(bytes);
      EXPECT_EQ(p.Pixels.size(), static_cast<std::size_t>(p.Width) * static_cast<std::size_t>(p.Height));
    } catch (const EImageError&) {
    }
  }
}

TEST(JpegCodecTest, SaveToFile) {
  kvtest::TempDir dir;
  const TDecodedPicture source = Blocks();
  SaveJpegToFile(dir.file("view.jpg"), source.Width, source.Height, source.Pixels.data(), 90);
  const TDecodedPicture loaded = DecodeJpeg(kvtest::ReadFileBytes(dir.file("view.jpg")));
  EXPECT_EQ(loaded.Width, 48);
  EXPECT_EQ(loaded.Height, 16);

  // From a surface: alpha is dropped, the colour kept.
  TBitmap32 bitmap(10, 6);
  bitmap.Clear(0x20FF0000u);
  SaveJpegToFile(bitmap, dir.file("surface.jpg"));
  const TDecodedPicture fromSurface = DecodeJpeg(kvtest::ReadFileBytes(dir.file("surface.jpg")));
  ASSERT_EQ(fromSurface.Width, 10);
  ExpectNear(fromSurface.Pixels[0], 0xFFFF0000u, 8);
  TMemoryStream stream;
  stream.WriteBuffer("xy", 2);
  SaveJpegToStream(bitmap, stream, 50);
  stream.SetPosition(2);
  EXPECT_EQ(ReadJpeg(stream).Height, 6);
}

} // namespace
