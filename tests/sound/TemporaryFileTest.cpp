#include "data/uKVConfig.h"
#include "platform/uHeadlessPlatform.h"
#include "sound/uKVTemporaryFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace kv;
namespace fs = std::filesystem;

namespace {

// Temporary files in a private folder (through the store's "TemporaryFolder"), named from a scripted
// sequence of random numbers.
class TemporaryFiles : public ::testing::Test {
protected:
  kvtest::TempDir Dir;
  TKVCustomConfig Store{"jigsaw"};
  TScriptedMessageBoxes Boxes;
  std::deque<int32_t> Draws;
  std::vector<int32_t> Limits;
  std::shared_ptr<kvtest::ScriptedRandom> Random =
      std::make_shared<kvtest::ScriptedRandom>([this](int32_t limit) {
        Limits.push_back(limit);
        if (Draws.empty()) return 1;
        const int32_t value = Draws.front();
        Draws.pop_front();
        return value;
      });

  TemporaryFiles() { Store.SetText("TemporaryFolder", Dir.path().string()); }
  std::string Folder() const { return Dir.path().string() + "/"; }
};

} // namespace

TEST_F(TemporaryFiles, NamesInTheTemporaryFolderWithTheExtension) {
  TKVTemporaryFiles files(&Boxes, Random, &Store);
  EXPECT_EQ(files.TemporaryFolder(), Folder());
  Draws = {41, 0, 65534};
  EXPECT_EQ(files.NewTempFileName(".wav"), Folder() + "0_41.wav");
  EXPECT_EQ(files.NewTempFileName("mid"), Folder() + "0_0.mid");
  EXPECT_EQ(files.NewTempFileName(".x.y"), Folder() + "0_65534.x.y");
  EXPECT_EQ(Limits, (std::vector<int32_t>{65535, 65535, 65535}));

  // A name that is taken is drawn again.
  kvtest::WriteFileBytes(Folder() + "0_5.wav", {1});
  Draws = {5, 5, 6};
  EXPECT_EQ(files.NewTempFileName("wav"), Folder() + "0_6.wav");

  // A folder with a trailing separator keeps one.
  Store.SetText("TemporaryFolder", Folder());
  EXPECT_EQ(files.TemporaryFolder(), Folder());
}

TEST(TemporaryFolder, IsThePlatformsWithoutAStore) {
  TKVTemporaryFiles files;
  const std::string expected = fs::temp_directory_path().string();
  EXPECT_EQ(files.TemporaryFolder(), expected.ends_with('/') ? expected : expected + "/");
  const std::string name = files.NewTempFileName("wav");
  EXPECT_TRUE(name.starts_with(files.TemporaryFolder() + "0_")) << name;
}

TEST_F(TemporaryFiles, CreatedFilesHoldTheBytesAndGoWithCleanUp) {
  TKVTemporaryFiles files(&Boxes, Random, &Store);
  const std::vector<uint8_t> bytes{'R', 'I', 'F', 'F', 0, 1, 2, 255};
  Draws = {1, 2};
  const std::string first = files.CreateTempFile(".wav", bytes.data(), bytes.size());
  const std::string empty = files.CreateTempFile("mid", nullptr, 0);
  EXPECT_EQ(first, Folder() + "0_1.wav");
  EXPECT_EQ(empty, Folder() + "0_2.mid");
  EXPECT_EQ(kvtest::ReadFileBytes(first), bytes);
  EXPECT_TRUE(kvtest::ReadFileBytes(empty).empty());
  EXPECT_EQ(files.DeleteList, (std::vector<std::string>{first, empty}));
  EXPECT_EQ(Store.GetText("deletelist", ""), first + "," + empty); // saved as soon as created
  EXPECT_TRUE(Boxes.Shown.empty());

  files.CleanUp();
  EXPECT_FALSE(fs::exists(first));
  EXPECT_FALSE(fs::exists(empty));
  EXPECT_TRUE(files.DeleteList.empty());
  EXPECT_EQ(Store.GetText("DeleteList", "?"), "");
}

TEST_F(TemporaryFiles, NeverWritesOverAnExistingFile) {
  TKVTemporaryFiles files(&Boxes, Random, &Store);
  kvtest::WriteFileBytes(Folder() + "0_3.wav", {9, 9});
  fs::create_symlink(Folder() + "elsewhere", Folder() + "0_4.wav");
  Draws = {3, 4, 8};
  const uint8_t byte = 1;
  EXPECT_EQ(files.CreateTempFile("wav", &byte, 1), Folder() + "0_8.wav");
  EXPECT_EQ(kvtest::ReadFileBytes(Folder() + "0_3.wav"), (std::vector<uint8_t>{9, 9}));
  EXPECT_FALSE(fs::exists(Folder() + "elsewhere"));
}

