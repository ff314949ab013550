#include "gui/uKVGUIControl.h"

#include "gui/uKVGraphicEngine.h"

namespace kv {

TKVGUIControl::TKVGUIControl() = default;

TKVGUIControl::~TKVGUIControl() {
  // Only a root is ever registered, and with the engine it holds.
  if (TKVCustomGraphicEngine* engine = HeldEngine()) engine->ForgetRoot(*this);
}

const TKVClassInfo& TKVGUIControl::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIControl",
                                 &TKVGUIObject::StaticClassInfo(),
                                 {},
                                 {StringProperty<TKVGUIControl>(
                                      "Name", [](const TKVGUIControl& c) { return c.Name; },
                                      [](TKVGUIControl& c, const std::string& v) { c.Name = v; }),
                                  StringProperty<TKVGUIControl>(
                                      "Caption", [](const TKVGUIControl& c) { return c.Caption(); },
                                      [](TKVGUIControl& c, const std::string& v) { c.SetCaption(v); }),
                                  IntegerProperty<TKVGUIControl>(
                                      "Width", [](const TKVGUIControl& c) { return c.Width(); },
                                      [](TKVGUIControl& c, int32_t v) { c.SetWidth(v); }),
                                  IntegerProperty<TKVGUIControl>(
                                      "Height", [](const TKVGUIControl& c) { return c.Height(); },
                                      [](TKVGUIControl& c, int32_t v) { c.SetHeight(v); })}};
  return info;
}

TKVGUIControl* TKVGUIControl::ParentControl() const {
  return dynamic_cast<TKVGUIControl*>(Parent());
}

TKVGUIControl* TKVGUIControl::ChildControl(int32_t index) const {
  return dynamic_cast<TKVGUIControl*>(Children(index));
}

// ---- visibility and enabling

void TKVGUIControl::SetVisible(bool value) {
  if (value == FVisible) return;
  // What disappears is repainted from what lies below.
  if (!value) Invalidate();
  FVisible = value;
  if (value) {
    DoShow();
    if (OnShow) OnShow(this);
  } else {
    if (OnHide) OnHide(this);
    DoHide();
  }
}

void TKVGUIControl::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  // The state selects the look.
  Invalidate();
  if (value)
    DoEnable();
  else
    DoDisable();
}

bool TKVGUIControl::IsShowing() const {
  for (const TKVGUIControl* c = this; c; c = c->ParentControl())
    if (!c->FVisible) return false;
  return true;
}

// ---- geometry

void TKVGUIControl::SetPosition(int32_t left, int32_t top) {
  if (left == FLeft && top == FTop) return;
  SetPosition(TPoint{left, top});
}

void TKVGUIControl::SetPosition(const TPoint& position) {
  Invalidate();
  FLeft = position.X;
  FTop = position.Y;
  DoMove();
  if (OnMove) OnMove(this);
  Invalidate();
}

void TKVGUIControl::SetSize(int32_t width, int32_t height) {
  if (width == FWidth && height == FHeight) return;
  Invalidate();
  FWidth = width;
  FHeight = height;
  if (!FSurface.Empty()) FSurface.SetSize(width, height);
  DoResize();
  Invalidate();
}

TBitmap32& TKVGUIControl::Surface() {
  if (FSurface.Width() != FWidth || FSurface.Height() != FHeight) FSurface.SetSize(FWidth, FHeight);
  return FSurface;
}

void TKVGUIControl::SetCaption(const std::string& value) {
  // A caption may reach past the control: the old text's place and the new one's.
  Invalidate();
  FCaption = value;
  Invalidate();
}

// ---- focus

void TKVGUIControl::SetFocusIndex(int32_t index) {
  FFocusIndex = index;
  if (index == -1) {
    FocusReceived();
  } else if (TKVGUIControl* child = ChildControl(index)) {
    child->FocusReceived();
  }
}

