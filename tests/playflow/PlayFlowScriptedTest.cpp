// The play flow without a window: a game package of the session tests, a headless session and clock, and
// the window's dialogs answered by a script that logs what was asked.
#include "../session/SessionFixture.h"

#include "app/uGameKeeper.h"
#include "app/uPlayFlow.h"
#include "data/uGameData.h"
#include "data/uHighScore.h"
#include "data/uKVStandardFunc.h"
#include "gui/uPictureConverters.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using kv::TNextPicture;

class TScriptedDialogs : public kv::IPlayDialogs {
public:
  std::vector<std::string> Log;
  std::vector<kv::TGameResult> Results;
  std::map<int32_t, std::string> Status;
  // Answers.
  int32_t Chosen = -1;
  std::string Name = "Ada";
  std::deque<TNextPicture> Next;
  bool PlayAgain = false;
  bool Visible = false;

  int32_t ChoosePicture(bool takeOnClose) override {
    Log.push_back(takeOnClose ? "choose (close takes)" : "choose");
    return Chosen;
  }
  // What passes while the player types a name.
  std::function<void()> WhileNaming;
  std::string AskHighScoreName() override {
    Log.push_back("name");
    if (WhileNaming) WhileNaming();
    return Name;
  }
  void HighScoresChanged() override { Log.push_back("scores written"); }
  void ShowHighScores(int32_t level) override { Log.push_back("high scores " + std::to_string(level)); }
  void ShowResult(const kv::TGameResult& result) override {
    Log.push_back(result.Caption);
    Results.push_back(result);
  }
  TNextPicture AskNextPicture() override {
    Log.push_back("next");
    TNextPicture answer = Next.empty() ? TNextPicture::npStop : Next.front();
    if (!Next.empty()) Next.pop_front();
    return answer;
  }
  bool AskPlayAgain() override {
    Log.push_back("play again");
    return PlayAgain;
  }
  void SetStatus(int32_t panel, const std::string& text) override { Status[panel] = text; }
  void FillPlayingArea(kv::TColor) override {}
  void ApplyPackageTitle() override {}
  void ApplyPackageStyle() override {}
  void HideWindow() override { Visible = false; }
  void ShowWindow() override { Visible = true; }
  void GameStarted() override { ++Started; }
  int Started = 0;
  void CloseWindow() override {
    Log.push_back("close");
    Visible = false;
  }
  void EndProgram() override { Log.push_back("end"); }
};

class PlayFlowScriptedTest : public ::testing::Test {
protected:
  // A package of count copies of the session tests' picture, played in the given order.
  void Load(int count, int16_t choiceMode, const std::function<void(kv::TJigsawProject2&)>& adjust = {}) {
    kv::TJigsawProject2 project;
    kvtest::BuildSessionPackage(project);
    for (int i = 1; i < count; ++i) {
      kv::TBMPData& copy = project.AddPicture(0, static_cast<uint32_t>(i + 1));
      copy.Name = "Copy " + std::to_string(i);
      copy.Data = kv::TMemoryStream(project.Pictures.front()->Data.Bytes());
    }
    project.PictureChoiceMode = choiceMode;
    project.NumPiecesMin = 0;
    project.NumPiecesMax = 24;
    if (adjust) adjust(project);
    kv::TMemoryStream package;
    project.SaveToStream(package);
    Locator.LoadProject(&package, "", nullptr, true);
    Session->SetProject(Locator.Project());
  }

  void SetUp() override {
    Services.Random->Seed(7);
    auto surface = std::make_unique<kv::THeadlessPaintBox>();
    kv::THeadlessPaintBox* box = surface.get();
    Engine.CreateSurface(std::move(surface));
    Engine.SetSize(640, 480);
    Session = std::make_unique<kv::TKVJigsawApplication>(Services, Engine);
    Session->SetMainWindow(this);
    Session->SetClientArea(box);
    Locator.OnResetSession = [this] { Session->Reset(); };
    Flow = std::make_unique<kv::TPlayFlow>(Locator, *Session, Scores, Services, Dialogs);
  }

