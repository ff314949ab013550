#include "core/uKVErrors.h"
#include "data/uHighScore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/stat.h>

using namespace kv;
using kvtest::Bytes;

namespace {

THighScoreData Entry(std::string name, int32_t time, uint8_t level = 0) {
  return {std::move(name), time, level};
}

std::vector<uint8_t> Saved(const THighScore& table) {
  TMemoryStream s;
  table.SaveToStream(s);
  return s.Bytes();
}

std::vector<std::string> Names(const THighScore& table, int32_t level) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < table.Count(level); ++i) names.push_back(table.GetEntry(level, i).Name);
  return names;
}

} // namespace

TEST(HighScore, LevelNames) {
  EXPECT_EQ(THighScore::LevelName(0), "Easy");
  EXPECT_EQ(THighScore::LevelName(1), "Normal");
  EXPECT_EQ(THighScore::LevelName(2), "Hard");
  EXPECT_EQ(THighScore::LevelName(3), "Very Easy");
  EXPECT_EQ(THighScore::LevelName(4), "");
}

TEST(HighScore, FileImages) {
  THighScore table;
  EXPECT_EQ(Saved(table), (std::vector<uint8_t>{0x48, 0x47, 0x53, 0x43, 0xE0, 0x10}));

  table.Add(Entry("Ann", 75));
  EXPECT_EQ(Saved(table), (std::vector<uint8_t>{0x48, 0x47, 0x53, 0x43, 0xE1, 0x10, 0x10, 0x00, 0x00, 0x00,
                                                0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x41, 0x6E,
                                                0x6E, 0x4B, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x10}));

  // Sections in level order, only for levels that hold entries; the size counts 4 + (9 + name) per entry.
  table.Add(Entry("Bo", 30, 3));
  table.Add(Entry("", 12, 3));
  const auto expected = Bytes()
                            .chars("HGSC")
                            .u16(4321)
                            .i32(16)
                            .i32(1)
                            .str("Ann")
                            .i32(75)
                            .u8(0)
                            .u16(4324)
                            .i32(4 + 9 + 9 + 2)
                            .i32(2)
                            .str("")
                            .i32(12)
                            .u8(3)
                            .str("Bo")
                            .i32(30)
                            .u8(3)
                            .u16(4320)
                            .data();
  EXPECT_EQ(Saved(table), expected);
}

TEST(HighScore, Qualifies) {
  THighScore table;
  int32_t position = 123;
  EXPECT_TRUE(table.Qualifies(0, 500, position));
  EXPECT_EQ(position, 0);

  for (int32_t t = 10; t <= 100; t += 10) table.Add(Entry("p" + std::to_string(t), t));
  struct {
    int32_t Time;
    bool Qualifies;
    int32_t Position;
  } cases[] = {{100, false, -1}, {101, false, -1}, {99, true, 9}, {5, true, 0}, {10, true, 1}, {55, true, 5}};
  for (const auto& c : cases) {
    EXPECT_EQ(table.Qualifies(0, c.Time, position), c.Qualifies) << c.Time;
    EXPECT_EQ(position, c.Position) << c.Time;
  }
  // Other levels are untouched.
  EXPECT_TRUE(table.Qualifies(1, 100, position));
  EXPECT_EQ(position, 0);
}

TEST(HighScore, AddKeepsOrderAndEveryEntry) {
  THighScore table;
  EXPECT_FALSE(table.Modified());
  table.Add(Entry("b", 50));
  table.Add(Entry("a", 20));
  table.Add(Entry("c", 50)); // an equal time goes after the existing one
  table.Add(Entry("d", 90));
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(Names(table, 0), (std::vector<std::string>{"a", "b", "c", "d"}));

  THighScore full;
  for (int32_t i = 0; i < 11; ++i) full.Add(Entry("p" + std::to_string(i), 100 + i, 2));
  EXPECT_EQ(full.Count(2), 11);
  // The eleventh is kept but takes no part in qualifying.
  int32_t position = 0;
  EXPECT_FALSE(full.Qualifies(2, 109, position));
  EXPECT_TRUE(full.Qualifies(2, 108, position));
  EXPECT_EQ(position, 9);

  EXPECT_THROW(table.Add(Entry("x", 1, 4)), EListError);
  EXPECT_EQ(table.Count(0), 4);
}

