#include "gui/uResamplers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv {

namespace {

inline bool Outside(const TRect& area, float x, float y) {
  // Written so that NaN counts as outside.
  return !(x >= static_cast<float>(area.Left) && x < static_cast<float>(area.Right) &&
           y >= static_cast<float>(area.Top) && y < static_cast<float>(area.Bottom));
}

inline int Clamp(int v, int lo, int hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

} // namespace

TColor32 TNearestResampler::GetSample(const TBitmap32& source, const TRect& area, float x, float y) const {
  if (area.IsEmpty() || Outside(area, x, y)) return source.OuterColor();
  const int ix = Clamp(static_cast<int>(std::floor(x)), area.Left, area.Right - 1);
  const int iy = Clamp(static_cast<int>(std::floor(y)), area.Top, area.Bottom - 1);
  return source.PixelAt(ix, iy);
}

void TNearestResampler::SampleRow(const TBitmap32& source, const TRect& area, double x0, double dx, float y,
                                  int count, TColor32* out) const {
  if (area.IsEmpty() || !(y >= static_cast<float>(area.Top) && y < static_cast<float>(area.Bottom))) {
    std::fill(out, out + count, source.OuterColor());
    return;
  }
  const TColor32* line = source.ScanLine(Clamp(static_cast<int>(std::floor(y)), area.Top, area.Bottom - 1));
  for (int i = 0; i < count; ++i) {
    const auto x = static_cast<float>(x0 + i * dx); // the precision of GetSample
    out[i] = x >= area.Left && x < area.Right
                 ? line[Clamp(static_cast<int>(std::floor(x)), area.Left, area.Right - 1)]
                 : source.OuterColor();
  }
}

namespace {

// Position p (pixel centres at i + 0.5) to its two neighbours within lo..hi and the weight of the second.
inline void LinearTaps(double p, int lo, int hi, int& a, int& b, uint32_t& w) {
  const double u = p - 0.5;
  const double f = std::floor(u);
  w = static_cast<uint32_t>(std::lround((u - f) * 256.0));
  const int i = static_cast<int>(f);
  a = Clamp(i, lo, hi);
  b = Clamp(i + 1, lo, hi);
}

// (w * B + (256 - w) * A + 128) shr 8 on all four channels, w in 0..256.
inline TColor32 Mix(TColor32 a, TColor32 b, uint32_t w) {
  const uint32_t iw = 256 - w;
  const uint32_t rb = (w * (b & 0x00FF00FFu) + iw * (a & 0x00FF00FFu) + 0x00800080u) >> 8 & 0x00FF00FFu;
  const uint32_t ag = (w * (b >> 8 & 0x00FF00FFu) + iw * (a >> 8 & 0x00FF00FFu) + 0x00800080u) & 0xFF00FF00u;
  return rb | ag;
}

// Mix of two rows with one weight.
void MixRows(const TColor32* a, const TColor32* b, uint32_t w, TColor32* out, int count) {
  if (w == 0) {
    std::copy(a, a + count, out);
    return;
  }
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i wb = _mm_set1_epi16(static_cast<short>(w));
  const __m128i wa = _mm_set1_epi16(static_cast<short>(256 - w));
  const __m128i round = _mm_set1_epi16(128);
  for (; i + 4 <= count; i += 4) {
    const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i lo =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(pb, zero), wb),
                                                   _mm_mullo_epi16(_mm_unpacklo_epi8(pa, zero), wa)),
                                     round),
                       8);
    const __m128i hi =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(pb, zero), wb),
                                                   _mm_mullo_epi16(_mm_unpackhi_epi8(pa, zero), wa)),
                                     round),
                       8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < count; ++i) out[i] = Mix(a[i], b[i], w);
}

} // namespace

TColor32 TLinearResampler::GetSample(const TBitmap32& source, const TRect& area, float x, float y) const {
  if (area.IsEmpty() || Outside(area, x, y)) return source.OuterColor();
  int x0, x1, y0, y1;
  uint32_t wx, wy;
  LinearTaps(x, area.Left, area.Right - 1, x0, x1, wx);
  LinearTaps(y, area.Top, area.Bottom - 1, y0, y1, wy);
  const TColor32* r0 = source.ScanLine(y0);
  const TColor32* r1 = source.ScanLine(y1);
  return Mix(Mix(r0[x0], r1[x0], wy), Mix(r0[x1], r1[x1], wy), wx);
}

