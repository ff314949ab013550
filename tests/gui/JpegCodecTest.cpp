#include "gui/uJpegCodec.h"

#include "core/uKVErrors.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>

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

// Every coding is held to what its data could describe, and nothing decodes beyond what a camera makes.
TEST(JpegCodecTest, SizeChecksCoverEveryCoding) {
  const auto rgb = std::vector<uint8_t>(16 * 16 * 3, 0x80);
  auto coded = [&](bool arithmetic, bool progressive) {
    kvtest::TJpegCoding coding;
    coding.Arithmetic = arithmetic;
    coding.Progressive = progressive;
    return kvtest::EncodeJpegWith(rgb, 16, 16, coding);
  };
  auto withoutEnd = [](std::vector<uint8_t> b) {
    b.resize(b.size() - 2);
    return b;
  };
  const std::string tooLarge = "pixels is too large (at most 134217728 pixels)";
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    std::string Error;
  } cases[] = {
      {"arithmetic, 16384 x 16384", kvtest::WithFrameSize(coded(true, false), 16384, 16384),
       "the picture of 16384 x 16384 " + tooLarge},
      {"progressive, 16384 x 16384", kvtest::WithFrameSize(coded(false, true), 16384, 16384),
       "the picture of 16384 x 16384 " + tooLarge},
      {"baseline, just above the cap", kvtest::WithFrameSize(coded(false, false), 12000, 11200),
       "the picture of 12000 x 11200 " + tooLarge},
      // 12000 x 11000 is within the cap: only the data is too short for it.
      {"baseline, 12000 x 11000 from a few bytes", kvtest::WithFrameSize(coded(false, false), 12000, 11000),
       "pixels, more than its"},
      {"arithmetic, 8000 x 8000 from a few bytes", kvtest::WithFrameSize(coded(true, false), 8000, 8000),
       "the picture claims 8000 x 8000 pixels, more than its"},
      {"progressive, 8000 x 8000 from a few bytes", kvtest::WithFrameSize(coded(false, true), 8000, 8000),
       "the picture claims 8000 x 8000 pixels, more than its"},
      {"a large frame whose data is cut short",
       withoutEnd(kvtest::WithFrameSize(coded(false, false), 8000, 8000)), "the picture data is cut short"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    for (auto decode : {+[](std::span<const uint8_t> b) { DecodeJpeg(b); },
                        +[](std::span<const uint8_t> b) { CheckJpeg(b); }}) {
      try {
        decode(c.Bytes);
        ADD_FAILURE() << "accepted";
      } catch (const EImageError& e) {
        EXPECT_NE(std::string(e.what()).find(c.Error), std::string::npos) << e.what();
      }
    }
  }
  // The same codings at their own size decode.
  for (bool arithmetic : {false, true})
    for (bool progressive : {false, true}) {
      const TJpegCheck check = CheckJpeg(coded(arithmetic, progressive));
      EXPECT_EQ(check.Width, 16);
      EXPECT_EQ(check.Height, 16);
    }
}

// The player shows what can be decoded of a damaged file; the package tools refuse it.
TEST(JpegCodecTest, TheStrictCheckRefusesWhatTheDecoderOnlyWarnsAbout) {
  const auto photo = kvtest::MakePhotoJpeg(64, 48, 3, 90);
  const TJpegCheck good = CheckJpeg(photo);
  EXPECT_EQ(good.Width, 64);
  EXPECT_EQ(good.Height, 48);
  EXPECT_EQ(good.Orientation, 1);

  auto truncated = photo;
  truncated.resize(photo.size() * 2 / 3);
  // A marker in the middle of the scan: libjpeg resynchronises and warns.
  auto corrupt = photo;
  corrupt[corrupt.size() / 2] = 0xFF;
  corrupt[corrupt.size() / 2 + 1] = 0xD3;
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {{"truncated", truncated},
                                                                {"corrupt", corrupt}};
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_NO_THROW(DecodeJpeg(bytes));
    EXPECT_THROW(CheckJpeg(bytes), EImageError);
  }
  try {
    CheckJpeg(truncated);
  } catch (const EImageError& e) {
    EXPECT_STREQ(e.what(), "JPEG error: the picture data is cut short");
  }
}

