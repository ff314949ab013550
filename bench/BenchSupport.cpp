#include "BenchSupport.h"

#include <cstdio>
#include <jpeglib.h>
#include <random>
#include <vector>

namespace kvbench {

kv::TMemoryStream MakeJpeg(int width, int height, uint32_t seed, int quality) {
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
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = &rgb[static_cast<std::size_t>(c.next_scanline) * width * 3];
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  kv::TMemoryStream out(std::vector<uint8_t>(buffer, buffer + size));
  free(buffer);
  return out;
}

} // namespace kvbench
