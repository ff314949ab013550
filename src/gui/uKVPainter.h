// Where and within what a picture is drawn: a target surface and a clip rectangle. Surfaces stay plain pixels
// with their draw properties; the painter says which part of the target a paint may change, so that the
// control tree can repaint a changed area alone and leave every other pixel as it was.
#pragma once

#include "core/uKVTypes.h"
#include "gui/uBitmap32.h"

#include <string>

namespace kv {

class TKVPainter {
public:
  // Clip: the whole target.
  explicit TKVPainter(TBitmap32& target);
  // Clip: the part of clip inside the target.
  TKVPainter(TBitmap32& target, const TRect& clip);

  TBitmap32& Target() const { return *FTarget; }
  const TRect& Clip() const { return FClip; }
  // A painter for the part of this one's clip inside rect.
  TKVPainter Clipped(const TRect& rect) const { return TKVPainter(*FTarget, IntersectRect(FClip, rect)); }
  // Whether a paint inside rect could change any pixel.
  bool Touches(const TRect& rect) const { return !IntersectRect(FClip, rect).IsEmpty(); }

  // Every operation writes exactly the pixels the same operation on the whole target writes, inside the clip,
  // and nothing outside it.
  // The source by its own DrawMode, CombineMode and MasterAlpha, top-left at (x, y).
  void Draw(const TBitmap32& source, int x, int y) const;
  // srcRect of source resampled onto dstRect with the source's resampler.
  void DrawStretched(const TBitmap32& source, const TRect& dstRect, const TRect& srcRect) const;
  void DrawStretched(const TBitmap32& source, const TRect& dstRect) const {
    DrawStretched(source, dstRect, source.BoundsRect());
  }
  // Opaque fill of the rectangle.
  void FillRect(const TRect& rect, TColor32 color) const;
  // Fill weighted by the colour's alpha with the target's CombineMode.
  void FillRectBlend(const TRect& rect, TColor32 color) const;
  // One-pixel opaque outline on the inside edge of the rectangle.
  void FrameRect(const TRect& rect, TColor32 color) const;
  // Text in font with the top of its line at (x, y); glyph pixels take the colour.
  void RenderText(int x, int y, const std::string& text, TColor32 color, const TFont32& font) const;

private:
  TBitmap32* FTarget;
  TRect FClip;
};

} // namespace kv