// Quadrants red, green (top), blue, white (bottom) of a picture twice as wide as high.
std::vector<uint8_t> Quadrants(int width, int height) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t c =
          y < height / 2 ? (x < width / 2 ? 0xFF0000 : 0x00FF00) : (x < width / 2 ? 0x0000FF : 0xFFFFFF);
      rgb.insert(rgb.end(),
                 {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
    }
  return rgb;
}

TEST(JpegCodecTest, PicturesAreTurnedUprightByTheirExifOrientation) {
  constexpr uint32_t R = 0xFFFF0000u, G = 0xFF00FF00u, B = 0xFF0000FFu, W = 0xFFFFFFFFu;
  struct TCase {
    int Orientation;
    bool Turned;
    uint32_t TopLeft, TopRight, BottomLeft, BottomRight;
  } cases[] = {
      {2, false, G, R, W, B}, {3, false, W, B, G, R}, {4, false, B, W, R, G}, {5, true, R, B, G, W},
      {6, true, B, R, W, G},  {7, true, W, G, B, R},  {8, true, G, W, R, B},
  };
  const int width = 64, height = 32;
  for (const TCase& c : cases)
    for (bool bigEndian : {false, true}) {
      SCOPED_TRACE(std::to_string(c.Orientation) + (bigEndian ? " MM" : " II"));
      kvtest::TJpegCoding coding;
      coding.Quality = 95;
      coding.ExifOrientation = c.Orientation;
      coding.BigEndian = bigEndian;
      const auto bytes = kvtest::EncodeJpegWith(Quadrants(width, height), width, height, coding);
      EXPECT_EQ(CheckJpeg(bytes).Orientation, c.Orientation);
      const TDecodedPicture upright = ReadJpeg(*std::make_unique<TMemoryStream>(UprightJpeg(bytes, 95)));
      const int w = c.Turned ? height : width, h = c.Turned ? width : height;
      ASSERT_EQ(upright.Width, w);
      ASSERT_EQ(upright.Height, h);
      auto at = [&](int x, int y) { return upright.Pixels[static_cast<std::size_t>(y) * w + x]; };
      ExpectNear(at(w / 4, h / 4), c.TopLeft, 40);
      ExpectNear(at(3 * w / 4, h / 4), c.TopRight, 40);
      ExpectNear(at(w / 4, 3 * h / 4), c.BottomLeft, 40);
      ExpectNear(at(3 * w / 4, 3 * h / 4), c.BottomRight, 40);
      // The new file carries no orientation of its own.
      EXPECT_EQ(CheckJpeg(UprightJpeg(bytes, 95).Bytes()).Orientation, 1);
    }
}

TEST(JpegCodecTest, DamagedExifDataLeavesThePictureAsStored) {
  kvtest::TJpegCoding coding;
  coding.ExifOrientation = 6;
  const auto good = kvtest::EncodeJpegWith(Quadrants(16, 8), 16, 8, coding);
  const auto exif = std::search(good.begin(), good.end(), "Exif", "Exif" + 4) - good.begin();
  const std::size_t tiff = static_cast<std::size_t>(exif) + 6;
  auto patched = [&](std::size_t at, std::initializer_list<uint8_t> bytes) {
    auto b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
  };
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"first IFD past the marker", patched(tiff + 4, {0xF0, 0xFF, 0x00, 0x00})},
      {"no entries", patched(tiff + 8, {0, 0})},
      {"not TIFF", patched(tiff, {'X', 'X'})},
      {"orientation out of range", patched(tiff + 10 + 12 + 8, {9, 0})},
      {"orientation of the wrong type", patched(tiff + 10 + 12 + 2, {4, 0})},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(CheckJpeg(bytes).Orientation, 1);
  }
  EXPECT_EQ(CheckJpeg(good).Orientation, 6);
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

