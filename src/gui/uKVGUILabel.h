// A caption in black at the control's top-left.
#pragma once

#include "gui/uKVGUIControl.h"

namespace kv {

class TKVGUILabel : public TKVGUIControl {
public:
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void PaintContent() override;
  // The text may reach past the control's size: the text's box with a margin for overhanging glyphs.
  TRect GetPaintRect() const override;
};

} // namespace kv
