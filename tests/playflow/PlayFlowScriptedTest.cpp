// The play flow without a window: a game package of the session tests, a headless session and clock, and
// the window's dialogs answered by a script that logs what was asked.
#include "../session/SessionFixture.h"

#include "app/uPlayFlow.h"
#include "data/uGameData.h"
#include "data/uHighScore.h"
#include "data/uKVStandardFunc.h"

#include <gtest/gtest.h>

#include <deque>
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
  std::string AskHighScoreName() override {
    Log.push_back("name");
    return Name;
  }
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
    Session->OnBoardWin(Session->Board());
    EXPECT_TRUE(Session->Stopped());
    EXPECT_TRUE(Flow->WinTimer().Enabled());
    Platform.Advance(100);
  }

  bool Running() const { return Session->State() == kv::kvasRunning && Session->Board() != nullptr; }

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
  Win();
  // Fewer than 25 pieces: Very Easy.
  EXPECT_EQ(Dialogs.Log,
            (std::vector<std::string>{"name", "high scores 3", "Win", "high scores 3", "close"}));
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
  Flow->StartFirstGame();
  EXPECT_EQ(Platform.Boxes.Shown.back().Text, "Project doesn't contain any bitmap.");
  EXPECT_TRUE(Flow->TerminateRequested());
  EXPECT_EQ(Dialogs.Log, std::vector<std::string>{"end"});
  EXPECT_EQ(Session->Board(), nullptr);
}

} // namespace
