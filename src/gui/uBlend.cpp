#include "gui/uBlend.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv {

namespace {

TMergeTables BuildMergeTables() {
  TMergeTables t{};
  for (int i = 0; i < 256; ++i)
    for (int j = 0; j < 256; ++j) {
      // i * j / 255 is never a tie (255 is odd); i * 255 / j can be, and ties go to even.
      t.MulDiv255[i][j] = static_cast<uint8_t>((i * j + 127) / 255);
      if (j == 0) {
        t.Div255[i][j] = 0;
      } else {
        const double v = std::nearbyint(static_cast<double>(i) * 255.0 / j);
        t.Div255[i][j] = static_cast<uint8_t>(v > 255.0 ? 255.0 : v);
      }
    }
  return t;
}

// Both alphas strictly between 0 and 255.
inline TColor32 MergeGeneral(TColor32 f, TColor32 d, uint32_t fa, uint32_t da) {
  const TMergeTables& t = MergeTables();
  const uint32_t ra = fa + da - t.MulDiv255[fa][da];
  const auto& wrow = t.MulDiv255[t.Div255[fa][ra]];
  TColor32 result = ra << 24;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int fc = static_cast<int>(f >> shift & 0xFF);
    const int dc = static_cast<int>(d >> shift & 0xFF);
    const int c = fc >= dc ? dc + wrow[fc - dc] : dc - wrow[dc - fc];
    result |= static_cast<TColor32>(c) << shift;
  }
  return result;
}

} // namespace

const TMergeTables& MergeTables() {
  static const TMergeTables tables = BuildMergeTables();
  return tables;
}

TColor32 MergePixel(TColor32 f, TColor32 d) {
  const uint32_t fa = f >> 24;
  if (fa == 0) return d;
  const uint32_t da = d >> 24;
  if (fa == 255 || da == 0) return f;
  if (da == 255) return LerpReg(f, d, fa) | 0xFF000000u;
  return MergeGeneral(f, d, fa, da);
}

TColor32 MergePixelMaster(TColor32 f, TColor32 d, uint32_t m) {
  const uint32_t fa = MergeTables().MulDiv255[f >> 24][m > 255 ? 255 : m];
  return MergePixel((f & 0x00FFFFFFu) | fa << 24, d);
}

void CombineLine(const TColor32* src, TColor32* dst, int count, TCombineMode mode, int masterAlpha) {
  if (count <= 0 || masterAlpha <= 0) return;
  if (mode == cmMerge) {
    if (masterAlpha >= 255)
      for (int i = 0; i < count; ++i) dst[i] = MergePixel(src[i], dst[i]);
    else
      for (int i = 0; i < count; ++i) dst[i] = MergePixelMaster(src[i], dst[i], masterAlpha);
    return;
  }
  const bool master = masterAlpha < 255;
  const auto m = static_cast<uint32_t>(masterAlpha);
  int i = 0;
#if defined(__SSE2__)
  // Four pixels at a time with the same arithmetic.
  const __m128i m16 = _mm_set1_epi32(static_cast<int>(m));
  const __m128i one = _mm_set1_epi32(1);
  for (; i + 4 <= count; i += 4) {
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    __m128i result;
    if (master) {
      // ((Fa + 1) * M) shr 8 fits 16 bits, so a 16-bit multiply of the low halves is exact.
      const __m128i alpha = _mm_srli_epi32(f, 24);
      result = LerpReg4(f, d, _mm_srli_epi32(_mm_mullo_epi16(_mm_add_epi32(alpha, one), m16), 8));
    } else {
      result = BlendPixel4(f, d);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), result);
  }
#endif
  // The general formula keeps D exactly for w = 0, so only w = 255 needs a select.
  if (!master) {
    for (; i < count; ++i) {
      const TColor32 f = src[i];
      const uint32_t w = f >> 24;
      const TColor32 blended = LerpReg(f, dst[i], w);
      dst[i] = w == 255 ? f : blended;
    }
  } else {
    for (; i < count; ++i) dst[i] = LerpReg(src[i], dst[i], MasterWeight(src[i] >> 24, m));
  }
}

void CombineColorLine(TColor32 color, TColor32* dst, int count, TCombineMode mode) {
  if (count <= 0) return;
  const uint32_t a = color >> 24;
  if (a == 0) return;
  if (a == 255) {
    for (int i = 0; i < count; ++i) dst[i] = color;
    return;
  }
  if (mode == cmMerge)
    for (int i = 0; i < count; ++i) dst[i] = MergePixel(color, dst[i]);
  else
    for (int i = 0; i < count; ++i) dst[i] = LerpReg(color, dst[i], a);
}

void DrawLine(const TColor32* src, TColor32* dst, int count, TDrawMode drawMode, TCombineMode mode,
              int masterAlpha) {
  if (count <= 0) return;
  if (drawMode == dmBlend)
    CombineLine(src, dst, count, mode, masterAlpha);
  else
    std::memmove(dst, src, static_cast<std::size_t>(count) * sizeof(TColor32));
}

} // namespace kv
