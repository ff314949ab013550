// A JPEG file, read through libjpeg at its full size and at a reduced scale, checked strictly as the package
// tools check a picture, and turned upright by its EXIF orientation.
#include "FuzzSupport.h"

#include "core/uKVErrors.h"
#include "gui/uJpegCodec.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::DecodeTolerant(data, size, kv::pkJPEG);
  // The reduced scale follows from the input, so that every input decodes the same way each time.
  try {
    const kv::TDecodedPicture picture =
        kv::DecodeJpegScaled(std::span<const uint8_t>(data, size), 1 + static_cast<int>(size % 7));
    const auto pixels = static_cast<uint64_t>(std::max(picture.Width, 0)) * std::max(picture.Height, 0);
    if (picture.Pixels.size() != pixels) std::abort();
  } catch (const kv::Exception&) {
  }
  try {
    const kv::TJpegCheck check = kv::CheckJpeg(std::span<const uint8_t>(data, size));
    if (check.Orientation < 1 || check.Orientation > 8) std::abort();
    if (check.Orientation != 1) kv::UprightJpeg(std::span<const uint8_t>(data, size), 75);
  } catch (const kv::Exception&) {
  }
  return 0;
}
