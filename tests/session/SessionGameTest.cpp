// A game from the package to its end: building, the clock, the aids, the win and the loss.
#include "SessionFixture.h"

#include "core/uKVErrors.h"
#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUIShapeControl.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <set>

namespace kvtest {
namespace {

TEST_F(SessionTest, PreparingNeedsAClientArea) {
  kv::TKVJigsawApplication session(Platform.Services(), Engine);
  try {
    session.SetProject(&Project);
    FAIL() << "a project without a client area";
  } catch (const kv::EAssertionFailed& e) {
    EXPECT_EQ(e.Text, "Setting project need client area");
    EXPECT_EQ(e.Unit, "shared/jigsaw/uKVJigsawApplication");
  }
  App->SetClientArea(nullptr);
  try {
    App->Prepare();
    FAIL() << "Prepare without a client area";
  } catch (const kv::EAssertionFailed& e) {
    EXPECT_EQ(e.Text, "Client Area not defined");
  }
}

TEST_F(SessionTest, AGameIsBuiltFromThePackageAndStarts) {
  EXPECT_TRUE(App->Stopped());
  StartGame(0);
  kv::TKVJigsawBoard& board = Board();
  EXPECT_EQ(App->State(), kv::TGameState::Running);
  EXPECT_FALSE(App->Stopped());
  EXPECT_EQ(board.State(), kv::TGameState::Running);
  EXPECT_TRUE(board.IsPrepared());
  EXPECT_EQ(board.Application, App.get());
  EXPECT_TRUE(App->Root()->Enabled());
  EXPECT_EQ(board.Cols(), App->Cut().Cols(App->PieceLibrary()));
  EXPECT_EQ(board.Rows(), App->Cut().Rows(App->PieceLibrary()));
  EXPECT_GE(board.PieceCount(), 4);
  EXPECT_LE(board.PieceCount(), 25);
  // The board covers the client area, which the prepare took as the board area.
  EXPECT_EQ(board.GetBoundsRect(), (kv::TRect{0, 0, kClientWidth, kClientHeight}));
  EXPECT_EQ(App->BoardArea().Right, kClientWidth);
  EXPECT_EQ(App->BoardArea().Bottom, kClientHeight);
  EXPECT_EQ(board.CellWidth, App->Cut().PictureWidth() / board.Cols());
  EXPECT_EQ(board.CellHeight, App->Cut().PictureHeight() / board.Rows());
  EXPECT_TRUE(board.NoRotation);
  EXPECT_TRUE(board.DragMode);
  // Every piece is scattered over the area, at most half its size beyond the right and bottom border.
  for (const kv::TKVBoardPiece& piece : board.Pieces()) {
    EXPECT_GE(piece.X, 0);
    EXPECT_GE(piece.Y, 0);
    EXPECT_LT(piece.X, kClientWidth - piece.Width / 2);
    EXPECT_LT(piece.Y, kClientHeight - piece.Height / 2);
    EXPECT_EQ(piece.Rotation, 0);
    EXPECT_EQ(piece.Joined, 0);
  }
  // Every piece has its images: the board draws them.
  Box->Frame();
  EXPECT_GT(Engine.GetBuffer()->Width(), 0);
}

TEST_F(SessionTest, ThePlayingAreaStacksWallpaperGhostBoardAndPreview) {
  struct Case {
    const char* Name;
    bool Wallpaper;
  };
  for (const Case& c : {Case{"grey shape", false}, Case{"wallpaper", true}}) {
    SCOPED_TRACE(c.Name);
    if (c.Wallpaper) AddWallpaper(Project, 64, 48, 0xFF204080u, kv::kvisTile);
    StartGame(0);
    kv::TKVGUIWorkspace& root = *App->Root();
    ASSERT_EQ(root.ChildCount(), 4);
    EXPECT_EQ(root.Children(0), App->PreviewWindow());
    EXPECT_EQ(root.Children(1), App->Board());
    EXPECT_EQ(root.Children(2), App->GhostImage());
    if (c.Wallpaper) {
      ASSERT_NE(App->Background(), nullptr);
      EXPECT_EQ(App->BackgroundShape(), nullptr);
      EXPECT_EQ(root.Children(3), App->Background());
      EXPECT_EQ(App->Background()->DrawStyle(), kv::kvisTile);
      // An opaque wallpaper is copied into the frame rather than blended.
      EXPECT_EQ(App->Background()->Picture().DrawMode(), kv::dmOpaque);
      EXPECT_EQ(App->Background()->GetBoundsRect(), (kv::TRect{0, 0, kClientWidth, kClientHeight}));
    } else {
      ASSERT_NE(App->BackgroundShape(), nullptr);
      EXPECT_EQ(App->Background(), nullptr);
      EXPECT_EQ(root.Children(3), App->BackgroundShape());
      EXPECT_EQ(App->BackgroundShape()->BackgroundColor(), kv::kvNoWallpaperColor);
      EXPECT_EQ(App->BackgroundShape()->GetBoundsRect(), (kv::TRect{0, 0, kClientWidth, kClientHeight}));
    }
    // What the screen shows where no piece, ghost or window lies: the wallpaper or the grey.
    Box->Frame();
    const int32_t x = kClientWidth - 2, y = 2;
    ASSERT_FALSE(TopPieceAt(x, y).has_value());
    const kv::TColor32 shown = Box->Screen().PixelAt(x, y);
    if (c.Wallpaper) {
      EXPECT_NEAR(static_cast<int>((shown >> 16) & 0xFF), 0x20, 3);
      EXPECT_NEAR(static_cast<int>(shown & 0xFF), 0x80, 3);
    } else {
      EXPECT_EQ(shown, kv::kvNoWallpaperColor);
    }
  }
}

TEST_F(SessionTest, AWallpaperThatCannotBeReadLeavesTheGreyShape) {
  AddWallpaper(Project, 64, 48, 0xFF204080u, kv::kvisStretch);
  Project.Pictures.back()->Data = kv::TMemoryStream(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0, 1, 2});
  StartGame(0);
  EXPECT_EQ(App->Background(), nullptr);
  ASSERT_NE(App->BackgroundShape(), nullptr);
  EXPECT_EQ(App->Root()->ChildCount(), 4);
}

TEST_F(SessionTest, ProgressComesOnTheUserInterfaceThreadWithTranslatedTexts) {
  Project.Translations = {"Creating pieces=Teile werden erstellt", "of=von", "finish=Fertig"};
  std::vector<std::tuple<int32_t, std::string, int32_t>> seen;
  bool allOnUiThread = true;
  App->OnProgress = [&](int32_t kind, const std::string& text, int32_t value) {
    allOnUiThread = allOnUiThread && Platform.Dispatcher.IsUIThread();
    seen.emplace_back(kind, text, value);
  };
  StartGame(1);
  const int32_t total = Board().PieceCount();
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(total) + 2);
  EXPECT_TRUE(allOnUiThread);
  EXPECT_EQ(seen.front(), std::make_tuple(0, std::string("Teile werden erstellt"), 0));
  for (int32_t n = 1; n <= total; ++n) {
    const auto& [kind, text, value] = seen[static_cast<std::size_t>(n)];
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(text, std::to_string(n) + " von " + std::to_string(total));
    EXPECT_EQ(value, kv::ProgressPercent(n, total));
  }
  EXPECT_EQ(seen.back(), std::make_tuple(2, std::string("Fertig"), 100));
}

