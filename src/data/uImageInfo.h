// The size of a stored picture, read from its header without decoding the pixels.
#pragma once

#include "data/uKVStream.h"

#include <cstdint>
#include <span>

namespace kv {

enum class TImageKind { ikJPEG, ikBMP };

struct TImageInfo {
  int32_t Width = 0;
  int32_t Height = 0;
};

// Reads the whole content of data (not from its position). Raises EImageError when the bytes are not a
// picture of that kind whose size can be known.
TImageInfo ReadImageSize(const TMemoryStream& data, TImageKind kind);
TImageInfo ReadImageSize(std::span<const uint8_t> data, TImageKind kind);

// JPEG/JFIF through libjpeg's header reader.
TImageInfo ReadJpegSize(std::span<const uint8_t> data);
// Windows BMP: file header "BM", then a BITMAPCOREHEADER or a BITMAPINFOHEADER (or a later, longer one).
// Height is the absolute value: top-down bitmaps store it negative.
TImageInfo ReadBmpSize(std::span<const uint8_t> data);

} // namespace kv
