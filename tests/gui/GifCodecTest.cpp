#include "gui/uBitmap32.h"
#include "gui/uGifCodec.h"

#include "core/uKVErrors.h"
#include "gui/GifFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include <gif_lib.h>

using namespace kv;
using namespace kvtest;

namespace {

uint32_t Argb(int index) {
  return 0xFF000000u | static_cast<uint32_t>(Colours[index].Red) << 16 |
         static_cast<uint32_t>(Colours[index].Green) << 8 | Colours[index].Blue;
}

std::vector<uint32_t> Expand(const std::vector<uint8_t>& indices) {
  std::vector<uint32_t> out;
  for (uint8_t i : indices) out.push_back(Argb(i));
  return out;
}

const std::vector<uint8_t> Picture = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 3, 3};

TEST(GifCodecTest, FirstFrameWithTransparentColour) {
  GifLayout s;
  s.Indices = Picture;
  s.Transparent = 3;
  const TGifPicture gif = DecodeGif(MakeGif(s));
  EXPECT_EQ(gif.Picture.Width, 4);
  EXPECT_EQ(gif.Picture.Height, 3);
  EXPECT_EQ(gif.Picture.Pixels, Expand(Picture));
  ASSERT_TRUE(gif.HasTransparentColor);
  EXPECT_EQ(gif.TransparentColor, 0xFFFF00FFu);

  // The caller removes the key colour from the surface.
  TBitmap32 bitmap;
  bitmap.Assign(gif.Picture);
  bitmap.ClearKeyColor(gif.TransparentColor);
  EXPECT_EQ(bitmap.PixelAt(3, 0), 0u);
  EXPECT_EQ(bitmap.PixelAt(1, 0), 0xFFFF0000u);
}

TEST(GifCodecTest, WithoutControlExtensionNothingIsTransparent) {
  GifLayout s;
  s.Indices = Picture;
  const TGifPicture gif = DecodeGif(MakeGif(s));
  EXPECT_FALSE(gif.HasTransparentColor);
  EXPECT_EQ(gif.Picture.Pixels, Expand(Picture));
}

TEST(GifCodecTest, InterlacedFrameComesOutInRowOrder) {
  GifLayout s;
  s.Width = s.ScreenWidth = 2;
  s.Height = s.ScreenHeight = 11;
  for (int y = 0; y < 11; ++y)
    s.Indices.insert(s.Indices.end(), {static_cast<uint8_t>(y % 4), static_cast<uint8_t>((y / 4) % 4)});
  s.Interlace = true;
  EXPECT_EQ(DecodeGif(MakeGif(s)).Picture.Pixels, Expand(s.Indices));
}

TEST(GifCodecTest, FrameIsPlacedOnTheLogicalScreen) {
  GifLayout s;
  s.ScreenWidth = 4;
  s.ScreenHeight = 3;
  s.Left = 1;
  s.Top = 1;
  s.Width = 2;
  s.Height = 2;
  s.Indices = {1, 2, 2, 1};
  s.Background = 2;
  // Without a transparent colour the uncovered screen takes the background colour.
  const auto g = Expand({2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 1, 2});
  EXPECT_EQ(DecodeGif(MakeGif(s)).Picture.Pixels, g);
  // With one it takes the transparent colour, so that it is cleared too.
  s.Transparent = 3;
  EXPECT_EQ(DecodeGif(MakeGif(s)).Picture.Pixels, Expand({3, 3, 3, 3, 3, 1, 2, 3, 3, 2, 1, 3}));
}

TEST(GifCodecTest, BadDataRaisesImageError) {
  GifLayout s;
  s.Indices = Picture;
  const auto good = MakeGif(s);
  auto huge = good;
  huge[6] = huge[7] = huge[8] = huge[9] = 0xFF; // logical screen 65535 x 65535
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"not a GIF", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"screen only", std::vector<uint8_t>(good.begin(), good.begin() + 13 + 12)},
      {"cut inside the frame", std::vector<uint8_t>(good.begin(), good.end() - 6)},
      {"huge screen", huge},
      {"screen far larger than its data",
       [&] {
         auto b = good;
         b[6] = 0xFF, b[7] = 0x0F, b[8] = 0xFF, b[9] = 0x0F; // 4095 x 4095
         return b;
       }()},
      {"no frame",
       [] {
         std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};
         return b;
       }()},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_THROW(DecodeGif(bytes), EImageError);
  }
}

TEST(GifCodecTest, DamagedFilesLoadOrFail) {
  GifLayout s;
  s.ScreenWidth = s.Width = 16;
  s.ScreenHeight = s.Height = 16;
  s.Transparent = 1;
  std::mt19937 random(5);
  for (int i = 0; i < 256; ++i) s.Indices.push_back(static_cast<uint8_t>(random() % 4));
  const auto seed = MakeGif(s);
  for (int round = 0; round < 2000; ++round) {
    auto bytes = seed;
    for (int e = 0; e < 3; ++e) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    try {
      const TGifPicture p = DecodeGif(bytes);
      EXPECT_EQ(p.Picture.Pixels.size(),
                static_cast<std::size_t>(p.Picture.Width) * static_cast<std::size_t>(p.Picture.Height));
    } catch (const EImageError&) {
    }
  }
}

} // namespace