  void TearDown() override {
    Flow.reset();
    Session.reset();
    Engine.DestroySurface();
  }

  // The board reports the puzzle complete; the end follows on the win timer.
  void Win() {
    ASSERT_NE(Session->OnBoardWin, nullptr);
    ASSERT_NE(Session->Board()->OnWin, nullptr);
    Session->Board()->OnWin(Session->Board());
    EXPECT_TRUE(Session->Stopped());
    EXPECT_TRUE(Flow->WinTimer().Enabled());
    Platform.Advance(100);
  }

  // Said so, and the program ends: no window is left behind without a game.
  void ExpectNothingToPlay() {
    Flow->StartFirstGame();
    ASSERT_FALSE(Platform.Boxes.Shown.empty());
    EXPECT_EQ(Platform.Boxes.Shown.back().Text, "Project doesn't contain any bitmap.");
    EXPECT_TRUE(Flow->TerminateRequested());
    EXPECT_EQ(Dialogs.Log, std::vector<std::string>{"end"});
    EXPECT_EQ(Session->Board(), nullptr);
  }

  bool Running() const { return Session->State() == kv::TGameState::Running && Session->Board() != nullptr; }

  kv::TKVGamesSkin Skin;
  kv::TKVGR32GraphicEngine Engine{Skin};
  kv::THeadlessPlatform Platform;
  kv::TPlatformServices Services = Platform.Services();
  kv::TGameDataLocator Locator{"", {}};
  kv::THighScore Scores;
  TScriptedDialogs Dialogs;
  std::unique_ptr<kv::TKVJigsawApplication> Session;
  std::unique_ptr<kv::TPlayFlow> Flow;
};

TEST_F(PlayFlowScriptedTest, PicturesInSequenceGoOnAndStartAgainFromTheFirst) {
  Load(3, 1, [](kv::TJigsawProject2& project) { project.Options.NoHighScores = true; });
  Flow->StartFirstGame();
  ASSERT_TRUE(Running());
  EXPECT_TRUE(Dialogs.Visible);
  EXPECT_EQ(Flow->CurrentPicture(), 0);
  Dialogs.Next = {TNextPicture::npNext, TNextPicture::npCurrent, TNextPicture::npNext};
  for (const int32_t expected : {1, 1, 2}) {
    Win();
    EXPECT_EQ(Flow->CurrentPicture(), expected);
    EXPECT_EQ(Flow->SequenceIndex(), expected);
    EXPECT_TRUE(Running());
  }
  Platform.Boxes.Answers = {true};
  Win();
  EXPECT_EQ(Platform.Boxes.Shown.back().Text, "No more image to play. Play again from first image?");
  EXPECT_EQ(Flow->CurrentPicture(), 0);
  EXPECT_EQ(Flow->SequenceIndex(), 0);
  EXPECT_TRUE(Running());
  EXPECT_EQ(Dialogs.Log, (std::vector<std::string>{"Win", "next", "Win", "next", "Win", "next", "Win"}));
  EXPECT_FALSE(Flow->QuitConfirmed());
}

TEST_F(PlayFlowScriptedTest, AFairWinEntersTheNameAndAStopClosesTheWindow) {
  Load(1, 1, [](kv::TJigsawProject2& project) { project.ShowHighScoreTable = 1; });
  Flow->StartFirstGame();
  ASSERT_TRUE(Running());
  Session->SetClock(42);
  Platform.Boxes.Answers = {false};
  // The clock counts on while the name is typed; the time is the one at the last piece.
  Dialogs.WhileNaming = [this] {
    for (int second = 0; second < 7; ++second) Session->ClockTick();
  };
  Win();
  // Fewer than 25 pieces: Very Easy.
  EXPECT_EQ(Dialogs.Log, (std::vector<std::string>{"name", "scores written", "high scores 3", "Win",
                                                   "high scores 3", "close"}));
  EXPECT_EQ(Flow->LastLevel(), 3);
  EXPECT_EQ(Locator.PlayerName, "Ada");
  ASSERT_EQ(Scores.Count(3), 1);
  EXPECT_EQ(Scores.GetEntry(3, 0).Name, "Ada");
  EXPECT_EQ(Scores.GetEntry(3, 0).Time, 42);
  EXPECT_EQ(Dialogs.Results[0].Heading, "You Win!");
  EXPECT_EQ(Dialogs.Results[0].ClockText, "00:00:42");
  EXPECT_TRUE(Dialogs.Results[0].PrintOffered);
  EXPECT_TRUE(Flow->QuitConfirmed());
}

