// The shift state of an input event, one representation from the platform's window down to the controls:
// the modifier keys, and for pointer events the buttons held and the double click.
#pragma once

#include <cstdint>

namespace kv {

using TShiftState = int32_t;
enum : TShiftState {
  ssShift = 1,
  ssCtrl = 2,
  ssAlt = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
// The part the control tree sees: its handlers tell the buttons apart by their own argument.
inline constexpr TShiftState ssModifiers = ssShift | ssCtrl | ssAlt;

} // namespace kv
