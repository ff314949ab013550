#include "core/uKVErrors.h"
#include "data/uJigsawFile.h"
#include "gui/uPictureConverters.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <filesystem>
#include <stdexcept>

using namespace kv;
using kvtest::Bytes;

namespace {

TJigsawPieceState StateFor(int32_t row, int32_t column) {
  TJigsawPieceState s;
  s.LeftEdge = static_cast<uint8_t>(column);
  s.TopEdge = static_cast<uint8_t>(row);
  s.RightEdge = static_cast<uint8_t>(column + 1);
  s.BottomEdge = static_cast<uint8_t>(row + 1);
  s.X = 100 * column - 7;
  s.Y = 100 * row + 3;
  s.CorrectX = 60 * column;
  s.CorrectY = 60 * row;
  s.StartX = -column;
  s.StartY = -row;
  s.Width = 70;
  s.Height = 80;
  s.Rotation = static_cast<uint8_t>((row + column) % 4);
  s.StartRotation = 3;
  s.Joined = (row + column) % 2;
  return s;
}

// Stands in for the board's pieces.
class TGrid : public IPieceStateSource {
public:
  TGrid(int32_t rows, int32_t columns, int32_t failAt = -1) : R(rows), C(columns), FailAt(failAt) {}
  int32_t Rows() const override { return R; }
  int32_t Columns() const override { return C; }
  TJigsawPieceState State(int32_t row, int32_t column) const override {
    if (row * C + column == FailAt) throw std::runtime_error("piece gone");
    return StateFor(row, column);
  }

private:
  int32_t R, C, FailAt;
};

std::vector<uint8_t> StateBytes(int32_t rows, int32_t columns) {
  std::vector<uint8_t> bytes;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < columns; ++c) {
      const auto e = StateFor(r, c).Encode();
      bytes.insert(bytes.end(), e.begin(), e.end());
    }
  return bytes;
}

Bytes Header(int32_t version, int32_t columns, int32_t rows, float scale = 1.5f) {
  return std::move(
      Bytes().i32(80303).i32(version).i32(columns).i32(rows).u32(std::bit_cast<uint32_t>(scale)));
}

// Expects LoadFromFile to fail the way every saved-game failure does: "Error" for the player, and a detail
// that says what was wrong and begins with `detail`.
void ExpectLoadError(TJigsawFile& file, const std::string& name, const std::string& detail = {}) {
  try {
    file.LoadFromFile(name, ReadPictureSize);
    FAIL() << "no error";
  } catch (const EJigsawFileError& e) {
    EXPECT_STREQ(e.what(), "Error");
    EXPECT_FALSE(e.Detail.empty());
    EXPECT_EQ(e.Detail.substr(0, detail.size()), detail) << e.Detail;
  }
}

} // namespace

TEST(SavedGame, PieceStateLayout) {
  TJigsawPieceState s = StateFor(2, 5);
  const auto bytes = s.Encode();
  const std::vector<uint8_t> expected = Bytes()
                                            .u8(5)
                                            .u8(2)
                                            .u8(6)
                                            .u8(3)
                                            .i32(493)
                                            .i32(203)
                                            .i32(300)
                                            .i32(120)
                                            .i32(-5)
                                            .i32(-2)
                                            .i32(70)
                                            .i32(80)
                                            .u8(3)
                                            .u8(3)
                                            .u8(1)
                                            .u8(0)
                                            .data();
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
  EXPECT_EQ(TJigsawPieceState::Decode(bytes), s);

  // Byte 39 is ignored when read and written 0.
  auto dirty = bytes;
  dirty[39] = 0xEE;
  EXPECT_EQ(TJigsawPieceState::Decode(dirty), s);
}

TEST(SavedGame, ReadPieceStatesRejectsCountsBeyondTheData) {
  auto stream = Bytes().raw(StateBytes(1, 2)).stream();
  EXPECT_THROW(ReadPieceStates(stream, 3), EReadError);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_THROW(ReadPieceStates(stream, -1), EReadError);
  EXPECT_THROW(ReadPieceStates(stream, INT64_MAX), EReadError);
  const auto states = ReadPieceStates(stream, 2);
  EXPECT_EQ(states, (TJigsawArrayData{StateFor(0, 0), StateFor(0, 1)}));
}

