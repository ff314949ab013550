// A picture as a decoder hands it over: straight-alpha ARGB pixels, top row first.
#pragma once

#include <cstdint>
#include <vector>

namespace kv {

// Largest picture any decoder accepts: more than any camera makes (12000 x 11000), 512 MiB decoded. A header
// that asks for more is rejected before anything is allocated.
inline constexpr uint64_t MaxPicturePixels = uint64_t{1} << 27;

struct TDecodedPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  // Width * Height values A << 24 | R << 16 | G << 8 | B, row-major, top row first.
  std::vector<uint32_t> Pixels;
};

} // namespace kv
