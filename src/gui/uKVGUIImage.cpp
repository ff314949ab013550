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
  GraphicEngine().DrawBitmap(GetScreenRect(), GetSourceRect(), ShownSurface());
}

void TKVGUIImage::RebuildStretchedCopy() {
  FStretchedCopy.SetSize(Width(), Height());
  FStretchedCopy.Clear(0);
  if (!Picture().Empty() && !FStretchedCopy.Empty())
    Picture().DrawStretched(FStretchedCopy, FStretchedCopy.BoundsRect());
  Invalidate();
}

} // namespace kv