TEST(SavedGame, SavesVersion6AndReadsItBack) {
  kvtest::TempDir dir;
  const auto name = dir.file("game.jsw");
  TGrid grid(3, 3);
  TJigsawFile file;
  file.Columns = 3;
  file.Rows = 3;
  file.Scale = 1.5f;
  file.ElapsedSeconds = 754;
  file.PictureId = 0x00012345;
  file.Difficulty = 5;
  file.CheatCount = -2;
  file.SetPieces(&grid);
  file.SaveToFile(name);
  // A saved game is an ordinary file of the user's, not a private temporary one.
  EXPECT_EQ(kvtest::FileMode(name), 0666 & ~kvtest::CurrentUmask());

  const auto bytes = kvtest::ReadFileBytes(name);
  ASSERT_EQ(bytes.size(), 395u); // 35 + 9 x 40 with an empty program name
  const auto expectedHead = Bytes()
                                .raw({0xAF, 0x39, 0x01, 0x00})
                                .i32(6)
                                .i32(3)
                                .i32(3)
                                .raw({0x00, 0x00, 0xC0, 0x3F})
                                .i32(754)
                                .i32(0)
                                .u32(0x00012345)
                                .u8(5)
                                .i16(-2)
                                .data();
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 35), expectedHead);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 35, bytes.end()), StateBytes(3, 3));

  TJigsawFile loaded;
  loaded.LoadFromFile(name, ReadPictureSize);
  EXPECT_EQ(loaded.Version, 6);
  EXPECT_EQ(loaded.Columns, 3);
  EXPECT_EQ(loaded.Rows, 3);
  EXPECT_EQ(loaded.Scale, 1.5f);
  EXPECT_EQ(loaded.ElapsedSeconds, 754);
  EXPECT_EQ(loaded.ProgramName, "");
  EXPECT_EQ(loaded.PictureId, 0x00012345u);
  EXPECT_EQ(loaded.Difficulty, 5);
  EXPECT_EQ(loaded.CheatCount, -2);
  EXPECT_EQ(loaded.PieceStates.size(), 9u);
  EXPECT_EQ(loaded.PieceStates[7], StateFor(2, 1)); // element = row x Columns + column
  EXPECT_TRUE(loaded.Picture.Empty());
}

TEST(SavedGame, ProgramNameAndNonSquareGrid) {
  kvtest::TempDir dir;
  const auto name = dir.file("wide.jsw");
  TGrid grid(2, 4);
  TJigsawFile file;
  file.Columns = 4;
  file.Rows = 2;
  file.ProgramName = "C:\\Games\\Jigsaw\xE9.exe";
  file.SetPieces(&grid);
  file.SaveToFile(name);
  EXPECT_EQ(kvtest::ReadFileBytes(name).size(), 35u + file.ProgramName.size() + 8 * 40);

  TJigsawFile loaded;
  loaded.LoadFromFile(name, ReadPictureSize);
  EXPECT_EQ(loaded.ProgramName, file.ProgramName);
  EXPECT_EQ(loaded.Columns, 4);
  EXPECT_EQ(loaded.Rows, 2);
  EXPECT_EQ(loaded.PieceStates[4 + 3], StateFor(1, 3));
}

TEST(SavedGame, EmptyGridNeedsNoPieces) {
  kvtest::TempDir dir;
  const auto name = dir.file("empty.jsw");
  TJigsawFile file;
  file.SaveToFile(name);
  EXPECT_EQ(kvtest::ReadFileBytes(name).size(), 35u);
  TJigsawFile loaded;
  loaded.LoadFromFile(name, ReadPictureSize);
  EXPECT_TRUE(loaded.PieceStates.empty());
  EXPECT_EQ(loaded.Version, 6);
}

