#include "app/ufrmMain.h"

#include "app/UfmBestTopTen.h"
#include "app/UfmHighScore.h"
#include "app/uBannerPanel.h"
#include "app/uFormatClock.h"
#include "app/uPauseScope.h"
#include "app/uQtPaintBox.h"
#include "app/uToolbarThemes.h"
#include "app/ufrmChooseBitmap.h"
#include "app/ufrmDifficulty.h"
#include "app/ufrmNextBitmap.h"
#include "app/ufrmPlayAgain.h"
#include "app/ufrmProgressInfo.h"
#include "app/ufrmSelectSkin.h"
#include "app/ufrmWin.h"
#include "core/uKVErrors.h"
#include "data/uEGameExport.h"
#include "data/uKVConfig.h"
#include "gui/uBmpCodec.h"
#include "gui/uJpegCodec.h"
#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "gui/uPictureConverters.h"
#include "gui/uPictureFormat.h"
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
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <chrono>
#include <filesystem>

namespace kv {

namespace {

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
    : FBoxesOverride(boxes), FLocator(std::move(executablePath), std::move(arguments), PackageServices()) {
  FormCreate();
}

TfrmMain::~TfrmMain() {
  FormDestroy();
}

TPackageServices TfrmMain::PackageServices() {
  TPackageServices services = ProgramPackageServices();
  // What a load goes on from ("Cannot create object …") is said, not only recorded.
  services.ErrorReporter = [this](const std::string& message) {
    if (FPlatform) FPlatform->Boxes().ShowError(message);
  };
  return services;
}

// ---- creation and destruction

void TfrmMain::FormCreate() {
  setWindowTitle(QApplication::applicationDisplayName());
  FPlatform = std::make_unique<TPlayerServices>(this, FBoxesOverride);
  CreateSession();
  CreateStatusBar();
  CreatePlayingArea();
  CreateMenus();
  InstallFileDialogs();
  if (LoadGameData()) {
    // Damage the reader let through (piece shapes that do not inflate, say) shows when the package is put to
    // use: said in the game's words, and the program ends.
    try {
      AttachProject();
      KeepGames();
      FFlow->StartFirstGame();
      RunStartActions();
    } catch (const std::exception& error) {
      FPlatform->Boxes().ShowError(StartupErrorMessage(error));
      Terminate();
    }
  }
  // Whatever the start did, the player ends up with its window shown (empty after a package that could not
  // be read, as the player closes it) or ended with its message.
  if (!TerminateRequested() && !isVisible()) ShowWindow();
}

void TfrmMain::CreateSession() {
  FSession = std::make_unique<TKVJigsawApplication>(FPlatform->Services(), FEngine);
  FSession->SetMainWindow(this);
  // Escape on the board or a skinned window: closed as any close is, through the quit question, once the
  // key's own handling has returned.
  FSession->OnCloseRequest = [this] {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
  };
  FSession->OnProgress = [this](int32_t kind, const std::string& text, int32_t value) {
    ProgressHandler(kind, text, value);
  };
  // The flow takes the session's win, time-out and clock callbacks.
  FFlow = std::make_unique<TPlayFlow>(FLocator, *FSession, FHighScores, FPlatform->Services(),
                                      static_cast<IPlayDialogs&>(*this));
}

void TfrmMain::CreateStatusBar() {
  // Four panels, the third shows the clock.
  for (std::size_t i = 0; i < FStatus.size(); ++i) {
    FStatus[i] = new QLabel(this);
    FStatus[i]->setFixedWidth(StatusWidths[i]);
    statusBar()->addWidget(FStatus[i]);
  }
  statusBar()->setSizeGripEnabled(false);
}

void TfrmMain::CreatePlayingArea() {
  // The client area: the banner strip over the playing area, the graphic engine's paint box.
  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  FBannerPanel = new TBannerPanel(client);
  column->addWidget(FBannerPanel);
  auto area = std::make_unique<TQtPaintBox>();
  FPlayingArea = area.get();
  FEngine.CreateSurface(std::move(area));
  column->addWidget(FPlayingArea, 1);
  setCentralWidget(client);
  FPlayingArea->OnPresented = [this] {
    if (FFirstFrameReported || !FSession->Board() || !OnFirstFrame) return;
    FFirstFrameReported = true;
    OnFirstFrame();
  };
}

void TfrmMain::CreateMenus() {
  // A menu bar, and a popup menu that the playing area opens once the package gives it entries.
  FPopup = new QMenu(this);
  QObject::connect(FPopup, &QMenu::aboutToShow, this, [this] { UpdateTicks(); });
  FPopupSeam = std::make_unique<TQtPopupMenu>(*FPopup);
  menuBar()->setNativeMenuBar(false);
  SetToolbarTheme("Sentimox");
  SetScriptCommandHook([this](void* sender, int32_t id, const TScriptParameter& parameter) {
    ExecuteCommand(sender, id, parameter);
  });
}

void TfrmMain::InstallFileDialogs() {
  AskOpenFileName = [this](const std::string& title, const std::string& filter) {
    return PackageText(QFileDialog::getOpenFileName(this, QtText(title), QString(), QtFilter(filter)));
  };
  AskSaveFileName = [this](const std::string& title, const std::string& filter,
                           const std::string& extension) {
    QFileDialog dialog(this, QtText(title), QString(), QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QtText(extension));
    // A name typed without an extension gets the one of the filter chosen, not always the first.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
      const qsizetype star = chosen.indexOf("*.");
      if (star < 0) return;
      const QString rest = chosen.mid(star + 2);
      const qsizetype end = rest.indexOf(QRegularExpression("[ ;)]"));
      dialog.setDefaultSuffix(end < 0 ? rest : rest.left(end));
    });
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    SaveFilterIndex =
        std::max<int>(0, static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())));
    return accepted ? PackageText(dialog.selectedFiles().front()) : std::string();
  };
}

