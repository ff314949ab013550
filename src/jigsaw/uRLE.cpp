#include "jigsaw/uRLE.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

// Piece images come as native words; the coded form is little-endian, which is the native order here.
static_assert(std::endian::native == std::endian::little);

namespace {

// Bit i set where word i of the four at p is 0.
inline unsigned ZeroMask4(const uint32_t* p) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, _mm_setzero_si128()))));
#else
  return (p[0] == 0) | (p[1] == 0) << 1 | (p[2] == 0) << 2 | (p[3] == 0) << 3;
#endif
}

// The end of the run of zero (zero = true) or non-zero words that starts at i.
std::size_t RunEnd(const uint32_t* w, std::size_t i, std::size_t n, bool zero) {
  const unsigned flip = zero ? 0xFu : 0u; // bits of the words that end the run
  for (; i + 4 <= n; i += 4) {
    const unsigned m = ZeroMask4(w + i) ^ flip;
    if (m != 0) return i + static_cast<std::size_t>(std::countr_zero(m));
  }
  while (i < n && (w[i] == 0) == zero) ++i;
  return i;
}

} // namespace

void TRLE::FindRuns(std::span<const uint32_t> words, TRuns& runs) {
  const uint32_t* w = words.data();
  const std::size_t n = words.size();
  runs.Counts.clear();
  runs.CodedLength = 0;
  runs.FirstZero = n > 0 && w[0] == 0;
  bool zero = runs.FirstZero;
  for (std::size_t i = 0; i < n; zero = !zero) {
    const std::size_t end = RunEnd(w, i, n, zero);
    runs.Counts.push_back(static_cast<uint32_t>(end - i));
    runs.CodedLength += zero ? 8 : 4 + 4 * (end - i);
    i = end;
  }
}

void TRLE::WriteRuns(std::span<const uint32_t> words, const TRuns& runs, bool reversed, uint8_t* out) {
  const uint32_t* w = words.data();
  const std::size_t n = words.size();
  uint8_t* o = out;
  auto putCount = [&](uint32_t count) {
    std::memcpy(o, &count, 4);
    o += 4;
  };
  const std::size_t last = runs.Counts.size();
  // Run r is zero when its parity matches the first run's kind.
  auto isZero = [&](std::size_t r) { return ((r & 1) == 0) == runs.FirstZero; };
  if (!reversed) {
    std::size_t i = 0;
    for (std::size_t r = 0; r < last; ++r) {
      const uint32_t count = runs.Counts[r];
      putCount(count);
      if (isZero(r)) {
        putCount(0);
      } else {
        std::memcpy(o, w + i, static_cast<std::size_t>(count) * 4);
        o += static_cast<std::size_t>(count) * 4;
      }
      i += count;
    }
    return;
  }
  std::size_t end = n;
  for (std::size_t r = last; r-- > 0;) {
    const uint32_t count = runs.Counts[r];
    putCount(count);
    const std::size_t start = end - count;
    if (isZero(r)) {
      putCount(0);
    } else {
      std::size_t k = end;
#if defined(__SSE2__)
      for (; k >= start + 4; k -= 4, o += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k - 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)));
      }
#endif
      for (; k > start; --k, o += 4) std::memcpy(o, w + k - 1, 4);
    }
    end = start;
  }
}

std::vector<uint8_t> TRLE::Compress(std::span<const uint8_t> source) {
  std::vector<uint8_t> out(MaxCodedLength(source.size()));
  out.resize(CompressTo(source, out.data()));
  return out;
}

std::size_t TRLE::CompressTo(std::span<const uint8_t> source, uint8_t* out) {
  // The words of any byte source, aligned, through the coder of piece images; the 0 to 3 bytes left over
  // follow the records unchanged.
  const std::size_t words = source.size() / 4;
  const std::size_t tail = source.size() % 4;
  std::vector<uint32_t> aligned(words);
  if (words > 0) std::memcpy(aligned.data(), source.data(), words * 4);
  TRuns runs;
  FindRuns(aligned, runs);
  WriteRuns(aligned, runs, false, out);
  if (tail > 0) std::memcpy(out + runs.CodedLength, source.data() + words * 4, tail);
  return runs.CodedLength + tail;
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