TEST(SavedGame, SaveRefusesPiecesThatDoNotMatchTheGrid) {
  kvtest::TempDir dir;
  const auto name = dir.file("game.jsw");
  kvtest::WriteFileBytes(name, {1, 2, 3});
  TGrid small(2, 2);
  struct TCase {
    const IPieceStateSource* Pieces;
    int32_t Columns, Rows;
  } cases[] = {{nullptr, 3, 3}, {&small, 3, 3}, {&small, 2, 3}, {&small, -2, -2}};
  for (const auto& c : cases) {
    TJigsawFile file;
    file.Columns = c.Columns;
    file.Rows = c.Rows;
    file.SetPieces(c.Pieces);
    EXPECT_THROW(file.SaveToFile(name), EWriteError) << c.Columns << "x" << c.Rows;
    EXPECT_EQ(kvtest::ReadFileBytes(name), (std::vector<uint8_t>{1, 2, 3}));
  }
  // While resaving, the loaded states must match the grid too.
  TJigsawFile file;
  file.Columns = 1;
  file.Rows = 1;
  file.Resaving = true;
  EXPECT_THROW(file.SaveToFile(name), EWriteError);
}

TEST(SavedGame, FailedSaveKeepsThePreviousFile) {
  kvtest::TempDir dir;
  const auto name = dir.file("game.jsw");
  TGrid grid(3, 3);
  TJigsawFile file;
  file.Columns = 3;
  file.Rows = 3;
  file.SetPieces(&grid);
  file.SaveToFile(name);
  const auto before = kvtest::ReadFileBytes(name);

  // The pieces fail half-way: nothing reaches the file.
  TGrid failing(3, 3, 4);
  file.SetPieces(&failing);
  file.ElapsedSeconds = 99;
  EXPECT_THROW(file.SaveToFile(name), std::runtime_error);
  EXPECT_EQ(kvtest::ReadFileBytes(name), before);

  // The rename cannot replace a folder: the folder stays and no temporary file is left behind.
  const auto folder = dir.file("taken");
  std::filesystem::create_directory(folder);
  kvtest::WriteFileBytes(folder + "/inside", {7});
  file.SetPieces(&grid);
  EXPECT_THROW(file.SaveToFile(folder), EWriteError);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(kvtest::ReadFileBytes(folder + "/inside"), (std::vector<uint8_t>{7}));

  // A folder that does not exist.
  EXPECT_THROW(file.SaveToFile(dir.file("missing/game.jsw")), EFCreateError);

  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2); // game.jsw and the folder
  EXPECT_EQ(kvtest::ReadFileBytes(name), before);
}

TEST(SavedGame, ReadsEveryOldVersion) {
  const auto bmp = kvtest::MakeBmp(3, 2);
  const auto states = StateBytes(2, 3);
  struct TCase {
    int32_t Version;
    Bytes Fields;
    int32_t Seconds;
    std::string Program;
    uint32_t PictureId;
    uint8_t Difficulty;
    int16_t Cheats;
  } cases[] = {
      {1, Bytes(), 0, "", 0, 3, 0},
      {2, Bytes().i32(61), 61, "", 0, 3, 0},
      {3, Bytes().i32(62).str("jig.exe"), 62, "jig.exe", 0, 3, 0},
      {4, Bytes().i32(63).str("a").u32(7), 63, "a", 7, 3, 0},
      {5, Bytes().i32(64).str("").u32(8), 64, "", 8, 3, 0},
      {6, Bytes().i32(65).str("b").u32(9).u8(1).i16(4), 65, "b", 9, 1, 4},
  };
  kvtest::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Version);
    const auto name = dir.file("v" + std::to_string(c.Version) + ".jsw");
    kvtest::WriteFileBytes(name,
                           Header(c.Version, 3, 2, 0.75f).raw(c.Fields.data()).raw(states).raw(bmp).data());
    TJigsawFile file;
    file.LoadFromFile(name, ReadPictureSize);
    EXPECT_EQ(file.Version, c.Version);
    EXPECT_EQ(file.Columns, 3);
    EXPECT_EQ(file.Rows, 2);
    EXPECT_EQ(file.Scale, 0.75f);
    EXPECT_EQ(file.ElapsedSeconds, c.Seconds);
    EXPECT_EQ(file.ProgramName, c.Program);
    EXPECT_EQ(file.PictureId, c.PictureId);
    EXPECT_EQ(file.Difficulty, c.Difficulty);
    EXPECT_EQ(file.CheatCount, c.Cheats);
    EXPECT_EQ(file.PieceStates.size(), 6u);
    EXPECT_EQ(file.PieceStates[5], StateFor(1, 2));
    EXPECT_EQ(file.Picture.Bytes(), bmp);
  }
}

