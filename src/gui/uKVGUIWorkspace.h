// The root of the playing area's control tree. It starts disabled and ignores the mouse until the
// application enables it.
#pragma once

#include "gui/uKVGUIControl.h"

namespace kv {

class TKVGUIWorkspace : public TKVGUIControl {
public:
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void InitControl() override;
  // Repaints the whole tree and shows it now.
  void Repaint();
};

} // namespace kv
