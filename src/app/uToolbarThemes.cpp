#include "app/uToolbarThemes.h"

namespace kv {

namespace {

const char* const DefaultLook = R"(
QMenuBar { background: #d4d0c8; color: #000000; border-bottom: 1px solid #808080; padding: 1px; }
QMenuBar::item { background: transparent; padding: 3px 8px; }
QMenuBar::item:selected { background: #0a246a; color: #ffffff; }
QMenuBar::item:pressed { background: #0a246a; color: #ffffff; }
QMenu { background: #d4d0c8; color: #000000; border: 1px solid #404040; }
QMenu::item { padding: 3px 24px 3px 20px; }
QMenu::item:selected { background: #0a246a; color: #ffffff; }
QMenu::item:disabled { color: #808080; }
QMenu::separator { height: 2px; margin: 3px 2px; border-top: 1px solid #808080; border-bottom: 1px solid #ffffff; }
QStatusBar { background: #d4d0c8; color: #000000; border-top: 1px solid #808080; }
QStatusBar QLabel { border: 1px solid #808080; padding: 0 2px; }
)";

const char* const SentimoxLook = R"(
QMenuBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #dde6f0);
           color: #1d2a3a; border-bottom: 1px solid #a9b9cc; padding: 2px; }
QMenuBar::item { background: transparent; padding: 4px 10px; border-radius: 4px; margin: 1px; }
QMenuBar::item:selected { background: #cfe3f7; border: 1px solid #7da2ce; }
QMenuBar::item:pressed { background: #b7d3f0; border: 1px solid #5f8bc0; }
QMenu { background: #fbfcfe; color: #1d2a3a; border: 1px solid #a9b9cc; padding: 3px; }
QMenu::item { padding: 4px 26px 4px 22px; border-radius: 3px; }
QMenu::item:selected { background: #cfe3f7; color: #0d1b2a; }
QMenu::item:disabled { color: #9aa7b5; }
QMenu::separator { height: 1px; margin: 4px 6px; background: #c9d4e1; }
QStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eef3f8, stop:1 #d7e1ec);
             color: #1d2a3a; border-top: 1px solid #a9b9cc; }
QStatusBar QLabel { padding: 0 3px; }
)";

const char* const StripesLook = R"(
QMenuBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3b3f46, stop:0.25 #33373d, stop:0.5 #3b3f46,
                                       stop:0.75 #33373d, stop:1 #2a2d32);
           color: #f0f0f0; border-bottom: 2px solid #e08a2e; padding: 2px; }
QMenuBar::item { background: transparent; padding: 4px 10px; }
QMenuBar::item:selected { background: #e08a2e; color: #1b1b1b; }
QMenuBar::item:pressed { background: #c46f16; color: #ffffff; }
QMenu { background: #2f3237; color: #f0f0f0; border: 1px solid #e08a2e; }
QMenu::item { padding: 4px 26px 4px 22px; }
QMenu::item:selected { background: #e08a2e; color: #1b1b1b; }
QMenu::item:disabled { color: #80848a; }
QMenu::separator { height: 1px; margin: 4px 4px; background: #5a5e65; }
QStatusBar { background: #2a2d32; color: #f0f0f0; border-top: 2px solid #e08a2e; }
QStatusBar QLabel { color: #f0f0f0; padding: 0 3px; }
)";

} // namespace

QString ToolbarThemeStyleSheet(const std::string& name) {
  if (name == "Default") return QString::fromLatin1(DefaultLook);
  if (name == "Stripes") return QString::fromLatin1(StripesLook);
  return QString::fromLatin1(SentimoxLook);
}

} // namespace kv