TEST_F(PlayFlowScriptedTest, AWinWithSolvingAidsAsksNoNameAndCountsTheAids) {
  Load(1, 0, [](kv::TJigsawProject2& project) { project.EndActions.AddScript().ID = 18; });
  Flow->StartFirstGame();
  ASSERT_TRUE(Running());
  Session->SetCheatCount(2);
  Platform.Boxes.Answers = {true};
  Win();
  // No entry, so the list is the one of the last level entered, none yet.
  EXPECT_EQ(Dialogs.Log, (std::vector<std::string>{"Win with cheat", "high scores 0"}));
  EXPECT_EQ(Dialogs.Results[0].Heading, "You win but you cheat 2X");
  EXPECT_EQ(Dialogs.Results[0].HeadingSize, 16);
  EXPECT_EQ(Scores.Count(3), 0);
  EXPECT_EQ(Session->CheatCount(), 0);
  // The first finish action 18 asks; yes plays again.
  EXPECT_EQ(Platform.Boxes.Shown.back().Text, "Play again?");
  EXPECT_TRUE(Running());
}

TEST_F(PlayFlowScriptedTest, ALostCountDownShowsTheAllowedTimeAndStopCloses) {
  Load(1, 0, [](kv::TJigsawProject2& project) {
    project.Countdown = 1;
    project.CountdownSeconds = 2;
  });
  Flow->StartFirstGame();
  ASSERT_TRUE(Running());
  Platform.Advance(2100);
  ASSERT_EQ(Dialogs.Results.size(), 1u);
  EXPECT_EQ(Dialogs.Results[0].Caption, "Lose");
  EXPECT_EQ(Dialogs.Results[0].Heading, "You Lose!");
  EXPECT_EQ(Dialogs.Results[0].TimeLabel, "Your estimated time to solve:");
  EXPECT_EQ(Dialogs.Results[0].ClockText, "00:00:02");
  EXPECT_FALSE(Dialogs.Results[0].PrintOffered);
  EXPECT_EQ(Dialogs.Log, (std::vector<std::string>{"Lose", "play again", "close"}));
  EXPECT_TRUE(Flow->QuitConfirmed());
  EXPECT_EQ(Dialogs.Status[2], "");
}

TEST_F(PlayFlowScriptedTest, TheChooserTakesItsPictureOnCloseOnlyAtStartUp) {
  Load(3, 0);
  Dialogs.Chosen = 2;
  Flow->StartFirstGame();
  ASSERT_TRUE(Running());
  EXPECT_EQ(Flow->CurrentPicture(), 2);
  EXPECT_EQ(Flow->CurrentPictureID(), 3u);
  // Later nothing chosen keeps the running game.
  const kv::TKVJigsawBoard* board = Session->Board();
  Dialogs.Chosen = -1;
  Flow->ChooseAndStartGame();
  EXPECT_EQ(Session->Board(), board);
  EXPECT_EQ(Flow->CurrentPicture(), 2);
  EXPECT_EQ(Dialogs.Log, (std::vector<std::string>{"choose (close takes)", "choose"}));
}

TEST_F(PlayFlowScriptedTest, TheClockShowsInTheThirdPanel) {
  Load(1, 0);
  Flow->StartFirstGame();
  ASSERT_TRUE(Running());
  Platform.Advance(1050);
  EXPECT_EQ(Dialogs.Status[2], "00:00:01");
}