bool TfrmMain::LoadGameData() {
  FLocator.OnResetSession = [this] { FSession->Reset(); };
  FLocator.OnLoadSkinTheme = [this](TMemoryStream& skin) { FSkin.LoadThemeOrDefault(skin); };
  try {
    FLocator.LocateGameData();
  } catch (const std::exception& error) {
    FPlatform->Boxes().ShowError(StartupErrorMessage(error));
    return false;
  }
  if (FLocator.TerminateRequested) {
    Terminate();
    return false;
  }
  return true;
}

void TfrmMain::AttachProject() {
  TJigsawProject2* project = Project();
  if (!project) return;
  // A package without a skin of its own plays with the built-in one.
  if (project->SkinData.Size() == 0) {
    TMemoryStream none;
    FSkin.LoadThemeOrDefault(none);
  }
  // The window is laid out for each game as it is prepared.
  FSession->SetClientArea(FPlayingArea);
  FSession->SetProject(project);
  const std::string path = FLocator.HighScorePath();
  FHighScoresRefused.clear();
  if (!path.empty()) RemoveStaleTemporaries(path);
  if (!path.empty() && std::filesystem::exists(path)) {
    try {
      FHighScores.LoadFromFile(path);
    } catch (const EFOpenError& error) {
      // No table of ours (a pipe, a device, a folder, a file larger than any table): the game starts with an
      // empty table and the file is not written over.
      FHighScoresRefused = error.what();
    } catch (const std::exception&) {
      // A damaged table starts the game with what could be read.
    }
  }
}

void TfrmMain::KeepGames() {
  const TJigsawProject2* project = Project();
  if (!project) return;
  const std::string package = FLocator.FromOwnFile || FLocator.Arguments().empty()
                                  ? FLocator.ExecutablePath()
                                  : FLocator.Arguments().front();
  FKeeper = std::make_unique<TGameKeeper>(*FSession, FPlatform->Services().Timers,
                                          TGameKeeper::FileFor(project->Title, package));
  FKeeper->ProgramName = FLocator.ExecutablePath();
  if (!FKeeper->FileName().empty()) RemoveStaleTemporaries(FKeeper->FileName());
  FFlow->SetKeeper(FKeeper.get());
}

