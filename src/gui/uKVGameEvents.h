// The two numbers of message 1024 (code, value) between the controls, the session and the application.
//
// The code says what happened or what is asked: a state the application entered, the cursor, closing the
// main window, or a sound to play. The value of the two play codes is a game event, a moment of the game the
// package can give a sound; the event is also the sound's id. Codes and events are two number spaces (code 1
// is "running", event 1 the music), hence two types.
#pragma once

#include "core/uToUnderlying.h"
#include "gui/uKVGameState.h"

#include <cstdint>

namespace kv {

enum class TAppCode : int32_t {
  // A state change travels as the state's own number.
  Stopped = ToUnderlying(TGameState::Stopped),
  Running = ToUnderlying(TGameState::Running),
  Paused = ToUnderlying(TGameState::Paused),
  // The client area's cursor := value.
  SetCursor = 3,
  // Close the main window (value: the key that asked, if any).
  Close = 16,
  // Play the sound of event value repeating without end, or once.
  PlayRepeating = 0xFFFE,
  PlayOnce = 0xFFFF,
};

enum class TGameEvent : int32_t {
  // Repeats while the game runs.
  Music = 1,
  PickUp = 100,
  Turn = 101,
  Snap = 102,
  // The preview window shown or hidden.
  Preview = 104,
  TimeUp = 106,
  // The puzzle is complete: the win sound.
  Complete = 107,
};

// The code that tells the change to state.
constexpr TAppCode StateCode(TGameState state) {
  return static_cast<TAppCode>(ToUnderlying(state));
}

} // namespace kv
