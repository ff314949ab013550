#include "jigsaw/uRLE.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

uint32_t LoadWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Decodes the records into dest (whole words only). Returns the number of coded bytes the records used.
std::size_t DecodeRecords(std::span<const uint8_t> coded, uint8_t* dest, std::size_t destWords,
                          std::size_t& written) {
  std::size_t in = 0;
  written = 0;
  while (written < destWords && coded.size() - in >= 8) {
    const std::size_t count = LoadWord(coded.data() + in);
    const uint32_t first = LoadWord(coded.data() + in + 4);
    in += 4;
    if (first == 0) {
      in += 4;
      const std::size_t n = std::min(count, destWords - written);
      std::memset(dest + written * 4, 0, n * 4);
      written += n;
    } else {
      const std::size_t available = (coded.size() - in) / 4;
      const std::size_t n = std::min({count, destWords - written, available});
      std::memcpy(dest + written * 4, coded.data() + in, n * 4);
      written += n;
      in += n * 4;
      if (n < count) break; // the record claims more than there is; nothing after it can be trusted
    }
  }
  return in;
}

} // namespace

void TRLE::SetSource(const void* data, std::size_t length) {
  Source = static_cast<const uint8_t*>(data);
  Uncoded = length;
  Coded = 0;
}

void TRLE::Compress() {
  Output = Compress(std::span<const uint8_t>(Source, Source ? Uncoded : 0));
  Coded = Output.size();
}

void TRLE::SetCoded(const void* data, std::size_t uncodedLength, std::size_t codedLength) {
  Source = static_cast<const uint8_t*>(data);
  Uncoded = uncodedLength;
  Coded = codedLength;
}

void TRLE::Decompress() {
  Output = Decompress(std::span<const uint8_t>(Source, Source ? Coded : 0), Uncoded);
}

namespace {

void StoreWord(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// Codes `words` little-endian words from source into out, which must hold 8 bytes per word; returns the
// bytes written. No run costs more than 8 bytes per pixel.
std::size_t CompressRecords(const uint8_t* source, std::size_t words, uint8_t* out) {
  uint8_t* o = out;
  std::size_t i = 0;
  while (i < words) {
    std::size_t j = i;
    if (LoadWord(source + i * 4) == 0) {
      while (j < words && LoadWord(source + j * 4) == 0) ++j;
      StoreWord(o, static_cast<uint32_t>(j - i));
      StoreWord(o + 4, 0);
      o += 8;
    } else {
      while (j < words && LoadWord(source + j * 4) != 0) ++j;
      StoreWord(o, static_cast<uint32_t>(j - i));
      std::memcpy(o + 4, source + i * 4, (j - i) * 4);
      o += 4 + (j - i) * 4;
    }
    i = j;
  }
  return static_cast<std::size_t>(o - out);
}

} // namespace

std::vector<uint8_t> TRLE::Compress(std::span<const uint8_t> source) {
  std::vector<uint8_t> out(MaxCodedLength(source.size()));
  out.resize(CompressTo(source, out.data()));
  return out;
}

std::size_t TRLE::CompressTo(std::span<const uint8_t> source, uint8_t* out) {
  const std::size_t words = source.size() / 4;
  const std::size_t tail = source.size() % 4;
  const std::size_t used = CompressRecords(source.data(), words, out);
  std::memcpy(out + used, source.data() + words * 4, tail);
  return used + tail;
}

std::vector<uint8_t> TRLE::Decompress(std::span<const uint8_t> coded, std::size_t uncodedLength) {
  std::vector<uint8_t> out(uncodedLength, 0);
  std::size_t written = 0;
  const std::size_t used = DecodeRecords(coded, out.data(), uncodedLength / 4, written);
  // The tail bytes follow the records; a coded image too short to hold them leaves them 0.
  const std::size_t tail = uncodedLength % 4;
  if (tail > 0 && coded.size() >= used + tail)
    std::memcpy(out.data() + (uncodedLength - tail), coded.data() + coded.size() - tail, tail);
  return out;
}

std::size_t TRLE::Decode(std::span<const uint8_t> coded, std::span<uint32_t> destination) {
  std::size_t written = 0;
  DecodeRecords(coded, reinterpret_cast<uint8_t*>(destination.data()), destination.size(), written);
  return written;
}

} // namespace kv