void TfrmMain::RunStartActions() {
  TJigsawProject2* project = Project();
  if (!project || FFlow->TerminateRequested()) return;
  // The start actions run with the window hidden; one that starts a game shows it again.
  if (project->StartActions.ScriptCount() > 0) hide();
  FRunningStartActions = true;
  project->StartActions.Execute();
  if (FFlow->ExitRequested()) Terminate();
  FRunningStartActions = false;
}

void TfrmMain::FormDestroy() {
  // The exit actions run while the commands still reach this window; only then is the hook taken away.
  if (TJigsawProject2* project = Project()) {
    try {
      project->ExitActions.Execute();
    } catch (const std::exception& error) {
      if (FPlatform) FPlatform->Boxes().ShowError(error.what());
    }
  }
  SetScriptCommandHook({});
  FEngine.SetPopupMenu(nullptr);
  // A game left unfinished is kept for the next start, and how the player last looked at it.
  RememberViewChoices();
  if (FKeeper) FKeeper->KeepNow();
  if (FFlow) FFlow->SetKeeper(nullptr);
  FKeeper.reset();
  if (FSession) {
    SaveHighScores(false);
    FFlow.reset();
    FSession->Reset();
    FSession.reset();
  }
  // The paint box goes with the engine's surface, before the window's own children.
  if (FPlayingArea) FPlayingArea->setParent(nullptr);
  FEngine.DestroySurface();
  FPlayingArea = nullptr;
}

void TfrmMain::SaveHighScores(bool tell) {
  TJigsawProject2* project = Project();
  const std::string path = FLocator.HighScorePath();
  if (!project || project->Options.NoHighScores || !FHighScores.Modified() || path.empty()) return;
  std::string failure = FHighScoresRefused;
  if (failure.empty()) {
    try {
      FHighScores.SaveToFile(path);
    } catch (const std::exception& error) {
      failure = error.what();
    }
  }
  // At the end of the run there is nobody left to tell; the previous file stays as it was either way.
  if (!failure.empty() && tell && FPlatform)
    FPlatform->Boxes().ShowError("The high scores could not be saved. " + failure);
}

void TfrmMain::HighScoresChanged() {
  SaveHighScores(true);
}

void TfrmMain::Terminate() {
  FFlow->RequestTerminate();
}

void TfrmMain::EndProgram() {
  QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
}

// ---- the play flow's dialogs and window

int32_t TfrmMain::ChoosePicture(bool takeOnClose) {
  const TJigsawProject2* project = Project();
  if (!project) return -1;
  TfrmChooseBitmap chooser(*project, this);
  const bool played = RunModal(chooser) == mrOk;
  return played || takeOnClose ? chooser.BitmapIndex : -1;
}

std::string TfrmMain::AskHighScoreName() {
  TfmBestTopTen entry;
  RunModal(entry);
  return entry.Name();
}

void TfrmMain::ShowHighScores(int32_t level) {
  TfmHighScore list(this);
  list.FillList(FHighScores, level);
  RunModal(list);
}

void TfrmMain::ShowResult(const TGameResult& result) {
  TfrmWin dialog(this);
  dialog.SetCaption(result.Caption);
  dialog.SetHeading(result.Heading);
  if (result.HeadingSize > 0) dialog.SetHeadingSize(result.HeadingSize);
  dialog.SetTimeLabel(result.TimeLabel);
  dialog.SetClockText(result.ClockText);
  dialog.SetPrintVisible(result.PrintOffered);
  RunModal(dialog);
  if (result.PrintOffered && dialog.PrintFlag()) PrintPictureJob(PrintablePicture(), this, PrintFileName);
}

