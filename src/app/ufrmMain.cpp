#include "app/ufrmMain.h"

#include "app/UfmBestTopTen.h"
#include "app/UfmHighScore.h"
#include "app/uBannerPanel.h"
#include "app/uFormatClock.h"
#include "app/uQtPaintBox.h"
#include "app/uToolbarThemes.h"
#include "app/ufrmChooseBitmap.h"
#include "app/ufrmDifficulty.h"
#include "app/ufrmNextBitmap.h"
#include "app/ufrmPlayAgain.h"
#include "app/ufrmProgressInfo.h"
#include "app/ufrmSelectSkin.h"
#include "app/ufrmWin.h"
#include "data/uEGameExport.h"
#include "data/uKVErrors.h"
#include "gui/uBmpCodec.h"
#include "gui/uJpegCodec.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "gui/uPictureConverters.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uQtPlatform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <chrono>
#include <filesystem>

namespace kv {

namespace {

constexpr const char* NoBitmapMessage = "Project doesn't contain any bitmap.";
constexpr std::array<int, 4> StatusWidths = {50, 50, 100, 50};

// The popup menu as the graphic engine opens it on a right click.
class TQtPopupMenu : public IPopupMenu {
public:
  explicit TQtPopupMenu(QMenu& menu) : FMenu(menu) {}
  void Popup(int32_t screenX, int32_t screenY) override { FMenu.popup(QPoint(screenX, screenY)); }

private:
  QMenu& FMenu;
};

// "Name (*.ext)|*.ext|..." as Qt's filter list "Name (*.ext);;...".
QString QtFilter(const std::string& filter) {
  QStringList parts = QtText(filter).split('|');
  QStringList names;
  for (qsizetype i = 0; i < parts.size(); i += 2) names << parts[i];
  return names.join(";;");
}

// The single text value commands 11, 13 and 17 require; nothing when the parameter is not exactly that.
std::optional<std::string> OnlyText(const TScriptParameter& parameter) {
  if (parameter.Count() != 1 || parameter.Entries(0).Kind != kParamText) return std::nullopt;
  return parameter.Entries(0).AsText();
}

} // namespace

std::string TfrmMain::FormatClock(int64_t seconds) {
  return kv::FormatClock(seconds);
}

TfrmMain::TfrmMain(std::string executablePath, std::vector<std::string> arguments, IMessageBoxes* boxes)
    : FBoxesOverride(boxes), FLocator(std::move(executablePath), std::move(arguments)) {
  FormCreate();
}

TfrmMain::~TfrmMain() {
  FormDestroy();
}

// ---- creation and destruction

void TfrmMain::FormCreate() {
  // The package's banners and the saved games' pictures are measured through the picture codecs.
  InstallPictureConverters();
  setWindowTitle(QApplication::applicationDisplayName());
  FPlatform = std::make_unique<TPlayerServices>(this, FBoxesOverride);
  const TPlatformServices& services = FPlatform->Services();

  FWinTimer = services.Timers();
  FWinTimer->SetInterval(100);
  FWinTimer->OnTimer = [this] { FinishGame(); };

  FSession = std::make_unique<TKVJigsawApplication>(services);
  FSession->SetMainWindow(this);
  FSession->OnBoardWin = [this](TKVGUIControl*) { WinHook(); };
  FSession->OnTimeOut = [this](TKVCustomJigsawApplication*) { GameLost(); };
  FSession->OnProgress = [this](int32_t kind, const std::string& text, int32_t value) {
    ProgressHandler(kind, text, value);
  };

  // Status bar: four panels, the third shows the clock.
  for (std::size_t i = 0; i < FStatus.size(); ++i) {
    FStatus[i] = new QLabel(this);
    FStatus[i]->setFixedWidth(StatusWidths[i]);
    statusBar()->addWidget(FStatus[i]);
  }
  statusBar()->setSizeGripEnabled(false);

  // The client area: the banner strip over the playing area, the graphic engine's paint box.
  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  FBannerPanel = new TBannerPanel(client);
  column->addWidget(FBannerPanel);
  auto area = std::make_unique<TQtPaintBox>();
  FPlayingArea = area.get();
  GraphicEngine().CreateSurface(std::move(area));
  column->addWidget(FPlayingArea, 1);
  setCentralWidget(client);
  FPlayingArea->OnPresented = [this] {
    if (FFirstFrameReported || !FSession->Board() || !OnFirstFrame) return;
    FFirstFrameReported = true;
    OnFirstFrame();
  };

  // The menus: a menu bar, and a popup menu that the playing area opens once the package gives it entries.
  FPopup = new QMenu(this);
  FPopupSeam = std::make_unique<TQtPopupMenu>(*FPopup);
  menuBar()->setNativeMenuBar(false);
  SetToolbarTheme("Sentimox");
  SetScriptCommandHook([this](void* sender, int32_t id, const TScriptParameter& parameter) {
    ExecuteCommand(sender, id, parameter);
  });
  AskOpenFileName = [this](const std::string& title, const std::string& filter) {
    return PackageText(QFileDialog::getOpenFileName(this, QtText(title), QString(), QtFilter(filter)));
  };
  AskSaveFileName = [this](const std::string& title, const std::string& filter,
                           const std::string& extension) {
    QFileDialog dialog(this, QtText(title), QString(), QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QtText(extension));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? PackageText(dialog.selectedFiles().front())
               : std::string();
  };

  FLocator.OnResetSession = [this] { FSession->Reset(); };
  FLocator.OnLoadSkinTheme = [](TMemoryStream& skin) { TKVGamesSkin::Instance().LoadThemeOrDefault(skin); };
  try {
    FLocator.LocateGameData();
  } catch (const std::exception& error) {
    FPlatform->Boxes().ShowError(StartupErrorMessage(error));
    return;
  }
  if (FLocator.TerminateRequested) {
    Terminate();
    return;
  }
  if (TJigsawProject2* project = Project()) {
    // A package without a skin of its own plays with the built-in one.
    if (project->SkinData.Size() == 0) {
      TMemoryStream none;
      TKVGamesSkin::Instance().LoadThemeOrDefault(none);
    }
    // The window is laid out for each game as it is prepared.
    FSession->SetClientArea(FPlayingArea);
    FSession->SetProject(project);
    const std::string path = FLocator.HighScorePath();
    if (!path.empty() && std::filesystem::exists(path)) {
      try {
        FHighScores.LoadFromFile(path);
      } catch (const std::exception&) {
        // A damaged table starts the game with what could be read.
      }
    }
  }
  ChooseAndStartGame();
  StartingUp = false;
  TJigsawProject2* project = Project();
  if (!project || FTerminateRequested) return;
  // The start actions run with the window hidden; one that starts a game shows it again.
  if (project->StartActions.ScriptCount() > 0) hide();
  RunningStartActions = true;
  project->StartActions.Execute();
  if (ExitRequested) Terminate();
  RunningStartActions = false;
}

void TfrmMain::FormDestroy() {
  SetScriptCommandHook({});
  if (TJigsawProject2* project = Project()) {
    try {
      project->ExitActions.Execute();
    } catch (const std::exception& error) {
      if (FPlatform) FPlatform->Boxes().ShowError(error.what());
    }
  }
  GraphicEngine().SetPopupMenu(nullptr);
  if (FSession) {
    TJigsawProject2* project = Project();
    const std::string path = FLocator.HighScorePath();
    if (project && !project->Options.NoHighScores && FHighScores.Modified() && !path.empty()) {
      try {
        FHighScores.SaveToFile(path);
      } catch (const std::exception&) {
        // Nothing to tell at the end of the run; the previous file stays as it was.
      }
    }
    FSession->Reset();
    FSession.reset();
  }
  // The paint box goes with the engine's surface, before the window's own children.
  if (FPlayingArea) FPlayingArea->setParent(nullptr);
  GraphicEngine().DestroySurface();
  FPlayingArea = nullptr;
}

void TfrmMain::Terminate() {
  FTerminateRequested = true;
  QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
}

// ---- play flow

void TfrmMain::ChooseAndStartGame() {
  TJigsawProject2* project = Project();
  if (project && project->Pictures.empty()) {
    FPlatform->Boxes().ShowError(NoBitmapMessage);
    Terminate();
    return;
  }
  // No choice leaves the running game as it is, its picture included: a later restart (a new difficulty)
  // needs it.
  const int32_t chosen = ChoosePicture();
  if (chosen == -1) return;
  CurrentPicture = chosen;
  ResetSession();
  StartGame();
}

int32_t TfrmMain::ChoosePicture() {
  const TJigsawProject2* project = Project();
  const std::size_t playable = FLocator.PlayablePictures.size();
  if (!project || playable == 0) return -1;
  switch (project->PictureChoiceMode) {
  case 0: {
    if (playable == 1) return FLocator.PlayablePictureIndex(0);
    TfrmChooseBitmap chooser(*project, this);
    const bool played = RunModal(chooser) == mrOk;
    return played || StartingUp ? chooser.BitmapIndex : -1;
  }
  case 1:
    if (SequenceIndex >= static_cast<int32_t>(playable)) SequenceIndex = 0;
    return FLocator.PlayablePictureIndex(SequenceIndex);
  case 2:
    return FLocator.PlayablePictureIndex(FPlatform->Services().Random(static_cast<int32_t>(playable)));
  default:
    return -1;
  }
}

void TfrmMain::StartGame() {
  hide();
  if (CurrentPicture != -1) PrepareGame(false, nullptr, CurrentPicture);
  if (FTerminateRequested || !FSession->Board()) return;
  show();
  FPlayingArea->setFocus();
  FSession->Start();
}

void TfrmMain::PrepareGame(bool fromSavedGame, const TJigsawFile* savedGame, int32_t pictureIndex) {
  TJigsawProject2* project = Project();
  if (!project) return;
  BuildPopupMenu();
  QApplication::setApplicationDisplayName(QtText(project->Title));
  setWindowTitle(QtText(project->Title));
  if (project->Icon.Size() > 0) {
    QPixmap icon;
    const std::vector<uint8_t>& bytes = project->Icon.Bytes();
    if (icon.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "ICO"))
      QApplication::setWindowIcon(icon);
  }
  if (project->Pictures.empty()) {
    FPlatform->Boxes().ShowError(NoBitmapMessage);
    Terminate();
    return;
  }
  ApplyToolbarTheme();
  CurrentSkin = project->StartSkinIndex;
  LayoutWindow();
  try {
    const TBMPData& entry = project->Pictures.size() == 1
                                ? *project->Pictures.front()
                                : *project->Pictures.at(static_cast<std::size_t>(pictureIndex));
    CurrentPictureID = entry.ID;
    if (!(fromSavedGame && savedGame)) {
      FSession->Difficulty = project->DifficultyIndex(CurrentPictureID);
      if ((project->PreparedGame.Columns > 0 || project->PreparedGame.Rows > 0) &&
          FPlatform->Boxes().AskConfirmation("Project contains saved game data. Play saved game?") &&
          UsePreparedGame(*project, entry)) {
        fromSavedGame = true;
        savedGame = &FPreparedGame;
      }
    }
    if (fromSavedGame && savedGame) {
      FSession->SavedGame = savedGame;
      FSession->CheatCount = savedGame->CheatCount;
    }
    // Decoded once, no larger than the cut needs: the session's picture is the only copy.
    FSession->LoadGamePicture(entry,
                              fromSavedGame && savedGame ? savedGame->Difficulty : FSession->Difficulty);
    FSession->PictureName = entry.Name;
    FSession->OnClockTick = [this](TKVCustomJigsawApplication*) { ShowClock(); };
    FSession->Prepare();
    FSession->SavedGame = nullptr;
  } catch (const Exception&) {
    // Damaged data, a picture that cannot be decoded, or no piece shapes to cut it with.
    GraphicEngine().Clear(clAppWorkSpace);
    FPlatform->Boxes().ShowError(InvalidProjectDataMessage);
    Terminate();
  }
}

