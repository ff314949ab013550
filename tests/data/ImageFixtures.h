// Small picture files made on the spot for the banner and saved-game tests.
#pragma once

#include <cstdint>
#include <vector>

namespace kvtest {

// A 24-bit Windows BMP with a BITMAPINFOHEADER; a top-down bitmap stores its height negative.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, bool topDown = false);
// The same picture with the 12-byte BITMAPCOREHEADER.
std::vector<uint8_t> MakeCoreBmp(uint16_t width, uint16_t height);
// A baseline JPEG of a colour gradient, encoded by libjpeg.
std::vector<uint8_t> MakeJpeg(int width, int height);

} // namespace kvtest
