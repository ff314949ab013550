// A picture as a decoder hands it over: straight-alpha ARGB pixels, top row first.
#pragma once

#include <cstdint>
#include <vector>

namespace kv {

// Largest picture any decoder accepts (1 GiB of pixels); a header that asks for more is rejected before
// anything is allocated.
inline constexpr uint64_t MaxPicturePixels = uint64_t{1} << 28;

struct TDecodedPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  // Width * Height values A << 24 | R << 16 | G << 8 | B, row-major, top row first.
  std::vector<uint32_t> Pixels;
};

} // namespace kv