TBitmap32 TfrmMain::PrintablePicture() const {
  // The game was cut from a copy reduced to the playing area; paper deserves the picture as the package
  // holds it.
  const TJigsawProject2* project = Project();
  const int32_t index = FFlow ? FFlow->CurrentPicture() : -1;
  TBitmap32 full;
  if (project && index >= 0 && static_cast<std::size_t>(index) < project->Pictures.size()) {
    try {
      DecodePackagePicture(*project->Pictures[static_cast<std::size_t>(index)], full);
    } catch (const std::exception&) {
      full.SetSize(0, 0);
    }
  }
  return full.Empty() ? FSession->Picture() : full;
}

TNextPicture TfrmMain::AskNextPicture() {
  TfrmNextBitmap next;
  switch (RunModal(next)) {
  case mrOk:
    return TNextPicture::npNext;
  case mrYes:
    return TNextPicture::npCurrent;
  default:
    return TNextPicture::npStop;
  }
}

bool TfrmMain::AskPlayAgain() {
  TfrmPlayAgain again(this);
  return RunModal(again) == mrOk;
}

void TfrmMain::FillPlayingArea(TColor color) {
  FEngine.Clear(color);
}

void TfrmMain::ApplyPackageTitle() {
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
}

void TfrmMain::ApplyPackageStyle() {
  TJigsawProject2* project = Project();
  if (!project) return;
  ApplyToolbarTheme();
  FCurrentSkin = project->StartSkinIndex;
  LayoutWindow();
}

void TfrmMain::HideWindow() {
  hide();
}

void TfrmMain::ShowWindow() {
  show();
  FPlayingArea->setFocus();
  UpdateTicks();
}

void TfrmMain::GameStarted() {
  ApplyViewChoices();
  UpdateTicks();
}

// ---- the player's view choices

namespace {

const char* const ViewPreview = "ShowPreview";
const char* const ViewGhost = "ShowGhost";
const char* const ViewEdges = "EdgesOnly";
const char* const ViewSound = "SoundOn";

} // namespace

void TfrmMain::SetViewStore(TKVCustomConfig* store) {
  FViewStore = store;
  ApplyViewChoices();
  UpdateTicks();
}

void TfrmMain::ApplyViewChoices() {
  if (!FViewStore || !FSession || !FSession->Board()) return;
  // A choice never made leaves the package's own setting.
  const auto choice = [this](const char* name) { return FViewStore->GetInteger(name, -1); };
  if (const int32_t sound = choice(ViewSound); sound >= 0) FSession->SetSoundOn(sound != 0);
  if (const int32_t edges = choice(ViewEdges); edges >= 0) FSession->SetEdgesOnly(edges != 0);
  if (TKVGUIAnimatedImage* ghost = FSession->GhostImage(); ghost && choice(ViewGhost) >= 0)
    if (ghost->Visible() != (choice(ViewGhost) != 0)) FSession->ToggleGhost();
  if (TKVGUIForm* preview = FSession->PreviewWindow(); preview && choice(ViewPreview) >= 0)
    preview->SetVisible(choice(ViewPreview) != 0);
}

void TfrmMain::RememberViewChoices() {
  if (!FViewStore || !FSession || !FSession->Board()) return;
  FViewStore->SetInteger(ViewSound, FSession->SoundOn() ? 1 : 0);
  FViewStore->SetInteger(ViewEdges, FSession->EdgesOnly() ? 1 : 0);
  if (const TKVGUIAnimatedImage* ghost = FSession->GhostImage())
    FViewStore->SetInteger(ViewGhost, ghost->Visible() ? 1 : 0);
  if (const TKVGUIForm* preview = FSession->PreviewWindow())
    FViewStore->SetInteger(ViewPreview, preview->Visible() ? 1 : 0);
}