bool TfrmMain::UsePreparedGame(const TJigsawProject2& project, const TBMPData& entry) {
  const TPreparedGame& prepared = project.PreparedGame;
  if (prepared.Columns <= 0 || prepared.Rows <= 0) return false;
  FPreparedGame = TJigsawFile();
  FPreparedGame.Columns = prepared.Columns;
  FPreparedGame.Rows = prepared.Rows;
  FPreparedGame.PictureId = entry.ID;
  TMemoryStream pieces(prepared.Pieces.Bytes());
  try {
    FPreparedGame.PieceStates =
        ReadPieceStates(pieces, static_cast<int64_t>(prepared.Columns) * static_cast<int64_t>(prepared.Rows));
  } catch (const EStreamError&) {
    return false;
  }
  // The prepared game names no difficulty: it is the one whose cut of this picture gives its pieces. A game
  // that fits none is not played; a fresh game starts instead.
  const TImageInfo stored = StoredPictureSize(entry);
  for (uint8_t difficulty = 0; difficulty <= 5; ++difficulty) {
    FPreparedGame.Difficulty = difficulty;
    if (FSession->SavedGameFits(FPreparedGame, stored)) return true;
  }
  return false;
}

void TfrmMain::LayoutWindow() {
  // The window over the screen's work area; the shaped and full-screen styles keep the same layout here.
  const TRect work = FPlatform->Services().Screen->WorkArea();
  setGeometry(work.Left, work.Top, work.Width(), work.Height());
  PlaceBanners();
  // Laid out now, also while the window is hidden: the session reads the playing area's size when it
  // prepares. The bars take their final height from their style only once polished.
  ensurePolished();
  menuBar()->ensurePolished();
  statusBar()->ensurePolished();
  layout()->invalidate();
  layout()->activate();
  // A hidden widget hears of its new size only when shown: its layout is told here.
  centralWidget()->layout()->invalidate();
  centralWidget()->layout()->activate();
  FPlayingArea->SetBounds(0, 0, FPlayingArea->width(), FPlayingArea->height());
}

