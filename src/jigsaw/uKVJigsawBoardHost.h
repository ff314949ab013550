// What the board's animator and input need from the board that owns them: its run state, its area for
// settling, the completion announcement, the messages to the session, the pop-up menu and the repaint of
// what changed.
#pragma once

#include "gui/uKVGameEvents.h"

#include <cstdint>

namespace kv {

class IKVJigsawBoardHost {
public:
  // Neither stopped nor paused.
  virtual bool Running() const = 0;
  // Settles the pieces on the board's area.
  virtual void SettleBoard() = 0;
  // Announces the win when the puzzle has just become complete.
  virtual void CheckComplete() = 0;
  // Message 1024 to the session: play the sound of event (code PlayOnce or PlayRepeating).
  virtual void Notify(TAppCode code, TGameEvent event) = 0;
  // The pop-up menu at the board point (x, y).
  virtual void Popup(int32_t x, int32_t y) = 0;
  // Asks for a repaint of what changed.
  virtual void InvalidateChanges() = 0;

protected:
  ~IKVJigsawBoardHost() = default;
};

} // namespace kv