TEST(SavedGame, LoadingResetsWhatTheFileDoesNotCarry) {
  kvtest::TempDir dir;
  const auto name = dir.file("v1.jsw");
  kvtest::WriteFileBytes(name, Header(1, 1, 1).raw(StateBytes(1, 1)).data());
  TJigsawFile file;
  file.ElapsedSeconds = 5;
  file.ProgramName = "old";
  file.PictureId = 3;
  file.Difficulty = 0;
  file.CheatCount = 2;
  file.LoadFromFile(name, ReadPictureSize);
  EXPECT_EQ(file.ElapsedSeconds, 0);
  EXPECT_EQ(file.ProgramName, "");
  EXPECT_EQ(file.PictureId, 0u);
  EXPECT_EQ(file.Difficulty, 3);
  EXPECT_EQ(file.CheatCount, 0);
  EXPECT_TRUE(file.Picture.Empty()); // an old file without its picture
}

TEST(SavedGame, DamagedFilesFailWithError) {
  const auto states = StateBytes(2, 2);
  const auto v6 = [&](int32_t columns, int32_t rows) {
    return Header(6, columns, rows).i32(10).str("p").u32(1).u8(2).i16(0);
  };
  const auto cut = [](std::vector<uint8_t> bytes) {
    bytes.pop_back();
    return bytes;
  };
  const std::string notSaved = "not a saved game (it does not begin with AF 39 01 00)";
  struct TCase {
    const char* What;
    std::vector<uint8_t> Bytes;
    std::string Detail; // how the reason begins
  } cases[] = {
      {"empty file", {}, notSaved},
      {"short header", Bytes().i32(80303).i32(6).data(),
       "cut short at byte 8 (in the header that begins at byte 4)"},
      {"bad magic", Bytes().raw({0xAF, 0x39, 0x01, 0x01}).i32(6).i32(0).i32(0).i32(0).data(), notSaved},
      {"version 0", Header(0, 0, 0).data(), "version 0, which this program does not read (1 to 6)"},
      {"version 7", Header(7, 0, 0).i32(0).str("").u32(0).u8(3).i16(0).data(), "version 7, which"},
      {"negative version", Header(-1, 0, 0).data(), "version -1, which"},
      {"truncated fields", Header(6, 2, 2).i32(10).data(),
       "cut short at byte 24 (in the program name that begins at byte 24)"},
      {"name longer than the file", Header(6, 0, 0).i32(10).i32(1000).chars("abc").data(),
       "cut short at byte 31 (in the program name that begins at byte 24)"},
      {"truncated states", cut(v6(2, 2).raw(states).data()),
       "cut short at byte 195 (the states of 2 x 2 pieces, 40 bytes each, begin at byte 36)"},
      {"negative columns", v6(-1, 2).raw(states).data(), "a grid of -1 x 2 pieces"},
      {"negative rows", v6(2, -1).raw(states).data(), "a grid of 2 x -1 pieces"},
      {"both negative", v6(-2, -2).raw(states).data(), "a grid of -2 x -2 pieces"},
      {"states beyond the file", v6(3, 2).raw(states).data(),
       "cut short at byte 196 (the states of 3 x 2 pieces, 40 bytes each, begin at byte 36)"},
      {"huge grid", v6(INT32_MAX, INT32_MAX).raw(states).data(),
       "cut short at byte 196 (the states of 2147483647 x 2147483647 pieces"},
      {"trailing bytes that are no BMP", v6(2, 2).raw(states).chars("XYZ").data(),
       "the 3 bytes after the piece states at byte 196 are no BMP picture ("},
      {"a broken BMP", v6(2, 2).raw(states).chars("BM").i32(0).data(),
       "the 6 bytes after the piece states at byte 196 are no BMP picture ("},
      {"old version with a broken BMP", Header(1, 2, 2).raw(states).chars("BMxx").data(),
       "the 4 bytes after the piece states at byte 180 are no BMP picture ("},
  };

  kvtest::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const auto name = dir.file("bad.jsw");
    kvtest::WriteFileBytes(name, c.Bytes);
    TJigsawFile file;
    ExpectLoadError(file, name, c.Detail);
  }
  TJigsawFile file;
  ExpectLoadError(file, dir.file("missing.jsw"),
                  "cannot open " + dir.file("missing.jsw") + ": No such file or directory");
  ExpectLoadError(file, dir.path().string(), "cannot open " + dir.path().string() + ": Is a directory");
}

