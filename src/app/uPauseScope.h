// A command that opens a dialog holds the game still while it runs: the session pauses when the scope
// begins and resumes when it ends, however the command ends (an error box, a failed file, an exception).
#pragma once

#include "gui/uKVApplicationClient.h"

namespace kv {

class TPauseScope {
public:
  explicit TPauseScope(TKVCustomApplicationClient& session) : FSession(session) { FSession.Pause(); }
  // A command that started a new game or reset the session has moved it on: only a session still paused
  // is resumed.
  ~TPauseScope() {
    if (FSession.State() == TGameState::Paused) FSession.Resume();
  }
  TPauseScope(const TPauseScope&) = delete;
  TPauseScope& operator=(const TPauseScope&) = delete;

private:
  TKVCustomApplicationClient& FSession;
};

} // namespace kv
