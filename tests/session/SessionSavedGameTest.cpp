// Saving the running game, restoring it, refusing saved games that do not fit, and the high scores.
#include "SessionFixture.h"

#include "core/uKVErrors.h"
#include "data/uHighScore.h"
#include "gui/uPictureConverters.h"
#include <climits>

namespace kvtest {
namespace {

// A saved game of the running session, written and read back as a file would be.
kv::TJigsawFile SaveAndLoad(const kv::TKVJigsawApplication& app, uint32_t pictureId) {
  kv::TJigsawFile file;
  app.FillSavedGame(file, pictureId, "/usr/games/jigsaw");
  kv::TMemoryStream stream;
  file.SaveToStream(stream);
  stream.SetPosition(0);
  kv::TJigsawFile loaded;
  loaded.LoadFromStream(stream, kv::ReadPictureSize);
  return loaded;
}

// What a game shows of each piece: its state and the coded image of its rotation.
struct Shown {
  kv::TJigsawPieceState State;
  kv::TCodedImage Image;
  bool operator==(const Shown&) const = default;
};
std::vector<Shown> ShownPieces(kv::TKVJigsawBoard& board) {
  std::vector<Shown> result;
  for (int32_t row = 0; row < board.Rows(); ++row)
    for (int32_t col = 0; col < board.Cols(); ++col)
      result.push_back({board.State(row, col), board.Image(row, col, board.Piece(row, col).Rotation)});
  return result;
}

class SavedGameTest : public SessionTest {
protected:
  // A game with turned pieces, some of them joined, a clock and a cheat.
  void PlaySome() {
    Project.NoRotation = 0;
    StartGame(1);
    ASSERT_TRUE(App->SolveOnePiece());
    ASSERT_TRUE(AdvanceUntil([&] { return Board().FlyingCount() == 0; }, 3000));
    Platform.Advance(42000);
    ASSERT_EQ(App->Clock(), 42);
  }
};

TEST_F(SavedGameTest, TheRunningGameIsSavedWithItsPiecesClockPictureAndCheats) {
  PlaySome();
  kv::TJigsawFile file;
  App->FillSavedGame(file, 1, "/usr/games/jigsaw");
  EXPECT_EQ(file.Columns, Board().Cols());
  EXPECT_EQ(file.Rows, Board().Rows());
  EXPECT_EQ(file.ElapsedSeconds, 42);
  EXPECT_EQ(file.PictureId, 1u);
  EXPECT_EQ(file.Difficulty, 1);
  EXPECT_EQ(file.CheatCount, 1);
  EXPECT_FLOAT_EQ(file.Scale, 3.0f);
  EXPECT_EQ(file.ProgramName, "/usr/games/jigsaw");
  const kv::TJigsawFile loaded = SaveAndLoad(*App, 1);
  ASSERT_EQ(loaded.PieceStates.size(), static_cast<std::size_t>(Board().PieceCount()));
  for (int32_t p = 0; p < Board().PieceCount(); ++p)
    EXPECT_EQ(loaded.PieceStates[static_cast<std::size_t>(p)],
              Board().State(p / Board().Cols(), p % Board().Cols()));
}

TEST_F(SavedGameTest, ARestoredGamePutsEveryPieceBack) {
  PlaySome();
  const std::vector<Shown> before = ShownPieces(Board());
  bool someTurned = false, someJoined = false;
  for (const kv::TKVBoardPiece& piece : Board().Pieces()) {
    someTurned = someTurned || piece.Rotation != 0;
    someJoined = someJoined || piece.Joined == 1;
  }
  ASSERT_TRUE(someTurned);
  ASSERT_TRUE(someJoined);
  const kv::TJigsawFile saved = SaveAndLoad(*App, 1);

  // Another game runs meanwhile.
  StartGame(0);
  ASSERT_EQ(App->Difficulty(), 0);
  ASSERT_TRUE(App->RestoreSavedGame(saved, "game.jsw"));
  EXPECT_TRUE(Platform.Boxes.Shown.empty());
  EXPECT_EQ(App->State(), kv::TGameState::Running);
  EXPECT_EQ(App->Difficulty(), 1);
  EXPECT_EQ(App->Clock(), 42);
  EXPECT_EQ(App->CheatCount(), 1);
  EXPECT_EQ(App->PictureName(), "Test picture");
  EXPECT_EQ(App->SavedGame(), nullptr);
  // The same pieces at the same places, in the same turns, with the same images.
  EXPECT_EQ(ShownPieces(Board()), before);
  // The clock goes on from the saved time.
  Platform.Advance(2000);
  EXPECT_EQ(App->Clock(), 44);
}

TEST_F(SavedGameTest, ExtremeValuesOfADamagedSavedGamePlayWithoutOverflow) {
  PlaySome();
  kv::TJigsawFile saved = SaveAndLoad(*App, 1);
  // Places and sizes at the ends of the range, and a clock about to wrap: under the undefined-behaviour
  // checks, any sum of them that overflows fails this test.
  for (kv::TJigsawPieceState& piece : saved.PieceStates) {
    piece.X = INT32_MAX - 3;
    piece.Y = INT32_MIN + 3;
    piece.Width = INT32_MAX;
    piece.Height = INT32_MAX;
    piece.CorrectX = INT32_MAX;
  }
  saved.ElapsedSeconds = INT32_MAX;
  ASSERT_TRUE(App->RestoreSavedGame(saved, "damaged.jsw"));
  Engine.Invalidate();
  Box->Frame();
  Drag(ClientWidth / 2, ClientHeight / 2, 30, 20);
  Platform.Advance(3000);
  EXPECT_EQ(App->Clock(), INT32_MAX);
  EXPECT_EQ(TimeOuts, 0);
}

TEST_F(SavedGameTest, ASavedGameThatDoesNotFitIsRefusedAndTheGameGoesOn) {
  PlaySome();
  const kv::TJigsawFile good = SaveAndLoad(*App, 1);
  struct Case {
    const char* Name;
    std::function<void(kv::TJigsawFile&)> Spoil;
  };
  const std::vector<Case> cases{
      {"a difficulty of another grid", [](kv::TJigsawFile& f) { f.Difficulty = 3; }},
      {"a difficulty beyond the last", [](kv::TJigsawFile& f) { f.Difficulty = 9; }},
      {"a piece missing", [](kv::TJigsawFile& f) { f.PieceStates.pop_back(); }},
      {"one row fewer",
       [](kv::TJigsawFile& f) {
         f.Rows -= 1;
         f.PieceStates.resize(static_cast<std::size_t>(f.Rows) * f.Columns);
       }},
      {"columns and rows swapped", [](kv::TJigsawFile& f) { std::swap(f.Columns, f.Rows); }},
      {"an edge shape the library does not have",
       [](kv::TJigsawFile& f) { f.PieceStates[0].RightEdge = 255; }},
      {"a picture the package does not have", [](kv::TJigsawFile& f) { f.PictureId = 77; }},
      {"no pieces at all",
       [](kv::TJigsawFile& f) {
         f.Columns = f.Rows = 0;
         f.PieceStates.clear();
       }},
  };
  kv::TKVJigsawBoard* board = App->Board();
  const std::vector<Shown> before = ShownPieces(*board);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    kv::TJigsawFile spoiled = good;
    c.Spoil(spoiled);
    Platform.Boxes.Shown.clear();
    EXPECT_FALSE(App->RestoreSavedGame(spoiled, "/home/player/old.jsw"));
    ASSERT_EQ(Platform.Boxes.Shown.size(), 1u);
    EXPECT_EQ(Platform.Boxes.Shown[0].Kind, "error");
    EXPECT_EQ(Platform.Boxes.Shown[0].Text,
              "Unable to load JSW file. /home/player/old.jsw was not generated by this application or image "
              "used for jigsaw pieces and/or total pieces have changed. This may lead to incorrect result.");
    // The running game is untouched.
    EXPECT_EQ(App->Board(), board);
    EXPECT_EQ(ShownPieces(*board), before);
    EXPECT_EQ(App->Clock(), 42);
    EXPECT_EQ(App->CheatCount(), 1);
    EXPECT_EQ(App->Difficulty(), 1);
    EXPECT_EQ(App->State(), kv::TGameState::Running);
    EXPECT_EQ(board->State(), kv::TGameState::Running);
  }
  // And it still plays on.
  Platform.Advance(1000);
  EXPECT_EQ(App->Clock(), 43);
}

TEST_F(SavedGameTest, APictureThatCannotBeDecodedLeavesTheGameAsItWas) {
  PlaySome();
  const kv::TJigsawFile saved = SaveAndLoad(*App, 1);
  kv::TKVJigsawBoard* board = App->Board();
  Project.Pictures[0]->Data = kv::TMemoryStream(std::vector<uint8_t>{1, 2, 3});
  EXPECT_THROW(App->RestoreSavedGame(saved, "game.jsw"), kv::Exception);
  EXPECT_EQ(App->Board(), board);
  EXPECT_EQ(App->Clock(), 42);
  EXPECT_EQ(App->State(), kv::TGameState::Running);
}

TEST(HighScoreLevelTest, TheLevelComesFromThePieceCountRange) {
  kv::TJigsawProject2 project;
  project.AddPicture(0, 5);
  project.AddPicture(0, 6);
  project.PictureSettings.clear();
  project.PictureSettings.push_back({5, 101, 150, 0, 0});
  struct Case {
    int32_t Min, Max, Picture, Level;
  };
  const std::vector<Case> cases{
      {0, 24, 0, 3},
      {10, 24, 0, 3},
      {0, 25, 0, -1},
      {25, 50, 0, 0},
      {30, 40, 0, 0},
      {50, 100, 0, 1},
      {51, 100, 0, 1},
      {51, 101, 0, -1},
      {101, 150, 0, 2},
      {201, 65535, 0, 2},
      {100, 150, 0, -1},
      // Both -1: the picture's own range; a picture without one, or no valid picture, has no level.
      {-1, -1, 0, 2},
      {-1, -1, 1, -1},
      {-1, -1, -1, -1},
      {-1, -1, 5, -1},
  };
  for (const Case& c : cases) {
    project.NumPiecesMin = c.Min;
    project.NumPiecesMax = c.Max;
    EXPECT_EQ(kv::HighScoreLevel(project, c.Picture), c.Level) << c.Min << ".." << c.Max << " #" << c.Picture;
  }
}

TEST_F(SessionTest, AFairWinEntersItsTimeAtItsLevel) {
  StartGame(0);
  App->SetClock(75);
  kv::THighScore table;
  int32_t position = -1;
  EXPECT_TRUE(App->EnterHighScore(table, 0, "Ann", &position));
  EXPECT_EQ(position, 0);
  EXPECT_EQ(table.GetEntry(0, 0), (kv::THighScoreData{"Ann", 75, 0}));
  App->SetClock(60);
  EXPECT_TRUE(App->EnterHighScore(table, 0, "Bob", &position));
  EXPECT_EQ(position, 0);
  EXPECT_EQ(table.GetEntry(0, 1).Name, "Ann");
  // No level, another level's list, a cheat, a package without high scores.
  EXPECT_FALSE(App->EnterHighScore(table, -1, "Cy"));
  EXPECT_TRUE(App->EnterHighScore(table, 3, "Di"));
  EXPECT_EQ(table.Count(3), 1);
  App->SetCheatCount(1);
  EXPECT_FALSE(App->EnterHighScore(table, 0, "Ed"));
  App->SetCheatCount(0);
  Project.Options.NoHighScores = true;
  EXPECT_FALSE(App->EnterHighScore(table, 0, "Flo"));
  Project.Options.NoHighScores = false;
  // A time that does not qualify: ten faster entries.
  for (int i = 0; i < 10; ++i) table.Add({"Fast", 10 + i, 1});
  App->SetClock(20);
  EXPECT_FALSE(App->EnterHighScore(table, 1, "Slow"));
  EXPECT_EQ(table.Count(1), 10);
}

} // namespace
} // namespace kvtest
