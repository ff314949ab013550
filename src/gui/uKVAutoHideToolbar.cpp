#include "gui/uKVAutoHideToolbar.h"

namespace kv {

void TKVAutoHideToolbar::PointerMoved(int32_t y) {
  if (y < kvToolbarBand) {
    // Back in the band while the toolbar is on its way out: it stays a while longer.
    if (FHideDelay > 0)
      FHideDelay = kvToolbarDelay;
    else
      FShowDelay = kvToolbarDelay;
  } else if (FShown && FHideDelay <= 0) {
    FHideDelay = kvToolbarDelay;
  }
}

void TKVAutoHideToolbar::Tick() {
  if (FHideDelay > 0) {
    if (--FHideDelay == 0) {
      if (OnHide) OnHide();
      FShown = false;
    }
    FShowDelay = 0;
  } else if (FShowDelay > 0) {
    if (--FShowDelay == 0 && OnShow) OnShow();
    FShown = true;
  }
}

} // namespace kv