void TLinearResampler::SampleRow(const TBitmap32& source, const TRect& area, double x0, double dx, float y,
                                 int count, TColor32* out) const {
  if (area.IsEmpty() || !(y >= static_cast<float>(area.Top) && y < static_cast<float>(area.Bottom))) {
    std::fill(out, out + count, source.OuterColor());
    return;
  }
  if (FColumns.size() != static_cast<std::size_t>(count) || FColumnsX0 != x0 || FColumnsDx != dx ||
      !(FColumnsArea == area)) {
    FColumns.resize(static_cast<std::size_t>(count));
    FWeights.resize(static_cast<std::size_t>(count) * 4);
    FAllInside = true;
    FMinX = area.Right;
    FMaxX = area.Left - 1;
    for (int i = 0; i < count; ++i) {
      const auto x = static_cast<float>(x0 + i * dx); // the precision of GetSample
      TColumn& c = FColumns[static_cast<std::size_t>(i)];
      if (x >= area.Left && x < area.Right) {
        LinearTaps(x, area.Left, area.Right - 1, c.X0, c.X1, c.W);
        FMinX = std::min(FMinX, c.X0);
        FMaxX = std::max(FMaxX, c.X1);
      } else {
        c = TColumn{-1, -1, 0};
        FAllInside = false;
      }
      std::fill_n(FWeights.begin() + 4 * i, 4, static_cast<uint16_t>(c.W));
    }
    FColumnsX0 = x0;
    FColumnsDx = dx;
    FColumnsArea = area;
  }
  if (FMaxX < FMinX) {
    std::fill(out, out + count, source.OuterColor());
    return;
  }
  // Rows first (one weight for the whole span, four pixels at a time), then the columns.
  int y0, y1;
  uint32_t wy;
  LinearTaps(y, area.Top, area.Bottom - 1, y0, y1, wy);
  FRow.resize(static_cast<std::size_t>(FMaxX - FMinX + 1));
  MixRows(source.ScanLine(y0) + FMinX, source.ScanLine(y1) + FMinX, wy, FRow.data(), FMaxX - FMinX + 1);
  const TColor32* v = FRow.data();
  int i = 0;
#if defined(__SSE2__)
  // Two output pixels per half register, each with its own weight; the sums stay below 2^16.
  if (FAllInside) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(256);
    const __m128i round = _mm_set1_epi16(128);
    auto mix2 = [&](__m128i a, __m128i b, const uint16_t* weights) {
      const __m128i wb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights));
      const __m128i wa = _mm_sub_epi16(full, wb);
      return _mm_srli_epi16(
          _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(b, wb), _mm_mullo_epi16(a, wa)), round), 8);
    };
    for (; i + 4 <= count; i += 4) {
      const TColumn* c = &FColumns[static_cast<std::size_t>(i)];
      const __m128i a =
          _mm_set_epi32(static_cast<int>(v[c[3].X0 - FMinX]), static_cast<int>(v[c[2].X0 - FMinX]),
                        static_cast<int>(v[c[1].X0 - FMinX]), static_cast<int>(v[c[0].X0 - FMinX]));
      const __m128i b =
          _mm_set_epi32(static_cast<int>(v[c[3].X1 - FMinX]), static_cast<int>(v[c[2].X1 - FMinX]),
                        static_cast<int>(v[c[1].X1 - FMinX]), static_cast<int>(v[c[0].X1 - FMinX]));
      const uint16_t* weights = FWeights.data() + 4 * static_cast<std::size_t>(i);
      const __m128i lo = mix2(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), weights);
      const __m128i hi = mix2(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), weights + 8);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
  }
#endif
  for (; i < count; ++i) {
    const TColumn& c = FColumns[static_cast<std::size_t>(i)];
    out[i] = c.X0 < 0 ? source.OuterColor() : Mix(v[c.X0 - FMinX], v[c.X1 - FMinX], c.W);
  }
}

double TLanczosKernel::Filter(double x) const {
  x = std::fabs(x);
  if (x < 1e-9) return 1.0;
  if (x >= FRadius) return 0.0;
  const double px = std::numbers::pi * x;
  return FRadius * std::sin(px) * std::sin(px / FRadius) / (px * px);
}

TKernelResampler::TKernelResampler(std::unique_ptr<TCustomKernel> kernel) {
  SetKernel(std::move(kernel));
}

std::unique_ptr<TCustomResampler> TKernelResampler::Clone() const {
  return std::make_unique<TKernelResampler>(FKernel->Clone());
}

void TKernelResampler::SetKernel(std::unique_ptr<TCustomKernel> kernel) {
  FKernel = kernel ? std::move(kernel) : std::make_unique<TLanczosKernel>();
}

TColor32 TKernelResampler::GetSample(const TBitmap32& source, const TRect& area, float x, float y) const {
  if (area.IsEmpty() || Outside(area, x, y)) return source.OuterColor();
  const double u = x - 0.5, v = y - 0.5;
  const int radius = std::max(1, static_cast<int>(std::ceil(FKernel->Width())));
  const int cx = static_cast<int>(std::floor(u)), cy = static_cast<int>(std::floor(v));
  double wx[64], wy[64];
  const int n = std::min(2 * radius, 64);
  double sumX = 0, sumY = 0;
  for (int i = 0; i < n; ++i) {
    wx[i] = FKernel->Filter(u - (cx - radius + 1 + i));
    wy[i] = FKernel->Filter(v - (cy - radius + 1 + i));
    sumX += wx[i];
    sumY += wy[i];
  }
  if (sumX == 0) sumX = 1;
  if (sumY == 0) sumY = 1;
  double acc[4] = {0, 0, 0, 0};
  for (int j = 0; j < n; ++j) {
    const int py = Clamp(cy - radius + 1 + j, area.Top, area.Bottom - 1);
    const TColor32* line = source.ScanLine(py);
    double rowAcc[4] = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i) {
      const TColor32 p = line[Clamp(cx - radius + 1 + i, area.Left, area.Right - 1)];
      for (int c = 0; c < 4; ++c) rowAcc[c] += wx[i] * static_cast<double>(p >> (8 * c) & 0xFF);
    }
    for (int c = 0; c < 4; ++c) acc[c] += wy[j] * rowAcc[c];
  }
  TColor32 result = 0;
  for (int c = 0; c < 4; ++c) {
    const long value = std::lround(acc[c] / (sumX * sumY));
    result |= static_cast<TColor32>(std::clamp(value, 0L, 255L)) << (8 * c);
  }
  return result;
}

} // namespace kv
