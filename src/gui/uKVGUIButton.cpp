#include "gui/uKVGUIButton.h"

#include "gui/uKVGraphicEngine.h"

namespace kv {

TKVGUIButton::TKVGUIButton() = default;

const TKVClassInfo& TKVGUIButton::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIButton", &TKVGUIControl::StaticClassInfo(), {}, {}};
  return info;
}

void TKVGUIButton::InitControl() {
  TKVGUIControl::InitControl();
  SetSize(64, 28);
}

void TKVGUIButton::PaintContent() {
  TKVCustomGraphicEngine& engine = *Engine();
  const TRect r = GetScreenRect();
  if (SkinName == "@button")
    engine.DrawSkinFrame(r, SkinName, false);
  else
    engine.DrawSkinPart(r, SkinName, FHot ? 2 : 0);
  if (!Caption().empty()) {
    const int32_t x = r.Left + (r.Width() - engine.TextWidth(Caption())) / 2 + 1;
    engine.DrawText(x, r.Top + 7, 0, Caption());
  }
}

void TKVGUIButton::MouseEvent(const TPoint& point, int32_t kind, TShiftState shift, int32_t button) {
  if (kind == kvmkDown && OnClick) {
    // The handler may hide or free the button's window; the call runs on a copy.
    TKVGUINotifyEvent click = OnClick;
    click(this);
    return;
  }
  if (kind == kvmkLeave && Hovered()) MouseLeave();
  TKVGUIControl::MouseEvent(point, kind, shift, button);
}

void TKVGUIButton::MouseEnter() {
  TKVGUIControl::MouseEnter();
  FHot = true;
  Invalidate();
}

void TKVGUIButton::MouseLeave() {
  TKVGUIControl::MouseLeave();
  FHot = false;
  Invalidate();
}

} // namespace kv