TEST_F(SessionTest, SoundsAreRegisteredPerSlotAndPlayedOnTheirEvents) {
  // Slot 3 shares the sound of slot 8 (the first id of a slot counts); the sound of slot 5 has no known
  // format and is left out; of two sounds with the id of slot 6 the last one is taken.
  Project.EventSounds[3].SoundIds = {kFirstSoundId + 8, kFirstSoundId + 1};
  std::erase_if(Project.SoundFormats,
                [](const kv::TSoundFormat& f) { return f.SoundID == kFirstSoundId + 5; });
  auto duplicate = std::make_unique<kv::TWaveData>();
  duplicate->ID = kFirstSoundId + 6;
  duplicate->Data = kv::TMemoryStream(SoundBytes(99));
  Project.Sounds.insert(Project.Sounds.begin(), std::move(duplicate));
  StartGame(0);
  kv::TKVSoundEventCollection& sounds = App->SoundEvents();
  const auto find = [&sounds](kv::TGameEvent event) { return sounds.FindEvent(kv::ToUnderlying(event)); };
  using enum kv::TGameEvent;
  const std::vector<std::pair<kv::TGameEvent, int32_t>> expected{{Music, 0}, {PickUp, 9},  {Turn, 8},
                                                                 {Snap, 7},  {Preview, 8}, {Complete, 6}};
  EXPECT_EQ(sounds.Count(), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(find(TimeUp), nullptr);
  for (const auto& [event, slot] : expected) {
    SCOPED_TRACE(kv::ToUnderlying(event));
    kv::TKVSoundEventItem* item = find(event);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Data.Bytes(), SoundBytes(kFirstSoundId + static_cast<uint32_t>(slot)));
    EXPECT_EQ(item->SoundFormat, kv::kvsfWAV);
    EXPECT_TRUE(item->Prepared());
  }
  EXPECT_EQ(App->MusicEventId(), kv::ToUnderlying(Music));
  // The music repeats while the game runs, pauses with it and stops with it.
  EXPECT_TRUE(Playing(kFirstSoundId + 0));
  EXPECT_TRUE(find(Music)->Repeating());
  App->Pause();
  EXPECT_FALSE(Playing(kFirstSoundId + 0));
  App->Resume();
  EXPECT_TRUE(Playing(kFirstSoundId + 0));

  // Picking up a piece through the client area plays the pick-up sound once.
  std::optional<kv::TPoint> at;
  for (int32_t p = 0; p < Board().PieceCount() && !at; ++p)
    at = PickPoint(p / Board().Cols(), p % Board().Cols());
  ASSERT_TRUE(at.has_value());
  Drag(at->X, at->Y, 3, 3);
  EXPECT_EQ(Plays(kFirstSoundId + 9), 1);
  EXPECT_FALSE(find(PickUp)->Repeating());

  App->Stop();
  EXPECT_FALSE(Playing(kFirstSoundId + 0));
}