TEST_F(PlayFlowScriptedTest, PlayingAPictureByNumber) {
  Load(2, 1);
  Flow->StartFirstGame();
  EXPECT_TRUE(Flow->PlayPicture(1));
  EXPECT_EQ(Flow->CurrentPicture(), 1);
  EXPECT_EQ(Flow->SequenceIndex(), 1);
  EXPECT_TRUE(Running());
  EXPECT_FALSE(Flow->PlayPicture(2));
  EXPECT_EQ(Platform.Boxes.Shown.back().Text, "Invalid picture index.");
  EXPECT_EQ(Session->Board(), nullptr);
}

TEST_F(PlayFlowScriptedTest, APackageWithoutPicturesEndsTheProgram) {
  Load(1, 0, [](kv::TJigsawProject2& project) { project.Pictures.clear(); });
  ExpectNothingToPlay();
}

TEST_F(PlayFlowScriptedTest, APackageOfWallpapersOnlyEndsTheProgram) {
  Load(1, 0, [](kv::TJigsawProject2& project) {
    project.Pictures.clear();
    project.AddPicture(1, 0x10000).Data = kv::TMemoryStream(kvtest::MakeJpeg(64, 48));
  });
  ExpectNothingToPlay();
}

TEST_F(PlayFlowScriptedTest, AnUnknownChoiceModeLetsThePlayerChoose) {
  Load(3, 7);
  Dialogs.Chosen = 1;
  Flow->StartFirstGame();
  EXPECT_TRUE(Running());
  EXPECT_EQ(Flow->CurrentPicture(), 1);
  EXPECT_EQ(Dialogs.Log, std::vector<std::string>{"choose (close takes)"});
}

} // namespace

namespace {

// The unfinished game kept in a state folder of the test's own, across a restart of the program.
class KeptGameTest : public PlayFlowScriptedTest {
protected:
  void TearDown() override {
    if (Flow) Flow->SetKeeper(nullptr);
    Keeper.reset();
    PlayFlowScriptedTest::TearDown();
  }
  void StartKeeping() {
    Keeper = std::make_unique<kv::TGameKeeper>(*Session, Services.Timers, KeptFile());
    Flow->SetKeeper(Keeper.get());
  }
  // The program ends (the game kept as the window closes) and starts again over the same folder.
  void Restart() {
    Keeper->KeepNow();
    Flow->SetKeeper(nullptr);
    Keeper.reset();
    Flow.reset();
    Session->Reset();
    Dialogs.Log.clear();
    Platform.Boxes.Shown.clear();
    Flow = std::make_unique<kv::TPlayFlow>(Locator, *Session, Scores, Services, Dialogs);
    StartKeeping();
  }
  std::string KeptFile() const { return State.file("game.jsw"); }
  bool Kept() const { return std::filesystem::exists(KeptFile()); }
  bool Asked() const {
    for (const auto& shown : Platform.Boxes.Shown)
      if (shown.Text == kv::ResumeQuestion) return true;
    return false;
  }
  void MovePiece(std::size_t index, int32_t dx, int32_t dy) {
    kv::TKVBoardPiece& piece = Session->Board()->Pieces()[index];
    piece.X += dx;
    piece.Y += dy;
    Session->Board()->OnSettled();
  }