namespace {

// ---- decoding at a reduced scale

TEST(JpegScaleTest, TheSmallestEighthNotBelowTheMinimumIsChosen) {
  struct Case {
    int32_t Width, Height, MinWidth, MinHeight;
    int Eighths;
    int32_t OutWidth, OutHeight;
  };
  const Case cases[] = {
      // 1/8 gives 1000 x 750, below 1024 x 768; 2/8 is the first that is not.
      {8000, 6000, 1024, 768, 2, 2000, 1500},
      {8000, 6000, 1000, 750, 1, 1000, 750}, // exactly the minimum is enough
      {8000, 6000, 1001, 750, 2, 2000, 1500},
      {4000, 3000, 1000, 750, 2, 1000, 750},
      {4000, 3000, 1024, 768, 3, 1500, 1125},
      // libjpeg rounds up: 1001 / 8 = 125.1 gives 126, 667 / 8 = 83.4 gives 84.
      {1001, 667, 126, 84, 1, 126, 84},
      {1001, 667, 127, 84, 2, 251, 167},
      {1001, 667, 126, 85, 2, 251, 167},
      // One direction alone can ask for a larger scale: 6/8 gives 750 rows, 7/8 875.
      {4000, 1000, 1024, 768, 7, 3500, 875},
      {1000, 4000, 768, 1024, 7, 875, 3500},
      // Nothing asked: the smallest there is.
      {8000, 6000, 0, 0, 1, 1000, 750},
      // At or below the minimum, and where only the full size is large enough: the full size.
      {1024, 768, 1024, 768, 8, 1024, 768},
      {800, 600, 1024, 768, 8, 800, 600},
      {2000, 600, 1024, 768, 8, 2000, 600},
      {1023, 5000, 1024, 768, 8, 1023, 5000},
      // Tiny pictures: a reduced scale that comes out at the full size anyway is not taken.
      {1, 1, 1, 1, 8, 1, 1},
      {7, 7, 7, 7, 8, 7, 7},
      {5, 3, 1, 1, 1, 1, 1},
      {7, 9, 7, 1, 7, 7, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " at least " << c.MinWidth << "x"
                                    << c.MinHeight);
    const int eighths = JpegScaleFor(c.Width, c.Height, c.MinWidth, c.MinHeight);
    EXPECT_EQ(eighths, c.Eighths);
    EXPECT_EQ(JpegScaledSize(c.Width, eighths), c.OutWidth);
    EXPECT_EQ(JpegScaledSize(c.Height, eighths), c.OutHeight);
  }
}

TEST(JpegScaleTest, ScaledDecodesComeOutAtTheRoundedUpSize) {
  struct Source {
    const char* Name;
    int32_t Width, Height;
    std::vector<uint8_t> Bytes;
  };
  const auto gray = [](int w, int h) {
    std::vector<uint8_t> samples(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
    return EncodeRaw(samples, w, h, 1, JCS_GRAYSCALE);
  };
  const auto cmyk = [](int w, int h) {
    std::vector<uint8_t> samples(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 13);
    return EncodeRaw(samples, w, h, 4, JCS_CMYK);
  };
  const Source sources[] = {
      {"photo", 1001, 667, kvtest::MakePhotoJpeg(1001, 667, 4, 85)},
      {"gradient", 17, 9, kvtest::MakeJpeg(17, 9)},
      {"one pixel", 1, 1, kvtest::MakeJpeg(1, 1)},
      {"one block", 8, 8, kvtest::MakeJpeg(8, 8)},
      {"grayscale", 61, 35, gray(61, 35)},
      {"cmyk", 43, 29, cmyk(43, 29)},
  };
  for (const Source& s : sources)
    for (int eighths = 1; eighths <= FullJpegScale; ++eighths) {
      SCOPED_TRACE(testing::Message() << s.Name << " at " << eighths << "/8");
      const TDecodedPicture p = DecodeJpegScaled(s.Bytes, eighths);
      EXPECT_EQ(p.Width, JpegScaledSize(s.Width, eighths));
      EXPECT_EQ(p.Height, JpegScaledSize(s.Height, eighths));
      ASSERT_EQ(p.Pixels.size(), static_cast<std::size_t>(p.Width) * static_cast<std::size_t>(p.Height));
      for (uint32_t px : p.Pixels) ASSERT_EQ(px >> 24, 0xFFu);
    }
}

// The full decode reduced by eighths / 8, every output pixel the mean of the source area it covers (the
// last column and row cover what is left of the source).
TDecodedPicture AreaAverage(const TDecodedPicture& full, int eighths) {
  TDecodedPicture out{JpegScaledSize(full.Width, eighths), JpegScaledSize(full.Height, eighths), {}};
  const double step = 8.0 / eighths;
  // Per output position: the source positions it covers and how much of each.
  auto weights = [&](int32_t n, int32_t size) {
    std::vector<std::vector<std::pair<int32_t, double>>> all(static_cast<std::size_t>(n));
    for (int32_t o = 0; o < n; ++o) {
      const double from = o * step, to = std::min<double>((o + 1) * step, size);
      for (auto i = static_cast<int32_t>(from); i < size && i < to; ++i) {
        const double cover = std::min<double>(i + 1, to) - std::max<double>(i, from);
        if (cover > 0) all[static_cast<std::size_t>(o)].push_back({i, cover});
      }
    }
    return all;
  };
  const auto wx = weights(out.Width, full.Width), wy = weights(out.Height, full.Height);
  for (int32_t y = 0; y < out.Height; ++y)
    for (int32_t x = 0; x < out.Width; ++x) {
      double sum[3] = {0, 0, 0}, total = 0;
      for (const auto& [sy, fy] : wy[static_cast<std::size_t>(y)])
        for (const auto& [sx, fx] : wx[static_cast<std::size_t>(x)]) {
          const uint32_t p = full.Pixels[static_cast<std::size_t>(sy) * full.Width + sx];
          for (int c = 0; c < 3; ++c) sum[c] += fx * fy * (p >> (8 * c) & 0xFF);
          total += fx * fy;
        }
      uint32_t p = 0xFF000000u;
      for (int c = 0; c < 3; ++c) p |= static_cast<uint32_t>(std::lround(sum[c] / total)) << (8 * c);
      out.Pixels.push_back(p);
    }
  return out;
}

// Mean absolute difference per colour channel of two pictures of the same size.
double MeanDifference(const TDecodedPicture& a, const TDecodedPicture& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.Pixels.size(); ++i)
    for (int c = 0; c < 3; ++c)
      sum += std::abs(static_cast<int>(a.Pixels[i] >> (8 * c) & 0xFF) -
                      static_cast<int>(b.Pixels[i] >> (8 * c) & 0xFF));
  return sum / (3.0 * static_cast<double>(a.Pixels.size()));
}

// A photograph in miniature: gradients under fine noise, and a dark disc with a hard rim.
std::vector<uint8_t> PhotoWithEdges(int width, int height) {
  std::mt19937 random(21);
  std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  const auto clamp = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      const int noise = static_cast<int>(random() % 48) - 24;
      const int dx = x - width / 2, dy = y - height / 2;
      const bool disc = dx * dx + dy * dy < (height / 4) * (height / 4);
      const int shade = disc ? -120 : 0;
      p[0] = clamp(30 + x * 200 / width + noise + shade);
      p[1] = clamp(40 + y * 180 / height + noise / 2 + shade);
      p[2] = clamp(60 + (x + y) * 120 / (width + height) + noise + shade);
    }
  return kvtest::EncodeJpeg(rgb, width, height, 90);
}

