#include "gui/uResamplers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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
    const double x = x0 + i * dx;
    out[i] = x >= area.Left && x < area.Right
                 ? line[Clamp(static_cast<int>(std::floor(x)), area.Left, area.Right - 1)]
                 : source.OuterColor();
  }
}

TColor32 TLinearResampler::GetSample(const TBitmap32& source, const TRect& area, float x, float y) const {
  if (area.IsEmpty() || Outside(area, x, y)) return source.OuterColor();
  // Pixel centres lie at i + 0.5.
  const float u = x - 0.5f, v = y - 0.5f;
  const float fu = std::floor(u), fv = std::floor(v);
  const auto wx = static_cast<uint32_t>(std::lround((u - fu) * 256.0f));
  const auto wy = static_cast<uint32_t>(std::lround((v - fv) * 256.0f));
  const int x0 = Clamp(static_cast<int>(fu), area.Left, area.Right - 1);
  const int x1 = Clamp(static_cast<int>(fu) + 1, area.Left, area.Right - 1);
  const int y0 = Clamp(static_cast<int>(fv), area.Top, area.Bottom - 1);
  const int y1 = Clamp(static_cast<int>(fv) + 1, area.Top, area.Bottom - 1);
  const TColor32 c00 = source.PixelAt(x0, y0), c10 = source.PixelAt(x1, y0);
  const TColor32 c01 = source.PixelAt(x0, y1), c11 = source.PixelAt(x1, y1);
  const uint32_t w00 = (256 - wx) * (256 - wy), w10 = wx * (256 - wy), w01 = (256 - wx) * wy, w11 = wx * wy;
  TColor32 result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t c = ((c00 >> shift & 0xFF) * w00 + (c10 >> shift & 0xFF) * w10 +
                        (c01 >> shift & 0xFF) * w01 + (c11 >> shift & 0xFF) * w11 + 32768) >>
                       16;
    result |= c << shift;
  }
  return result;
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
