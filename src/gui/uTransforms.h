// Affine transformations of a surface: a 3x3 matrix applied to the points of a source rectangle.
#pragma once

#include "gui/uBitmap32.h"

#include <array>

namespace kv {

struct TFloatRect {
  float Left = 0;
  float Top = 0;
  float Right = 0;
  float Bottom = 0;
  bool operator==(const TFloatRect&) const = default;
};

struct TFloatPoint {
  float X = 0;
  float Y = 0;
};

// Maps a point (x, y) to Matrix * (x, y, 1). Every operation is applied after those already present.
class TAffineTransformation {
public:
  TAffineTransformation() { Clear(); }

  // The identity.
  void Clear();
  // The rectangle of the source surface that is mapped; an empty rectangle stands for the whole source.
  void SetSourceRect(const TFloatRect& rect) { SrcRect = rect; }
  // Rotation by angle degrees about (cx, cy): (x, y) -> (x cos a + y sin a, -x sin a + y cos a), which is
  // counter-clockwise on screen for a positive angle.
  void Rotate(float cx, float cy, float angle);
  void Translate(float dx, float dy);
  void Scale(float sx, float sy);

  TFloatPoint Transform(TFloatPoint p) const;
  // Bounding box of the mapped source rectangle.
  TFloatRect GetTransformedBounds(const TFloatRect& srcRect) const;

  std::array<std::array<float, 3>, 3> Matrix{};
  TFloatRect SrcRect;

private:
  void Multiply(const std::array<std::array<float, 3>, 3>& op);
};

// Draws source through transformation onto dest: every destination pixel of the mapped bounding box samples
// the inverse-mapped position with source's Resampler (outside the source rectangle: source's OuterColor)
// and is combined by source's DrawMode, CombineMode and MasterAlpha. Raises
// EBitmapError("Source rectangle is invalid") when the source rectangle is not within source.
void Transform(TBitmap32& dest, const TBitmap32& source, const TAffineTransformation& transformation);

} // namespace kv
