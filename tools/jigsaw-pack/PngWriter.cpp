#include "PngWriter.h"

#include "core/uKVErrors.h"

#include <zlib.h>

#include <string>

namespace kvtools {

namespace {

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBig32(out, static_cast<uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

} // namespace

std::vector<uint8_t> EncodePng(const kv::TBitmap32& bitmap) {
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  // Each row: filter byte 0, then R G B.
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(h) * (1 + 3 * static_cast<std::size_t>(w)));
  for (int32_t y = 0; y < h; ++y) {
    raw.push_back(0);
    const kv::TColor32* row = bitmap.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      raw.push_back(static_cast<uint8_t>(row[x] >> 16));
      raw.push_back(static_cast<uint8_t>(row[x] >> 8));
      raw.push_back(static_cast<uint8_t>(row[x]));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw kv::Exception("The picture could not be compressed.");
  packed.resize(packedSize);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig32(header, static_cast<uint32_t>(w));
  PutBig32(header, static_cast<uint32_t>(h));
  header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter choice, no interlace
  Chunk(out, "IHDR", header);
  Chunk(out, "IDAT", packed);
  Chunk(out, "IEND", {});
  return out;
}

} // namespace kvtools