void TfrmMain::CloseWindow() {
  close();
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

void TfrmMain::SetStatus(int32_t panel, const std::string& text) {
  if (panel >= 0 && panel < static_cast<int>(FStatus.size()))
    FStatus[static_cast<std::size_t>(panel)]->setText(QtText(text));
}

std::string TfrmMain::StatusText(int panel) const {
  if (panel < 0 || panel >= static_cast<int>(FStatus.size())) return {};
  return PackageText(FStatus[static_cast<std::size_t>(panel)]->text());
}

// ---- closing

bool TfrmMain::FormCloseQuery() {
  if (!FSession || FSession->State() != TGameState::Running) return true;
  const TPauseScope paused(*FSession);
  bool allow = FFlow->QuitConfirmed();
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
        FFlow->SetQuitConfirmed(true);
        QTimer::singleShot(0, this, [this] { close(); });
      });
    }
  }
  return allow;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

// ---- commands

// From command to handler, in the order of the command numbers.
const std::array<TfrmMain::TCommandEntry, LastCommand> TfrmMain::CommandTable = {{
    {TCommand::cmOpenSavedGame, false, &TfrmMain::OpenSavedGameCommand},
    {TCommand::cmSaveGame, false, &TfrmMain::SaveGameCommand},
    {TCommand::cmExit, false, &TfrmMain::ExitCommand},
    {TCommand::cmHelp, false, &TfrmMain::HelpCommand},
    {TCommand::cmAbout, false, &TfrmMain::AboutCommand},
    {TCommand::cmShowPreview, true, &TfrmMain::ShowPreviewCommand},
    {TCommand::cmAutoSolve, true, &TfrmMain::AutoSolveCommand},
    {TCommand::cmSoundOnOff, false, &TfrmMain::SoundCommand},
    {TCommand::cmSelectSkin, false, &TfrmMain::SelectSkinCommand},
    {TCommand::cmOnePieceSolve, true, &TfrmMain::OnePieceSolveCommand},
    {TCommand::cmRunFileHidden, false, &TfrmMain::RunFileCommand},
    {TCommand::cmHighScores, false, &TfrmMain::HighScoresCommand},
    // HTML pages are not shown by this player yet.
    {TCommand::cmShowPage, false, &TfrmMain::NoCommand},
    {TCommand::cmPlayPicture, false, &TfrmMain::PlayPictureCommand},
    {TCommand::cmNewGame, false, &TfrmMain::NewGameCommand},
    {TCommand::cmExitNoConfirm, false, &TfrmMain::ExitNoConfirmCommand},
    {TCommand::cmRunFile, false, &TfrmMain::RunFileCommand},
    {TCommand::cmNone, false, &TfrmMain::NoCommand},
    {TCommand::cmAutoSolveNoConfirm, true, &TfrmMain::AutoSolveNoConfirmCommand},
    {TCommand::cmStopFlag, true, &TfrmMain::StopFlagCommand},
    {TCommand::cmSavePicture, true, &TfrmMain::SavePictureCommand},
    {TCommand::cmMakeGame, false, &TfrmMain::ExportGameCommand},
    {TCommand::cmChangeDifficulty, false, &TfrmMain::ChangeDifficultyCommand},
    {TCommand::cmPauseResume, false, &TfrmMain::PauseResumeCommand},
    {TCommand::cmSelectAll, true, &TfrmMain::SelectAllCommand},
    {TCommand::cmDeselectAll, true, &TfrmMain::DeselectAllCommand},
    {TCommand::cmGhostOnOff, false, &TfrmMain::GhostCommand},
    {TCommand::cmEdgesOnlyOnOff, false, &TfrmMain::EdgesOnlyCommand},
}};

