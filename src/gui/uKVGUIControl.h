// The control: geometry, visibility, enabling, z-order, focus, hit testing, mouse and key routing and
// painting of one node of the playing area's control tree.
//
// Input reaches the tree as numbers (kinds and buttons below) and the modifier keys of TShiftState. Painting
// goes through the graphic engine: a control draws itself in PaintBackground / PaintContent / PaintForeground
// inside GetPaintRect, and asks for a repaint of what it shows with Invalidate (its whole area with its
// children) or InvalidateRect (a part, in buffer coordinates). Changes of geometry, visibility, z-order,
// caption and state invalidate the areas concerned by themselves; a control that changes what it draws
// otherwise calls Invalidate.
#pragma once

#include "core/uKVTypes.h"
#include "gui/uBitmap32.h"
#include "gui/uKVGUIObject.h"
#include "gui/uShiftState.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kv {

// Mouse event kinds.
inline constexpr int32_t kvmkDown = 0;
inline constexpr int32_t kvmkUp = 1;
inline constexpr int32_t kvmkMove = 2;
inline constexpr int32_t kvmkEnter = 5; // the pointer entered the playing area
inline constexpr int32_t kvmkLeave = 6; // the pointer left it
// Key event kinds.
inline constexpr int32_t kvkkKeyDown = 0; // virtual key code
inline constexpr int32_t kvkkChar = 2;    // character typed
// Mouse buttons.
inline constexpr int32_t kvmbNone = 0;
inline constexpr int32_t kvmbLeft = 1;
inline constexpr int32_t kvmbOther = 2; // right or any other button

// Control options: kvcoHitTest makes the control take part in hit testing.
inline constexpr uint8_t kvcoHitTest = 1;
inline constexpr uint8_t kvcoReserved = 2;
inline constexpr uint8_t kvcoAll = kvcoHitTest | kvcoReserved;

// Messages from controls to the session.
inline constexpr int32_t kvmsgApplication = 1024;

// The application that receives the controls' messages (the games application implements it). Kept to the
// one operation the controls use: PostEvent(message, p, q), where p and q may be changed by the handler.
class IKVApplication {
public:
  virtual void PostEvent(int32_t message, int32_t& p, int32_t& q) = 0;

protected:
  ~IKVApplication() = default;
};

class TKVGUIControl;
using TKVGUINotifyEvent = std::function<void(TKVGUIControl* sender)>;
using TKVGUIKeyEvent =
    std::function<void(TKVGUIControl* sender, int32_t key, TShiftState shift, int32_t kind)>;

class TKVGUIControl : public TKVGUIObject {
public:
  TKVGUIControl();
  ~TKVGUIControl() override;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The parent when it is a control, else null.
  TKVGUIControl* ParentControl() const;
  // The child at index when it is a control, else null.
  TKVGUIControl* ChildControl(int32_t index) const;

  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  // Visible, with every control above it visible.
  bool IsShowing() const;

  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  // Nothing when the position is unchanged.
  void SetPosition(int32_t left, int32_t top);
  // Always runs DoMove and OnMove.
  void SetPosition(const TPoint& position);
  void SetSize(int32_t width, int32_t height);
  void SetWidth(int32_t value) { SetSize(value, FHeight); }
  void SetHeight(int32_t value) { SetSize(FWidth, value); }

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& value);

  int32_t FocusIndex() const { return FFocusIndex; }
  void SetFocusIndex(int32_t index);
  int32_t FirstFocusable() const;
  void UpdateFocus();

  bool Hovered() const { return FHovered; }
  uint8_t Options = kvcoAll;

  // The private surface; follows the control's size. Made when first asked for: most controls paint
  // straight into the engine's buffer and never need one.
  TBitmap32& Surface();
  // Absolute position of the parent when the control was last painted.
  TPoint PaintOrigin() const { return FPaintOrigin; }

  IKVApplication* Application = nullptr;
  TKVGUINotifyEvent OnShow, OnHide, OnMove, OnMouseEnter, OnMouseLeave;
  TKVGUIKeyEvent OnKey;

  void ClearChildren();
  // Passes the message to Application, if set.
  void NotifyApplication(int32_t message, int32_t p1, int32_t p2);
  // point in this control's coordinates.
  void DispatchMouse(const TPoint& point, int32_t kind, TShiftState shift, int32_t button);
  void DispatchKey(int32_t key, int32_t kind, TShiftState shift);

  // Asks for a repaint of rect (buffer coordinates); nothing while the control is not showing.
  virtual void InvalidateRect(const TRect& rect);
  // What the control itself paints over, in buffer coordinates: its screen rectangle.
  virtual TRect GetPaintRect() const;
  // Whether painting this control and its children sets every pixel of area (buffer coordinates) without
  // regard to what was there: whatever is painted under it there cannot be seen.
  bool HidesArea(const TRect& area) const;
  // The same for the control's own content alone, as painted now; false unless a control knows it.
  virtual bool PaintsOpaquely(const TRect& area) const;
  // True while the control follows the pointer (a window being dragged): no hover changes reach it.
  virtual bool IsDragging() const { return false; }

  // Operations in their order.
  void ChildAdded(int32_t index, TKVGUIObject* child) override;
  void ChildRemoved(int32_t index, TKVGUIObject* child) override;
  void MoveChildToTop(int32_t index) override;
  void MoveChildToBottom(int32_t index) override;
  void InitControl() override;
  void DoneControl() override;
  virtual void DoHide();
  virtual void DoShow();
  virtual void DoEnable() {}
  virtual void DoDisable() {}
  virtual void DoMove() {}
  virtual void DoResize();
  // Repaints the control's area and that of its children.
  virtual void Invalidate();
  virtual void PaintContent() {}
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void FocusReceived() {}
  virtual void ParentResized() {}
  virtual std::string GetSkinName() const { return ClassName(); }
  // 4 disabled, 1 hovered, else 0.
  virtual int32_t GetState() const;
  virtual TRect GetClientRect() const { return TRect{0, 0, FWidth, FHeight}; }
  virtual void PaintBackground();
  virtual void PaintForeground() {}
  // Paints the control and its visible children; origin is the parent's absolute position.
  virtual void Paint(const TPoint& origin);
  virtual TRect GetBoundsRect() const { return TRect{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  virtual TRect GetSourceRect() const;
  virtual TRect GetScreenRect() const;
  // Right and bottom edges count as inside; p in the parent's coordinates.
  virtual bool HitTest(const TPoint& p) const;
  virtual void MouseEvent(const TPoint& point, int32_t kind, TShiftState shift, int32_t button);
  virtual void KeyEvent(int32_t key, int32_t kind, TShiftState shift);
  virtual void BringToFront();
  virtual void SendToBack();
  virtual void SetFocus();

protected:
  void BeforeDetach() override;
  // Hover tracking of the root: the control under the pointer is entered, the others left.
  void UpdateHover(const TPoint& point);
  void LeaveHover();

private:
  void RequestRepaint(const TRect& rect);
  // Whether the engine paints the control in its present state; any state without an engine.
  bool CanPaint() const;
  // The control's paint rectangle and those of its visible children.
  void InvalidateTree();

  bool FVisible = true;
  bool FEnabled = true;
  bool FHovered = false;
  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  std::string FCaption;
  int32_t FFocusIndex = -1;
  TBitmap32 FSurface;
  TPoint FPaintOrigin;
};

} // namespace kv