void TfrmMain::PlaceBanners() {
  TJigsawProject2* project = Project();
  if (project && project->Banners.Count() > 0)
    FBannerPanel->Place(project->Banners, FPlatform->Services().Timers);
  else
    FBannerPanel->Clear();
}

void TfrmMain::ResetSession() {
  FLocator.PlayerName.clear();
  FSession->Reset();
}

void TfrmMain::ShowClock() {
  if (FSession->State() != kvasRunning) return;
  SetStatus(2, FormatClock(FSession->Clock));
}

void TfrmMain::WinHook() {
  FSession->SetStopped(true);
  if (!FWinTimer->Enabled()) FWinTimer->SetEnabled(true);
}

void TfrmMain::FinishGame() {
  FWinTimer->SetEnabled(false);
  SetStatus(2, "");
  TJigsawProject2* project = Project();
  if (!project) return;
  if (FSession->CheatCount == 0) HighScoreEntry();
  TActionItem& end = project->EndActions;
  const int32_t firstAction = end.ScriptCount() > 0 ? end.Scripts(0).ID : 0;
  const bool actionsHandleEnd = firstAction != 0 && firstAction != 18;
  if (actionsHandleEnd)
    end.Execute();
  else
    WinDialog(LastLevel);
  FSession->CheatCount = 0;
  if (actionsHandleEnd) return;
  if (project->PictureChoiceMode == 1) {
    if (SequenceIndex + 1 < static_cast<int32_t>(FLocator.PlayablePictures.size())) {
      TfrmNextBitmap next;
      switch (RunModal(next)) {
      case mrOk:
        ++SequenceIndex;
        ChooseAndStartGame();
        break;
      case mrYes:
        ChooseAndStartGame();
        break;
      default:
        SequenceIndex = 0;
        ClearStatus();
        QuitConfirmed = true;
        close();
        break;
      }
    } else {
      AskPlayAgain("No more image to play. Play again from first image?");
    }
    return;
  }
  if (firstAction == 18) AskPlayAgain("Play again?");
}

