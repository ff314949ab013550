#include "gui/uPolygon32.h"

#include "gui/uBlend.h"

#include <algorithm>
#include <cmath>

namespace kv {

TFixed Fixed(double value) {
  const double v = std::nearbyint(value * FixedOne);
  return static_cast<TFixed>(std::clamp(v, -2147483648.0, 2147483647.0));
}

void TBitmapPolygonFiller::FillLine(TColor32* dst, int x, int y, int count) const {
  if (Pattern == nullptr || Pattern->Empty() || count <= 0) return;
  const TBitmap32& p = *Pattern;
  const int pw = p.Width(), ph = p.Height();
  const TColor32* line = p.ScanLine(((y % ph) + ph) % ph);
  int px = ((x % pw) + pw) % pw;
  const TDrawMode drawMode = p.DrawMode();
  const TCombineMode mode = p.CombineMode();
  const auto m = static_cast<uint32_t>(p.MasterAlpha());
  for (int i = 0; i < count; ++i) {
    const TColor32 f = line[px];
    if (++px == pw) px = 0;
    if (drawMode != dmBlend) {
      dst[i] = f;
    } else if (m >= 255) {
      dst[i] = CombinePixel(f, dst[i], mode, 255);
    } else {
      // The pattern's own weighting: ((M + 1) * Fa) shr 8, no shortcut for 255.
      const uint32_t w = ((m + 1) * (f >> 24)) >> 8;
      dst[i] = mode == cmMerge ? MergePixel((f & 0x00FFFFFFu) | w << 24, dst[i]) : LerpReg(f, dst[i], w);
    }
  }
}

template <class Span> void TPolygon32::Scan(int width, int height, Span&& span) const {
  const std::size_t n = FPoints.size();
  if (n < 3 || width <= 0 || height <= 0) return;
  double minY = 1e300, maxY = -1e300;
  for (const TFixedPoint& p : FPoints) {
    minY = std::min(minY, static_cast<double>(p.Y));
    maxY = std::max(maxY, static_cast<double>(p.Y));
  }
  minY /= FixedOne;
  maxY /= FixedOne;
  const int y0 = std::max(0, static_cast<int>(std::floor(minY)));
  const int y1 = std::min(height, static_cast<int>(std::ceil(maxY)) + 1);
  std::vector<double> xs;
  for (int y = y0; y < y1; ++y) {
    const double yc = y + 0.5;
    xs.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const TFixedPoint& a = FPoints[i];
      const TFixedPoint& b = FPoints[(i + 1) % n];
      const double ay = a.Y / double(FixedOne), by = b.Y / double(FixedOne);
      // Half-open in y so that a vertex shared by two edges counts once.
      if ((ay <= yc && yc < by) || (by <= yc && yc < ay)) {
        const double ax = a.X / double(FixedOne), bx = b.X / double(FixedOne);
        xs.push_back(ax + (yc - ay) * (bx - ax) / (by - ay));
      }
    }
    std::sort(xs.begin(), xs.end());
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
      // Pixels whose centre x + 0.5 lies in [xa, xb).
      const double xa = std::ceil(xs[k] - 0.5), xb = std::ceil(xs[k + 1] - 0.5);
      const int x1 = static_cast<int>(std::clamp(xa, 0.0, static_cast<double>(width)));
      const int x2 = static_cast<int>(std::clamp(xb, 0.0, static_cast<double>(width)));
      if (x1 < x2) span(y, x1, x2);
    }
  }
}

void TPolygon32::DrawFill(TBitmap32& dest, TColor32 color) const {
  if (AlphaComponent(color) == 0) return;
  bool any = false;
  Scan(dest.Width(), dest.Height(), [&](int y, int x1, int x2) {
    CombineColorLine(color, dest.ScanLine(y) + x1, x2 - x1, dest.CombineMode());
    any = true;
  });
  if (any) dest.Changed();
}

void TPolygon32::DrawFill(TBitmap32& dest, const TBitmapPolygonFiller& filler) const {
  if (filler.Pattern == nullptr || filler.Pattern->Empty()) return;
  bool any = false;
  Scan(dest.Width(), dest.Height(), [&](int y, int x1, int x2) {
    filler.FillLine(dest.ScanLine(y) + x1, x1, y, x2 - x1);
    any = true;
  });
  if (any) dest.Changed();
}

} // namespace kv
