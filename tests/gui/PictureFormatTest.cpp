#include "gui/uPictureFormat.h"

#include "core/uKVErrors.h"
#include "gui/GifFixture.h"
#include "gui/uBmpCodec.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {

std::vector<uint8_t> Head(std::initializer_list<uint8_t> first, const char* at6) {
  std::vector<uint8_t> b(first);
  b.resize(6, 0);
  for (const char* p = at6; *p; ++p) b.push_back(static_cast<uint8_t>(*p));
  b.resize(16, 0);
  return b;
}

TEST(PictureFormatTest, DetectsByContent) {
  const std::vector<std::tuple<const char*, std::vector<uint8_t>, TPictureKind>> cases = {
      {"JFIF marker", Head({0xFF, 0xD8, 0xFF, 0xE0}, "JFIF"), pkJPEG},
      {"Exif marker", Head({0xFF, 0xD8, 0xFF, 0xE1}, "Exif"), pkJPEG},
      {"lower-case jfif anywhere else", Head({0, 0, 0, 0}, "jfif"), pkJPEG},
      {"upper-case EXIF", Head({1, 2}, "EXIF"), pkJPEG},
      {"JPEG starting with a quantisation table", Head({0xFF, 0xD8, 0xFF, 0xDB}, "\x01\x02"), pkJPEG},
      {"BMP", kvtest::MakeBmp(2, 2), pkBMP},
      {"JFI only", Head({'B', 'M'}, "JFI"), pkBMP},
      {"too short", {0xFF, 0xD8}, pkBMP},
      {"empty", {}, pkBMP},
  };
  for (const auto& [name, bytes, kind] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DetectPictureKind(bytes), kind);
  }
  EXPECT_EQ(DetectPictureKind(kvtest::MakeJpeg(8, 8)), pkJPEG);
  EXPECT_EQ(DetectPictureKind(kvtest::MakePhotoJpeg(8, 8, 1, 75)), pkJPEG);
}

TEST(PictureFormatTest, DetectionLeavesTheStreamPosition) {
  std::vector<uint8_t> bytes = {9, 9, 9};
  const auto jpeg = kvtest::MakeJpeg(8, 8);
  bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());
  TMemoryStream stream(bytes);
  stream.SetPosition(3);
  EXPECT_EQ(DetectPictureKind(stream), pkJPEG);
  EXPECT_EQ(stream.Position(), 3);
}

TEST(PictureFormatTest, KindByFileName) {
  const std::vector<std::pair<const char*, TPictureKind>> cases = {
      {"a.jpg", pkJPEG},    {"B.JPG", pkJPEG},    {"c.JpEg", pkJPEG},       {"d.bmp", pkBMP},
      {"/x/e.BMP", pkBMP},  {"f.gif", pkGIF},     {"g.png", pkPNG},         {"h.PNG", pkPNG},
      {"i.tif", pkUnknown}, {"noext", pkUnknown}, {"dir.jpg/x", pkUnknown}, {"j.jpg.bak", pkUnknown},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(PictureKindFromFileName(name), kind) << name;
}

TEST(PictureFormatTest, LoadsStreamsByContent) {
  TBitmap32 bitmap;
  TMemoryStream jpeg(kvtest::MakeJpeg(9, 7));
  EXPECT_EQ(LoadPicture(bitmap, jpeg), pkJPEG);
  EXPECT_EQ(bitmap.Width(), 9);
  EXPECT_EQ(bitmap.Height(), 7);
  TMemoryStream bmp(kvtest::MakeBmp(5, 4));
  EXPECT_EQ(LoadPicture(bitmap, bmp), pkBMP);
  EXPECT_EQ(bitmap.Width(), 5);
  TMemoryStream junk(std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  EXPECT_THROW(LoadPicture(bitmap, junk), EImageError);
  EXPECT_EQ(bitmap.Width(), 5); // a failed load leaves the surface as it was
}

TEST(PictureFormatTest, LoadsFilesByExtension) {
  kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("p.JPG"), kvtest::MakeJpeg(6, 5));
  kvtest::WriteFileBytes(dir.file("p.bmp"), kvtest::MakeBmp(4, 3));
  kvtest::GifLayout gif;
  gif.Indices = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 3, 3};
  gif.Transparent = 3;
  kvtest::WriteFileBytes(dir.file("p.gif"), kvtest::MakeGif(gif));
  kvtest::WriteFileBytes(dir.file("p.png"), {0x89, 'P', 'N', 'G'});
  kvtest::WriteFileBytes(dir.file("p.tga"), kvtest::MakeBmp(4, 3));
  // JPEG bytes named .bmp are decoded as BMP: the name decides.
  kvtest::WriteFileBytes(dir.file("jpeg.bmp"), kvtest::MakeJpeg(6, 5));

  TBitmap32 bitmap;
  EXPECT_EQ(LoadPicture(bitmap, dir.file("p.JPG")), pkJPEG);
  EXPECT_EQ(bitmap.Width(), 6);
  EXPECT_EQ(LoadPicture(bitmap, dir.file("p.bmp")), pkBMP);
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(LoadPicture(bitmap, dir.file("p.gif")), pkGIF);
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(bitmap.PixelAt(3, 0), 0u);          // transparent index cleared
  EXPECT_EQ(bitmap.PixelAt(1, 0), 0xFFFF0000u); // others opaque
  const TLoadedPicture loadedGif = LoadPicture(dir.file("p.gif"));
  EXPECT_TRUE(loadedGif.HasTransparentColor);
  EXPECT_EQ(loadedGif.TransparentColor, 0xFFFF00FFu);

  EXPECT_EQ(LoadPicture(bitmap, dir.file("p.png")), pkPNG);
  EXPECT_EQ(bitmap.Width(), 4); // no decoder: unchanged
  try {
    LoadPicture(bitmap, dir.file("p.tga"));
    ADD_FAILURE() << "no error";
  } catch (const EImageError& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.tga)");
  }
  EXPECT_THROW(LoadPicture(bitmap, dir.file("jpeg.bmp")), EImageError);
  EXPECT_THROW(LoadPicture(bitmap, dir.file("missing.jpg")), EStreamError);
}

} // namespace