void TfrmMain::HighScoreEntry() {
  TJigsawProject2* project = Project();
  if (!project) return;
  const int32_t level = HighScoreLevel(*project, CurrentPicture);
  int32_t position = -1;
  const bool qualifies = level >= 0 && FHighScores.Qualifies(level, FSession->Clock, position);
  LastLevel = static_cast<uint8_t>(std::max(level, 0));
  if (!qualifies || project->Options.NoHighScores) return;
  // The name page of an HTML name entry needs the page window, which is not part of this player yet: the
  // dialog asks for the name instead.
  TfmBestTopTen entry;
  RunModal(entry);
  FLocator.PlayerName = entry.Name();
  FHighScores.Add(THighScoreData{FLocator.PlayerName, FSession->Clock, static_cast<uint8_t>(level)});
  if (project->ShowHighScoreTable) {
    TfmHighScore list(this);
    list.FillList(FHighScores, level);
    RunModal(list);
  }
}

void TfrmMain::WinDialog(int32_t level) {
  TfrmWin win(this);
  TfmHighScore list(this);
  const std::string time = FormatClock(FSession->Clock);
  const int32_t cheats = FSession->CheatCount;
  const TKVJigsawBoard* board = FSession->Board();
  if (cheats == 0) {
    win.SetCaption("Win");
    win.SetHeading("You Win!");
    win.SetHeadingSize(36);
  } else if (board && cheats == board->PieceCount()) {
    win.SetCaption("Auto solve complete");
    win.SetHeading("Auto solve complete");
    win.SetHeadingSize(20);
  } else {
    win.SetCaption("Win with cheat");
    win.SetHeading("You win but you cheat " + std::to_string(cheats) + "X");
    win.SetHeadingSize(16);
  }
  win.SetTimeLabel("Time to complete puzzle: ");
  win.SetClockText(time);
  RunModal(win);
  if (win.PrintFlag()) PrintPictureJob(FSession->Picture, this, PrintFileName);
  list.FillList(FHighScores, level);
  const TJigsawProject2* project = Project();
  if (!project || !project->Options.NoHighScores) RunModal(list);
}

