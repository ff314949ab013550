#include "gui/uPictureConverters.h"

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "gui/uBmpCodec.h"
#include "gui/uJpegCodec.h"
#include "gui/uPictureFormat.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {

TEST(PictureConvertersTest, ThumbnailSizes) {
  struct Case {
    int32_t W, H, ExpectedW, ExpectedH;
  };
  const Case cases[] = {
      {1200, 1695, 43, 60},                                     // the factor shrinks 65 times
      {64, 40, 64, 40},                                         // both sides at most 64: unchanged
      {64, 64, 64, 64},     {65, 64, 62, 61}, {65, 30, 62, 28}, // 30 * 0.95 = 28.5 rounds to the even 28
      {1, 1000, 1, 63},                                         // the short side keeps one pixel
      {0, 0, 0, 0},         {0, 100, 0, 63},
  };
  for (const Case& c : cases) {
    const TThumbnailSize size = ThumbnailSize(c.W, c.H);
    EXPECT_EQ(size.Width, c.ExpectedW) << c.W << "x" << c.H;
    EXPECT_EQ(size.Height, c.ExpectedH) << c.W << "x" << c.H;
  }
}

TDecodedPicture ReadThumbnail(const TMemoryStream& bmp) {
  EXPECT_EQ(bmp.Position(), 0);
  EXPECT_EQ(bmp.Bytes().at(28), 32); // 32 bits per pixel
  return DecodeBmp(bmp.Bytes());
}

TEST(PictureConvertersTest, ThumbnailOfALargePicture) {
  TBitmap32 picture(1200, 1695);
  picture.Clear(0xFF336699u);
  const TDecodedPicture thumb = ReadThumbnail(MakeThumbnail(picture));
  EXPECT_EQ(thumb.Width, 43);
  EXPECT_EQ(thumb.Height, 60);
  for (uint32_t p : thumb.Pixels) ASSERT_EQ(p, 0xFF336699u);
}

TEST(PictureConvertersTest, SmallPictureKeepsSizeAndPixels) {
  TBitmap32 picture(64, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x)
      picture.SetPixel(x, y, Color32(static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 6), 7, 200));
  const TDecodedPicture thumb = ReadThumbnail(MakeThumbnail(picture));
  ASSERT_EQ(thumb.Width, 64);
  ASSERT_EQ(thumb.Height, 40);
  EXPECT_EQ(thumb.Pixels, std::vector<uint32_t>(picture.Bits(), picture.Bits() + 64 * 40));
}

TEST(PictureConvertersTest, ThumbnailIsResampledLinearly) {
  // Red and blue columns in turn: a linear sample between two columns mixes them, a nearest one never does.
  TBitmap32 picture(128, 8);
  for (int x = 0; x < 128; ++x) picture.FillRect(x, 0, x + 1, 8, x % 2 ? 0xFF0000FFu : 0xFFFF0000u);
  const TDecodedPicture thumb = ReadThumbnail(MakeThumbnail(picture));
  ASSERT_EQ(thumb.Width, 62);
  int mixed = 0;
  for (uint32_t p : thumb.Pixels) {
    const uint32_t r = p >> 16 & 0xFF, b = p & 0xFF;
    mixed += r > 10 && r < 245 && b > 10 && b < 245;
  }
  EXPECT_GT(mixed, static_cast<int>(thumb.Pixels.size()) / 2);
}

TEST(PictureConvertersTest, EmptyPictureGivesAnEmptyBmp) {
  const TDecodedPicture thumb = ReadThumbnail(MakeThumbnail(TBitmap32()));
  EXPECT_EQ(thumb.Width, 0);
  EXPECT_EQ(thumb.Height, 0);
}

TEST(PictureConvertersTest, BmpToJpeg) {
  const TMemoryStream jpeg = ConvertBmpToJpeg(TMemoryStream(kvtest::MakeBmp(20, 12)));
  EXPECT_EQ(DetectPictureKind(jpeg.Bytes()), pkJPEG);
  const TDecodedPicture decoded = DecodeJpeg(jpeg.Bytes());
  EXPECT_EQ(decoded.Width, 20);
  EXPECT_EQ(decoded.Height, 12);
  EXPECT_THROW(ConvertBmpToJpeg(TMemoryStream(std::vector<uint8_t>{'B', 'M', 1, 2})), EImageError);
}

TEST(PictureConvertersTest, ExtraBmpPictureEndsUpAsJpegInThePackage) {
  TJigsawProject2 project(PictureConverterServices());
  auto old = std::make_unique<TBMPData>();
  old->ID = 1;
  old->Name = "Old";
  old->Data = TMemoryStream(kvtest::MakeJpeg(8, 8));
  project.Pictures.push_back(std::move(old));

  TExtJigsawImages images;
  TExtJigsawImage& image = images.Add();
  image.ImgFormat = TImageFormat::ifBMP;
  image.ImgType = TExtJigsawImageType::itPicture;
  image.ImageID = 5;
  image.Stream = TMemoryStream(kvtest::MakeBmp(30, 20));
  images.AssignTo(project);

  ASSERT_EQ(project.Pictures.size(), 1u);
  const TBMPData& entry = *project.Pictures[0];
  EXPECT_EQ(entry.ID, 5u);
  EXPECT_EQ(entry.Name, "Image#0");
  const auto& bytes = entry.Data.Bytes();
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  const TDecodedPicture decoded = DecodeJpeg(bytes);
  EXPECT_EQ(decoded.Width, 30);
  EXPECT_EQ(decoded.Height, 20);
}

TEST(PictureConvertersTest, UndecodableExtraBmpLeavesThePackageUnchanged) {
  TJigsawProject2 project(PictureConverterServices());
  auto old = std::make_unique<TBMPData>();
  old->ID = 1;
  project.Pictures.push_back(std::move(old));
  TExtJigsawImages images;
  TExtJigsawImage& image = images.Add();
  image.ImgFormat = TImageFormat::ifBMP;
  image.Stream = TMemoryStream(std::vector<uint8_t>{'B', 'M', 0, 0});
  EXPECT_THROW(images.AssignTo(project), EImageError);
  ASSERT_EQ(project.Pictures.size(), 1u);
  EXPECT_EQ(project.Pictures[0]->ID, 1u);
}

} // namespace
