#include "gui/uKVPaintBox.h"

#include "core/uScopeGuard.h"

#include <algorithm>

namespace kv {

namespace {

int64_t Area(const TRect& r) {
  return r.IsEmpty() ? 0 : static_cast<int64_t>(r.Width()) * r.Height();
}

// Two areas are painted as one when their union wastes little: no more than a quarter of it lies outside
// both.
bool WorthMerging(const TRect& a, const TRect& b) {
  const int64_t joined = Area(UnionRect(a, b));
  const int64_t covered = Area(a) + Area(b) - Area(IntersectRect(a, b));
  return (joined - covered) * 4 <= joined;
}

} // namespace

void TKVDirtyRegion::SetBounds(const TRect& bounds) {
  FBounds = bounds;
  // Held areas keep only their part inside the new bounds.
  std::size_t kept = 0;
  for (const TRect& r : FRects) {
    const TRect inside = IntersectRect(r, FBounds);
    if (!inside.IsEmpty()) FRects[kept++] = inside;
  }
  FRects.resize(kept);
}

void TKVDirtyRegion::Add(const TRect& rect) {
  TRect r = IntersectRect(rect, FBounds);
  if (r.IsEmpty()) return;
  // Merge with every held area that is worth it, until none is left to merge with.
  for (bool merged = true; merged;) {
    merged = false;
    for (std::size_t i = 0; i < FRects.size(); ++i) {
      const TRect& held = FRects[i];
      if (IntersectRect(held, r) == r) return; // already covered
      if (WorthMerging(held, r)) {
        r = UnionRect(held, r);
        FRects[i] = FRects.back();
        FRects.pop_back();
        merged = true;
        break;
      }
    }
  }
  if (FRects.size() >= MaxRects) {
    for (const TRect& held : FRects) r = UnionRect(r, held);
    FRects.clear();
  }
  FRects.push_back(r);
}

void TKVDirtyRegion::TakeInto(std::vector<TRect>& out) {
  out.assign(FRects.begin(), FRects.end());
  FRects.clear();
}

TKVPaintBox::TKVPaintBox() = default;

TKVPaintBox::~TKVPaintBox() = default;

void TKVPaintBox::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  FLeft = left;
  FTop = top;
  if (width == FWidth && height == FHeight) return;
  FWidth = width;
  FHeight = height;
  FBuffer.SetSize(width, height);
  FDirty.SetBounds(FBuffer.BoundsRect());
  FChanged.SetBounds(FBuffer.BoundsRect());
  BoundsChanged();
  // A new buffer holds nothing yet: all of it is painted in the next frame.
  InvalidateAll();
}

TKVInputHandler* TKVPaintBox::FindEvent(std::string_view name) {
  struct TEntry {
    std::string_view Name;
    TKVInputHandler TKVPaintBox::*Handler;
  };
  static constexpr TEntry Events[] = {
      {"OnMouseDown", &TKVPaintBox::OnMouseDown},   {"OnMouseUp", &TKVPaintBox::OnMouseUp},
      {"OnMouseMove", &TKVPaintBox::OnMouseMove},   {"OnMouseEnter", &TKVPaintBox::OnMouseEnter},
      {"OnMouseLeave", &TKVPaintBox::OnMouseLeave}, {"OnKeyDown", &TKVPaintBox::OnKeyDown},
      {"OnKeyPress", &TKVPaintBox::OnKeyPress},     {"OnKeyUp", &TKVPaintBox::OnKeyUp},
  };
  for (const TEntry& e : Events)
    if (e.Name == name) return &(this->*e.Handler);
  return nullptr;
}

void TKVPaintBox::Fire(TKVInputHandler& handler, TKVInputEvent& event) {
  if (!handler) return;
  // A handler may replace itself; the call runs on a copy.
  TKVInputHandler call = handler;
  call(*this, event);
}

void TKVPaintBox::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  TKVInputEvent e{button, shift, x, y, 0, 0};
  Fire(OnMouseDown, e);
}

void TKVPaintBox::MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  TKVInputEvent e{button, shift, x, y, 0, 0};
  Fire(OnMouseUp, e);
}

void TKVPaintBox::MouseMove(TShiftState shift, int32_t x, int32_t y) {
  TKVInputEvent e{mbLeft, shift, x, y, 0, 0};
  Fire(OnMouseMove, e);
}

void TKVPaintBox::MouseEnter() {
  TKVInputEvent e;
  Fire(OnMouseEnter, e);
}

void TKVPaintBox::MouseLeave() {
  TKVInputEvent e;
  Fire(OnMouseLeave, e);
}

void TKVPaintBox::KeyDown(uint16_t key, TShiftState shift) {
  TKVInputEvent e{mbLeft, shift, 0, 0, key, 0};
  Fire(OnKeyDown, e);
}

void TKVPaintBox::KeyUp(uint16_t key, TShiftState shift) {
  TKVInputEvent e{mbLeft, shift, 0, 0, key, 0};
  Fire(OnKeyUp, e);
}

void TKVPaintBox::KeyPress(char key) {
  TKVInputEvent e{mbLeft, 0, 0, 0, 0, key};
  Fire(OnKeyPress, e);
}

void TKVPaintBox::RequestFrame() {
  if (FFramePending) return;
  FFramePending = true;
  ScheduleFrame();
}

void TKVPaintBox::InvalidateRect(const TRect& rect) {
  FDirty.Add(rect);
  if (!FDirty.Empty()) RequestFrame();
}

void TKVPaintBox::InvalidateAll() {
  InvalidateRect(FBuffer.BoundsRect());
}

void TKVPaintBox::MarkChanged(const TRect& rect) {
  FChanged.Add(rect);
  if (!FChanged.Empty()) RequestFrame();
}

void TKVPaintBox::MarkAllChanged() {
  MarkChanged(FBuffer.BoundsRect());
}

void TKVPaintBox::RunFrame() {
  if (!FFramePending || FInFrame) return;
  FFramePending = false;
  FDirty.TakeInto(FFrameRects);
  if (!FFrameRects.empty() && FFrameHandler) {
    FInFrame = true;
    // A frame that failed is not asked for again: a failure that drawing alone reveals (a damaged theme)
    // would fail every later frame the same way. Its areas are painted again when something changes there.
    TScopeExit done([this] { FInFrame = false; });
    FFrameHandler(FFrameRects);
  }
  // What the frame painted and what was drawn meanwhile are shown together.
  for (const TRect& r : FFrameRects) FChanged.Add(r);
  FChanged.TakeInto(FShowRects);
  if (!FShowRects.empty()) Present(FShowRects);
}

} // namespace kv
