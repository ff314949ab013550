// The basic value types that pictures, controls and the package model share: the platform colour with its
// system-colour references, points and rectangles.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace kv {

// A platform colour: an RGB value $00BBGGRR, or 0xFF000000 | n for system colour n.
using TColor = int32_t;

// "No colour is set" in settings and skin data.
inline constexpr TColor clNone = 0x1FFFFFFF;
// System colour references used by the program's settings.
inline constexpr TColor clAppWorkSpace = static_cast<TColor>(0xFF00000C);
inline constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);

// Lists that own their items by pointer are equal when their items are, one by one.
template <class T>
bool EqualItems(const std::vector<std::unique_ptr<T>>& a, const std::vector<std::unique_ptr<T>>& b) {
  return std::ranges::equal(a, b, [](const auto& x, const auto& y) { return x && y ? *x == *y : x == y; });
}

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TPoint&) const = default;
};

// Integer rectangle, Right and Bottom exclusive.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

constexpr TRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// Intersection of two rectangles; empty (all zero) when they do not overlap.
constexpr TRect IntersectRect(const TRect& a, const TRect& b) {
  const TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
                a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
  return r.IsEmpty() ? TRect{} : r;
}

// The smallest rectangle holding both; an empty rectangle adds nothing.
constexpr TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
  if (b.IsEmpty()) return a;
  return TRect{a.Left < b.Left ? a.Left : b.Left, a.Top < b.Top ? a.Top : b.Top,
               a.Right > b.Right ? a.Right : b.Right, a.Bottom > b.Bottom ? a.Bottom : b.Bottom};
}

constexpr TRect OffsetRect(const TRect& r, int32_t dx, int32_t dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

// Whether inner lies wholly within outer; an empty inner lies within anything.
constexpr bool ContainsRect(const TRect& outer, const TRect& inner) {
  return inner.IsEmpty() || (inner.Left >= outer.Left && inner.Top >= outer.Top &&
                             inner.Right <= outer.Right && inner.Bottom <= outer.Bottom);
}

constexpr bool PointInRect(const TPoint& p, const TRect& r) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

} // namespace kv