void TfrmMain::AskPlayAgain(const std::string& question) {
  const bool again = FPlatform->Boxes().AskConfirmation(question);
  SequenceIndex = 0;
  if (again) {
    ChooseAndStartGame();
    return;
  }
  ClearStatus();
  QuitConfirmed = true;
  close();
}

void TfrmMain::GameLost() {
  TfrmWin lost(this);
  TfrmPlayAgain again(this);
  lost.SetCaption("Lose");
  lost.SetHeading("You Lose!");
  lost.SetTimeLabel("Your estimated time to solve:");
  const TJigsawProject2* project = Project();
  lost.SetClockText(FormatClock(project ? project->CountdownSeconds : 0));
  lost.SetPrintVisible(false);
  RunModal(lost);
  SetStatus(2, "");
  if (RunModal(again) == mrOk) {
    ChooseAndStartGame();
    return;
  }
  ClearStatus();
  QuitConfirmed = true;
  close();
}

void TfrmMain::ProgressHandler(int32_t kind, const std::string& text, int32_t percent) {
  using Clock = std::chrono::steady_clock;
  const auto now = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
  };
  switch (kind) {
  case kvpkBegin:
    FProgressBegun = now();
    FProgressText = text;
    if (ProgressWindowDelay > 0) return;
    break;
  case kvpkStep:
    FProgressText = text;
    if (!FProgress && (FProgressBegun < 0 || now() - FProgressBegun < ProgressWindowDelay)) return;
    break;
  default:
    FProgress.reset();
    FProgressBegun = -1;
    return;
  }
  if (!FProgress) {
    FProgress = std::make_unique<TfrmProgressInfo>();
    FProgress->SetText(FProgressText);
    FProgress->show();
  }
  FProgress->SetText(FProgressText);
  if (kind == kvpkStep) FProgress->SetPercent(static_cast<uint8_t>(std::clamp(percent, 0, 255)));
}

int TfrmMain::RunModal(QDialog& dialog) {
  return RunDialog ? RunDialog(dialog) : dialog.exec();
}

void TfrmMain::ClearStatus() {
  GraphicEngine().Clear(clBtnFace);
  SetStatus(0, "");
  SetStatus(1, "");
}

void TfrmMain::SetStatus(int panel, const std::string& text) {
  if (panel >= 0 && panel < static_cast<int>(FStatus.size()))
    FStatus[static_cast<std::size_t>(panel)]->setText(QtText(text));
}

std::string TfrmMain::StatusText(int panel) const {
  if (panel < 0 || panel >= static_cast<int>(FStatus.size())) return {};
  return PackageText(FStatus[static_cast<std::size_t>(panel)]->text());
}

// ---- closing

