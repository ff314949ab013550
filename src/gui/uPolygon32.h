// Closed polygons in 16.16 fixed point, filled by scanlines with the even-odd rule (no anti-aliasing).
#pragma once

#include "gui/uBitmap32.h"

#include <cstdint>
#include <vector>

namespace kv {

using TFixed = int32_t;
inline constexpr TFixed FixedOne = 0x10000;

struct TFixedPoint {
  TFixed X = 0;
  TFixed Y = 0;
  bool operator==(const TFixedPoint&) const = default;
};

constexpr TFixed Fixed(int value) {
  return static_cast<TFixed>(static_cast<uint32_t>(value) << 16);
}
TFixed Fixed(double value);
inline TFixedPoint FixedPoint(double x, double y) {
  return TFixedPoint{Fixed(x), Fixed(y)};
}

// Tiles a pattern surface from the destination origin: destination pixel (x, y) takes pattern pixel
// (x mod pw, y mod ph), copied (dmOpaque) or combined by the pattern's CombineMode (dmBlend).
class TBitmapPolygonFiller {
public:
  explicit TBitmapPolygonFiller(const TBitmap32* pattern = nullptr) : Pattern(pattern) {}
  // Fills count pixels of row y starting at column x.
  void FillLine(TColor32* dst, int x, int y, int count) const;

  const TBitmap32* Pattern;
};

class TPolygon32 {
public:
  void Clear() { FPoints.clear(); }
  void Add(const TFixedPoint& point) { FPoints.push_back(point); }
  const std::vector<TFixedPoint>& Points() const { return FPoints; }

  // A pixel is covered when its centre lies inside the outline by the even-odd rule. The solid fill combines
  // color as HorzLineBlend does.
  void DrawFill(TBitmap32& dest, TColor32 color) const;
  void DrawFill(TBitmap32& dest, const TBitmapPolygonFiller& filler) const;

private:
  // Calls span(y, x1, x2) for every covered run x1..x2-1 of row y, clipped to width x height.
  template <class Span> void Scan(int width, int height, Span&& span) const;

  std::vector<TFixedPoint> FPoints;
};

} // namespace kv