TEST(JpegScaleTest, AScaledDecodeLooksLikeTheFullDecodeReduced) {
  // Odd sizes: the last block row and column are partial.
  const auto bytes = PhotoWithEdges(803, 605);
  const TDecodedPicture full = DecodeJpeg(bytes);
  for (int eighths = 1; eighths < FullJpegScale; ++eighths) {
    SCOPED_TRACE(testing::Message() << eighths << "/8");
    const TDecodedPicture scaled = DecodeJpegScaled(bytes, eighths);
    const TDecodedPicture reference = AreaAverage(full, eighths);
    ASSERT_EQ(scaled.Width, reference.Width);
    ASSERT_EQ(scaled.Height, reference.Height);
    // Halving, quartering and eighths make whole source blocks of every output pixel, which the reduced
    // transform averages nearly as the area average does; other scales filter the noise a little
    // differently.
    const double bound = eighths == 1 || eighths == 2 || eighths == 4 ? 1.0 : 3.5;
    EXPECT_LT(MeanDifference(scaled, reference), bound);
    // Every eighth of the picture on its own is close too: no band is shifted, stretched or left dark.
    for (int band = 0; band < 8; ++band) {
      TDecodedPicture a, b;
      for (int32_t y = scaled.Height * band / 8; y < scaled.Height * (band + 1) / 8; ++y)
        for (int32_t x = 0; x < scaled.Width; ++x) {
          a.Pixels.push_back(scaled.Pixels[static_cast<std::size_t>(y) * scaled.Width + x]);
          b.Pixels.push_back(reference.Pixels[static_cast<std::size_t>(y) * scaled.Width + x]);
        }
      EXPECT_LT(MeanDifference(a, b), bound) << "band " << band;
    }
  }
}

