// The main window: finds and loads the game data at creation, shows the playing area (the graphic engine's
// paint box) with a status bar, runs the commands of the package's menus, buttons and scripts, and answers
// the play flow with its dialogs; asks before it closes while a game runs.
#pragma once

#include "app/uCommands.h"
#include "app/uGameKeeper.h"
#include "app/uMenuBuilder.h"
#include "app/uPlayDialogs.h"
#include "app/uPlayFlow.h"
#include "app/uPlayerServices.h"
#include "data/uGameData.h"
#include "data/uHighScore.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawApplication.h"

#include <QDesktopServices>
#include <QMainWindow>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QDialog;
class QLabel;
class QMenu;

namespace kv {

class TKVCustomConfig;

class TBannerPanel;
class TQtPaintBox;
class TfrmProgressInfo;

class TfrmMain : public QMainWindow, private IPlayDialogs {
public:
  // executablePath: the running program's file; arguments: the command line after the program name; boxes:
  // message boxes in place of Qt's (tests answer them), or null.
  TfrmMain(std::string executablePath, std::vector<std::string> arguments, IMessageBoxes* boxes = nullptr);
  ~TfrmMain() override;

  // ---- state
  TJigsawProject2* Project() const { return FLocator.Project(); }
  TKVJigsawApplication& Session() { return *FSession; }
  // The play flow: the current picture, the sequence, the last level and the quit state.
  TPlayFlow& Flow() { return *FFlow; }
  TGameDataLocator& Locator() { return FLocator; }
  TQtPaintBox* PlayingArea() const { return FPlayingArea; }
  // Where the player's view choices (preview shown, ghost picture, edges only, sound) are kept between runs;
  // null keeps none. Each game takes them as it starts, the running one at once; each change is kept.
  void SetViewStore(TKVCustomConfig* store);
  // The keeper of the unfinished game; null before a package was read.
  TGameKeeper* Keeper() const { return FKeeper.get(); }
  THighScore& HighScores() { return FHighScores; }
  TPlayerServices& Platform() { return *FPlatform; }
  // The program is to end (no game data, or the game ended by the player's choice).
  bool TerminateRequested() const { return FFlow && FFlow->TerminateRequested(); }
  std::string StatusText(int panel) const;
  // The skin in force, an index into the package's skins.
  int32_t CurrentSkin() const { return FCurrentSkin; }

  // The picture of the current game, as the session holds it.
  const TBitmap32& PictureBitmap() const { return FSession->Picture(); }
  // The current game's picture as the package holds it, for printing; the session's copy when it cannot be
  // decoded.
  TBitmap32 PrintablePicture() const;

  // The window over the screen's work area, the banner strip and the playing area in it.
  void LayoutWindow();
  // The package's banners in the strip over the playing area; the strip hidden when there are none.
  void PlaceBanners();
  TBannerPanel* BannerPanel() const { return FBannerPanel; }
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
  QMenu* PopupMenu() const { return FPopup; }
  // "Default", "Sentimox" (the look at start) or "Stripes".
  const std::string& ToolbarTheme() const { return FToolbarTheme; }
  void SetToolbarTheme(const std::string& name);
  // File dialogs (title, filter "Name (*.ext)|*.ext"); an empty result is a cancel. Tests answer them.
  std::function<std::string(const std::string& title, const std::string& filter)> AskOpenFileName;
  std::function<std::string(const std::string& title, const std::string& filter,
                            const std::string& extension)>
      AskSaveFileName;
  // Hands a file or a web address to the desktop; false when nothing there opens it. Tests answer it.
  std::function<bool(const QUrl& url)> OpenUrl = [](const QUrl& url) {
    return QDesktopServices::openUrl(url);
  };
  // The filter the last save dialog was left on, counted from 0; tests set it with their answer.
  int SaveFilterIndex = 0;

  // Runs a dialog modally and returns its result (1 OK, 2 Cancel, 6 Yes); tests answer in its place.
  std::function<int(QDialog& dialog)> RunDialog;
  // Where the win dialog's Print writes a PDF when the system has no printer; empty: the documents folder.
  std::string PrintFileName;

  // Called once the first game's first frame is on the screen.
  std::function<void()> OnFirstFrame;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  // ---- creation, in its steps
  void FormCreate();
  void CreateSession();
  void CreateStatusBar();
  void CreatePlayingArea();
  void CreateMenus();
  void InstallFileDialogs();
  // False when the game data could not be loaded (the error shown) or the program is to end.
  bool LoadGameData();
  void AttachProject();
  void RunStartActions();
  // The program's package services, with this window telling the errors a load goes on from.
  TPackageServices PackageServices();
  // The keeper of unfinished games for the package that was read.
  void KeepGames();
  void FormDestroy();
  // Writes the table when it changed; tell: a failure is shown.
  void SaveHighScores(bool tell);

  int RunModal(QDialog& dialog);
  void Terminate();
  // The close query: true when the window may close now.
  bool FormCloseQuery();

