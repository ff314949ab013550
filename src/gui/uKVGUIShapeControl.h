// A plain shape: a box filled with a colour that may be translucent.
#pragma once

#include "gui/uKVGUIControl.h"

namespace kv {

enum TKVGUIShapeType { gstFillBox };

class TKVGUIShapeControl : public TKVGUIControl {
public:
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TKVGUIShapeType ShapeType() const { return FShapeType; }
  void SetShapeType(TKVGUIShapeType value);
  TColor32 BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor32 value);

  void PaintContent() override;
  // An opaque filled box covers its rectangle.
  bool PaintsOpaquely(const TRect& area) const override;

private:
  TKVGUIShapeType FShapeType = gstFillBox;
  TColor32 FBackgroundColor = 0;
};

} // namespace kv
