#include "gui/uKVGUIImage.h"

#include "gui/uKVGraphicEngine.h"

namespace kv {

TKVGUIImage::TKVGUIImage() {
  // The copy holds the picture blended onto nothing: it is drawn blended too.
  FStretchedCopy.SetDrawMode(dmBlend);
}

const TKVClassInfo& TKVGUIImage::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIImage", &TKVGUIGraphicControl::StaticClassInfo(), {}, {}};
  return info;
}

void TKVGUIImage::InitControl() {
  TKVGUIGraphicControl::InitControl();
  Options = 0;
}

void TKVGUIImage::SetUseStretchedCopy(bool value) {
  if (value == FUseStretchedCopy) return;
  FUseStretchedCopy = value;
  if (value) RebuildStretchedCopy();
  Invalidate();
}

void TKVGUIImage::SetStretch(bool value) {
  FStretch = value;
  Invalidate();
}

void TKVGUIImage::SetPictureAlpha(int32_t alpha) {
  Picture().SetMasterAlpha(alpha);
  Invalidate();
}

void TKVGUIImage::DoResize() {
  TKVGUIGraphicControl::DoResize();
  if (FUseStretchedCopy) RebuildStretchedCopy();
}

TRect TKVGUIImage::GetSourceRect() const {
  if (!FStretch) return TRect{0, 0, Width(), Height()};
  return ShownSurface().BoundsRect();
}

void TKVGUIImage::PaintContent() {
  Engine()->DrawBitmap(GetScreenRect(), GetSourceRect(), ShownSurface());
}

bool TKVGUIImage::PaintsOpaquely(const TRect& area) const {
  const TBitmap32& shown = ShownSurface();
  if (shown.Empty() || shown.DrawMode() == dmBlend) return false;
  // Where PaintContent draws, as the engine's DrawBitmap places it.
  const TRect dst = GetScreenRect(), src = GetSourceRect();
  if (dst.IsEmpty() || src.IsEmpty()) return false;
  const TRect inside = IntersectRect(src, shown.BoundsRect());
  if (inside == src) return ContainsRect(dst, area);
  if (src.Width() != dst.Width() || src.Height() != dst.Height() || inside.IsEmpty()) return false;
  return ContainsRect(OffsetRect(inside, dst.Left - src.Left, dst.Top - src.Top), area);
}

void TKVGUIImage::RebuildStretchedCopy() {
  FStretchedCopy.SetSize(Width(), Height());
  FStretchedCopy.Clear(0);
  if (!Picture().Empty() && !FStretchedCopy.Empty())
    Picture().DrawStretched(FStretchedCopy, FStretchedCopy.BoundsRect());
  Invalidate();
}

} // namespace kv