TEST(JpegScaleTest, PicturesNoLargerThanTheMinimumDecodeAsBefore) {
  struct Case {
    int32_t Width, Height, MinWidth, MinHeight;
  };
  for (const Case& c : {Case{640, 480, 1024, 768}, Case{1024, 768, 1024, 768}, Case{1200, 500, 1024, 768},
                        Case{64, 48, 64, 48}, Case{5, 5, 5, 5}}) {
    SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height);
    const auto bytes = kvtest::MakePhotoJpeg(c.Width, c.Height, 8, 80);
    const TDecodedPicture before = DecodeJpeg(bytes);
    const TDecodedPicture now = DecodeJpegAtLeast(bytes, c.MinWidth, c.MinHeight);
    EXPECT_EQ(now.Width, before.Width);
    EXPECT_EQ(now.Height, before.Height);
    EXPECT_TRUE(now.Pixels == before.Pixels);
    EXPECT_TRUE(DecodeJpegScaled(bytes, FullJpegScale).Pixels == before.Pixels);
  }
  // Larger ones come out at the chosen scale.
  const auto large = kvtest::MakePhotoJpeg(1600, 1200, 8, 80);
  const TDecodedPicture reduced = DecodeJpegAtLeast(large, 500, 300);
  EXPECT_EQ(reduced.Width, 600);
  EXPECT_EQ(reduced.Height, 450);
  EXPECT_TRUE(reduced.Pixels == DecodeJpegScaled(large, 3).Pixels);
}

TEST(JpegScaleTest, BadScalesAndBadDataRaiseImageError) {
  const auto good = kvtest::MakeJpeg(16, 16);
  for (int eighths : {0, 9, -1, 16}) EXPECT_THROW(DecodeJpegScaled(good, eighths), EImageError) << eighths;
  auto cut = good;
  cut.resize(20);
  EXPECT_THROW(DecodeJpegAtLeast(cut, 1, 1), EImageError);
  EXPECT_THROW(DecodeJpegAtLeast({}, 1, 1), EImageError);
  EXPECT_THROW(DecodeJpegScaled(kvtest::MakeBmp(4, 4), 1), EImageError);
  // Damaged files decode or fail cleanly at every scale.
  const auto seed = kvtest::MakePhotoJpeg(40, 24, 5, 80);
  std::mt19937 random(17);
  for (int round = 0; round < 400; ++round) {
    auto bytes = seed;
    for (int e = 0; e < 3; ++e) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    try {
      const TDecodedPicture p = DecodeJpegScaled(bytes, 1 + round % 7);
      EXPECT_EQ(p.Pixels.size(), static_cast<std::size_t>(p.Width) * static_cast<std::size_t>(p.Height));
    } catch (const EImageError&) {
    }
  }
}

} // namespace
