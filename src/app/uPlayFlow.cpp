#include "app/uPlayFlow.h"

#include "app/uCommands.h"
#include "app/uFormatClock.h"
#include "app/uGameKeeper.h"
#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uGameData.h"
#include "data/uHighScore.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uDesktop.h"
#include "platform/uServices.h"

#include <algorithm>

namespace kv {

namespace {

// The win timer: the end of a game waits until the board's own event has returned.
constexpr int32_t WinDelay = 100;

} // namespace

TPlayFlow::TPlayFlow(TGameDataLocator& locator, TKVJigsawApplication& session, THighScore& highScores,
                     const TPlatformServices& services, IPlayDialogs& dialogs)
    : FLocator(locator), FSession(session), FHighScores(highScores), FServices(services), FDialogs(dialogs),
      FWinTimer(CreateTimer(services.Timers)) {
  FWinTimer->SetInterval(WinDelay);
  FWinTimer->OnTimer = [this] { FinishGame(); };
  FSession.OnBoardWin = [this](TKVGUIControl*) { WinHook(); };
  FSession.OnTimeOut = [this](TKVCustomJigsawApplication*) { GameLost(); };
}

TPlayFlow::~TPlayFlow() {
  FSession.OnBoardWin = nullptr;
  FSession.OnTimeOut = nullptr;
  FSession.OnClockTick = nullptr;
  FSession.OnGameChanged = nullptr;
}

void TPlayFlow::SetKeeper(TGameKeeper* keeper) {
  FKeeper = keeper;
  if (FKeeper) FKeeper->PictureId = [this] { return FCurrentPictureID; };
  FSession.OnGameChanged = [this](TKVCustomJigsawApplication*) {
    if (FKeeper) FKeeper->Changed();
  };
}

void TPlayFlow::GameStarted() {
  FDialogs.GameStarted();
  if (FKeeper) FKeeper->KeepNow();
}

bool TPlayFlow::ResumeKeptGame() {
  TJigsawProject2* project = Project();
  if (!FKeeper || !project) return false;
  std::string notice;
  const std::optional<TJigsawFile> kept = FKeeper->Kept(notice);
  if (!notice.empty()) FServices.Boxes->ShowInformation(notice);
  if (!kept) return false;
  if (!FServices.Boxes->AskConfirmation(ResumeQuestion)) {
    FKeeper->Forget();
    return false;
  }
  int32_t index = -1;
  for (std::size_t i = 0; i < project->Pictures.size(); ++i)
    if (project->Pictures[i]->ID == kept->PictureId && IsPictureId(kept->PictureId)) {
      index = static_cast<int32_t>(i);
      break;
    }
  FDialogs.ApplyPackageTitle();
  FDialogs.ApplyPackageStyle();
  FSession.OnClockTick = [this](TKVCustomJigsawApplication*) { ShowClock(); };
  bool restored = false;
  if (index >= 0) {
    try {
      restored = FSession.RestoreSavedGame(*kept, FKeeper->FileName(), false);
    } catch (const std::exception&) {
      restored = false;
    }
  }
  if (!restored) {
    FKeeper->SetAside();
    FServices.Boxes->ShowInformation(SetAsideNotice);
    return false;
  }
  FCurrentPicture = index;
  FCurrentPictureID = kept->PictureId;
  FDialogs.ShowWindow();
  GameStarted();
  return true;
}

TJigsawProject2* TPlayFlow::Project() const {
  return FLocator.Project();
}

void TPlayFlow::RequestTerminate() {
  FTerminateRequested = true;
  FDialogs.EndProgram();
}

// ---- choosing and starting

void TPlayFlow::StartFirstGame() {
  if (!FLocator.PlayablePictures.empty() && ResumeKeptGame()) return;
  FStartingUp = true;
  ChooseAndStartGame();
  FStartingUp = false;
}

void TPlayFlow::ChooseAndStartGame() {
  TJigsawProject2* project = Project();
  // Wallpapers alone are nothing to play.
  if (project && FLocator.PlayablePictures.empty()) {
    FServices.Boxes->ShowError(NoBitmapMessage);
    RequestTerminate();
    return;
  }
  // No choice leaves the running game as it is, its picture included: a later restart (a new difficulty)
  // needs it.
  const int32_t chosen = ChoosePicture();
  if (chosen == -1) return;
  FCurrentPicture = chosen;
  FLocator.ResetSession();
  StartGame();
}

int32_t TPlayFlow::ChoosePicture() {
  const TJigsawProject2* project = Project();
  const std::size_t playable = FLocator.PlayablePictures.size();
  if (!project || playable == 0) return -1;
  switch (project->PictureChoiceMode) {
  case 1:
    if (FSequenceIndex >= static_cast<int32_t>(playable)) FSequenceIndex = 0;
    return FLocator.PlayablePictureIndex(FSequenceIndex);
  case 2:
    return FLocator.PlayablePictureIndex(FServices.Random->RandomBelow(static_cast<int32_t>(playable)));
  default:
    // Mode 0, and any mode this player does not know: the player chooses.
    if (playable == 1) return FLocator.PlayablePictureIndex(0);
    return FDialogs.ChoosePicture(FStartingUp);
  }
}

void TPlayFlow::StartGame() {
  FDialogs.HideWindow();
  if (FCurrentPicture != -1) PrepareGame(false, nullptr, FCurrentPicture);
  if (FTerminateRequested || !FSession.Board()) return;
  FDialogs.ShowWindow();
  FSession.Start();
  GameStarted();
}

void TPlayFlow::PrepareGame(bool fromSavedGame, const TJigsawFile* savedGame, int32_t pictureIndex) {
  TJigsawProject2* project = Project();
  if (!project) return;
  FDialogs.ApplyPackageTitle();
  if (project->Pictures.empty()) {
    FServices.Boxes->ShowError(NoBitmapMessage);
    RequestTerminate();
    return;
  }
  FDialogs.ApplyPackageStyle();
  try {
    const TBMPData& entry = project->Pictures.size() == 1
                                ? *project->Pictures.front()
                                : *project->Pictures.at(static_cast<std::size_t>(pictureIndex));
    FCurrentPictureID = entry.ID;
    TKVGameSetup setup;
    setup.Difficulty = FSession.Difficulty();
    if (!(fromSavedGame && savedGame)) {
      setup.Difficulty = project->DifficultyIndex(FCurrentPictureID);
      if ((project->PreparedGame.Columns > 0 || project->PreparedGame.Rows > 0) &&
          FServices.Boxes->AskConfirmation("Project contains saved game data. Play saved game?") &&
          UsePreparedGame(*project, entry)) {
        fromSavedGame = true;
        savedGame = &FPreparedGame;
      }
    }
    if (fromSavedGame && savedGame) {
      setup.SavedGame = savedGame;
      setup.CheatCount = savedGame->CheatCount;
    }
    // Decoded once, no larger than the cut needs: the session's picture is the only copy.
    FSession.LoadGamePicture(entry, fromSavedGame && savedGame ? savedGame->Difficulty : setup.Difficulty,
                             setup);
    setup.PictureName = entry.Name;
    FSession.OnClockTick = [this](TKVCustomJigsawApplication*) { ShowClock(); };
    FSession.Prepare(std::move(setup));
  } catch (const Exception&) {
    // Damaged data, a picture that cannot be decoded, or no piece shapes to cut it with.
    FDialogs.FillPlayingArea(clAppWorkSpace);
    FServices.Boxes->ShowError(InvalidProjectDataMessage);
    RequestTerminate();
  }
}

bool TPlayFlow::UsePreparedGame(const TJigsawProject2& project, const TBMPData& entry) {
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
    if (FSession.SavedGameFits(FPreparedGame, stored)) return true;
  }
  return false;
}

