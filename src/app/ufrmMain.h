// The main window: finds and loads the game data at creation, shows the playing area (the graphic engine's
// paint box) with a status bar, and drives the game from the choice of picture through the clock to the end
// of a game; asks before it closes while a game runs.
#pragma once

#include "app/uPlayerServices.h"
#include "data/uGameData.h"
#include "data/uHighScore.h"
#include "jigsaw/uKVJigsawApplication.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QLabel;

namespace kv {

class TQtPaintBox;

class TfrmMain : public QMainWindow {
public:
  // executablePath: the running program's file; arguments: the command line after the program name; boxes:
  // message boxes in place of Qt's (tests answer them), or null.
  TfrmMain(std::string executablePath, std::vector<std::string> arguments, IMessageBoxes* boxes = nullptr);
  ~TfrmMain() override;

  // ---- state
  TJigsawProject2* Project() const { return FLocator.Project(); }
  TKVJigsawApplication& Session() { return *FSession; }
  TGameDataLocator& Locator() { return FLocator; }
  TQtPaintBox* PlayingArea() const { return FPlayingArea; }
  THighScore& HighScores() { return FHighScores; }
  TPlayerServices& Platform() { return *FPlatform; }
  // The program is to end (no game data, or the game ended by the player's choice).
  bool TerminateRequested() const { return FTerminateRequested; }
  std::string StatusText(int panel) const;

  // The picture of the current game, as the session holds it.
  const TBitmap32& PictureBitmap() const { return FSession->Picture; }
  uint32_t CurrentPictureID = 0;
  int32_t SequenceIndex = 0;
  int32_t CurrentPicture = -1;
  bool QuitConfirmed = false;
  bool StartingUp = true;
  uint8_t LastLevel = 0;

  // ---- play flow
  void ChooseAndStartGame();
  int32_t ChoosePicture();
  void StartGame();
  void PrepareGame(bool fromSavedGame, const TJigsawFile* savedGame, int32_t pictureIndex);
  void ResetSession();
  void ShowClock();
  void WinHook();
  // The win timer's first tick: the end of a won game, after the board's own event has returned.
  void FinishGame();
  void AskPlayAgain(const std::string& question);
  // A count-down ran out.
  void GameLost();
  void ClearStatus();

  static std::string FormatClock(int64_t seconds);

  // Called once the first game's first frame is on the screen.
  std::function<void()> OnFirstFrame;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void FormCreate();
  void FormDestroy();
  void Terminate();
  void SetStatus(int panel, const std::string& text);
  // The close query: true when the window may close now.
  bool FormCloseQuery();

  IMessageBoxes* FBoxesOverride;
  std::unique_ptr<TPlayerServices> FPlatform;
  TGameDataLocator FLocator;
  std::unique_ptr<TKVJigsawApplication> FSession;
  THighScore FHighScores;
  std::unique_ptr<TTimer> FWinTimer;
  TQtPaintBox* FPlayingArea = nullptr; // owned by the graphic engine
  std::array<QLabel*, 4> FStatus{};
  bool FTerminateRequested = false;
  bool FFirstFrameReported = false;
};

} // namespace kv
