#include "core/uKVErrors.h"
#include "data/uImageInfo.h"
#include "gui/uPictureConverters.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace kv;
using kvtest::Bytes;

namespace {

std::string ErrorOf(std::span<const uint8_t> data, TImageKind kind) {
  try {
    ReadImageSize(ReadPictureSize, data, kind);
  } catch (const EImageError& e) {
    return e.what();
  }
  return "no error";
}

} // namespace

TEST(ImageInfo, Sizes) {
  struct {
    const char* What;
    std::vector<uint8_t> Data;
    TImageKind Kind;
    int32_t Width, Height;
  } cases[] = {
      {"jpeg", kvtest::MakeJpeg(4, 3), TImageKind::ikJPEG, 4, 3},
      {"tall jpeg", kvtest::MakeJpeg(1, 17), TImageKind::ikJPEG, 1, 17},
      {"bottom-up bmp", kvtest::MakeBmp(5, 2), TImageKind::ikBMP, 5, 2},
      {"top-down bmp", kvtest::MakeBmp(5, 2, true), TImageKind::ikBMP, 5, 2},
      {"core bmp", kvtest::MakeCoreBmp(7, 6), TImageKind::ikBMP, 7, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const auto info = ReadImageSize(ReadPictureSize, TMemoryStream(c.Data), c.Kind);
    EXPECT_EQ(info.Width, c.Width);
    EXPECT_EQ(info.Height, c.Height);
  }
}

TEST(ImageInfo, UndecodableDataRaisesImageError) {
  const auto jpeg = kvtest::MakeJpeg(4, 3);
  const auto bmp = kvtest::MakeBmp(4, 3);
  const auto infoHeader = [](int32_t width, int32_t height, uint16_t bits, uint32_t headerSize = 40) {
    return Bytes()
        .chars("BM")
        .u32(0)
        .u32(0)
        .u32(54)
        .u32(headerSize)
        .i32(width)
        .i32(height)
        .u16(1)
        .u16(bits)
        .raw(std::vector<uint8_t>(24, 0))
        .data();
  };
  struct {
    const char* What;
    std::vector<uint8_t> Data;
    TImageKind Kind;
    const char* Message;
  } cases[] = {
      {"empty jpeg", {}, TImageKind::ikJPEG, "Invalid JPEG image: no data"},
      {"bmp as jpeg", bmp, TImageKind::ikJPEG, nullptr},
      {"jpeg start only", {0xFF, 0xD8}, TImageKind::ikJPEG, nullptr},
      {"jpeg as bmp", jpeg, TImageKind::ikBMP, "Invalid BMP image: no \"BM\" signature"},
      {"empty bmp", {}, TImageKind::ikBMP, "Invalid BMP image: no \"BM\" signature"},
      {"bmp signature only", {'B', 'M'}, TImageKind::ikBMP, "Invalid BMP image: truncated header"},
      {"info header cut", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 40), TImageKind::ikBMP,
       "Invalid BMP image: truncated header"},
      {"header size 13", infoHeader(4, 3, 24, 13), TImageKind::ikBMP,
       "Invalid BMP image: unknown header size 13"},
      {"header size beyond the data", infoHeader(4, 3, 24, 0x7FFFFFFF), TImageKind::ikBMP,
       "Invalid BMP image: truncated header"},
      {"zero width", infoHeader(0, 3, 24), TImageKind::ikBMP, "Invalid BMP image: empty picture"},
      {"negative width", infoHeader(-4, 3, 24), TImageKind::ikBMP, "Invalid BMP image: empty picture"},
      {"zero height", infoHeader(4, 0, 24), TImageKind::ikBMP, "Invalid BMP image: empty picture"},
      {"lowest height", infoHeader(4, INT32_MIN, 24), TImageKind::ikBMP,
       "Invalid BMP image: height out of range"},
      {"no bit count", infoHeader(4, 3, 0), TImageKind::ikBMP, "Invalid BMP image: unsupported bit count 0"},
      {"odd bit count", infoHeader(4, 3, 7), TImageKind::ikBMP, "Invalid BMP image: unsupported bit count 7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const auto message = ErrorOf(c.Data, c.Kind);
    if (c.Message)
      EXPECT_EQ(message, c.Message);
    else
      EXPECT_EQ(message.rfind("Invalid JPEG image: ", 0), 0u) << message;
  }
}

TEST(ImageInfo, EveryCutOfAPictureIsHandled) {
  // Each prefix either gives the right size or fails cleanly; none reads past its end.
  for (const auto& [data, kind] : {std::pair{kvtest::MakeJpeg(4, 3), TImageKind::ikJPEG},
                                   std::pair{kvtest::MakeBmp(4, 3), TImageKind::ikBMP}}) {
    for (std::size_t n = 0; n <= data.size(); ++n) {
      const std::vector<uint8_t> prefix(data.begin(), data.begin() + static_cast<long>(n));
      try {
        const auto info = ReadImageSize(ReadPictureSize, prefix, kind);
        EXPECT_EQ(info.Width, 4) << n;
        EXPECT_EQ(info.Height, 3) << n;
      } catch (const EImageError&) {
      }
    }
    // The whole picture is always read.
    EXPECT_EQ(ReadImageSize(ReadPictureSize, data, kind).Width, 4);
  }
}

TEST(ImageInfo, WithoutAReaderTheSizeIsAnError) {
  EXPECT_THROW(ReadImageSize(TImageSizeReader(), kvtest::MakeJpeg(4, 3), TImageKind::ikJPEG), EImageError);
}