TEST(HighScore, GetEntryOutsideTheList) {
  THighScore table;
  table.Add(Entry("a", 5, 1));
  EXPECT_EQ(table.GetEntry(1, 0), Entry("a", 5, 1));
  for (auto [level, position] : {std::pair{1, 1}, {1, -1}, {0, 0}, {7, 0}, {-1, 0}}) {
    const auto e = table.GetEntry(level, position);
    EXPECT_EQ(e.Name, "");
    EXPECT_EQ(e.Time, -1);
  }
}

TEST(HighScore, ClearLevel) {
  THighScore table;
  table.Add(Entry("a", 5, 0));
  table.Add(Entry("b", 6, 1));
  THighScore loaded;
  auto image = TMemoryStream(Saved(table));
  loaded.LoadFromStream(image);
  EXPECT_FALSE(loaded.Modified());
  loaded.ClearLevel(0);
  EXPECT_TRUE(loaded.Modified());
  EXPECT_EQ(loaded.Count(0), 0);
  EXPECT_EQ(loaded.Count(1), 1);
  EXPECT_THROW(loaded.ClearLevel(4), EListError);
}

TEST(HighScore, FileRoundTripAndAtomicSave) {
  kvtest::TempDir dir;
  const auto name = dir.file("JigsawHighScore.dat");
  THighScore table;
  for (int32_t level = 0; level < 4; ++level)
    for (int32_t i = 0; i < 3; ++i)
      table.Add(Entry("n\xE9" + std::to_string(level * 10 + i), 60 * i, uint8_t(level)));
  table.SaveToFile(name);
  EXPECT_EQ(kvtest::ReadFileBytes(name), Saved(table));
  EXPECT_EQ(table.Image().Bytes(), Saved(table));
  EXPECT_EQ(kvtest::FileMode(name), 0666 & ~kvtest::CurrentUmask()); // not a temporary file's 0600

  THighScore loaded;
  loaded.Add(Entry("stale", 1));
  loaded.LoadFromFile(name);
  EXPECT_FALSE(loaded.Modified());
  EXPECT_EQ(Saved(loaded), Saved(table));
  EXPECT_EQ(loaded.GetEntry(3, 2), Entry("n\xE9"
                                         "32",
                                         120, 3));

  // A smaller table replaces the whole file.
  THighScore small;
  small.SaveToFile(name);
  EXPECT_EQ(kvtest::ReadFileBytes(name).size(), 6u);

  // A save that cannot complete leaves what was there.
  table.SaveToFile(name);
  const auto before = kvtest::ReadFileBytes(name);
  const auto folder = dir.file("folder");
  std::filesystem::create_directory(folder);
  kvtest::WriteFileBytes(folder + "/x", {1});
  EXPECT_THROW(table.SaveToFile(folder), EWriteError);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_THROW(table.SaveToFile(dir.file("no/such/file.dat")), EFCreateError);
  EXPECT_EQ(kvtest::ReadFileBytes(name), before);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2);

  EXPECT_THROW(loaded.LoadFromFile(dir.file("missing.dat")), EFOpenError);
}

TEST(HighScore, OnlyARegularFileOfATablesSizeIsReadOrWritten) {
  kvtest::TempDir dir;
  THighScore table;
  table.Add(Entry("Ann", 75));

  // A pipe in the table's place would hold the player until something wrote to it or read from it.
  const auto pipe = dir.file("pipe.dat");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_THROW(table.LoadFromFile(pipe), EFOpenError);
  EXPECT_THROW(table.SaveToFile(pipe), EWriteError);
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_THROW(table.LoadFromFile("/dev/zero"), EFOpenError);

  // A file larger than any table is refused before it is read, and the table keeps what it held.
  const auto big = dir.file("big.dat");
  kvtest::WriteFileBytes(big, {'H', 'G', 'S', 'C'});
  std::filesystem::resize_file(big, THighScore::MaxFileSize + 1);
  EXPECT_THROW(table.LoadFromFile(big), EFOpenError);
  EXPECT_EQ(Names(table, 0), std::vector<std::string>{"Ann"});
  EXPECT_EQ(std::filesystem::file_size(big), static_cast<uintmax_t>(THighScore::MaxFileSize + 1));
}