int32_t TKVGUIControl::FirstFocusable() const {
  for (int32_t i = 0; i < ChildCount(); ++i) {
    const TKVGUIControl* c = ChildControl(i);
    if (c && c->FVisible && c->FEnabled) return i;
  }
  return -1;
}

void TKVGUIControl::UpdateFocus() {
  FFocusIndex = FirstFocusable();
}

// ---- children

void TKVGUIControl::ChildAdded(int32_t index, TKVGUIObject* child) {
  if (FFocusIndex == -1) FFocusIndex = index;
  if (auto* c = dynamic_cast<TKVGUIControl*>(child)) {
    // It is painted as part of this tree from now on.
    if (TKVCustomGraphicEngine* engine = c->HeldEngine()) engine->ForgetRoot(*c);
    c->SetHeldEngine(nullptr);
    c->Invalidate();
  }
}

void TKVGUIControl::ChildRemoved(int32_t index, TKVGUIObject*) {
  if (index == FFocusIndex)
    UpdateFocus();
  else if (index < FFocusIndex)
    --FFocusIndex; // the focused child keeps the focus at its new place
}

void TKVGUIControl::MoveChildToTop(int32_t index) {
  if (index < 0 || index >= ChildCount()) return;
  TKVGUIObject::MoveChildToTop(index);
  if (index == FFocusIndex)
    FFocusIndex = 0;
  else if (FFocusIndex >= 0 && FFocusIndex < index)
    ++FFocusIndex;
  if (TKVGUIControl* c = ChildControl(0)) c->Invalidate();
}

void TKVGUIControl::MoveChildToBottom(int32_t index) {
  if (index < 0 || index >= ChildCount()) return;
  TKVGUIObject::MoveChildToBottom(index);
  const int32_t last = ChildCount() - 1;
  if (index == FFocusIndex)
    FFocusIndex = last;
  else if (FFocusIndex > index)
    --FFocusIndex;
  if (TKVGUIControl* c = ChildControl(last)) c->Invalidate();
}

void TKVGUIControl::BeforeDetach() {
  Invalidate();
}

void TKVGUIControl::ClearChildren() {
  DestroyChildren();
  Invalidate();
}

void TKVGUIControl::InitControl() {
  FVisible = true;
  FEnabled = true;
  Name = ClassName();
  FCaption = ClassName();
  Options = kvcoAll;
  Invalidate();
}

void TKVGUIControl::DoneControl() {}

void TKVGUIControl::DoHide() {
  if (TKVGUIControl* parent = ParentControl())
    if (parent->ChildControl(parent->FFocusIndex) == this) parent->UpdateFocus();
  Invalidate();
}

void TKVGUIControl::DoShow() {
  if (TKVGUIControl* parent = ParentControl())
    if (!parent->ChildControl(parent->FFocusIndex)) parent->UpdateFocus();
  Invalidate();
}

void TKVGUIControl::DoResize() {
  for (int32_t i = 0; i < ChildCount(); ++i)
    if (TKVGUIControl* c = ChildControl(i)) c->ParentResized();
}

// ---- repaint

void TKVGUIControl::InvalidateRect(const TRect& rect) {
  if (rect.IsEmpty() || !IsShowing()) return;
  if (TKVGUIControl* parent = ParentControl())
    parent->InvalidateRect(rect);
  else if (TKVCustomGraphicEngine* engine = HeldEngine())
    engine->InvalidateRect(*this, rect);
}

TRect TKVGUIControl::GetPaintRect() const {
  return GetScreenRect();
}

void TKVGUIControl::Invalidate() {
  if (IsShowing()) InvalidateTree();
}

void TKVGUIControl::InvalidateTree() {
  InvalidateRect(GetPaintRect());
  for (int32_t i = 0; i < ChildCount(); ++i)
    if (TKVGUIControl* c = ChildControl(i); c && c->FVisible) c->InvalidateTree();
}

void TKVGUIControl::PaintBackground() {
  if (Engine()->CanPaint(GetState())) PaintContent();
}

