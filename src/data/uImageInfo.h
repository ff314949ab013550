// The size of a stored picture, read from its header without decoding the pixels. The picture codecs read
// it; the data layer holds pictures (banners, extra pictures, old saved games) but links no codec, so it asks
// through the reader the codecs install (InstallPictureConverters, InstallPictureSizeReader).
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

using TImageSizeReader = TImageInfo (*)(std::span<const uint8_t> data, TImageKind kind);

// Installs the reader ReadImageSize asks; null uninstalls it.
void SetImageSizeReader(TImageSizeReader reader);

// Reads the whole content of data (not from its position). Raises EImageError when the bytes are not a
// picture of that kind whose size can be known, and when no reader is installed.
TImageInfo ReadImageSize(std::span<const uint8_t> data, TImageKind kind);
TImageInfo ReadImageSize(const TMemoryStream& data, TImageKind kind);

} // namespace kv
