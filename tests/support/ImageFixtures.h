// Picture files made on the spot for the tests and the benchmarks.
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
// A photo-like JPEG (noise over smooth gradients), the same bytes for the same seed.
std::vector<uint8_t> MakePhotoJpeg(int width, int height, uint32_t seed, int quality);
// Packed 8-bit RGB rows, top row first.
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality);
// Packed rows of `components` samples per pixel in a libjpeg input colour space (a J_COLOR_SPACE value).
std::vector<uint8_t> EncodeJpegSamples(const std::vector<uint8_t>& samples, int width, int height,
                                       int components, int colorSpace, int quality);

// How EncodeJpegWith codes a picture.
struct TJpegCoding {
  int Quality = 90;
  bool Arithmetic = false;
  bool Progressive = false;
  // An APP1 "Exif" marker with this orientation tag (0: no marker); big-endian TIFF when BigEndian.
  int ExifOrientation = 0;
  bool BigEndian = false;
};
std::vector<uint8_t> EncodeJpegWith(const std::vector<uint8_t>& rgb, int width, int height,
                                    const TJpegCoding& coding);
// The file with the size its start-of-frame marker declares replaced (any coding), or unchanged without one.
std::vector<uint8_t> WithFrameSize(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height);

} // namespace kvtest
