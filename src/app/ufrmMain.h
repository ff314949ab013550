// The main window: finds and loads the game data at creation, shows the playing area (the graphic engine's
// paint box) with a status bar, and drives the game from the choice of picture through the clock to the end
// of a game; asks before it closes while a game runs.
#pragma once

#include "app/uMenuBuilder.h"
#include "app/uPlayerServices.h"
#include "data/uGameData.h"
#include "data/uHighScore.h"
#include "jigsaw/uKVJigsawApplication.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QDialog;
class QLabel;
class QMenu;

namespace kv {

class TBannerPanel;
class TQtPaintBox;
class TfrmProgressInfo;

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
  // The skin in force, an index into the package's skins.
  int32_t CurrentSkin = 0;

  // ---- play flow
  void ChooseAndStartGame();
  int32_t ChoosePicture();
  void StartGame();
  void PrepareGame(bool fromSavedGame, const TJigsawFile* savedGame, int32_t pictureIndex);
  void ResetSession();
  // The window over the screen's work area, the banner strip and the playing area in it.
  void LayoutWindow();
  // The package's banners in the strip over the playing area; the strip hidden when there are none.
  void PlaceBanners();
  TBannerPanel* BannerPanel() const { return FBannerPanel; }
  void ShowClock();
  void WinHook();
  // The win timer's first tick: the end of a won game, after the board's own event has returned.
  void FinishGame();
  void AskPlayAgain(const std::string& question);
  // Level, qualification and name entry after a fair win.
  void HighScoreEntry();
  void WinDialog(int32_t level);
  // A count-down ran out.
  void GameLost();
  void ClearStatus();
  // The session's progress: kind 0 begins, 1 steps, 2 ends.
  void ProgressHandler(int32_t kind, const std::string& text, int32_t percent);
  // The progress window while one is open.
  TfrmProgressInfo* ProgressWindow() const { return FProgress.get(); }
  // A cut shorter than this many milliseconds shows no progress window, so that none flashes up and away.
  int ProgressWindowDelay = 150;

  static std::string FormatClock(int64_t seconds);

  // ---- commands
  // The command hook: the command id with its argument, from a menu entry, button, page or script (sender).
  void ExecuteCommand(void* sender, int32_t id, const TScriptParameter& parameter);
  // Menus of the package: the popup menu for the game and the menu bar.
  void BuildPopupMenu();
  void ApplyToolbarTheme();
  bool LoadSavedGame(const std::string& fileName);
  void SaveGameCommand();
  // The product's information box, closed by OK or Escape.
  void AboutBox();
  // The playing area as shown, to a BMP or (by the file's extension) a JPEG file.
  void SavePictureCommand();
  // A new game: this player with the package and a picture of the player's choice as its extra picture.
  void ExportGameCommand();
  void OpenSavedGameCommand();
  void PlayPictureCommand(int32_t n);
  void SelectSkinCommand();
  void HighScoresCommand();
  void ChangeDifficultyCommand();
  QMenu* PopupMenu() const { return FPopup; }
  // "Default", "Sentimox" (the look at start) or "Stripes".
  const std::string& ToolbarTheme() const { return FToolbarTheme; }
  void SetToolbarTheme(const std::string& name);
  bool ExitRequested = false;
  bool RunningStartActions = false;
  bool CommandFromWindow = false;
  // File dialogs (title, filter "Name (*.ext)|*.ext"); an empty result is a cancel. Tests answer them.
  std::function<std::string(const std::string& title, const std::string& filter)> AskOpenFileName;
  std::function<std::string(const std::string& title, const std::string& filter,
                            const std::string& extension)>
      AskSaveFileName;

  // Runs a dialog modally and returns its result (1 OK, 2 Cancel, 6 Yes); tests answer in its place.
  std::function<int(QDialog& dialog)> RunDialog;
  // Where the win dialog's Print writes a PDF when the system has no printer; empty: the documents folder.
  std::string PrintFileName;

  // Called once the first game's first frame is on the screen.
  std::function<void()> OnFirstFrame;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void FormCreate();
  void FormDestroy();
  int RunModal(QDialog& dialog);
  // The package's own saved game, played when the player wants it: prepares the session with it.
  bool UsePreparedGame(const TJigsawProject2& project, const TBMPData& entry);
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
  std::unique_ptr<TfrmProgressInfo> FProgress;
  // The quiet start of a progress run: the window shows once the cut takes longer than a glance.
  int64_t FProgressBegun = -1;
  std::string FProgressText;
  TJigsawFile FPreparedGame;
  TQtPaintBox* FPlayingArea = nullptr; // owned by the graphic engine
  TBannerPanel* FBannerPanel = nullptr;
  std::array<QLabel*, 4> FStatus{};
  TMenuBuilder FMenuEntries;
  QMenu* FPopup = nullptr;
  std::string FToolbarTheme;
  std::unique_ptr<IPopupMenu> FPopupSeam; // the engine's view of FPopup
  void RunCommand(void* sender, int32_t id, const TScriptParameter& parameter);
  // Sets the check mark of a menu entry that sent a command.
  void CheckSender(void* sender, bool checked);
  bool FTerminateRequested = false;
  bool FFirstFrameReported = false;
};

} // namespace kv