  kvtest::TempDir State;
  std::unique_ptr<kv::TGameKeeper> Keeper;
};

TEST_F(KeptGameTest, AGameClosedUnfinishedGoesOnWhereItWasLeft) {
  Load(3, 0);
  Dialogs.Chosen = 1;
  StartKeeping();
  Flow->StartFirstGame();
  ASSERT_TRUE(Running());
  EXPECT_FALSE(Asked());
  // A new game is kept as it starts.
  EXPECT_EQ(Keeper->Writes(), 1);
  Session->SetCheatCount(1);
  // Moves close together make one write, a second after the last of them.
  MovePiece(0, 13, 7);
  Platform.Advance(600);
  MovePiece(1, -5, 9);
  Platform.Advance(600);
  EXPECT_EQ(Keeper->Writes(), 1);
  Platform.Advance(500);
  EXPECT_EQ(Keeper->Writes(), 2);
  std::vector<std::pair<int32_t, int32_t>> places;
  for (const kv::TKVBoardPiece& piece : Session->Board()->Pieces()) places.emplace_back(piece.X, piece.Y);
  const int32_t clock = Session->Clock();

  Restart();
  Platform.Boxes.Answers = {true};
  Flow->StartFirstGame();
  EXPECT_TRUE(Asked());
  ASSERT_TRUE(Running());
  // No chooser: the kept picture, its pieces where they were, its clock and its aids.
  EXPECT_EQ(Dialogs.Log, std::vector<std::string>{});
  EXPECT_TRUE(Dialogs.Visible);
  EXPECT_EQ(Flow->CurrentPicture(), 1);
  EXPECT_EQ(Flow->CurrentPictureID(), 2u);
  std::vector<std::pair<int32_t, int32_t>> restored;
  for (const kv::TKVBoardPiece& piece : Session->Board()->Pieces()) restored.emplace_back(piece.X, piece.Y);
  EXPECT_EQ(restored, places);
  EXPECT_EQ(Session->Clock(), clock);
  EXPECT_EQ(Session->CheatCount(), 1);
}

TEST_F(KeptGameTest, StartingAnewReplacesTheKeptGame) {
  Load(3, 0);
  Dialogs.Chosen = 1;
  StartKeeping();
  Flow->StartFirstGame();
  Restart();
  Platform.Boxes.Answers = {false};
  Dialogs.Chosen = 2;
  Flow->StartFirstGame();
  EXPECT_TRUE(Asked());
  EXPECT_EQ(Dialogs.Log, std::vector<std::string>{"choose (close takes)"});
  EXPECT_EQ(Flow->CurrentPicture(), 2);
  kv::TJigsawFile kept;
  kept.LoadFromFile(KeptFile(), kv::ReadPictureSize);
  EXPECT_EQ(kept.PictureId, 3u);
}

TEST_F(KeptGameTest, AWonOrLostGameLeavesNothingToGoOnWith) {
  Load(1, 0, [](kv::TJigsawProject2& project) {
    project.Options.NoHighScores = true;
    project.EndActions.AddScript().ID = 18;
  });
  StartKeeping();
  Flow->StartFirstGame();
  ASSERT_TRUE(Kept());
  Platform.Boxes.Answers = {false};
  Win();
  EXPECT_FALSE(Kept());
  // A change after the win keeps nothing either.
  Session->OnGameChanged(Session.get());
  Platform.Advance(1500);
  EXPECT_FALSE(Kept());
}

TEST_F(KeptGameTest, ALostCountDownLeavesNothing) {
  Load(1, 0, [](kv::TJigsawProject2& project) {
    project.Countdown = 1;
    project.CountdownSeconds = 2;
  });
  StartKeeping();
  Flow->StartFirstGame();
  ASSERT_TRUE(Kept());
  Platform.Advance(2100);
  EXPECT_FALSE(Kept());
}

TEST_F(KeptGameTest, AKeptGameThatNoLongerServesIsSetAsideWithANotice) {
  Load(3, 0);
  StartKeeping();
  // Damaged bytes: never a crash, a one-line notice, and the game starts as usual.
  std::filesystem::create_directories(State.path());
  kvtest::WriteFileBytes(KeptFile(), {'n', 'o', 't', ' ', 'a', ' ', 'g', 'a', 'm', 'e'});
  Dialogs.Chosen = 1;
  Flow->StartFirstGame();
  EXPECT_FALSE(Asked());
  ASSERT_FALSE(Platform.Boxes.Shown.empty());
  EXPECT_EQ(Platform.Boxes.Shown.front().Text, "The unfinished puzzle could not be read and was set aside.");
  EXPECT_TRUE(std::filesystem::exists(KeptFile() + ".set-aside"));
  EXPECT_TRUE(Running());

  // A kept game whose picture the package no longer has.
  Restart();
  auto& pictures = Locator.Project()->Pictures;
  pictures.erase(pictures.begin() + 1);
  Platform.Boxes.Answers = {true};
  Dialogs.Chosen = 0;
  Flow->StartFirstGame();
  EXPECT_TRUE(Asked());
  EXPECT_EQ(Platform.Boxes.Shown.back().Text, kv::SetAsideNotice);
  EXPECT_TRUE(Running());
}

} // namespace
