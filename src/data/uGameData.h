// Start-up without a window: finding the game data (appended to the player's own file, else the file named
// by argument 1), loading it into the package model once, the list of playable pictures and the location
// of the high-score file. The window layer owns one TGameDataLocator and connects its hooks.
//
// Errors are not caught here. LocateGameData and LoadProject raise:
//   - kv::EReadError: the package, its trailer or the extra-picture block is damaged (a length pointing
//     outside the file, a truncated or non-zlib data section). Shown as "Project doesn't contain valid
//     data.".
//   - kv::EFOpenError: argument 1 (or the player's own file) cannot be opened; shown with its own message.
//   - kv::EExecDataError ("Stream data contains invalid project format."), kv::EImageError (an extra
//     picture that cannot be stored) and others: shown with their own message.
// StartupErrorMessage gives the text of that error box. After a failure no project exists.
#pragma once

#include "data/uExecData.h"
#include "data/uKVStream.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

inline constexpr const char* InvalidProjectDataMessage = "Project doesn't contain valid data.";

// The message start-up shows for an error raised by LocateGameData or LoadProject.
std::string StartupErrorMessage(const std::exception& error);

class TGameDataLocator {
public:
  // arguments: the command-line arguments after the program name; services: what the model is made with.
  TGameDataLocator(std::string executablePath, std::vector<std::string> arguments,
                   TPackageServices services = {});

  // ---- hooks into the window layer; each may stay empty
  std::function<void()> OnResetSession;                         // reset the game session
  std::function<void(TMemoryStream& skinData)> OnLoadSkinTheme; // theme bitmaps from SkinData, rewound

  // ---- state
  bool FromOwnFile = false; // the package came from the player's own file, not from argument 1
  // Entries of the package's Pictures that can be played (id at most 65535), in package order.
  std::vector<const TBMPData*> PlayablePictures;
  std::string PlayerName;
  bool TerminateRequested = false; // no game data: the program ends without a message

  // The package model; null until loaded. Created once and never replaced.
  TJigsawProject2* Project() const { return FProject.get(); }
  const std::string& ExecutablePath() const { return FExecutablePath; }
  const std::vector<std::string>& Arguments() const { return FArguments; }
  const TPackageServices& Services() const { return FServices; }

  // Own file first, then argument 1 (deleted afterwards when argument 2 is exactly "-T"), else requests
  // termination. Raises as described at the top of this file.
  void LocateGameData();
  // Resets the session; only when there is no project yet, creates and fills it: from package (may be null)
  // with the extra pictures of extra merged in, or, with fromStream false, from the file fileName.
  void LoadProject(TStream* package, const std::string& fileName, TStream* extra, bool fromStream);
  // Clears PlayerName and resets the session.
  void ResetSession();
  void BuildPlayableList();
  // Position in Pictures of the first entry with the id of playable picture n; -1 when there is none.
  int32_t PlayablePictureIndex(int32_t n) const;
  // The documents folder, "/" and the package's HighScoreFileName; empty when the package keeps no
  // high-score file (or there is no package). Only the file name part of the stored name is used, so that a
  // package cannot place the file outside the documents folder.
  std::string HighScorePath() const;

  // The running program's own file.
  static std::string OwnExecutablePath();

private:
  // LoadProject may free the package it reads (the copy of the program's appended data).
  bool FPackageDisposable = false;
  std::string FExecutablePath;
  std::vector<std::string> FArguments;
  TPackageServices FServices;
  std::unique_ptr<TJigsawProject2> FProject;
};

} // namespace kv
