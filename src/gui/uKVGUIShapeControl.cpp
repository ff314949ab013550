#include "gui/uKVGUIShapeControl.h"

#include "gui/uKVGraphicEngine.h"

namespace kv {

const TKVClassInfo& TKVGUIShapeControl::StaticClassInfo() {
  static const TKVClassInfo info{
      "TKVGUIShapeControl",
      &TKVGUIControl::StaticClassInfo(),
      {},
      {OrdinalProperty<TKVGUIShapeControl>(
           "ShapeType", TKVPropertyKind::pkEnumeration, {"gstFillBox"},
           [](const TKVGUIShapeControl& c) { return static_cast<int32_t>(c.ShapeType()); },
           [](TKVGUIShapeControl& c, int32_t v) {
             if (v == gstFillBox) c.SetShapeType(gstFillBox);
           }),
       IntegerProperty<TKVGUIShapeControl>(
           "BackgroundColor",
           [](const TKVGUIShapeControl& c) { return static_cast<int32_t>(c.BackgroundColor()); },
           [](TKVGUIShapeControl& c, int32_t v) { c.SetBackgroundColor(static_cast<TColor32>(v)); })}};
  return info;
}

void TKVGUIShapeControl::SetShapeType(TKVGUIShapeType value) {
  FShapeType = value;
  Invalidate();
}

void TKVGUIShapeControl::SetBackgroundColor(TColor32 value) {
  FBackgroundColor = value;
  Invalidate();
}

bool TKVGUIShapeControl::PaintsOpaquely(const TRect& area) const {
  return FShapeType == gstFillBox && AlphaComponent(FBackgroundColor) == 255 && ContainsRect(GetScreenRect(), area);
}

void TKVGUIShapeControl::PaintContent() {
  if (FShapeType != gstFillBox) return;
  Engine()->DrawBox(GetScreenRect(), WinColor(FBackgroundColor), AlphaComponent(FBackgroundColor));
}

} // namespace kv
