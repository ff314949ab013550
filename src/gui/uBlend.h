// Per-pixel combine rules of the surface: cmBlend (weighted average of all four channels) and cmMerge
// (straight-alpha "over" that respects the destination's alpha). Integer arithmetic, no division.
#pragma once

#include "gui/uBitmap32.h"

#include <array>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv {

// (w * F_c + (256 - w) * D_c + 128) shr 8 on all four channels, no shortcuts.
inline TColor32 LerpReg(TColor32 f, TColor32 d, uint32_t w) {
  const uint32_t iw = 256 - w;
  const uint32_t rb = (w * (f & 0x00FF00FFu) + iw * (d & 0x00FF00FFu) + 0x00800080u) >> 8 & 0x00FF00FFu;
  const uint32_t ag = (w * (f >> 8 & 0x00FF00FFu) + iw * (d >> 8 & 0x00FF00FFu) + 0x00800080u) & 0xFF00FF00u;
  return rb | ag;
}

// cmBlend with weight w and both shortcuts: w = 0 keeps D, w = 255 gives F.
inline TColor32 BlendPixel(TColor32 f, TColor32 d, uint32_t w) {
  if (w == 0) return d;
  if (w == 255) return f;
  return LerpReg(f, d, w);
}

// The weight of a master alpha m < 255 for a foreground alpha fa: ((fa + 1) * m) shr 8.
inline uint32_t MasterWeight(uint32_t fa, uint32_t m) {
  return ((fa + 1) * m) >> 8;
}

// round(i * j / 255) and round(i * 255 / j) (0 for j = 0, at most 255), computed once.
struct TMergeTables {
  std::array<std::array<uint8_t, 256>, 256> MulDiv255;
  std::array<std::array<uint8_t, 256>, 256> Div255;
};
const TMergeTables& MergeTables();

// cmMerge of F onto D; with a master alpha m < 255 F's alpha first becomes round(Fa * m / 255).
TColor32 MergePixel(TColor32 f, TColor32 d);
TColor32 MergePixelMaster(TColor32 f, TColor32 d, uint32_t m);

// One source pixel combined into one destination pixel by a combine mode and master alpha (dmBlend rule).
inline TColor32 CombinePixel(TColor32 f, TColor32 d, TCombineMode mode, uint32_t m) {
  if (mode == cmMerge) return m >= 255 ? MergePixel(f, d) : MergePixelMaster(f, d, m);
  if (m >= 255) return BlendPixel(f, d, f >> 24);
  return LerpReg(f, d, MasterWeight(f >> 24, m));
}

// count source pixels combined into count destination pixels (dmBlend), by mode and master alpha.
void CombineLine(const TColor32* src, TColor32* dst, int count, TCombineMode mode, int masterAlpha);

// One colour combined into count destination pixels with weight = its alpha (FillRectBlend, HorzLineBlend):
// alpha 255 fills, alpha 0 leaves them.
void CombineColorLine(TColor32 color, TColor32* dst, int count, TCombineMode mode);

#if defined(__SSE2__)
// LerpReg on four pixels with their own weights, given as 32-bit lanes of 0..255. Channels are widened to
// 16 bits, where w * F + (256 - w) * D + 128 is at most 65408 and so cannot overflow.
inline __m128i LerpReg4(__m128i f, __m128i d, __m128i w32) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i round = _mm_set1_epi16(128);
  const __m128i full = _mm_set1_epi16(256);
  const __m128i w = _mm_or_si128(w32, _mm_slli_epi32(w32, 16)); // weight in both 16-bit halves
  const __m128i wLo = _mm_unpacklo_epi32(w, w), wHi = _mm_unpackhi_epi32(w, w);
  const __m128i lo = _mm_srli_epi16(
      _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(f, zero), wLo),
                                  _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(full, wLo))),
                    round),
      8);
  const __m128i hi = _mm_srli_epi16(
      _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(f, zero), wHi),
                                  _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(full, wHi))),
                    round),
      8);
  return _mm_packus_epi16(lo, hi);
}

// Four pixels weighted by their own alpha as CombineLine blends them: alpha 255 gives F, alpha 0 keeps D.
inline __m128i BlendPixel4(__m128i f, __m128i d) {
  const __m128i alpha = _mm_srli_epi32(f, 24);
  const __m128i copy = _mm_cmpeq_epi32(alpha, _mm_set1_epi32(255));
  const __m128i blended = LerpReg4(f, d, alpha);
  return _mm_or_si128(_mm_and_si128(copy, f), _mm_andnot_si128(copy, blended));
}
#endif

// A row transfer by a draw mode: dmOpaque copies, dmBlend combines. dmCustom and dmTransparent are never
// selected by the program and copy like dmOpaque.
void DrawLine(const TColor32* src, TColor32* dst, int count, TDrawMode drawMode, TCombineMode mode,
              int masterAlpha);

} // namespace kv
