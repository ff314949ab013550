// The main window's commands, by the numbers that menu entries, buttons, banners, pages and the package's
// scripts carry in their script items.
#pragma once

#include <cstdint>
#include <optional>

namespace kv {

enum class TCommand : int32_t {
  cmOpenSavedGame = 1,
  cmSaveGame = 2,
  cmExit = 3,
  cmHelp = 4,
  cmAbout = 5,
  cmShowPreview = 6,
  cmAutoSolve = 7,
  cmSoundOnOff = 8,
  cmSelectSkin = 9,
  cmOnePieceSolve = 10,
  cmRunFileHidden = 11,
  cmHighScores = 12,
  cmShowPage = 13,
  cmPlayPicture = 14,
  cmNewGame = 15,
  cmExitNoConfirm = 16,
  cmRunFile = 17,
  // Not a command: as the first finish action of a package it asks "Play again?".
  cmNone = 18,
  cmAutoSolveNoConfirm = 19,
  cmStopFlag = 20,
  cmSavePicture = 21,
  cmMakeGame = 22,
  cmChangeDifficulty = 23,
  cmPauseResume = 24,
  cmSelectAll = 25,
  cmDeselectAll = 26,
  cmGhostOnOff = 27,
  cmEdgesOnlyOnOff = 28,
};

inline constexpr int32_t FirstCommand = 1;
inline constexpr int32_t LastCommand = 28;

// The command a script item's id names; none for an id outside 1..28.
inline std::optional<TCommand> CommandOfId(int32_t id) {
  if (id < FirstCommand || id > LastCommand) return std::nullopt;
  return static_cast<TCommand>(id);
}

inline constexpr int32_t IdOf(TCommand command) {
  return static_cast<int32_t>(command);
}

} // namespace kv
