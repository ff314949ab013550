// A control that shows a picture surface of its own size.
#pragma once

#include "gui/uKVGUIControl.h"

namespace kv {

class TKVGUIGraphicControl : public TKVGUIControl {
public:
  TKVGUIGraphicControl();

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Blended drawing, bilinear resampling; resized (and cleared) with the control.
  TBitmap32& Picture() { return FPicture; }
  const TBitmap32& Picture() const { return FPicture; }

  void DoResize() override;

private:
  TBitmap32 FPicture;
};

} // namespace kv
