#include "jigsaw/uKVJigsawTypes.h"

#include "data/uKVErrors.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv {

void TPiece::SetImage(int k, TCodedImage coded) {
  Images[k] = std::move(coded);
  ImageSizes[k] = static_cast<int32_t>(Images[k].size());
}

namespace {

uint8_t RecordedEdge(int32_t edge) {
  if (edge < 0 || edge > UINT8_MAX) throw Exception(TooManyEdgeShapesMessage);
  return static_cast<uint8_t>(edge);
}

} // namespace

TJigsawPieceState PieceState(const TPiece& piece) {
  TJigsawPieceState state;
  state.LeftEdge = RecordedEdge(piece.LeftEdge);
  state.TopEdge = RecordedEdge(piece.TopEdge);
  state.RightEdge = RecordedEdge(piece.RightEdge);
  state.BottomEdge = RecordedEdge(piece.BottomEdge);
  state.X = piece.X;
  state.Y = piece.Y;
  state.CorrectX = piece.CorrectX;
  state.CorrectY = piece.CorrectY;
  state.StartX = piece.StartX;
  state.StartY = piece.StartY;
  state.Width = piece.Width;
  state.Height = piece.Height;
  state.Rotation = piece.Rotation;
  state.StartRotation = piece.StartRotation;
  state.Joined = piece.Joined;
  return state;
}

void ApplyPieceState(TPiece& piece, const TJigsawPieceState& state) {
  piece.LeftEdge = state.LeftEdge;
  piece.TopEdge = state.TopEdge;
  piece.RightEdge = state.RightEdge;
  piece.BottomEdge = state.BottomEdge;
  piece.X = state.X;
  piece.Y = state.Y;
  piece.CorrectX = state.CorrectX;
  piece.CorrectY = state.CorrectY;
  piece.StartX = state.StartX;
  piece.StartY = state.StartY;
  piece.Width = state.Width;
  piece.Height = state.Height;
  piece.Rotation = state.Rotation;
  piece.StartRotation = state.StartRotation;
  piece.Joined = state.Joined;
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
