// Keeps the unfinished puzzle of one game package in the user's state folder, so that a closed window, a
// crash or a power cut loses nothing of it. The running game is written in the saved-game format, in one
// atomic step, a second after the last change to the pieces (not on every motion of the mouse), and at once
// when asked (the window closes, another game starts); a game that was won or lost leaves nothing behind.
// No toolkit here: the window hands in its timers.
#pragma once

#include "data/uJigsawFile.h"
#include "platform/uTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kv {

class TKVCustomJigsawApplication;

// A second after the last change.
inline constexpr uint32_t kvKeepDelay = 1000;

class TGameKeeper {
public:
  // fileName: where the game is kept; empty keeps nothing. The session must outlive the keeper.
  TGameKeeper(TKVCustomJigsawApplication& session, const TTimerFactory& timers, std::string fileName);
  ~TGameKeeper();
  TGameKeeper(const TGameKeeper&) = delete;
  TGameKeeper& operator=(const TGameKeeper&) = delete;

  // The folder of kept games: $XDG_STATE_HOME/jigsaw when that is an absolute path, else
  // $HOME/.local/state/jigsaw; empty without either.
  static std::string StateFolder();
  // The file a game package is kept in: its title made safe for a file name and a short hash of where the
  // package comes from (the program or the package file), so that two games never share a file.
  static std::string FileFor(const std::string& title, const std::string& packagePath);

  const std::string& FileName() const { return FFileName; }
  // The picture id of the running game, written with it.
  std::function<uint32_t()> PictureId;
  // The program's file name, written as saved games write it.
  std::string ProgramName;

  // The pieces changed: written once a second passes without a further change.
  void Changed();
  // Written now when an unfinished game runs; a pending write is done with it.
  void KeepNow();
  // Nothing to resume any more: the game was won or lost.
  void Forget();
  // Moves the kept file aside (the same name with ".set-aside"), for a kept game this package cannot play.
  void SetAside();

  // The kept game, when there is one that reads. A file that does not read is set aside and notice says
  // so in one line.
  std::optional<TJigsawFile> Kept(std::string& notice);
  // Files written so far.
  int64_t Writes() const { return FWrites; }
  bool Pending() const;

private:
  bool GameUnfinished() const;

  TKVCustomJigsawApplication& FSession;
  std::string FFileName;
  std::unique_ptr<TTimer> FTimer;
  int64_t FWrites = 0;
};

} // namespace kv