bool TPlayFlow::PlayPicture(int32_t n) {
  FSequenceIndex = n;
  // The project exists already: this only resets the session.
  FLocator.LoadProject(nullptr, "", nullptr, true);
  const int32_t picture = n >= 0 && n < static_cast<int32_t>(FLocator.PlayablePictures.size())
                              ? FLocator.PlayablePictureIndex(n)
                              : -1;
  TJigsawProject2* project = Project();
  if (!project || picture < 0 || picture >= static_cast<int32_t>(project->Pictures.size())) {
    FServices.Boxes->ShowError("Invalid picture index.");
    return false;
  }
  FDialogs.HideWindow();
  FCurrentPicture = picture;
  PrepareGame(false, nullptr, picture);
  // A game that could not be prepared has said so; there is nothing to start.
  if (FTerminateRequested || !FSession.Board()) return false;
  FDialogs.ShowWindow();
  FSession.Start();
  GameStarted();
  return true;
}

bool TPlayFlow::LoadSavedGame(const std::string& fileName) {
  TJigsawFile saved;
  saved.LoadFromFile(fileName, FLocator.Services().SizeReader);
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
  if (!FSession.RestoreSavedGame(saved, fileName)) return false;
  FCurrentPicture = index;
  FCurrentPictureID = saved.PictureId;
  FDialogs.ShowWindow();
  GameStarted();
  return true;
}

// ---- the running game

void TPlayFlow::ShowClock() {
  if (FSession.State() != TGameState::Running) return;
  FDialogs.SetStatus(2, FormatClock(FSession.Clock()));
}

