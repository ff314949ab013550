// The run-length coder of piece images. The first four bytes give the length hostile coded data (the
// rest of the input) is decoded to; the whole input also goes through Compress and back, which must give
// it unchanged.
#include "jigsaw/uRLE.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

using kv::TRLE;

constexpr std::size_t MaxUncoded = std::size_t{1} << 20;

void Check(bool condition) {
  if (!condition) std::abort();
}

void RoundTrip(std::span<const uint8_t> input) {
  const std::vector<uint8_t> coded = TRLE::Compress(input);
  Check(coded.size() <= TRLE::MaxCodedLength(input.size()));
  std::vector<uint8_t> into(TRLE::MaxCodedLength(input.size()) + 1);
  Check(TRLE::CompressTo(input, into.data()) == coded.size());
  Check(std::equal(coded.begin(), coded.end(), into.begin()));

  const std::vector<uint8_t> decoded = TRLE::Decompress(coded, input.size());
  Check(std::equal(decoded.begin(), decoded.end(), input.begin(), input.end()));

  TRLE rle;
  rle.SetSource(input.data(), input.size());
  rle.Compress();
  Check(rle.Data() == coded && rle.CodedLength() == coded.size());
  rle.SetCoded(coded.data(), input.size(), coded.size());
  rle.Decompress();
  Check(rle.Data() == decoded);

  // The board's decoder gives the whole words back.
  std::vector<uint32_t> words(input.size() / 4);
  Check(TRLE::Decode(coded, words) == words.size());
  Check(words.empty() || std::memcmp(words.data(), input.data(), words.size() * 4) == 0);
}

void Hostile(std::span<const uint8_t> input) {
  if (input.size() < 4) return;
  const uint32_t claimed = static_cast<uint32_t>(input[0]) | static_cast<uint32_t>(input[1]) << 8 |
                           static_cast<uint32_t>(input[2]) << 16 | static_cast<uint32_t>(input[3]) << 24;
  const std::size_t uncoded = claimed % (MaxUncoded + 1);
  const std::span<const uint8_t> coded = input.subspan(4);

  const std::vector<uint8_t> out = TRLE::Decompress(coded, uncoded);
  Check(out.size() == uncoded);
  TRLE rle;
  rle.SetCoded(coded.data(), uncoded, coded.size());
  rle.Decompress();
  Check(rle.Data() == out);

  // Decode writes the words Decompress gives and nothing past its destination (a guard word follows).
  constexpr uint32_t Guard = 0xA5A5A5A5u;
  std::vector<uint32_t> words(uncoded / 4 + 1, Guard);
  const std::size_t written = TRLE::Decode(coded, std::span<uint32_t>(words.data(), uncoded / 4));
  Check(written <= uncoded / 4 && words.back() == Guard);
  Check(written == 0 || std::memcmp(words.data(), out.data(), written * 4) == 0);
  // What no record covers stays 0.
  Check(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(written * 4),
                    out.begin() + static_cast<std::ptrdiff_t>(uncoded / 4 * 4),
                    [](uint8_t b) { return b == 0; }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> input(data, size);
  RoundTrip(input);
  Hostile(input);
  return 0;
}