TEST(HighScore, ReaderTakesSectionsAsStored) {
  // Unknown sections are skipped by their size; entries keep their stored level byte and order.
  const auto bytes = Bytes()
                         .chars("HGSC")
                         .u16(4322)
                         .i32(999) // the size of a known section is not needed
                         .i32(2)
                         .str("late")
                         .i32(90)
                         .u8(2)
                         .str("early")
                         .i32(10)
                         .u8(7)
                         .u16(5000)
                         .i32(3)
                         .raw({1, 2, 3})
                         .u16(4321)
                         .i32(13)
                         .i32(1)
                         .str("")
                         .i32(4)
                         .u8(0)
                         .u16(4320)
                         .chars("trailing bytes are ignored")
                         .data();
  THighScore table;
  table.Add(Entry("replaced", 1, 1));
  table.Add(Entry("kept", 1, 3));
  auto s = TMemoryStream(bytes);
  table.LoadFromStream(s);
  EXPECT_EQ(Names(table, 1), (std::vector<std::string>{"late", "early"}));
  EXPECT_EQ(table.GetEntry(1, 1).Level, 7);
  EXPECT_EQ(Names(table, 0), (std::vector<std::string>{""}));
  EXPECT_EQ(Names(table, 3), (std::vector<std::string>{"kept"}));
}

TEST(HighScore, NoMagicLoadsNothing) {
  for (const auto& bytes :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{'H', 'G'},
        Bytes().chars("HGSX").u16(4321).i32(16).i32(1).str("Ann").i32(75).u8(0).u16(4320).data()}) {
    THighScore table;
    table.Add(Entry("kept", 3));
    auto s = TMemoryStream(bytes);
    EXPECT_NO_THROW(table.LoadFromStream(s));
    EXPECT_EQ(Names(table, 0), (std::vector<std::string>{"kept"}));
  }
}

TEST(HighScore, DamagedFilesRaiseReadError) {
  const auto ann = Bytes().chars("HGSC").u16(4321).i32(16).i32(1).str("Ann").i32(75).u8(0);
  struct TCase {
    const char* What;
    std::vector<uint8_t> Bytes;
    std::vector<std::string> Easy; // what level 0 holds afterwards
  } cases[] = {
      {"no end tag", ann.data(), {"Ann"}},
      {"half a tag", Bytes(ann).u8(0xE0).data(), {"Ann"}},
      {"truncated entry",
       Bytes().chars("HGSC").u16(4321).i32(16).i32(2).str("Ann").i32(75).u8(0).str("Bo").data(),
       {"Ann"}},
      {"negative section size", Bytes(ann).u16(4322).i32(-1).i32(0).u16(4320).data(), {"Ann"}},
      {"negative unknown size", Bytes(ann).u16(4400).i32(-8).u16(4320).data(), {"Ann"}},
      {"unknown section past the end", Bytes(ann).u16(4400).i32(100).u16(4320).data(), {"Ann"}},
      {"negative count", Bytes(ann).u16(4322).i32(4).i32(-1).u16(4320).data(), {"Ann"}},
      {"count beyond the data", Bytes(ann).u16(4322).i32(4).i32(INT32_MAX).u16(4320).data(), {"Ann"}},
      {"name beyond the data",
       Bytes(ann).u16(4322).i32(4).i32(1).i32(INT32_MAX).chars("x").i32(1).u8(1).data(),
       {"Ann"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    THighScore table;
    auto s = TMemoryStream(c.Bytes);
    EXPECT_THROW(table.LoadFromStream(s), EReadError);
    EXPECT_EQ(Names(table, 0), c.Easy);
  }
}
