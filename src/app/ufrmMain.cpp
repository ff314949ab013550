#include "app/ufrmMain.h"

#include "app/uFormatClock.h"
#include "app/uQtPaintBox.h"
#include "app/ufrmChooseBitmap.h"
#include "data/uKVErrors.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uQtPlatform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>
#include <QTimer>

#include <filesystem>

namespace kv {

namespace {

constexpr const char* NoBitmapMessage = "Project doesn't contain any bitmap.";
constexpr std::array<int, 4> StatusWidths = {50, 50, 100, 50};

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

  // Status bar: four panels, the third shows the clock.
  for (std::size_t i = 0; i < FStatus.size(); ++i) {
    FStatus[i] = new QLabel(this);
    FStatus[i]->setFixedWidth(StatusWidths[i]);
    statusBar()->addWidget(FStatus[i]);
  }
  statusBar()->setSizeGripEnabled(false);

  // The playing area: the graphic engine's paint box in the window's client area.
  auto area = std::make_unique<TQtPaintBox>();
  FPlayingArea = area.get();
  GraphicEngine().CreateSurface(std::move(area));
  setCentralWidget(FPlayingArea);
  FPlayingArea->OnPresented = [this] {
    if (FFirstFrameReported || !FSession->Board() || !OnFirstFrame) return;
    FFirstFrameReported = true;
    OnFirstFrame();
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
    // The playing area takes the work area the window gets; its size is final before the first game.
    const TRect work = services.Screen->WorkArea();
    setGeometry(work.Left, work.Top, work.Width(), work.Height());
    // Laid out now, while the window is hidden: the session reads the playing area's size when it prepares.
    layout()->activate();
    FPlayingArea->SetBounds(0, 0, FPlayingArea->width(), FPlayingArea->height());
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
}

void TfrmMain::FormDestroy() {
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
  takeCentralWidget();
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
  CurrentPicture = ChoosePicture();
  if (CurrentPicture == -1) return;
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
    const bool played = chooser.exec() == QDialog::Accepted;
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
  QApplication::setApplicationDisplayName(QtText(project->Title));
  setWindowTitle(QtText(project->Title));
  if (project->Pictures.empty()) {
    FPlatform->Boxes().ShowError(NoBitmapMessage);
    Terminate();
    return;
  }
  try {
    const TBMPData& entry = project->Pictures.size() == 1
                                ? *project->Pictures.front()
                                : *project->Pictures.at(static_cast<std::size_t>(pictureIndex));
    DecodePackagePicture(entry, PictureBitmap);
    FSession->PictureName = entry.Name;
    CurrentPictureID = entry.ID;
    FSession->Picture.Assign(PictureBitmap);
    if (fromSavedGame && savedGame) {
      FSession->SavedGame = savedGame;
      FSession->CheatCount = savedGame->CheatCount;
    } else {
      FSession->Difficulty = project->DifficultyIndex(CurrentPictureID);
    }
    FSession->OnClockTick = [this](TKVCustomJigsawApplication*) { ShowClock(); };
    FSession->Prepare();
  } catch (const EStreamError&) {
    GraphicEngine().Clear(clAppWorkSpace);
    FPlatform->Boxes().ShowError(InvalidProjectDataMessage);
    Terminate();
  } catch (const EImageError&) {
    GraphicEngine().Clear(clAppWorkSpace);
    FPlatform->Boxes().ShowError(InvalidProjectDataMessage);
    Terminate();
  }
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
  if (FSession->CheatCount == 0) {
    const int32_t level = HighScoreLevel(*project, CurrentPicture);
    LastLevel = static_cast<uint8_t>(std::max(level, 0));
  }
  FSession->CheatCount = 0;
  const std::size_t playable = FLocator.PlayablePictures.size();
  if (project->PictureChoiceMode == 1) {
    if (SequenceIndex + 1 < static_cast<int32_t>(playable)) {
      ++SequenceIndex;
      ChooseAndStartGame();
    } else {
      AskPlayAgain("No more image to play. Play again from first image?");
    }
    return;
  }
  const TActionItem& end = project->EndActions;
  if (end.ScriptCount() > 0 && end.Scripts(0).ID == 18) AskPlayAgain("Play again?");
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
  SetStatus(2, "");
  ClearStatus();
  QuitConfirmed = true;
  close();
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

} // namespace kv