TEST_F(SessionTest, TheSoundSwitchComesFromThePackage) {
  Project.SoundOn = 0;
  StartGame(0);
  EXPECT_FALSE(App->SoundOn());
  EXPECT_EQ(Plays(kFirstSoundId + 0), 0);
  App->SetSoundOn(true);
  EXPECT_TRUE(Playing(kFirstSoundId + 0));
}

TEST_F(SessionTest, AGameAssembledByMouseIsWonOnceWithTheWinSound) {
  Enlarge();
  StartGame(0);
  ASSERT_TRUE(AssembleByMouse());
  EXPECT_TRUE(Board().Won());
  EXPECT_EQ(Wins, 1);
  EXPECT_TRUE(App->FairWin());
  EXPECT_GE(Plays(kFirstSoundId + 7), 1); // snaps
  EXPECT_EQ(Plays(kFirstSoundId + 6), 1); // the win, repeating
  EXPECT_TRUE(App->SoundEvents().FindEvent(kv::ToUnderlying(kv::TGameEvent::Complete))->Repeating());
  EXPECT_FALSE(Playing(kFirstSoundId + 0)); // the music stopped for it
  // The clock no longer reaches the owner after the win.
  const int ticks = ClockTicks;
  Platform.Advance(3000);
  EXPECT_EQ(ClockTicks, ticks);
  EXPECT_EQ(Wins, 1);
}

TEST_F(SessionTest, TheClockCountsUpWhileTheBoardPlays) {
  StartGame(0);
  EXPECT_EQ(App->Clock(), 0);
  Platform.Advance(3500);
  EXPECT_EQ(App->Clock(), 3);
  EXPECT_EQ(ClockTicks, 3);
  // Paused: neither the clock nor the ticks go on, and the preview goes away until the game resumes.
  ASSERT_TRUE(App->PreviewWindow()->Visible());
  App->Pause();
  EXPECT_EQ(Board().State(), kv::TGameState::Paused);
  EXPECT_FALSE(App->PreviewWindow()->Visible());
  Platform.Advance(5000);
  EXPECT_EQ(App->Clock(), 3);
  App->Resume();
  EXPECT_EQ(Board().State(), kv::TGameState::Running);
  EXPECT_TRUE(App->PreviewWindow()->Visible());
  EXPECT_FALSE(App->Scene().PreviewWasVisible());
  Platform.Advance(2000);
  EXPECT_EQ(App->Clock(), 5);
  EXPECT_EQ(ClockTicks, 5);
  // A preview the player closed stays closed after a pause.
  App->PreviewWindow()->SetVisible(false);
  App->Pause();
  App->Resume();
  EXPECT_FALSE(App->PreviewWindow()->Visible());
  App->Stop();
  EXPECT_EQ(App->Clock(), 0);
  EXPECT_TRUE(App->Stopped());
  Platform.Advance(3000);
  EXPECT_EQ(App->Clock(), 0);
}