std::optional<bool> TfrmMain::TickState(int32_t id) const {
  const std::optional<TCommand> command = CommandOfId(id);
  if (!command) return std::nullopt;
  switch (*command) {
  case TCommand::cmShowPreview: {
    const TKVGUIForm* preview = FSession->PreviewWindow();
    return preview && preview->Visible();
  }
  case TCommand::cmGhostOnOff: {
    const TKVGUIAnimatedImage* ghost = FSession->GhostImage();
    return ghost && ghost->Visible();
  }
  case TCommand::cmEdgesOnlyOnOff:
    return FSession->EdgesOnly();
  case TCommand::cmSoundOnOff:
    return FSession->SoundOn();
  case TCommand::cmPauseResume:
    return FSession->State() == TGameState::Paused;
  case TCommand::cmStopFlag:
    return FSession->Stopped();
  default:
    return std::nullopt;
  }
}

void TfrmMain::UpdateTicks() {
  if (!FSession) return;
  FMenuEntries.ForEachCommandEntry([this](QAction& entry, int32_t id) {
    const std::optional<bool> state = TickState(id);
    if (!state) return;
    entry.setCheckable(true);
    entry.setChecked(*state);
  });
}

void TfrmMain::ExecuteCommand(void* sender, int32_t id, const TScriptParameter& parameter) {
  const std::optional<TCommand> command = CommandOfId(id);
  if (!command) return;
  const TCommandEntry& entry = CommandTable[static_cast<std::size_t>(id - FirstCommand)];
  if (entry.RunningOnly && FSession->State() != TGameState::Running) return;
  // The application's error box: an error of a command ends the command, not the program.
  try {
    (this->*entry.Handler)(sender, parameter);
  } catch (const std::exception& error) {
    FPlatform->Boxes().ShowError(error.what());
  }
  // A command may change what other entries show (a new game shows the preview again).
  UpdateTicks();
}

void TfrmMain::NoCommand(void*, const TScriptParameter&) {}

void TfrmMain::ExitCommand(void*, const TScriptParameter&) {
  FFlow->SetQuitConfirmed(false);
  FFlow->SetExitRequested(true);
  close();
}

void TfrmMain::ExitNoConfirmCommand(void*, const TScriptParameter&) {
  FFlow->SetQuitConfirmed(true);
  FFlow->SetExitRequested(true);
  close();
}

void TfrmMain::HelpCommand(void*, const TScriptParameter&) {
  // The help file opens only where it exists; there is no viewer of its own here.
  const std::filesystem::path help =
      std::filesystem::path(FLocator.ExecutablePath()).parent_path() / "jigsawhelp.hlp";
  if (!std::filesystem::exists(help) || !OpenUrl(QUrl::fromLocalFile(QString::fromStdString(help.string()))))
    FPlatform->Boxes().ShowError("The help file " + help.string() + " cannot be opened.");
}

