// The play flow of the main window, from one picture to the next: the choice of picture, preparing and
// starting the session, the running clock in the status bar, the end of a game (high-score entry, win or
// lose dialog, next picture or the same again) and the state the window's close query reads. It talks to the
// window through IPlayDialogs only, so that it runs without any widget.
#pragma once

#include "app/uPlayDialogs.h"
#include "data/uJigsawFile.h"
#include "data/uNamedData.h"
#include "platform/uTimer.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kv {

struct TPlatformServices;
class TGameDataLocator;
class TGameKeeper;
class THighScore;
class TJigsawProject2;
class TKVJigsawApplication;

inline constexpr const char* NoBitmapMessage = "Project doesn't contain any bitmap.";
inline constexpr const char* ResumeQuestion = "An unfinished puzzle was kept. Go on with it?";
inline constexpr const char* SetAsideNotice =
    "The unfinished puzzle no longer fits this game and was set aside.";

class TPlayFlow {
public:
  // Takes the session's win, time-out and clock callbacks. Everything given must outlive the flow.
  TPlayFlow(TGameDataLocator& locator, TKVJigsawApplication& session, THighScore& highScores,
            const TPlatformServices& services, IPlayDialogs& dialogs);
  ~TPlayFlow();
  TPlayFlow(const TPlayFlow&) = delete;
  TPlayFlow& operator=(const TPlayFlow&) = delete;

  // ---- state
  // Index into the package's Pictures of the current game; -1 for none.
  int32_t CurrentPicture() const { return FCurrentPicture; }
  uint32_t CurrentPictureID() const { return FCurrentPictureID; }
  // Position in the playable pictures when they are played in sequence.
  int32_t SequenceIndex() const { return FSequenceIndex; }
  // High-score level of the last finished game: 0 Easy, 1 Normal, 2 Hard, 3 Very Easy.
  uint8_t LastLevel() const { return FLastLevel; }
  void SetLastLevel(uint8_t level) { FLastLevel = level; }
  // The next close of the window asks nothing.
  bool QuitConfirmed() const { return FQuitConfirmed; }
  void SetQuitConfirmed(bool value) { FQuitConfirmed = value; }
  // An exit command was given; checked after the start actions.
  bool ExitRequested() const { return FExitRequested; }
  void SetExitRequested(bool value) { FExitRequested = value; }
  // The program is to end (no pictures, damaged data, or the first game could not be played).
  bool TerminateRequested() const { return FTerminateRequested; }
  void RequestTerminate();
  const TTimer& WinTimer() const { return *FWinTimer; }

  // The keeper of the unfinished game, or null to keep nothing; it must outlive the flow.
  void SetKeeper(TGameKeeper* keeper);
  TGameKeeper* Keeper() const { return FKeeper; }

  // ---- the flow
  // The first game at start-up: an unfinished game that was kept goes on when the player wants it; else
  // closing the picture chooser still plays the selected picture.
  void StartFirstGame();
  // Chooses a picture and starts a game with it; nothing when no picture is chosen.
  void ChooseAndStartGame();
  int32_t ChoosePicture();
  void StartGame();
  void PrepareGame(bool fromSavedGame, const TJigsawFile* savedGame, int32_t pictureIndex);
  // Plays playable picture n; "Invalid picture index." when there is none (the session stays reset).
  bool PlayPicture(int32_t n);
  // Replaces the running game by a saved one; false when the package cannot restore it. Raises when the
  // file cannot be read.
  bool LoadSavedGame(const std::string& fileName);

  // ---- the session's callbacks
  void ShowClock();
  void WinHook();
  // The win timer's first tick: the end of a won game, after the board's own event has returned.
  void FinishGame();
  void GameLost();

  // ---- the end of a game
  // Level, qualification and name entry after a fair win.
  void HighScoreEntry();
  void WinDialog(int32_t level);
  void AskPlayAgain(const std::string& question);
  void ClearStatus();

private:
  TJigsawProject2* Project() const;
  // Closing: the playing area cleared and the window closed without a question.
  void Quit();
  void AskNextPicture();
  // Asks whether to go on with the kept game and restores it; false when a new game is to start.
  bool ResumeKeptGame();
  // A game has just started: it is the one kept from now on.
  void GameStarted();
  // The package's own saved game, played when the player wants it.
  bool UsePreparedGame(const TJigsawProject2& project, const TBMPData& entry);

  TGameDataLocator& FLocator;
  TKVJigsawApplication& FSession;
  THighScore& FHighScores;
  const TPlatformServices& FServices;
  IPlayDialogs& FDialogs;
  std::unique_ptr<TTimer> FWinTimer;
  TGameKeeper* FKeeper = nullptr;
  TJigsawFile FPreparedGame;
  int32_t FCurrentPicture = -1;
  uint32_t FCurrentPictureID = 0;
  int32_t FSequenceIndex = 0;
  uint8_t FLastLevel = 0;
  bool FQuitConfirmed = false;
  bool FExitRequested = false;
  bool FStartingUp = false;
  bool FTerminateRequested = false;
};

} // namespace kv
