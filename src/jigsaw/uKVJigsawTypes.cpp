#include "jigsaw/uKVJigsawTypes.h"

#include "core/uKVErrors.h"
#include "jigsaw/uRLE.h"

#include <algorithm>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv {

void TPiece::SetImage(int k, TCodedImage coded) {
  Images[k] = std::move(coded);
  ImageSizes[k] = static_cast<int32_t>(Images[k].size());
}

TJigsawPieceState PieceState(const TPiece& piece) {
  return piece.Recorded();
}

void ApplyPieceState(TPiece& piece, const TJigsawPieceState& state) {
  piece.State() = state;
}

int32_t TPieceGridStates::Columns() const {
  if (Pieces.empty()) return 0;
  const std::size_t width = Pieces.front().size();
  for (const auto& row : Pieces)
    if (row.size() != width) return -1;
  return static_cast<int32_t>(width);
}

TJigsawPieceState TPieceGridStates::State(int32_t row, int32_t column) const {
  return PieceState(Pieces.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column)));
}

const TAverageTable& AverageTable() {
  static const TAverageTable table = [] {
    TAverageTable t{};
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<uint8_t>(i / 25);
    return t;
  }();
  return table;
}

namespace {

// In place: every sum reads the buffer as it is at that moment, so earlier outputs feed later ones.
void BlurInPlace(uint32_t* pixels, int32_t width, int32_t height, uint32_t colour,
                 const TAverageTable& table) {
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t sum = 0;
      for (int32_t yy = std::max(0, y - 2); yy <= std::min(height - 1, y + 2); ++yy) {
        const uint32_t* row = pixels + static_cast<std::size_t>(yy) * width;
        for (int32_t xx = std::max(0, x - 2); xx <= std::min(width - 1, x + 2); ++xx) sum += row[xx] >> 24;
      }
      pixels[static_cast<std::size_t>(y) * width + x] = static_cast<uint32_t>(table[sum]) << 24 | colour;
    }
}

} // namespace

void RotateQuarter(const uint32_t* source, int32_t w, int32_t h, uint32_t* out) {
  auto at = [&](int32_t r, int32_t c) -> uint32_t& { return out[static_cast<std::size_t>(r) * h + c]; };
  int32_t y = 0;
#if defined(__SSE2__)
  // Four source rows at a time, turned in 4 x 4 blocks: the plain loop reads down columns.
  for (; y + 4 <= h; y += 4) {
    int32_t x = 0;
    for (; x + 4 <= w; x += 4) {
      auto row = [&](int32_t k) {
        return _mm_castsi128_ps(_mm_loadu_si128(
            reinterpret_cast<const __m128i*>(source + static_cast<std::size_t>(y + k) * w + x)));
      };
      __m128 r0 = row(0), r1 = row(1), r2 = row(2), r3 = row(3);
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      const __m128 columns[4] = {r0, r1, r2, r3};
      for (int i = 0; i < 4; ++i)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&at(x + i, h - 4 - y)),
                         _mm_shuffle_epi32(_mm_castps_si128(columns[i]), _MM_SHUFFLE(0, 1, 2, 3)));
    }
    for (; x < w; ++x)
      for (int32_t k = 0; k < 4; ++k)
        at(x, h - 1 - (y + k)) = source[static_cast<std::size_t>(y + k) * w + x];
  }
#endif
  for (; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) at(x, h - 1 - y) = source[static_cast<std::size_t>(y) * w + x];
}

void ReverseWords(uint32_t* words, std::size_t n) {
  std::size_t i = 0, j = n;
#if defined(__SSE2__)
  for (; j - i >= 8; i += 4, j -= 4) {
    const __m128i front = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i));
    const __m128i back = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + j - 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), _mm_shuffle_epi32(back, _MM_SHUFFLE(0, 1, 2, 3)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(words + j - 4),
                     _mm_shuffle_epi32(front, _MM_SHUFFLE(0, 1, 2, 3)));
  }
#endif
  std::reverse(words + i, words + j);
}

TCodedImage TurnCodedImage(const TCodedImage& coded, int32_t width, int32_t height, int quarterTurns) {
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (coded.empty() || count == 0) return {};
  thread_local std::vector<uint32_t> upright, turned;
  upright.assign(count, 0);
  TRLE::Decode(std::span<const uint8_t>(coded.data(), coded.size()),
               std::span<uint32_t>(upright.data(), count));
  const int turns = quarterTurns & 3;
  std::vector<uint32_t>* pixels = &upright;
  if ((turns & 1) != 0) {
    turned.resize(count);
    RotateQuarter(upright.data(), width, height, turned.data());
    pixels = &turned;
  }
  // A half turn reads the image backwards.
  if (turns >= 2) ReverseWords(pixels->data(), count);
  TRLE::TRuns runs;
  const std::span<const uint32_t> words(pixels->data(), count);
  TRLE::FindRuns(words, runs);
  TCodedImage result(runs.CodedLength);
  TRLE::WriteRuns(words, runs, false, result.data());
  return result;
}

