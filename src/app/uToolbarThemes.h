// The three looks of the menu bar (and the status bar under the playing area): "Default", a plain grey bar
// of the classic desktop; "Sentimox", light with soft blue highlights; "Stripes", dark with fine stripes and
// warm highlights. Each is a Qt style sheet for the main window's bars.
#pragma once

#include <QString>

#include <string>

namespace kv {

// The style sheet of a look by name; the "Sentimox" one for a name the program does not know.
QString ToolbarThemeStyleSheet(const std::string& name);

} // namespace kv