bool TKVGUIControl::CanPaint() const {
  TKVCustomGraphicEngine* engine = Engine();
  return !engine || engine->CanPaint(GetState());
}

bool TKVGUIControl::PaintsOpaquely(const TRect&) const {
  return false;
}

bool TKVGUIControl::HidesArea(const TRect& area) const {
  if (!FVisible) return false;
  // The control's own paint is clipped to its paint rectangle; its children paint on past it.
  if (ContainsRect(GetPaintRect(), area) && CanPaint() && PaintsOpaquely(area)) return true;
  for (int32_t i = 0; i < ChildCount(); ++i)
    if (const TKVGUIControl* c = ChildControl(i); c && c->HidesArea(area)) return true;
  return false;
}

void TKVGUIControl::Paint(const TPoint& origin) {
  FPaintOrigin = origin;
  const TPoint absolute{origin.X + FLeft, origin.Y + FTop};
  // Painted by an engine only, through the tree it is in.
  TKVCustomGraphicEngine& engine = *Engine();
  const auto update = UpdateScope(engine);
  const TRect area = GetPaintRect();
  if (!IntersectRect(area, engine.ClipRect()).IsEmpty()) {
    TKVCustomGraphicEngine::TClipScope clip(engine, area);
    PaintBackground();
    PaintForeground();
  }
  for (int32_t i = ChildCount() - 1; i >= 0; --i)
    if (TKVGUIControl* c = ChildControl(i); c && c->FVisible) c->Paint(absolute);
}

// ---- rectangles and hit testing

int32_t TKVGUIControl::GetState() const {
  if (!FEnabled) return 4;
  return FHovered ? 1 : 0;
}

TRect TKVGUIControl::GetSourceRect() const {
  const TRect bounds = GetBoundsRect();
  const TKVGUIControl* parent = ParentControl();
  if (!parent) return bounds;
  const TRect p = parent->GetSourceRect();
  TRect result = bounds;
  if (bounds.Left < p.Left) result.Left = p.Left - bounds.Left;
  if (bounds.Right > p.Right) result.Right = bounds.Right - p.Right;
  return result;
}

TRect TKVGUIControl::GetScreenRect() const {
  const TRect bounds = GetBoundsRect();
  const TKVGUIControl* parent = ParentControl();
  if (!parent) return bounds;
  const TRect p = parent->GetScreenRect();
  return OffsetRect(bounds, p.Left, p.Top);
}

bool TKVGUIControl::HitTest(const TPoint& p) const {
  return FLeft <= p.X && p.X <= FLeft + FWidth && FTop <= p.Y && p.Y <= FTop + FHeight;
}

// ---- input

void TKVGUIControl::MouseEnter() {
  FHovered = true;
  if (OnMouseEnter) OnMouseEnter(this);
}

void TKVGUIControl::MouseLeave() {
  FHovered = false;
  if (OnMouseLeave) OnMouseLeave(this);
}

void TKVGUIControl::MouseEvent(const TPoint&, int32_t, int32_t, int32_t) {}

void TKVGUIControl::KeyEvent(int32_t, int32_t, int32_t) {}

void TKVGUIControl::NotifyApplication(int32_t message, int32_t p1, int32_t p2) {
  if (Application) Application->PostEvent(message, p1, p2);
}

namespace {

// The child handles the event with the point in its own coordinates.
void Deliver(TKVGUIControl& child, const TPoint& point, int32_t kind, TShiftState shift, int32_t button) {
  const TPoint local{point.X - child.Left(), point.Y - child.Top()};
  if (child.ChildCount() > 0)
    child.DispatchMouse(local, kind, shift, button);
  else
    child.MouseEvent(local, kind, shift, button);
}

bool Routable(const TKVGUIControl* c) {
  return c && c->Visible() && c->Enabled();
}

} // namespace

