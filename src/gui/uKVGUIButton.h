// A skinned button that reacts when pressed (on button down) and shows its hot look while the pointer is over
// it.
#pragma once

#include "gui/uKVGUIControl.h"

#include <string>

namespace kv {

class TKVGUIButton : public TKVGUIControl {
public:
  TKVGUIButton();

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // "@button" draws a skin frame; any other name the skin part of that name (index 2 when hot, else 0).
  std::string SkinName = "@button";
  bool Hot() const { return FHot; }
  TKVGUINotifyEvent OnClick;

  void InitControl() override;
  std::string GetSkinName() const override { return SkinName; }
  void PaintContent() override;
  void MouseEvent(const TPoint& point, int32_t kind, TShiftState shift, int32_t button) override;
  void MouseEnter() override;
  void MouseLeave() override;

private:
  bool FHot = false;
};

} // namespace kv
