// The theme the game falls back on when its package carries no skin: a bevelled grey window frame with a
// dark title bar, a close button and a bevelled push button, all drawn in code.
#pragma once

#include "gui/uKVThemeBitmaps.h"

namespace kv {

// Replaces the theme's items with the built-in ones: "window_top", "window_left", "window_right",
// "window_bottom", "window_background", "window_buttons" (normal, pressed, hot) and "button".
void BuildDefaultTheme(TKVThemeBitmapCollection& theme);

// Height of the built-in window's title bar and frame, and width of its side frames.
inline constexpr int32_t DefaultTitleHeight = 28;
inline constexpr int32_t DefaultFrameWidth = 4;

} // namespace kv