TEST_F(SessionTest, ACountDownRunsOutExactlyOnce) {
  Project.Countdown = 1;
  Project.CountdownSeconds = 3;
  StartGame(0);
  EXPECT_TRUE(App->CountDown());
  EXPECT_EQ(App->Clock(), 3);
  Platform.Advance(2500);
  EXPECT_EQ(App->Clock(), 1);
  EXPECT_EQ(TimeOuts, 0);
  Platform.Advance(1000);
  EXPECT_EQ(TimeOuts, 1);
  EXPECT_EQ(App->Clock(), 0);
  EXPECT_TRUE(App->Stopped());
  EXPECT_EQ(Board().State(), kv::TGameState::Stopped);
  EXPECT_EQ(Plays(kFirstSoundId + 5), 1);
  EXPECT_FALSE(Playing(kFirstSoundId + 0));
  // The session still runs, the clock goes on counting, the game stays lost.
  EXPECT_EQ(App->State(), kv::TGameState::Running);
  Platform.Advance(5000);
  EXPECT_EQ(TimeOuts, 1);
  EXPECT_EQ(Plays(kFirstSoundId + 5), 1);
}

TEST_F(SessionTest, ACountDownFromZeroNeverEndsTheGame) {
  Project.Countdown = 1;
  Project.CountdownSeconds = 0;
  StartGame(0);
  Platform.Advance(3000);
  EXPECT_EQ(App->Clock(), -3);
  EXPECT_EQ(TimeOuts, 0);
  EXPECT_FALSE(App->Stopped());
}

TEST_F(SessionTest, AWonCountDownGameNeverTimesOut) {
  Project.Countdown = 1;
  Project.CountdownSeconds = 5;
  StartGame(0);
  ASSERT_TRUE(App->SolveAll(0));
  ASSERT_TRUE(AdvanceUntil([&] { return Wins > 0; }, 4000));
  Platform.Advance(10000);
  EXPECT_EQ(TimeOuts, 0);
  EXPECT_EQ(Plays(kFirstSoundId + 5), 0);
}

