#include "ImageFixtures.h"

#include "support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>

#include <jpeglib.h>
#include <random>

namespace kvtest {

namespace {

std::vector<uint8_t> Pixels24(int32_t width, int32_t height) {
  const int32_t stride = (width * 3 + 3) / 4 * 4;
  std::vector<uint8_t> pixels(static_cast<std::size_t>(stride * height), 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width * 3; ++x)
      pixels[static_cast<std::size_t>(y * stride + x)] = uint8_t(x * 20 + y);
  return pixels;
}

} // namespace

std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, bool topDown) {
  const auto pixels = Pixels24(width, height);
  const uint32_t offset = 14 + 40;
  Bytes b;
  b.chars("BM").u32(offset + static_cast<uint32_t>(pixels.size())).u32(0).u32(offset);
  b.u32(40).i32(width).i32(topDown ? -height : height).u16(1).u16(24).u32(0);
  b.u32(static_cast<uint32_t>(pixels.size())).i32(2835).i32(2835).u32(0).u32(0);
  b.raw(pixels);
  return b.data();
}

std::vector<uint8_t> MakeCoreBmp(uint16_t width, uint16_t height) {
  const auto pixels = Pixels24(width, height);
  const uint32_t offset = 14 + 12;
  Bytes b;
  b.chars("BM").u32(offset + static_cast<uint32_t>(pixels.size())).u32(0).u32(offset);
  b.u32(12).u16(width).u16(height).u16(1).u16(24);
  b.raw(pixels);
  return b.data();
}

namespace {

std::vector<uint8_t> ExifMarker(int orientation, bool bigEndian) {
  std::vector<uint8_t> m = {'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](unsigned v) {
    if (bigEndian)
      m.insert(m.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    else
      m.insert(m.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
  };
  auto u32 = [&](unsigned v) {
    if (bigEndian) {
      u16(v >> 16), u16(v & 0xFFFF);
    } else {
      u16(v & 0xFFFF), u16(v >> 16);
    }
  };
  m.insert(m.end(),
           bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
  u16(42);
  u32(8);
  // IFD0: an unrelated tag (ImageWidth) first, then the orientation, then no next IFD.
  u16(2);
  u16(0x0100), u16(3), u32(1), u16(640), u16(0);
  u16(0x0112), u16(3), u32(1), u16(static_cast<unsigned>(orientation)), u16(0);
  u32(0);
  return m;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& samples, int width, int height, int components,
                            int colorSpace, const TJpegCoding& coding) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = static_cast<J_COLOR_SPACE>(colorSpace);
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, coding.Quality, TRUE);
  if (coding.Progressive) jpeg_simple_progression(&cinfo);
  if (coding.Arithmetic) cinfo.arith_code = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  if (coding.ExifOrientation != 0) {
    const std::vector<uint8_t> exif = ExifMarker(coding.ExifOrientation, coding.BigEndian);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {
        const_cast<uint8_t*>(&samples[static_cast<std::size_t>(cinfo.next_scanline) * width * components])};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

} // namespace

std::vector<uint8_t> EncodeJpegSamples(const std::vector<uint8_t>& samples, int width, int height,
                                       int components, int colorSpace, int quality) {
  TJpegCoding coding;
  coding.Quality = quality;
  return Encode(samples, width, height, components, colorSpace, coding);
}

std::vector<uint8_t> EncodeJpegWith(const std::vector<uint8_t>& rgb, int width, int height,
                                    const TJpegCoding& coding) {
  return Encode(rgb, width, height, 3, JCS_RGB, coding);
}

std::vector<uint8_t> WithFrameSize(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height) {
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] != 0xFF) continue;
    const uint8_t m = jpeg[i + 1];
    if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
    jpeg[i + 5] = static_cast<uint8_t>(height >> 8), jpeg[i + 6] = static_cast<uint8_t>(height);
    jpeg[i + 7] = static_cast<uint8_t>(width >> 8), jpeg[i + 8] = static_cast<uint8_t>(width);
    break;
  }
  return jpeg;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality) {
  return EncodeJpegSamples(rgb, width, height, 3, JCS_RGB, quality);
}

std::vector<uint8_t> MakeJpeg(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * 3; ++i)
      rgb[static_cast<std::size_t>(y) * width * 3 + i] =
          static_cast<uint8_t>(i * 30 + static_cast<std::size_t>(y) * 50);
  return EncodeJpeg(rgb, width, height, 90);
}

std::vector<uint8_t> MakePhotoJpeg(int width, int height, uint32_t seed, int quality) {
  std::mt19937 random(seed);
  std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      const int noise = static_cast<int>(random() % 64);
      p[0] = static_cast<uint8_t>((x * 255 / width + noise) & 255);
      p[1] = static_cast<uint8_t>((y * 255 / height + noise / 2) & 255);
      p[2] = static_cast<uint8_t>(((x + y) * 127 / (width + height) + noise) & 255);
    }
  return EncodeJpeg(rgb, width, height, quality);
}

} // namespace kvtest