bool TfrmMain::FormCloseQuery() {
  if (!FSession || FSession->State() != kvasRunning) return true;
  FSession->Pause();
  bool allow = QuitConfirmed;
  if (!allow) {
    std::string question = "Quit " + PackageText(QApplication::applicationDisplayName()) + " ?";
    if (const TJigsawProject2* project = Project())
      if (const std::optional<std::string> text = project->LanguageQuitText()) question = *text;
    if (question.empty()) {
      allow = true;
    } else {
      FSession->Confirm("Confirm", question, [this](TKVGUIControl*) {
        FSession->Stop();
        FSession->Reset();
        QuitConfirmed = true;
        QTimer::singleShot(0, this, [this] { close(); });
      });
    }
  }
  FSession->Resume();
  return allow;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

// ---- commands

void TfrmMain::CheckSender(void* sender, bool checked) {
  if (!FMenuEntries.IsEntry(sender)) return;
  auto* entry = static_cast<QAction*>(sender);
  entry->setCheckable(true);
  entry->setChecked(checked);
}

void TfrmMain::ExecuteCommand(void* sender, int32_t id, const TScriptParameter& parameter) {
  // The application's error box: an error of a command ends the command, not the program.
  try {
    RunCommand(sender, id, parameter);
  } catch (const std::exception& error) {
    FPlatform->Boxes().ShowError(error.what());
  }
}

void TfrmMain::RunCommand(void* sender, int32_t id, const TScriptParameter& parameter) {
  TKVJigsawApplication& session = *FSession;
  const bool running = session.State() == kvasRunning;
  TKVJigsawBoard* board = session.Board();
  switch (id) {
  case 1:
    OpenSavedGameCommand();
    break;
  case 2:
    SaveGameCommand();
    break;
  case 3:
    QuitConfirmed = false;
    ExitRequested = true;
    close();
    break;
  case 4: {
    // The help file opens only where it exists; there is no viewer of its own here.
    const std::filesystem::path help =
        std::filesystem::path(FLocator.ExecutablePath()).parent_path() / "jigsawhelp.hlp";
    if (std::filesystem::exists(help))
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(help.string())));
    break;
  }
  case 5:
    session.Pause();
    AboutBox();
    session.Resume();
    break;
  case 6:
    if (!running) break;
    session.PlaySoundEvent(kvsePreview, 1);
    if (TKVGUIForm* preview = session.PreviewWindow()) preview->SetVisible(!preview->Visible());
    break;
  case 7:
  case 19:
    if (!running || !board) break;
    if (session.SolveAll(id == 7 ? 1 : 0)) session.CheatCount = board->PieceCount();
    break;
  case 8:
    session.SetSoundOn(!session.SoundOn());
    CheckSender(sender, session.SoundOn());
    break;
  case 10:
    if (running) session.SolveOnePiece();
    break;
  case 11:
  case 17:
    if (const auto text = OnlyText(parameter))
      QDesktopServices::openUrl(QUrl::fromUserInput(
          QtText(*text), QString::fromStdString(std::filesystem::current_path().string())));
    break;
  case 14:
    if (parameter.Count() >= 1 && parameter.Entries(0).Kind == kParamInteger)
      PlayPictureCommand(parameter.Entries(0).AsInteger());
    break;
  case 15:
    ChooseAndStartGame();
    break;
  case 16:
    QuitConfirmed = true;
    ExitRequested = true;
    close();
    break;
  case 20:
    if (!running) break;
    session.SetStopped(!session.Stopped());
    CheckSender(sender, session.Stopped());
    break;
  case 24:
    if (running)
      session.Pause();
    else
      session.Resume();
    CheckSender(sender, session.State() == kvasPaused);
    break;
  case 21:
    if (running) SavePictureCommand();
    break;
  case 22:
    ExportGameCommand();
    break;
  case 25:
    if (running && board) board->MarkAll();
    break;
  case 26:
    if (running && board) board->UnmarkAll();
    break;
  case 27:
    CheckSender(sender, session.ToggleGhost());
    break;
  case 28:
    session.SetEdgesOnly(!session.EdgesOnly());
    CheckSender(sender, session.EdgesOnly());
    break;
  case 9:
    SelectSkinCommand();
    break;
  case 12:
    HighScoresCommand();
    break;
  case 23:
    ChangeDifficultyCommand();
    break;
  default:
    // 13 opens HTML pages, which this player does not show yet; 18 is no command.
    break;
  }
}

void TfrmMain::BuildPopupMenu() {
  TJigsawProject2* project = Project();
  FPopup->clear();
  if (project) FMenuEntries.Build(1, *FPopup, project->Menus);
  // The playing area opens the menu only when the package gives it entries.
  GraphicEngine().SetPopupMenu(FPopup->actions().isEmpty() ? nullptr : FPopupSeam.get());
}

void TfrmMain::SetToolbarTheme(const std::string& name) {
  FToolbarTheme = name;
  const QString sheet = ToolbarThemeStyleSheet(name);
  menuBar()->setStyleSheet(sheet);
  statusBar()->setStyleSheet(sheet);
  FPopup->setStyleSheet(sheet);
}