void TKVGUIControl::DispatchMouse(const TPoint& point, int32_t kind, TShiftState shift, int32_t button) {
  if (!FEnabled || ChildCount() == 0) return;
  const bool root = ParentControl() == nullptr;

  TKVGUIControl* focused = ChildControl(FFocusIndex);
  if (focused && !focused->Visible()) {
    const int32_t first = FirstFocusable();
    SetFocusIndex(first);
    // Hidden controls receive no input: without another focusable child nothing captures.
    focused = ChildControl(first);
  }
  if (Routable(focused) && kind == kvmkMove) {
    Deliver(*focused, point, kind, shift, button);
    if (root) UpdateHover(point);
    return;
  }

  bool taken = false;
  for (int32_t i = 0; i < ChildCount() && !taken; ++i) {
    TKVGUIControl* c = ChildControl(i);
    if (!Routable(c) || !(c->Options & kvcoHitTest)) continue;
    switch (kind) {
    case kvmkEnter:
      if (!c->Hovered()) {
        taken = true;
        c->MouseEvent(point, kind, shift, button);
      }
      break;
    case kvmkLeave:
      if (c->Hovered()) {
        taken = true;
        c->MouseEvent(point, kind, shift, button);
      }
      break;
    case kvmkDown:
    case kvmkUp:
    case kvmkMove:
      if (c->HitTest(point)) {
        taken = true;
        if (kind == kvmkDown) SetFocusIndex(i);
        Deliver(*c, point, kind, shift, button);
      }
      break;
    default:
      break;
    }
  }
  if (!taken) {
    if (kind == kvmkDown) SetFocusIndex(-1);
    MouseEvent(point, kind, shift, button);
  }
  if (root && kind == kvmkMove) UpdateHover(point);
  if (root && kind == kvmkLeave) LeaveHover();
}

void TKVGUIControl::UpdateHover(const TPoint& point) {
  TKVGUIControl* under = nullptr;
  for (int32_t i = 0; i < ChildCount(); ++i) {
    TKVGUIControl* c = ChildControl(i);
    if (Routable(c) && (c->Options & kvcoHitTest) && c->HitTest(point)) {
      under = c;
      break;
    }
  }
  for (int32_t i = 0; i < ChildCount(); ++i) {
    TKVGUIControl* c = ChildControl(i);
    if (!c || c == under) continue;
    c->LeaveHover();
    if (c->Hovered() && !c->IsDragging()) c->MouseLeave();
  }
  if (!under || IndexOfChild(under) < 0) return;
  if (!under->Hovered() && !under->IsDragging()) under->MouseEnter();
  if (IndexOfChild(under) >= 0) under->UpdateHover(TPoint{point.X - under->Left(), point.Y - under->Top()});
}

void TKVGUIControl::LeaveHover() {
  for (int32_t i = 0; i < ChildCount(); ++i) {
    TKVGUIControl* c = ChildControl(i);
    if (!c) continue;
    c->LeaveHover();
    if (c->Hovered() && !c->IsDragging()) c->MouseLeave();
  }
}

void TKVGUIControl::DispatchKey(int32_t key, int32_t kind, TShiftState shift) {
  TKVGUIControl* focused = ChildControl(FFocusIndex);
  if (Routable(focused)) {
    focused->KeyEvent(key, kind, shift);
    return;
  }
  KeyEvent(key, kind, shift);
  if (OnKey) OnKey(this, key, shift, kind);
}

// ---- z-order and focus

void TKVGUIControl::BringToFront() {
  if (TKVGUIControl* parent = ParentControl()) parent->MoveChildToTop(parent->IndexOfChild(this));
}

void TKVGUIControl::SendToBack() {
  if (TKVGUIControl* parent = ParentControl()) parent->MoveChildToBottom(parent->IndexOfChild(this));
}

void TKVGUIControl::SetFocus() {
  if (TKVGUIControl* parent = ParentControl()) {
    parent->SetFocusIndex(parent->IndexOfChild(this));
    parent->SetFocus();
  }
}

} // namespace kv
