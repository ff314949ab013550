#include "gui/uKVGUIWorkspace.h"

#include "gui/uKVGraphicEngine.h"

namespace kv {

const TKVClassInfo& TKVGUIWorkspace::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIWorkspace", &TKVGUIControl::StaticClassInfo(), {}, {}};
  return info;
}

void TKVGUIWorkspace::InitControl() {
  TKVGUIControl::InitControl();
  SetEnabled(false);
}

void TKVGUIWorkspace::Repaint() {
  TKVCustomGraphicEngine* engine = Engine();
  if (!engine) return;
  if (TBitmap32* buffer = engine->GetBuffer()) {
    if (TKVGUIControl* parent = ParentControl())
      parent->InvalidateRect(buffer->BoundsRect());
    else
      engine->InvalidateRect(*this, buffer->BoundsRect());
  }
  engine->RepaintNow();
}

} // namespace kv