void MakeShadow(const uint32_t* pixels, uint32_t* shadow, int32_t width, int32_t height, uint8_t grey,
                const TAverageTable& table) {
  if (width <= 0 || height <= 0) return;
  const uint32_t colour = static_cast<uint32_t>(grey) * 0x010101u;
  const std::size_t w = static_cast<std::size_t>(width);
  // The standard table divides by 25, which eight lanes at a time do as a multiply: for every sum up to
  // 6375, (sum * 41944) >> 20 = sum div 25.
  const bool divide = &table == &AverageTable();
  // Sums of 5 alphas along each row (at most 1275), then running sums over 5 rows (at most 6375); pixels
  // outside count 0. The storage is kept between calls: every piece of a game gets a shadow.
  thread_local std::vector<uint16_t> alphas, rowSums, column, zeros;
  alphas.assign(w + 4, 0);
  rowSums.resize(w * static_cast<std::size_t>(height));
  column.assign(w, 0);
  zeros.assign(w, 0);
  uint16_t* a = alphas.data() + 2; // a[-2], a[-1], a[w], a[w + 1] stay 0
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* row = pixels + y * w;
    std::size_t x = 0;
#if defined(__SSE2__)
    for (; x + 8 <= w; x += 8) {
      const __m128i lo = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), 24);
      const __m128i hi = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 4)), 24);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(a + x), _mm_packs_epi32(lo, hi));
    }
#endif
    for (; x < w; ++x) a[x] = static_cast<uint16_t>(row[x] >> 24);
    uint16_t* sums = rowSums.data() + y * w;
    x = 0;
#if defined(__SSE2__)
    for (; x + 8 <= w; x += 8) {
      auto at = [&](std::ptrdiff_t offset) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + static_cast<std::ptrdiff_t>(x) + offset));
      };
      const __m128i sum =
          _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(at(-2), at(-1)), _mm_add_epi16(at(0), at(1))), at(2));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + x), sum);
    }
#endif
    for (; x < w; ++x) {
      const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(x);
      sums[x] = static_cast<uint16_t>(a[i - 2] + a[i - 1] + a[i] + a[i + 1] + a[i + 2]);
    }
  }
  uint16_t* col = column.data();
  for (int32_t y = 0; y < std::min(height, 2); ++y)
    for (std::size_t x = 0; x < w; ++x) col[x] = static_cast<uint16_t>(col[x] + rowSums[y * w + x]);
  // One pass per row: add the row entering the window, write, drop the row leaving it.
  for (int32_t y = 0; y < height; ++y) {
    const uint16_t* add = y + 2 < height ? rowSums.data() + (y + 2) * w : zeros.data();
    const uint16_t* remove = y - 2 >= 0 ? rowSums.data() + (y - 2) * w : zeros.data();
    uint32_t* out = shadow + y * w;
    std::size_t x = 0;
#if defined(__SSE2__)
    if (divide) {
      const __m128i magic = _mm_set1_epi16(static_cast<short>(41944));
      const __m128i grey4 = _mm_set1_epi32(static_cast<int>(colour));
      const __m128i zero = _mm_setzero_si128();
      for (; x + 8 <= w; x += 8) {
        const __m128i sum = _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(col + x)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(add + x)));
        const __m128i mean = _mm_srli_epi16(_mm_mulhi_epu16(sum, magic), 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_slli_epi32(_mm_unpacklo_epi16(mean, zero), 24), grey4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4),
                         _mm_or_si128(_mm_slli_epi32(_mm_unpackhi_epi16(mean, zero), 24), grey4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(col + x),
                         _mm_sub_epi16(sum, _mm_loadu_si128(reinterpret_cast<const __m128i*>(remove + x))));
      }
    }
#endif
    for (; x < w; ++x) {
      const uint32_t sum = col[x] + add[x];
      out[x] = static_cast<uint32_t>(table[sum]) << 24 | colour;
      col[x] = static_cast<uint16_t>(sum - remove[x]);
    }
  }
}

void BlurShadow(uint32_t* pixels, uint32_t* shadow, int32_t width, int32_t height, uint8_t grey,
                const TAverageTable& table) {
  if (width <= 0 || height <= 0) return;
  const uint32_t colour = static_cast<uint32_t>(grey) * 0x010101u;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < count; ++i) pixels[i] = (pixels[i] & 0xFF000000u) | colour;
  if (shadow == pixels)
    BlurInPlace(pixels, width, height, colour, table);
  else
    MakeShadow(pixels, shadow, width, height, grey, table);
}

} // namespace kv
