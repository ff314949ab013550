#include "gui/uTransforms.h"

#include "gui/uBlend.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace kv {

using TMatrix = std::array<std::array<float, 3>, 3>;

void TAffineTransformation::Clear() {
  Matrix = TMatrix{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}

void TAffineTransformation::Multiply(const TMatrix& op) {
  TMatrix r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[i][j] += op[i][k] * Matrix[k][j];
  Matrix = r;
}

void TAffineTransformation::Translate(float dx, float dy) {
  Multiply(TMatrix{{{1, 0, dx}, {0, 1, dy}, {0, 0, 1}}});
}

void TAffineTransformation::Scale(float sx, float sy) {
  Multiply(TMatrix{{{sx, 0, 0}, {0, sy, 0}, {0, 0, 1}}});
}

void TAffineTransformation::Rotate(float cx, float cy, float angle) {
  const bool centred = cx != 0 || cy != 0;
  if (centred) Translate(-cx, -cy);
  const double a = static_cast<double>(angle) * std::numbers::pi / 180.0;
  const auto c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  Multiply(TMatrix{{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}});
  if (centred) Translate(cx, cy);
}

TFloatPoint TAffineTransformation::Transform(TFloatPoint p) const {
  return TFloatPoint{Matrix[0][0] * p.X + Matrix[0][1] * p.Y + Matrix[0][2],
                     Matrix[1][0] * p.X + Matrix[1][1] * p.Y + Matrix[1][2]};
}

TFloatRect TAffineTransformation::GetTransformedBounds(const TFloatRect& r) const {
  const TFloatPoint corners[4] = {Transform({r.Left, r.Top}), Transform({r.Right, r.Top}),
                                  Transform({r.Left, r.Bottom}), Transform({r.Right, r.Bottom})};
  TFloatRect b{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
  for (const TFloatPoint& p : corners) {
    b.Left = std::min(b.Left, p.X);
    b.Top = std::min(b.Top, p.Y);
    b.Right = std::max(b.Right, p.X);
    b.Bottom = std::max(b.Bottom, p.Y);
  }
  return b;
}

void Transform(TBitmap32& dest, const TBitmap32& source, const TAffineTransformation& transformation) {
  TFloatRect src = transformation.SrcRect;
  if (!(src.Right > src.Left && src.Bottom > src.Top))
    src = TFloatRect{0, 0, static_cast<float>(source.Width()), static_cast<float>(source.Height())};
  else if (!(src.Left >= 0 && src.Top >= 0 && src.Right <= static_cast<float>(source.Width()) &&
             src.Bottom <= static_cast<float>(source.Height())))
    throw EBitmapError("Source rectangle is invalid");
  if (source.Empty() || dest.Empty()) return;
  if (source.DrawMode() == dmBlend && source.MasterAlpha() == 0) return;

  // The inverse of the affine part maps destination pixel centres back into the source.
  const auto& m = transformation.Matrix;
  const double a = m[0][0], b = m[0][1], c = m[0][2], d = m[1][0], e = m[1][1], f = m[1][2];
  const double det = a * e - b * d;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return;
  const double ia = e / det, ib = -b / det, id = -d / det, ie = a / det;
  const double ic = -(ia * c + ib * f), ig = -(id * c + ie * f);

  const TFloatRect bounds = transformation.GetTransformedBounds(src);
  if (!std::isfinite(bounds.Left) || !std::isfinite(bounds.Top) || !std::isfinite(bounds.Right) ||
      !std::isfinite(bounds.Bottom))
    return;
  auto toInt = [](double v) { return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9)); };
  const TRect area = IntersectRect(TRect{toInt(std::floor(bounds.Left)), toInt(std::floor(bounds.Top)),
                                         toInt(std::ceil(bounds.Right)), toInt(std::ceil(bounds.Bottom))},
                                   dest.BoundsRect());
  if (area.IsEmpty()) return;
  const TRect sampleArea =
      IntersectRect(TRect{static_cast<int>(std::floor(src.Left)), static_cast<int>(std::floor(src.Top)),
                          static_cast<int>(std::ceil(src.Right)), static_cast<int>(std::ceil(src.Bottom))},
                    source.BoundsRect());

  const TCustomResampler& resampler = source.Resampler();
  std::vector<TColor32> row(static_cast<std::size_t>(area.Width()));
  for (int y = area.Top; y < area.Bottom; ++y) {
    const double py = y + 0.5;
    for (int x = area.Left; x < area.Right; ++x) {
      const double px = x + 0.5;
      const auto u = static_cast<float>(ia * px + ib * py + ic);
      const auto v = static_cast<float>(id * px + ie * py + ig);
      row[static_cast<std::size_t>(x - area.Left)] = resampler.GetSample(source, sampleArea, u, v);
    }
    DrawLine(row.data(), dest.ScanLine(y) + area.Left, area.Width(), source.DrawMode(), source.CombineMode(),
             source.MasterAlpha());
  }
  dest.Changed();
}

} // namespace kv
