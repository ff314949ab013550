#include "gui/uKVGUILabel.h"

#include "gui/uKVGraphicEngine.h"

namespace kv {

const TKVClassInfo& TKVGUILabel::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUILabel", &TKVGUIControl::StaticClassInfo(), {}, {}};
  return info;
}

void TKVGUILabel::PaintContent() {
  if (Caption().empty()) return;
  const TRect r = GetScreenRect();
  Engine()->DrawText(r.Left, r.Top, 0x000000, Caption());
}

TRect TKVGUILabel::GetPaintRect() const {
  const TRect r = GetScreenRect();
  TKVCustomGraphicEngine* engine = Engine();
  // Without an engine nothing is painted and nothing can be measured.
  if (Caption().empty() || !engine) return r;
  const int32_t w = engine->TextWidth(Caption());
  const int32_t h = engine->TextHeight(Caption());
  // Glyphs may overhang their advances: a line height on every side.
  const TRect text{r.Left - h, r.Top - h, r.Left + w + h, r.Top + 2 * h};
  return UnionRect(r, text);
}

} // namespace kv