TEST_F(SessionTest, SolvingAllCountsAsCheatingAndWinsSilently) {
  struct Case {
    const char* Name;
    uint8_t Confirm;
    std::deque<bool> Answers;
    bool Solves;
  };
  const std::vector<Case> cases{{"at once", 0, {}, true},
                                {"confirmed", 1, {true}, true},
                                {"declined", 1, {false}, false},
                                {"unknown confirmation value", 2, {}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Wins = 0;
    StartGame(0);
    Platform.Boxes.Answers = c.Answers;
    Platform.Boxes.Shown.clear();
    const int winPlays = Plays(kFirstSoundId + 6);
    EXPECT_EQ(App->SolveAll(c.Confirm), c.Solves);
    EXPECT_EQ(Platform.Boxes.Shown.size(), c.Confirm == 1 ? 1u : 0u);
    if (c.Confirm == 1) {
      EXPECT_EQ(Platform.Boxes.Shown[0].Text, "Solve all pieces?");
    }
    EXPECT_EQ(App->CheatCount(), c.Solves ? Board().PieceCount() : 0);
    AdvanceUntil([&] { return Wins > 0; }, 4000);
    EXPECT_EQ(Wins, c.Solves ? 1 : 0);
    EXPECT_EQ(Board().Won(), c.Solves);
    // A game finished with the aids ends without the win sound.
    EXPECT_EQ(Plays(kFirstSoundId + 6), winPlays);
    if (c.Solves) {
      EXPECT_FALSE(App->FairWin());
      // The picture lies where the ghost shows it.
      const kv::TKVGUIAnimatedImage& ghost = *App->GhostImage();
      for (const kv::TKVBoardPiece& piece : Board().Pieces()) {
        EXPECT_EQ(piece.Joined, 1);
        EXPECT_EQ(piece.X, ghost.Left() + piece.CorrectX);
        EXPECT_EQ(piece.Y, ghost.Top() + piece.CorrectY);
      }
    }
  }
}

TEST_F(SessionTest, TheSolveQuestionPausesTheGameAndSurvivesANewGameUnderIt) {
  Project.Countdown = 1;
  Project.CountdownSeconds = 2;
  StartGame(0);
  // The player leaves the question open longer than the count-down: the game is paused under it.
  Platform.Boxes.WhileAsking = [&] {
    EXPECT_EQ(App->State(), kv::TGameState::Paused);
    Platform.Advance(5000);
  };
  Platform.Boxes.Answers = {false};
  EXPECT_FALSE(App->SolveAll(1));
  EXPECT_EQ(TimeOuts, 0);
  EXPECT_EQ(App->Clock(), 2);
  EXPECT_EQ(App->State(), kv::TGameState::Running);

  // Under the question the game is replaced (as "play again" after a lost game does): the answer was for a
  // board that is gone, and nothing of the new game is solved.
  Platform.Boxes.WhileAsking = [&] {
    Platform.Boxes.WhileAsking = nullptr;
    App->Reset();
    StartGame(0);
  };
  Platform.Boxes.Answers = {true};
  EXPECT_FALSE(App->SolveAll(1));
  EXPECT_EQ(App->CheatCount(), 0);
  EXPECT_EQ(Board().FlyingCount(), 0);
  EXPECT_EQ(App->State(), kv::TGameState::Running);
}

TEST_F(SessionTest, SolvingOnePieceCountsEachPieceAndOnlyWhileRunning) {
  Enlarge();
  StartGame(0);
  ASSERT_TRUE(App->SolveOnePiece());
  EXPECT_EQ(App->CheatCount(), 1);
  EXPECT_EQ(Board().FlyingCount(), 1);
  // The board is busy while a piece flies: nothing more is solved, nothing more is counted.
  EXPECT_FALSE(App->SolveOnePiece());
  EXPECT_EQ(App->CheatCount(), 1);
  ASSERT_TRUE(AdvanceUntil([&] { return Board().FlyingCount() == 0; }, 3000));
  EXPECT_GE(Plays(kFirstSoundId + 7), 1);
  ASSERT_TRUE(App->SolveOnePiece());
  EXPECT_EQ(App->CheatCount(), 2);
  ASSERT_TRUE(AdvanceUntil([&] { return Board().FlyingCount() == 0; }, 3000));
  App->Pause();
  EXPECT_FALSE(App->SolveOnePiece());
  EXPECT_FALSE(App->SolveAll(0));
  EXPECT_EQ(App->CheatCount(), 2);
  App->Resume();
  // Finished by hand after the aids: a win with cheats, without the win sound.
  ASSERT_TRUE(AssembleByMouse());
  EXPECT_EQ(Wins, 1);
  EXPECT_EQ(Plays(kFirstSoundId + 6), 0);
  EXPECT_EQ(App->CheatCount(), 2);
  EXPECT_FALSE(App->FairWin());
}

TEST_F(SessionTest, TheWinSoundIsSwallowedOnlyAfterCheating) {
  StartGame(0);
  App->SetCheatCount(1);
  const int32_t complete = kv::ToUnderlying(kv::TGameEvent::Complete);
  App->PostCode(kv::TAppCode::PlayRepeating, complete);
  EXPECT_EQ(Plays(kFirstSoundId + 6), 0);
  // Other sounds still play.
  App->PostCode(kv::TAppCode::PlayOnce, kv::ToUnderlying(kv::TGameEvent::Snap));
  EXPECT_EQ(Plays(kFirstSoundId + 7), 1);
  App->SetCheatCount(0);
  App->PostCode(kv::TAppCode::PlayRepeating, complete);
  EXPECT_EQ(Plays(kFirstSoundId + 6), 1);
}

TEST_F(SessionTest, EdgesOnlyHidesTheLooseInnerPieces) {
  StartGame(2);
  kv::TKVJigsawBoard& board = Board();
  ASSERT_GE(board.Rows(), 3);
  ASSERT_GE(board.Cols(), 3);
  // Inner pieces that joined a neighbour stay.
  auto innerJoined = [&] {
    for (int32_t row = 1; row < board.Rows() - 1; ++row)
      for (int32_t col = 1; col < board.Cols() - 1; ++col)
        if (board.Piece(row, col).Joined == 1) return true;
    return false;
  };
  for (int i = 0; i < 20 && !innerJoined(); ++i) {
    ASSERT_TRUE(App->SolveOnePiece());
    ASSERT_TRUE(AdvanceUntil([&] { return board.FlyingCount() == 0; }, 3000));
  }
  ASSERT_TRUE(innerJoined());
  App->SetEdgesOnly(true);
  EXPECT_TRUE(App->EdgesOnly());
  for (int32_t row = 0; row < board.Rows(); ++row)
    for (int32_t col = 0; col < board.Cols(); ++col) {
      const kv::TKVBoardPiece& piece = board.Piece(row, col);
      const bool border = row == 0 || col == 0 || row == board.Rows() - 1 || col == board.Cols() - 1;
      EXPECT_EQ(piece.Visible, border || piece.Joined == 1) << row << ", " << col;
    }
  App->SetEdgesOnly(false);
  for (const kv::TKVBoardPiece& piece : board.Pieces()) EXPECT_TRUE(piece.Visible);
  // Nothing changes while the game is paused.
  App->Pause();
  App->SetEdgesOnly(true);
  EXPECT_FALSE(App->EdgesOnly());
  App->Resume();
  // The next game starts with every piece shown.
  App->SetEdgesOnly(true);
  StartGame(2);
  EXPECT_FALSE(App->EdgesOnly());
  for (const kv::TKVBoardPiece& piece : Board().Pieces()) EXPECT_TRUE(piece.Visible);
}

TEST_F(SessionTest, EdgesOnlyOnAGridWithoutInnerPiecesHidesNothing) {
  // A picture of 100 x 75 is cut into 3 x 2 pieces at the easiest difficulty.
  kv::TJigsawProject2 small;
  BuildSessionPackage(small, 100, 75);
  App->SetProject(&small);
  App->Reset();
  kv::TKVGameSetup setup;
  kv::DecodePackagePicture(*small.Pictures[0], setup.Picture);
  setup.Difficulty = 0;
  App->Prepare(std::move(setup));
  App->Start();
  kv::TKVJigsawBoard& board = Board();
  ASSERT_EQ(board.Cols(), 3);
  ASSERT_EQ(board.Rows(), 2);
  App->SetEdgesOnly(true);
  EXPECT_TRUE(App->EdgesOnly());
  for (const kv::TKVBoardPiece& piece : board.Pieces()) EXPECT_TRUE(piece.Visible);
  App->Reset();
  App->SetProject(&Project);
}

TEST_F(SessionTest, TheToolbarShowsAfterTheRestInItsBandAndHidesAfterLeavingIt) {
  int shown = 0, hidden = 0;
  App->OnShowToolbar = [&](kv::TKVCustomJigsawApplication*) { ++shown; };
  App->OnHideToolbar = [&](kv::TKVCustomJigsawApplication*) { ++hidden; };
  StartGame(0);
  Box->MouseMove(0, 300, 10);
  EXPECT_EQ(App->Toolbar().ToolbarShowDelay(), kv::kvToolbarDelay);
  Platform.Advance(250);
  EXPECT_EQ(shown, 0);
  EXPECT_TRUE(App->Toolbar().ToolbarShown());
  Box->MouseMove(0, 301, 12); // a move restarts the wait
  Platform.Advance(490);
  EXPECT_EQ(shown, 0);
  Platform.Advance(20);
  EXPECT_EQ(shown, 1);
  Box->MouseMove(0, 301, 200);
  EXPECT_EQ(App->Toolbar().ToolbarHideDelay(), kv::kvToolbarDelay);
  Platform.Advance(490);
  EXPECT_EQ(hidden, 0);
  Platform.Advance(20);
  EXPECT_EQ(hidden, 1);
  EXPECT_FALSE(App->Toolbar().ToolbarShown());
  // Further moves below the band change nothing.
  Box->MouseMove(0, 301, 300);
  EXPECT_EQ(App->Toolbar().ToolbarHideDelay(), 0);
}

} // namespace
} // namespace kvtest