void TPlayFlow::WinHook() {
  if (FKeeper) FKeeper->Forget();
  FSession.SetStopped(true);
  if (!FWinTimer->Enabled()) FWinTimer->SetEnabled(true);
}

// ---- the end of a game

void TPlayFlow::FinishGame() {
  FWinTimer->SetEnabled(false);
  FDialogs.SetStatus(2, "");
  TJigsawProject2* project = Project();
  if (!project) return;
  if (FSession.FairWin()) HighScoreEntry();
  TActionItem& end = project->EndActions;
  const int32_t firstAction = end.ScriptCount() > 0 ? end.Scripts(0).ID : 0;
  const bool actionsHandleEnd = firstAction != 0 && firstAction != IdOf(TCommand::cmNone);
  if (actionsHandleEnd)
    end.Execute();
  else
    WinDialog(FLastLevel);
  FSession.SetCheatCount(0);
  if (actionsHandleEnd) return;
  if (project->PictureChoiceMode == 1) {
    if (FSequenceIndex + 1 < static_cast<int32_t>(FLocator.PlayablePictures.size()))
      AskNextPicture();
    else
      AskPlayAgain("No more image to play. Play again from first image?");
    return;
  }
  if (firstAction == IdOf(TCommand::cmNone)) AskPlayAgain("Play again?");
}

void TPlayFlow::AskNextPicture() {
  switch (FDialogs.AskNextPicture()) {
  case TNextPicture::npNext:
    ++FSequenceIndex;
    ChooseAndStartGame();
    break;
  case TNextPicture::npCurrent:
    ChooseAndStartGame();
    break;
  case TNextPicture::npStop:
    FSequenceIndex = 0;
    Quit();
    break;
  }
}

void TPlayFlow::HighScoreEntry() {
  TJigsawProject2* project = Project();
  if (!project) return;
  const int32_t level = HighScoreLevel(*project, FCurrentPicture);
  int32_t position = -1;
  const bool qualifies = level >= 0 && FHighScores.Qualifies(level, FSession.FinishTime(), position);
  FLastLevel = static_cast<uint8_t>(std::max(level, 0));
  if (!qualifies || project->Options.NoHighScores) return;
  // The name page of an HTML name entry needs the page window, which is not part of this player yet: the
  // dialog asks for the name instead.
  FLocator.PlayerName = FDialogs.AskHighScoreName();
  if (FSession.EnterHighScore(FHighScores, level, FLocator.PlayerName)) FDialogs.HighScoresChanged();
  if (project->ShowHighScoreTable) FDialogs.ShowHighScores(level);
}

void TPlayFlow::WinDialog(int32_t level) {
  TGameResult result;
  const int32_t cheats = FSession.CheatCount();
  const TKVJigsawBoard* board = FSession.Board();
  if (cheats == 0) {
    result.Caption = "Win";
    result.Heading = "You Win!";
    result.HeadingSize = 36;
  } else if (board && cheats == board->PieceCount()) {
    result.Caption = "Auto solve complete";
    result.Heading = "Auto solve complete";
    result.HeadingSize = 20;
  } else {
    result.Caption = "Win with cheat";
    result.Heading = "You win but you cheat " + std::to_string(cheats) + "X";
    result.HeadingSize = 16;
  }
  result.TimeLabel = "Time to complete puzzle: ";
  result.ClockText = FormatClock(FSession.FinishTime());
  FDialogs.ShowResult(result);
  const TJigsawProject2* project = Project();
  if (!project || !project->Options.NoHighScores) FDialogs.ShowHighScores(level);
}

void TPlayFlow::GameLost() {
  if (FKeeper) FKeeper->Forget();
  const TJigsawProject2* project = Project();
  TGameResult result;
  result.Caption = "Lose";
  result.Heading = "You Lose!";
  result.TimeLabel = "Your estimated time to solve:";
  result.ClockText = FormatClock(project ? project->CountdownSeconds : 0);
  result.PrintOffered = false;
  FDialogs.ShowResult(result);
  FDialogs.SetStatus(2, "");
  if (FDialogs.AskPlayAgain()) {
    ChooseAndStartGame();
    return;
  }
  Quit();
}

void TPlayFlow::AskPlayAgain(const std::string& question) {
  const bool again = FServices.Boxes->AskConfirmation(question);
  FSequenceIndex = 0;
  if (again) {
    ChooseAndStartGame();
    return;
  }
  Quit();
}

void TPlayFlow::Quit() {
  ClearStatus();
  FQuitConfirmed = true;
  FDialogs.CloseWindow();
}

void TPlayFlow::ClearStatus() {
  FDialogs.FillPlayingArea(clBtnFace);
  FDialogs.SetStatus(0, "");
  FDialogs.SetStatus(1, "");
}

} // namespace kv