  // ---- the play flow's dialogs and window
  int32_t ChoosePicture(bool takeOnClose) override;
  std::string AskHighScoreName() override;
  void HighScoresChanged() override;
  void ShowHighScores(int32_t level) override;
  void ShowResult(const TGameResult& result) override;
  TNextPicture AskNextPicture() override;
  bool AskPlayAgain() override;
  void SetStatus(int32_t panel, const std::string& text) override;
  void FillPlayingArea(TColor color) override;
  void ApplyPackageTitle() override;
  void ApplyPackageStyle() override;
  void HideWindow() override;
  void ShowWindow() override;
  void GameStarted() override;
  void CloseWindow() override;
  void EndProgram() override;

  // ---- commands; each takes the sender and the script item's parameter
  using TCommandHandler = void (TfrmMain::*)(void* sender, const TScriptParameter& parameter);
  struct TCommandEntry {
    TCommand Command;
    // Acts only while the session runs (neither paused nor stopped).
    bool RunningOnly;
    TCommandHandler Handler;
  };
  static const std::array<TCommandEntry, LastCommand> CommandTable;
  void OpenSavedGameCommand(void* sender, const TScriptParameter& parameter);
  void SaveGameCommand(void* sender, const TScriptParameter& parameter);
  void ExitCommand(void* sender, const TScriptParameter& parameter);
  void HelpCommand(void* sender, const TScriptParameter& parameter);
  // The product's information box, closed by OK or Escape.
  void AboutCommand(void* sender, const TScriptParameter& parameter);
  void ShowPreviewCommand(void* sender, const TScriptParameter& parameter);
  void AutoSolveCommand(void* sender, const TScriptParameter& parameter);
  void SoundCommand(void* sender, const TScriptParameter& parameter);
  void SelectSkinCommand(void* sender, const TScriptParameter& parameter);
  void OnePieceSolveCommand(void* sender, const TScriptParameter& parameter);
  // Commands 11 and 17: the platform opens the named file.
  void RunFileCommand(void* sender, const TScriptParameter& parameter);
  void HighScoresCommand(void* sender, const TScriptParameter& parameter);
  void PlayPictureCommand(void* sender, const TScriptParameter& parameter);
  void NewGameCommand(void* sender, const TScriptParameter& parameter);
  void ExitNoConfirmCommand(void* sender, const TScriptParameter& parameter);
  void AutoSolveNoConfirmCommand(void* sender, const TScriptParameter& parameter);
  void StopFlagCommand(void* sender, const TScriptParameter& parameter);
  // The playing area as shown, to a BMP or (by the file's extension) a JPEG file.
  void SavePictureCommand(void* sender, const TScriptParameter& parameter);
  // A new game: this player with the package and a picture of the player's choice as its extra picture.
  void ExportGameCommand(void* sender, const TScriptParameter& parameter);
  void ChangeDifficultyCommand(void* sender, const TScriptParameter& parameter);
  void PauseResumeCommand(void* sender, const TScriptParameter& parameter);
  void SelectAllCommand(void* sender, const TScriptParameter& parameter);
  void DeselectAllCommand(void* sender, const TScriptParameter& parameter);
  void GhostCommand(void* sender, const TScriptParameter& parameter);
  void EdgesOnlyCommand(void* sender, const TScriptParameter& parameter);
  void NoCommand(void* sender, const TScriptParameter& parameter);
  // The state a check-mark command's entries show; nothing for commands without a check mark.
  std::optional<bool> TickState(int32_t id) const;
  // Every check-mark entry shows the state that holds.
  void UpdateTicks();
  // The kept view choices onto the running game, and the running game's choices into the store.
  void ApplyViewChoices();
  void RememberViewChoices();

  IMessageBoxes* FBoxesOverride;
  // The playing area's skin and engine outlive the session that draws with them.
  TKVGamesSkin FSkin;
  TKVGR32GraphicEngine FEngine{FSkin};
  std::unique_ptr<TPlayerServices> FPlatform;
  TGameDataLocator FLocator;
  std::unique_ptr<TKVJigsawApplication> FSession;
  THighScore FHighScores;
  // Why the table's file was not read; such a file is not written over.
  std::string FHighScoresRefused;
  std::unique_ptr<TPlayFlow> FFlow;
  // The unfinished game kept in the user's state folder; made once the package is known.
  std::unique_ptr<TGameKeeper> FKeeper;
  TKVCustomConfig* FViewStore = nullptr;
  std::unique_ptr<TfrmProgressInfo> FProgress;
  // The quiet start of a progress run: the window shows once the cut takes longer than a glance.
  int64_t FProgressBegun = -1;
  std::string FProgressText;
  TQtPaintBox* FPlayingArea = nullptr; // owned by the graphic engine
  TBannerPanel* FBannerPanel = nullptr;
  std::array<QLabel*, 4> FStatus{};
  TMenuBuilder FMenuEntries;
  QMenu* FPopup = nullptr;
  std::string FToolbarTheme;
  std::unique_ptr<IPopupMenu> FPopupSeam; // the engine's view of FPopup
  int32_t FCurrentSkin = 0;
  // HTML pages shown while the start actions run are modal.
  bool FRunningStartActions = false;
  // Set by commands whose effect should close an open HTML page.
  bool FCommandFromWindow = false;
  bool FFirstFrameReported = false;
};

} // namespace kv
