#include "gui/uKVGUIGraphicControl.h"

#include "gui/uResamplers.h"

namespace kv {

TKVGUIGraphicControl::TKVGUIGraphicControl() {
  FPicture.SetDrawMode(dmBlend);
  NewResampler<TLinearResampler>(FPicture);
}

const TKVClassInfo& TKVGUIGraphicControl::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIGraphicControl", &TKVGUIControl::StaticClassInfo(), {}, {}};
  return info;
}

void TKVGUIGraphicControl::DoResize() {
  TKVGUIControl::DoResize();
  FPicture.SetSize(Width(), Height());
}

} // namespace kv