TEST_F(TemporaryFiles, FailureShowsItsMessageAndGivesNoName) {
  Store.SetText("TemporaryFolder", Dir.file("missing"));
  TKVTemporaryFiles files(&Boxes, Random, &Store);
  const uint8_t byte = 1;
  EXPECT_EQ(files.CreateTempFile("wav", &byte, 1), "");
  EXPECT_TRUE(files.DeleteList.empty());
  EXPECT_EQ(Boxes.Shown,
            (std::vector<TScriptedMessageBoxes::TShown>{{"error", "Error creating temporary file"}}));

  // Without message boxes nothing is shown, and still no name.
  TKVTemporaryFiles quiet(nullptr, Random, &Store);
  EXPECT_EQ(quiet.CreateTempFile("wav", &byte, 1), "");
}

TEST_F(TemporaryFiles, CleanUpKeepsWhatCannotBeDeleted) {
  TKVTemporaryFiles files(&Boxes, Random, &Store);
  const std::string gone = Folder() + "gone.wav";
  const std::string file = Folder() + "file.wav";
  const std::string stuck = Folder() + "stuck.wav"; // a non-empty folder cannot go as a file
  const std::string emptyFolder = Folder() + "empty";
  const std::string fullFolder = Folder() + "full";
  kvtest::WriteFileBytes(file, {1});
  fs::create_directories(stuck + "/inside");
  fs::create_directory(emptyFolder);
  fs::create_directory(fullFolder);
  kvtest::WriteFileBytes(fullFolder + "/keep", {1});
  files.DeleteList = {gone, file, stuck};
  files.DeleteFolders = {Folder() + "nofolder", emptyFolder, fullFolder};
  files.CleanUp();
  EXPECT_EQ(files.DeleteList, (std::vector<std::string>{stuck}));
  EXPECT_EQ(files.DeleteFolders, (std::vector<std::string>{fullFolder}));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fs::exists(emptyFolder));
  EXPECT_TRUE(fs::exists(stuck + "/inside"));
  EXPECT_EQ(Store.GetText("DeleteList", ""), stuck);
  EXPECT_EQ(Store.GetText("DeleteFolder", ""), fullFolder);

  // The next clean-up tries again.
  fs::remove_all(stuck);
  fs::remove(fullFolder + "/keep");
  files.CleanUp();
  EXPECT_TRUE(files.DeleteList.empty());
  EXPECT_TRUE(files.DeleteFolders.empty());
  EXPECT_FALSE(fs::exists(fullFolder));
}

TEST_F(TemporaryFiles, AStoreCarriesTheListsToTheNextRun) {
  const std::string left = Folder() + "0_77.wav";
  const std::string spaced = Folder() + "with space, and comma.mid";
  const std::string kept = Folder() + "kept";
  kvtest::WriteFileBytes(left, {1});
  kvtest::WriteFileBytes(spaced, {1});
  fs::create_directories(kept + "/x");
  Store.SetText("DELETELIST", ToCommaText({left, spaced}));
  Store.SetText("DeleteFolder", ToCommaText({kept}));
  {
    TKVTemporaryFiles files(&Boxes, Random, &Store); // cleans up on creation
    EXPECT_FALSE(fs::exists(left));
    EXPECT_FALSE(fs::exists(spaced));
    EXPECT_TRUE(files.DeleteList.empty());
    EXPECT_EQ(files.DeleteFolders, (std::vector<std::string>{kept}));
    Draws = {12};
    const uint8_t byte = 1;
    files.CreateTempFile("wav", &byte, 1);
    EXPECT_EQ(FromCommaText(Store.GetText("deletelist", "")),
              (std::vector<std::string>{Folder() + "0_12.wav"}));
  } // and when it goes
  EXPECT_FALSE(fs::exists(Folder() + "0_12.wav"));
  EXPECT_EQ(Store.GetText("DeleteList", "?"), "");
  EXPECT_EQ(FromCommaText(Store.GetText("DeleteFolder", "")), (std::vector<std::string>{kept}));
}

TEST(CommaText, QuotesWhatWouldSplitAndReadsItBack) {
  const struct {
    std::vector<std::string> Items;
    std::string Text;
  } cases[] = {
      {{}, ""},
      {{"a"}, "a"},
      {{"/tmp/0_1.wav", "/tmp/0_2.mid"}, "/tmp/0_1.wav,/tmp/0_2.mid"},
      {{"with space"}, "\"with space\""},
      {{"a,b", "say \"hi\""}, "\"a,b\",\"say \"\"hi\"\"\""},
      {{"", "x"}, "\"\",x"},
      {{"tab\there"}, "\"tab\there\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToCommaText(c.Items), c.Text);
    EXPECT_EQ(FromCommaText(c.Text), c.Items) << c.Text;
  }
  // Spaces outside quotes separate; a trailing comma ends with an empty item; an open quote runs to the end.
  EXPECT_EQ(FromCommaText("  a b ,c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(FromCommaText("a,"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(FromCommaText("\"open"), (std::vector<std::string>{"open"}));
  EXPECT_EQ(FromCommaText("a,,b"), (std::vector<std::string>{"a", "", "b"}));
}
