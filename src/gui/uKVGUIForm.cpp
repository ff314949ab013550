#include "gui/uKVGUIForm.h"

#include "gui/uKVGUIButton.h"
#include "gui/uKVGameEvents.h"
#include "gui/uKVGraphicEngine.h"

namespace kv {

TKVGUIForm::TKVGUIForm() = default;

const TKVClassInfo& TKVGUIForm::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIForm", &TKVGUIControl::StaticClassInfo(), {}, {}};
  return info;
}

void TKVGUIForm::InitControl() {
  TKVGUIControl::InitControl();
  FCloseButton = &NewChild<TKVGUIButton>(*this);
  FCloseButton->SkinName = "window_buttons";
  FCloseButton->SetSize(19, 19);
  FCloseButton->SetPosition(173, 4);
  FCloseButton->SetCaption("");
  FCloseButton->OnClick = [this](TKVGUIControl*) { SetVisible(false); };
  SetSize(300, 210);
  SetPosition(0, 0);
}

void TKVGUIForm::DoResize() {
  TKVGUIControl::DoResize();
  if (FCloseButton) FCloseButton->SetPosition(Width() - 27, 4);
}

void TKVGUIForm::ShowAndFocus() {
  SetVisible(true);
  if (TKVGUIControl* parent = ParentControl()) parent->SetFocusIndex(parent->IndexOfChild(this));
}

TRect TKVGUIForm::GetPaintRect() const {
  TRect r = GetScreenRect();
  if (FDragging && !r.IsEmpty()) {
    r.Right += kvFormShadowOffset;
    r.Bottom += kvFormShadowOffset;
  }
  return r;
}

void TKVGUIForm::SetDragging(bool value) {
  if (value == FDragging) return;
  // The shadow comes and goes with the drag.
  Invalidate();
  FDragging = value;
  Invalidate();
}

void TKVGUIForm::PaintContent() {
  TKVCustomGraphicEngine& engine = *Engine();
  const TRect r = GetScreenRect();
  engine.DrawSkinFrame(r, "window", FDragging);
  engine.DrawText(r.Left + 15, r.Top + 8, 0x000000, Caption());
  engine.DrawText(r.Left + 14, r.Top + 7, 0xFFFFFF, Caption());
}

void TKVGUIForm::MouseEvent(const TPoint& point, int32_t kind, TShiftState shift, int32_t button) {
  const TPoint p{point.X + Left(), point.Y + Top()};
  switch (kind) {
  case kvmkDown:
    FDragPoint = p;
    SetDragging(true);
    break;
  case kvmkUp:
    SetDragging(false);
    Invalidate();
    break;
  case kvmkMove:
    // The button went up where the window could not see it (over another control): the drag is over.
    if (FDragging && button != kvmbLeft) SetDragging(false);
    if (FDragging && !(p == FDragPoint)) {
      SetPosition(Left() + p.X - FDragPoint.X, Top() + p.Y - FDragPoint.Y);
      FDragPoint = p;
      Invalidate();
    }
    break;
  default:
    break;
  }
  TKVGUIControl::MouseEvent(point, kind, shift, button);
}

void TKVGUIForm::KeyEvent(int32_t key, int32_t kind, TShiftState shift) {
  if (key == 27 && kind == kvkkKeyDown) NotifyApplication(kvmsgApplication, ToUnderlying(TAppCode::Close), 0);
  TKVGUIControl::KeyEvent(key, kind, shift);
}

void TKVGUIForm::MouseEnter() {
  TKVGUIControl::MouseEnter();
  SetDragging(false);
}

void TKVGUIForm::MouseLeave() {
  TKVGUIControl::MouseLeave();
  SetDragging(false);
}

} // namespace kv
