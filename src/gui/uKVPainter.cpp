#include "gui/uKVPainter.h"

#include "gui/uTextRender.h"

#include <algorithm>

namespace kv {

TKVPainter::TKVPainter(TBitmap32& target) : FTarget(&target), FClip(target.BoundsRect()) {}

TKVPainter::TKVPainter(TBitmap32& target, const TRect& clip)
    : FTarget(&target), FClip(IntersectRect(clip, target.BoundsRect())) {}

void TKVPainter::Draw(const TBitmap32& source, int x, int y) const {
  if (FClip.IsEmpty()) return;
  source.Draw(*FTarget, x, y, FClip);
}

void TKVPainter::DrawStretched(const TBitmap32& source, const TRect& dstRect, const TRect& srcRect) const {
  if (FClip.IsEmpty()) return;
  source.DrawStretched(*FTarget, dstRect, srcRect, FClip);
}

void TKVPainter::FillRect(const TRect& rect, TColor32 color) const {
  const TRect r = IntersectRect(rect, FClip);
  if (!r.IsEmpty()) FTarget->FillRect(r.Left, r.Top, r.Right, r.Bottom, color);
}

void TKVPainter::FillRectBlend(const TRect& rect, TColor32 color) const {
  const TRect r = IntersectRect(rect, FClip);
  if (!r.IsEmpty()) FTarget->FillRectBlend(r.Left, r.Top, r.Right, r.Bottom, color);
}

void TKVPainter::FrameRect(const TRect& rect, TColor32 color) const {
  if (rect.IsEmpty()) return;
  // The four sides as one-pixel rectangles; a side that coincides with another is simply drawn twice.
  FillRect(TRect{rect.Left, rect.Top, rect.Right, rect.Top + 1}, color);
  FillRect(TRect{rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, color);
  FillRect(TRect{rect.Left, rect.Top, rect.Left + 1, rect.Bottom}, color);
  FillRect(TRect{rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, color);
}

void TKVPainter::RenderText(int x, int y, const std::string& text, TColor32 color, const TFont32& font) const {
  if (text.empty() || FClip.IsEmpty()) return;
  auto& rasterizer = TFontRasterizer::Instance();
  const TTextExtent extent = rasterizer.Measure(font, text);
  // Glyphs may reach past their advances (italics, overhangs): a margin of a line height on every side.
  const int margin = std::max(extent.Height, 8);
  const TRect box{x - margin, y - margin, x + extent.Width + margin, y + extent.Height + margin};
  if (FClip.Left <= box.Left && FClip.Top <= box.Top && FClip.Right >= box.Right &&
      FClip.Bottom >= box.Bottom) {
    rasterizer.Draw(*FTarget, x, y, font, text, color);
    return;
  }
  const TRect area = IntersectRect(box, FClip);
  if (area.IsEmpty()) return;
  // The glyphs' coverage on a clear mask, then their colour on the clipped pixels alone.
  TBitmap32 mask(area.Width(), area.Height());
  rasterizer.Draw(mask, x - area.Left, y - area.Top, font, text, 0xFFFFFFFFu);
  for (int row = 0; row < area.Height(); ++row) {
    const TColor32* m = mask.ScanLine(row);
    TColor32* out = FTarget->ScanLine(area.Top + row) + area.Left;
    for (int col = 0; col < area.Width(); ++col)
      if (m[col] != 0) out[col] = color;
  }
  FTarget->Changed();
}

} // namespace kv