void TfrmMain::AboutCommand(void*, const TScriptParameter&) {
  const TPauseScope paused(*FSession);
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

void TfrmMain::ShowPreviewCommand(void*, const TScriptParameter&) {
  FSession->PlaySoundEvent(TGameEvent::Preview, 1);
  if (TKVGUIForm* preview = FSession->PreviewWindow()) preview->SetVisible(!preview->Visible());
  RememberViewChoices();
}

void TfrmMain::AutoSolveCommand(void*, const TScriptParameter&) {
  // The session asks, counts the aid, and solves only the board it asked about.
  FSession->SolveAll(1);
}

void TfrmMain::AutoSolveNoConfirmCommand(void*, const TScriptParameter&) {
  FSession->SolveAll(0);
}

void TfrmMain::OnePieceSolveCommand(void*, const TScriptParameter&) {
  FSession->SolveOnePiece();
}

void TfrmMain::SoundCommand(void*, const TScriptParameter&) {
  FSession->SetSoundOn(!FSession->SoundOn());
  RememberViewChoices();
}

void TfrmMain::RunFileCommand(void*, const TScriptParameter& parameter) {
  const auto text = OnlyText(parameter);
  if (!text) return;
  const QUrl url =
      QUrl::fromUserInput(QtText(*text), QString::fromStdString(std::filesystem::current_path().string()));
  if (!OpenUrl(url)) FPlatform->Boxes().ShowError(*text + " cannot be opened.");
}

void TfrmMain::PlayPictureCommand(void*, const TScriptParameter& parameter) {
  if (parameter.Count() < 1 || parameter.Entries(0).Kind != kParamInteger) return;
  if (FFlow->PlayPicture(parameter.Entries(0).AsInteger())) FCommandFromWindow = true;
}

void TfrmMain::NewGameCommand(void*, const TScriptParameter&) {
  FFlow->ChooseAndStartGame();
}

void TfrmMain::StopFlagCommand(void*, const TScriptParameter&) {
  FSession->SetStopped(!FSession->Stopped());
}

void TfrmMain::PauseResumeCommand(void*, const TScriptParameter&) {
  if (FSession->State() == TGameState::Running)
    FSession->Pause();
  else
    FSession->Resume();
}

void TfrmMain::SelectAllCommand(void*, const TScriptParameter&) {
  if (TKVJigsawBoard* board = FSession->Board()) board->MarkAll();
}

void TfrmMain::DeselectAllCommand(void*, const TScriptParameter&) {
  if (TKVJigsawBoard* board = FSession->Board()) board->UnmarkAll();
}

void TfrmMain::GhostCommand(void*, const TScriptParameter&) {
  FSession->ToggleGhost();
  RememberViewChoices();
}

void TfrmMain::EdgesOnlyCommand(void*, const TScriptParameter&) {
  FSession->SetEdgesOnly(!FSession->EdgesOnly());
  RememberViewChoices();
}

void TfrmMain::SavePictureCommand(void*, const TScriptParameter&) {
  // The playing area as it is shown now.
  const TBitmap32* shown = FEngine.GetBuffer();
  if (!shown) return;
  const TBitmap32 view(*shown);
  const TPauseScope paused(*FSession);
  const std::string file =
      AskSaveFileName("Save Picture", "Windows Bitmap (*.bmp)|*.bmp|JPEG Image (*.jpg)|*.jpg|", "bmp");
  if (file.empty()) return;
  try {
    // Both kinds are written without alpha, 24 bits a pixel.
    TMemoryStream data;
    // The name's own extension decides; a name without a known one takes the format of the chosen filter.
    TPictureKind kind = PictureKindFromFileName(file);
    if (kind != pkJPEG && kind != pkBMP) kind = SaveFilterIndex == 1 ? pkJPEG : pkBMP;
    if (kind == pkJPEG)
      SaveJpegToStream(view, data);
    else
      WriteBmp24(data, view.Width(), view.Height(), view.Bits());
    data.SaveToFile(file);
  } catch (const EStreamError&) {
    FPlatform->Boxes().ShowError("Unable to save picture");
    return;
  }
  FPlatform->Boxes().ShowInformation("Picture successfully saved into file " + file);
}

void TfrmMain::ExportGameCommand(void*, const TScriptParameter&) {
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

void TfrmMain::SaveGameCommand(void*, const TScriptParameter&) {
  TKVJigsawApplication& session = *FSession;
  if (!session.Board()) {
    FPlatform->Boxes().ShowError("Unable to save game. No game is being played.");
    return;
  }
  const TPauseScope paused(session);
  const std::string file = AskSaveFileName("Save Jigsaw Data", "Jigsaw Saved Data (*.jsw)|*.jsw", "jsw");
  if (file.empty() || !session.Board()) return;
  // The design's message first, then the file and the system's reason.
  try {
    TJigsawFile saved;
    session.FillSavedGame(saved, FFlow->CurrentPictureID(), FLocator.ExecutablePath());
    saved.SaveToFile(file);
    FPlatform->Boxes().ShowInformation("Game is successfully saved into file " + file);
  } catch (const EFCreateError& error) {
    FPlatform->Boxes().ShowError(std::string("Unable to save game. ") + error.what());
  } catch (const EWriteError& error) {
    FPlatform->Boxes().ShowError(std::string("Write Stream Error. ") + error.what());
  }
}

void TfrmMain::OpenSavedGameCommand(void*, const TScriptParameter&) {
  const TPauseScope paused(*FSession);
  const std::string file = AskOpenFileName("Open Jigsaw Saved Data", "Jigsaw Saved Data (*.jsw)|*.jsw");
  if (file.empty()) {
    FCommandFromWindow = false;
  } else if (!std::filesystem::exists(file)) {
    FPlatform->Boxes().ShowError("File " + file + " not found.");
  } else {
    FCommandFromWindow = true;
    try {
      FFlow->LoadSavedGame(file);
    } catch (const std::exception&) {
      // A file that cannot be read says so, in the saved games' one word, and the current game goes on.
      FPlatform->Boxes().ShowError(EJigsawFileError().what());
    }
  }
}

void TfrmMain::SelectSkinCommand(void*, const TScriptParameter&) {
  TJigsawProject2* project = Project();
  if (!project) return;
  TKVJigsawApplication& session = *FSession;
  // The session resumes however the command ends, also when a skin cannot be read.
  const TPauseScope paused(session);
  TfrmSelectSkin chooser(*project, FCurrentSkin, this);
  if (RunModal(chooser) != mrOk || chooser.SkinIndex == FCurrentSkin) return;
  FCurrentSkin = chooser.SkinIndex;
  project->SkinIndex = FCurrentSkin;
  project->StartSkinIndex = FCurrentSkin;
  // Only a window-shape skin changes a window of this style; the playing area is laid out again.
  session.RefitPlayingArea();
  const TRect screen = FPlatform->Services().Screen->ScreenRect();
  move(screen.Left + (screen.Width() - frameGeometry().width()) / 2,
       screen.Top + (screen.Height() - frameGeometry().height()) / 2);
}

void TfrmMain::HighScoresCommand(void*, const TScriptParameter&) {
  const TPauseScope paused(*FSession);
  ShowHighScores(FFlow->LastLevel());
}

void TfrmMain::ChangeDifficultyCommand(void*, const TScriptParameter&) {
  TJigsawProject2* project = Project();
  if (!project) return;
  // OK starts the game afresh, running: the scope then has nothing to resume.
  const TPauseScope paused(*FSession);
  TfrmDifficulty dialog(this);
  TPictureSettings* settings = project->FindPictureSettings(FFlow->CurrentPictureID());
  dialog.NumPiecesMin = settings ? settings->NumPiecesMin : project->NumPiecesMin;
  dialog.NumPiecesMax = settings ? settings->NumPiecesMax : project->NumPiecesMax;
  if (RunModal(dialog) != mrOk) return;
  project->NumPiecesMin = dialog.NumPiecesMin;
  project->NumPiecesMax = dialog.NumPiecesMax;
  if (settings) {
    settings->NumPiecesMin = dialog.NumPiecesMin;
    settings->NumPiecesMax = dialog.NumPiecesMax;
  }
  FLocator.ResetSession();
  FFlow->StartGame();
}

void TfrmMain::BuildPopupMenu() {
  TJigsawProject2* project = Project();
  FPopup->clear();
  if (project) FMenuEntries.Build(1, *FPopup, project->Menus);
  // The playing area opens the menu only when the package gives it entries.
  FEngine.SetPopupMenu(FPopup->actions().isEmpty() ? nullptr : FPopupSeam.get());
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
    // The preview's own close button changes what its entry shows: each menu looks again as it opens.
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
      QObject::connect(menu, &QMenu::aboutToShow, this, [this] { UpdateTicks(); });
  }
  FPopup->addSeparator();
  QAction* about = FPopup->addAction("About Tessarix");
  QObject::connect(about, &QAction::triggered, this,
                   [this] { ExecuteCommand(nullptr, IdOf(TCommand::cmAbout), TScriptParameter()); });
}

} // namespace kv
