// The size of a stored picture, read from its header without decoding the pixels. The picture codecs read
// it; the data layer holds pictures (banners, extra pictures, old saved games) but links no codec, so it asks
// through a reader handed in by whoever makes the model (the package services).
#pragma once

#include "data/uKVStream.h"

#include <cstdint>
#include <functional>
#include <span>

namespace kv {

enum class TImageKind { ikJPEG, ikBMP };

struct TImageInfo {
  int32_t Width = 0;
  int32_t Height = 0;
};

using TImageSizeReader = std::function<TImageInfo(std::span<const uint8_t> data, TImageKind kind)>;

// Reads the whole content of data (not from its position) with reader. Raises EImageError when the bytes are
// not a picture of that kind whose size can be known, and when there is no reader.
TImageInfo ReadImageSize(const TImageSizeReader& reader, std::span<const uint8_t> data, TImageKind kind);
TImageInfo ReadImageSize(const TImageSizeReader& reader, const TMemoryStream& data, TImageKind kind);

} // namespace kv