TEST(SavedGame, FieldsReadBeforeAFailureStay) {
  kvtest::TempDir dir;
  const auto name = dir.file("cut.jsw");
  kvtest::WriteFileBytes(
      name, Header(6, 2, 2).i32(321).str("prog").u32(44).u8(1).i16(2).raw(StateBytes(1, 2)).data());
  TJigsawFile file;
  ExpectLoadError(file, name);
  EXPECT_EQ(file.Version, 6);
  EXPECT_EQ(file.ElapsedSeconds, 321);
  EXPECT_EQ(file.ProgramName, "prog");
  EXPECT_EQ(file.PictureId, 44u);
  EXPECT_EQ(file.CheatCount, 2);
  EXPECT_TRUE(file.PieceStates.empty());
}

TEST(SavedGame, ResaveConvertsAnOldFile) {
  kvtest::TempDir dir;
  const auto name = dir.file("old.jsw");
  const auto states = StateBytes(2, 3);
  kvtest::WriteFileBytes(
      name,
      Header(4, 3, 2, 2.0f).i32(77).str("old.exe").u32(12).raw(states).raw(kvtest::MakeBmp(4, 4)).data());
  TJigsawFile file;
  TGrid unrelated(1, 1); // resaving must not take the states from the board
  file.SetPieces(&unrelated);
  file.Resave(name, ReadPictureSize);
  EXPECT_FALSE(file.Resaving);

  const auto bytes = kvtest::ReadFileBytes(name);
  EXPECT_EQ(bytes.size(), 35u + 7 + states.size()); // no BMP any more
  TJigsawFile converted;
  converted.LoadFromFile(name, ReadPictureSize);
  EXPECT_EQ(converted.Version, 6);
  EXPECT_EQ(converted.Difficulty, 3);
  EXPECT_EQ(converted.CheatCount, 0);
  EXPECT_EQ(converted.ElapsedSeconds, 77);
  EXPECT_EQ(converted.ProgramName, "old.exe");
  EXPECT_EQ(converted.PictureId, 12u);
  EXPECT_EQ(converted.Scale, 2.0f);
  EXPECT_TRUE(converted.Picture.Empty());
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - static_cast<long>(states.size()), bytes.end()), states);

  // A file that cannot be read is left alone, and the flag is cleared all the same.
  const auto bad = dir.file("bad.jsw");
  kvtest::WriteFileBytes(bad, {1, 2, 3, 4});
  EXPECT_THROW(file.Resave(bad, ReadPictureSize), EJigsawFileError);
  EXPECT_FALSE(file.Resaving);
  EXPECT_EQ(kvtest::ReadFileBytes(bad), (std::vector<uint8_t>{1, 2, 3, 4}));
}