void TfrmMain::ApplyToolbarTheme() {
  TJigsawProject2* project = Project();
  if (!project) return;
  switch (project->SkinMode) {
  case 15:
    SetToolbarTheme("Default");
    break;
  case 20:
    SetToolbarTheme("Sentimox");
    break;
  case 21:
    SetToolbarTheme("Stripes");
    break;
  case 19:
    // The window without border, bars or frame.
    menuBar()->hide();
    statusBar()->hide();
    setWindowFlag(Qt::FramelessWindowHint, true);
    break;
  default:
    break;
  }
  if (!project->Menus.empty()) {
    menuBar()->clear();
    FMenuEntries.Build(0, *menuBar(), project->Menus);
  }
  FPopup->addSeparator();
  QAction* about = FPopup->addAction("About Tessarix");
  QObject::connect(about, &QAction::triggered, this,
                   [this] { ExecuteCommand(nullptr, 5, TScriptParameter()); });
}

void TfrmMain::AboutBox() {
  const QString title = QApplication::applicationDisplayName();
  QMessageBox box(
      QMessageBox::NoIcon, "About " + title,
      "<b>" + title.toHtmlEscaped() +
          "</b><p>A jigsaw puzzle: cut a picture into pieces and put it together again against the "
          "clock.</p><p>Korvane Jigsaw for Linux.</p>",
      QMessageBox::Ok, this);
  box.setIconPixmap(windowIcon().pixmap(64, 64));
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
}

void TfrmMain::SavePictureCommand() {
  // The playing area as it is shown now.
  const TBitmap32* shown = GraphicEngine().GetBuffer();
  if (!shown) return;
  const TBitmap32 view(*shown);
  FSession->Pause();
  const std::string file =
      AskSaveFileName("Save Picture", "Windows Bitmap (*.bmp)|*.bmp|JPEG Image (*.jpg)|*.jpg|", "bmp");
  if (!file.empty()) {
    std::string extension = std::filesystem::path(file).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    try {
      TMemoryStream data;
      if (extension == ".jpg" || extension == ".jpeg") {
        TDecodedPicture picture;
        picture.Width = view.Width();
        picture.Height = view.Height();
        // 24 bits: every pixel opaque.
        picture.Pixels.assign(view.Bits(),
                              view.Bits() + static_cast<std::size_t>(view.Width()) * view.Height());
        for (uint32_t& pixel : picture.Pixels) pixel |= 0xFF000000u;
        data = EncodeJpeg(picture);
      } else {
        WriteBmp24(data, view.Width(), view.Height(), view.Bits());
      }
      data.SaveToFile(file);
    } catch (const EStreamError&) {
      FPlatform->Boxes().ShowError("Unable to save picture");
      return;
    }
    FPlatform->Boxes().ShowInformation("Picture successfully saved into file " + file);
  }
  FSession->Resume();
}

void TfrmMain::ExportGameCommand() {
  TJigsawProject2* project = Project();
  if (!project) return;
  const std::string picture = AskOpenFileName(
      "Open Image", "Windows Bitmap (*.bmp)|*.bmp|JPEG Image (*.jpg)|*.jpg|GIF Image (*.gif)|*.gif");
  if (picture.empty()) return;
  const std::string output =
      AskSaveFileName("Save Executable Output As", "Windows Executable (*.exe)|*.exe", "");
  if (output.empty()) return;
  // The package as the writer makes it, with the piece library beside the program.
  InstallPackagePictureSteps();
  TMemoryStream package;
  project->SaveToStream(package);
  MakeGame(package, *project, {picture}, output, FLocator.ExecutablePath());
  FPlatform->Boxes().ShowInformation(output + " is created successfuly.");
}

void TfrmMain::SaveGameCommand() {
  TKVJigsawApplication& session = *FSession;
  session.Pause();
  const std::string file = AskSaveFileName("Save Jigsaw Data", "Jigsaw Saved Data (*.jsw)|*.jsw", "jsw");
  if (!file.empty() && session.Board()) {
    try {
      TJigsawFile saved;
      session.FillSavedGame(saved, CurrentPictureID, FLocator.ExecutablePath());
      saved.SaveToFile(file);
      FPlatform->Boxes().ShowInformation("Game is successfully saved into file " + file);
    } catch (const EFCreateError&) {
      FPlatform->Boxes().ShowError("Unable to save game");
      return;
    } catch (const EWriteError&) {
      FPlatform->Boxes().ShowError("Write Stream Error");
      return;
    }
  }
  session.Resume();
}

