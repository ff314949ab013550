// A small skinned window with a caption and a close button; it is dragged by the mouse and carries a soft
// shadow while dragged. Escape asks the program's main window to close.
#pragma once

#include "gui/uKVGUIControl.h"

namespace kv {

class TKVGUIButton;

// Offset of the shadow a dragged window casts.
inline constexpr int32_t kvFormShadowOffset = 4;

class TKVGUIForm : public TKVGUIControl {
public:
  TKVGUIForm();

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TKVGUIButton* CloseButton() const { return FCloseButton; }
  bool Dragging() const { return FDragging; }
  // Visible, and the parent's focused child.
  void ShowAndFocus();

  void InitControl() override;
  void DoResize() override;
  std::string GetSkinName() const override { return "window"; }
  void PaintContent() override;
  void MouseEvent(const TPoint& point, int32_t kind, TShiftState shift, int32_t button) override;
  void KeyEvent(int32_t key, int32_t kind, TShiftState shift) override;
  void MouseEnter() override;
  void MouseLeave() override;
  // With the shadow while dragged.
  TRect GetPaintRect() const override;
  bool IsDragging() const override { return FDragging; }

private:
  void SetDragging(bool value);

  TKVGUIButton* FCloseButton = nullptr;
  bool FDragging = false;
  TPoint FDragPoint;
};

} // namespace kv