void TfrmMain::OpenSavedGameCommand() {
  TKVJigsawApplication& session = *FSession;
  session.Pause();
  const std::string file = AskOpenFileName("Open Jigsaw Saved Data", "Jigsaw Saved Data (*.jsw)|*.jsw");
  if (file.empty()) {
    CommandFromWindow = false;
  } else if (!std::filesystem::exists(file)) {
    FPlatform->Boxes().ShowError("File " + file + " not found.");
  } else {
    CommandFromWindow = true;
    try {
      LoadSavedGame(file);
    } catch (const std::exception&) {
      // A file that cannot be read leaves the current game as it was.
      return;
    }
  }
  session.Resume();
}

bool TfrmMain::LoadSavedGame(const std::string& fileName) {
  TJigsawFile saved;
  saved.LoadFromFile(fileName);
  TJigsawProject2* project = Project();
  if (!project) return false;
  int32_t index = -1;
  for (std::size_t i = 0; i < project->Pictures.size(); ++i)
    if (project->Pictures[i]->ID == saved.PictureId) {
      index = static_cast<int32_t>(i);
      break;
    }
  // The session refuses a saved game whose picture or pieces the package no longer has, with its message,
  // before anything of the running game changes.
  FLocator.PlayerName.clear();
  if (!FSession->RestoreSavedGame(saved, fileName)) return false;
  CurrentPicture = index;
  CurrentPictureID = saved.PictureId;
  show();
  FPlayingArea->setFocus();
  return true;
}

void TfrmMain::SelectSkinCommand() {
  TJigsawProject2* project = Project();
  if (!project) return;
  TKVJigsawApplication& session = *FSession;
  session.Pause();
  // The session resumes however the command ends, also when a skin cannot be read.
  struct TResume {
    TKVJigsawApplication& Session;
    ~TResume() { Session.Resume(); }
  } resume{session};
  TfrmSelectSkin chooser(*project, CurrentSkin, this);
  if (RunModal(chooser) != mrOk || chooser.SkinIndex == CurrentSkin) return;
  CurrentSkin = chooser.SkinIndex;
  project->SkinIndex = CurrentSkin;
  project->StartSkinIndex = CurrentSkin;
  // Only a window-shape skin changes a window of this style; the playing area is laid out again.
  session.RefitPlayingArea();
  const TRect screen = FPlatform->Services().Screen->ScreenRect();
  move(screen.Left + (screen.Width() - frameGeometry().width()) / 2,
       screen.Top + (screen.Height() - frameGeometry().height()) / 2);
}

void TfrmMain::HighScoresCommand() {
  FSession->Pause();
  TfmHighScore list(this);
  list.FillList(FHighScores, LastLevel);
  RunModal(list);
  FSession->Resume();
}

void TfrmMain::ChangeDifficultyCommand() {
  TJigsawProject2* project = Project();
  if (!project) return;
  FSession->Pause();
  TfrmDifficulty dialog(this);
  TPictureSettings* settings = project->FindPictureSettings(CurrentPictureID);
  dialog.NumPiecesMin = settings ? settings->NumPiecesMin : project->NumPiecesMin;
  dialog.NumPiecesMax = settings ? settings->NumPiecesMax : project->NumPiecesMax;
  if (RunModal(dialog) != mrOk) {
    FSession->Resume();
    return;
  }
  project->NumPiecesMin = dialog.NumPiecesMin;
  project->NumPiecesMax = dialog.NumPiecesMax;
  if (settings) {
    settings->NumPiecesMin = dialog.NumPiecesMin;
    settings->NumPiecesMax = dialog.NumPiecesMax;
  }
  ResetSession();
  StartGame();
}

void TfrmMain::PlayPictureCommand(int32_t n) {
  SequenceIndex = n;
  FLocator.LoadProject(nullptr, "", nullptr, true);
  const int32_t picture = n >= 0 && n < static_cast<int32_t>(FLocator.PlayablePictures.size())
                              ? FLocator.PlayablePictureIndex(n)
                              : -1;
  TJigsawProject2* project = Project();
  if (!project || picture < 0 || picture >= static_cast<int32_t>(project->Pictures.size())) {
    FPlatform->Boxes().ShowError("Invalid picture index.");
    return;
  }
  hide();
  CurrentPicture = picture;
  PrepareGame(false, nullptr, picture);
  CommandFromWindow = true;
  show();
  FSession->Start();
}

} // namespace kv
