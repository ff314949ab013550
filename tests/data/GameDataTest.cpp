#include "core/uKVErrors.h"
#include "data/uAppendedData.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uGameData.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <new>

#include <filesystem>
#include <string>
#include <vector>

using namespace kv;
using kvtest::Bytes;

namespace {

using ByteVec = std::vector<uint8_t>;

const ByteVec Jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 'J', 'F', 'I', 'F', 0xFF, 0xD9};
const ByteVec Player = {'\x7f', 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC};

struct Picture {
  uint32_t ID;
  std::string Name;
};

// A package built by hand: the preview header with only its end record, then the zlib data section with
// one picture record each, the optional extra records and the end record.
ByteVec MakePackage(const std::vector<Picture>& pictures, const ByteVec& moreRecords = {}) {
  Bytes data;
  data.raw({0x03, 'P', 'Z', 'Z'});
  for (const Picture& p : pictures)
    data.u16(7856).i32(static_cast<int32_t>(Jpeg.size())).u32(p.ID).str(p.Name).raw(Jpeg).i32(0);
  data.raw(moreRecords);
  data.u16(7850).i32(0);
  TMemoryStream compressed;
  TKVStreamFunc::CompressStream(data.stream(), compressed);
  return Bytes().u16(0xDEAD).u16(0).i32(6).u16(7865).i32(0).raw(compressed.Bytes()).data();
}

ByteVec HighScoreRecord(const std::string& name) {
  return Bytes()
      .u16(8085)
      .i32(static_cast<int32_t>(name.size() + 1))
      .u8(static_cast<uint8_t>(name.size()))
      .chars(name)
      .data();
}

const std::vector<Picture> ThreeAndWallpaper = {{1, "a"}, {2, "b"}, {0x10000, "wall"}, {3, "c"}};

ByteVec GameExecutable(const ByteVec& package, const ByteVec* extraBlock = nullptr) {
  TMemoryStream player(Player);
  TMemoryStream pkg(package);
  TMemoryStream block(extraBlock ? *extraBlock : ByteVec{});
  TMemoryStream out;
  AppendGameData(out, player, pkg, extraBlock ? &block : nullptr);
  return out.Bytes();
}

ByteVec OneExtraPicture(uint32_t id) {
  TExtJigsawImages images;
  TExtJigsawImage& image = images.Add();
  image.ImageID = id;
  image.ImgFormat = TImageFormat::ifJPEG;
  image.Stream = TMemoryStream(Jpeg);
  TMemoryStream block;
  images.SaveToStream(block);
  return block.Bytes();
}

std::vector<uint32_t> Ids(const TJigsawProject2& project) {
  std::vector<uint32_t> ids;
  for (const auto& p : project.Pictures) ids.push_back(p->ID);
  return ids;
}

std::vector<uint32_t> PlayableIds(const TGameDataLocator& locator) {
  std::vector<uint32_t> ids;
  for (const TBMPData* p : locator.PlayablePictures) ids.push_back(p->ID);
  return ids;
}

class GameData : public ::testing::Test {
protected:
  kvtest::TempDir Dir;
  std::string Exe = Dir.file("player");
  std::string PackageFile = Dir.file("game.pkg");

  void SetUp() override {
    kvtest::WriteFileBytes(Exe, Player);
    kvtest::WriteFileBytes(PackageFile, MakePackage({{5, "five"}}));
  }
};

} // namespace

TEST_F(GameData, PackageAppendedToTheOwnFileWins) {
  kvtest::WriteFileBytes(Exe, GameExecutable(MakePackage(ThreeAndWallpaper)));
  TGameDataLocator locator(Exe, {PackageFile, "-T"});
  locator.LocateGameData();
  ASSERT_NE(locator.Project(), nullptr);
  EXPECT_TRUE(locator.FromOwnFile);
  EXPECT_FALSE(locator.TerminateRequested);
  EXPECT_EQ(Ids(*locator.Project()), (std::vector<uint32_t>{1, 2, 0x10000, 3}));
  EXPECT_EQ(locator.Project()->Pictures[2]->Name, "wall");
  EXPECT_EQ(PlayableIds(locator), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_TRUE(std::filesystem::exists(PackageFile)) << "argument 1 is not used, so not deleted";
}

TEST_F(GameData, ExtraPicturesReplaceThePlayablePictures) {
  const ByteVec block = OneExtraPicture(0);
  kvtest::WriteFileBytes(Exe, GameExecutable(MakePackage(ThreeAndWallpaper), &block));
  TGameDataLocator locator(Exe, {});
  locator.LocateGameData();
  ASSERT_NE(locator.Project(), nullptr);
  EXPECT_TRUE(locator.FromOwnFile);
  const TJigsawProject2& project = *locator.Project();
  ASSERT_EQ(project.Pictures.size(), 2u);
  EXPECT_EQ(project.Pictures[0]->ID, 0x10000u);
  EXPECT_EQ(project.StartWallpaperIndex, 0);
  EXPECT_EQ(project.Pictures[1]->Name, "Image#0");
  EXPECT_EQ(project.Pictures[1]->Data.Bytes(), Jpeg);
  ASSERT_EQ(locator.PlayablePictures.size(), 1u);
  EXPECT_EQ(locator.PlayablePictures[0], project.Pictures[1].get());
  EXPECT_EQ(locator.PlayablePictureIndex(0), 1);
}

TEST_F(GameData, BlockWithoutTrailerFallsBackToArgumentOne) {
  const ByteVec block = OneExtraPicture(0);
  kvtest::WriteFileBytes(
      Exe, Bytes().raw(Player).raw(block).u32(static_cast<uint32_t>(block.size())).u32(100100).data());
  TGameDataLocator locator(Exe, {PackageFile});
  locator.LocateGameData();
  ASSERT_NE(locator.Project(), nullptr);
  EXPECT_FALSE(locator.FromOwnFile);
  // The block is not merged into a package from argument 1.
  EXPECT_EQ(Ids(*locator.Project()), std::vector<uint32_t>{5});
  EXPECT_EQ(locator.Project()->Pictures[0]->Name, "five");
}

TEST_F(GameData, TemporaryPackageFileIsDeletedOnlyWithExactlyMinusT) {
  struct Case {
    std::vector<std::string> Extra;
    bool Deleted;
  };
  const std::vector<Case> cases = {
      {{"-T"}, true}, {{"-t"}, false}, {{}, false}, {{"-T "}, false}, {{"-T", "page.html"}, true}};
  for (const Case& c : cases) {
    kvtest::WriteFileBytes(PackageFile, MakePackage({{5, "five"}}));
    std::vector<std::string> args = {PackageFile};
    args.insert(args.end(), c.Extra.begin(), c.Extra.end());
    TGameDataLocator locator(Exe, args);
    locator.LocateGameData();
    ASSERT_NE(locator.Project(), nullptr);
    EXPECT_EQ(Ids(*locator.Project()), std::vector<uint32_t>{5});
    EXPECT_EQ(!std::filesystem::exists(PackageFile), c.Deleted) << (c.Extra.empty() ? "" : c.Extra[0]);
  }
}

TEST_F(GameData, BarePlayerWithoutArgumentsEndsSilently) {
  TGameDataLocator locator(Exe, {});
  int resets = 0;
  locator.OnResetSession = [&] { ++resets; };
  EXPECT_NO_THROW(locator.LocateGameData());
  EXPECT_TRUE(locator.TerminateRequested);
  EXPECT_EQ(locator.Project(), nullptr);
  EXPECT_EQ(resets, 0);
  EXPECT_TRUE(locator.HighScorePath().empty());
}

TEST_F(GameData, OnlyIdsWithAZeroUpperHalfArePlayable) {
  kvtest::WriteFileBytes(
      PackageFile,
      MakePackage(
          {{0x10000, "w"}, {1, "one"}, {0x10001, "odd"}, {65535, "max"}, {0xFFFF0000, "w2"}, {1, "dup"}}));
  TGameDataLocator locator(Exe, {PackageFile});
  locator.LocateGameData();
  ASSERT_NE(locator.Project(), nullptr);
  EXPECT_EQ(PlayableIds(locator), (std::vector<uint32_t>{1, 65535, 1}));
  // A playable picture is found by its id: the first entry with it.
  EXPECT_EQ(locator.PlayablePictureIndex(0), 1);
  EXPECT_EQ(locator.PlayablePictureIndex(1), 3);
  EXPECT_EQ(locator.PlayablePictureIndex(2), 1);
  EXPECT_EQ(locator.PlayablePictureIndex(3), -1);
  EXPECT_EQ(locator.PlayablePictureIndex(-1), -1);
}

TEST_F(GameData, FailuresPropagateWithTheMessageToShow) {
  const std::string invalidData = "Project doesn't contain valid data.";
  struct Case {
    const char* Name;
    ByteVec OwnFile;
    ByteVec Argument;
    std::string Message; // empty: the error's own message, checked for non-emptiness
  };
  Bytes signature;
  signature.chars("XPZZ").u16(7850).i32(0);
  TMemoryStream badSignature;
  TKVStreamFunc::CompressStream(signature.stream(), badSignature);
  const ByteVec package = MakePackage({{5, "five"}});
  const ByteVec truncated(package.begin(), package.end() - 6);
  const std::vector<Case> cases = {
      {"not a zlib stream", Player, Bytes().u16(0xDEAD).u16(0).i32(0).chars("garbage").data(), invalidData},
      {"truncated data section", Player, truncated, invalidData},
      {"empty file", Player, {}, invalidData},
      {"wrong signature", Player, badSignature.Bytes(), "Stream data contains invalid project format."},
      {"trailer pointing outside", Bytes().raw(Player).u32(1000).u32(0).u32(250577).data(), package,
       invalidData},
      {"block length outside", Bytes().raw(Player).u32(1000).u32(100100).data(), package, invalidData},
  };
  for (const Case& c : cases) {
    kvtest::WriteFileBytes(Exe, c.OwnFile);
    kvtest::WriteFileBytes(PackageFile, c.Argument);
    TGameDataLocator locator(Exe, {PackageFile, "-T"});
    try {
      locator.LocateGameData();
      ADD_FAILURE() << c.Name << ": no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(StartupErrorMessage(e), c.Message) << c.Name;
    }
    EXPECT_EQ(locator.Project(), nullptr) << c.Name;
    EXPECT_TRUE(locator.PlayablePictures.empty()) << c.Name;
    EXPECT_FALSE(locator.TerminateRequested) << c.Name;
  }

  // Internal texts never reach the player.
  EXPECT_EQ(StartupErrorMessage(EListError("List index out of bounds (13)")), invalidData);
  EXPECT_EQ(StartupErrorMessage(std::bad_alloc()), invalidData);

  // Argument 1 that cannot be opened: its own message.
  kvtest::WriteFileBytes(Exe, Player);
  TGameDataLocator missing(Exe, {Dir.file("nothing.pkg")});
  try {
    missing.LocateGameData();
    ADD_FAILURE() << "no error for a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(StartupErrorMessage(e), e.what());
    EXPECT_NE(std::string(e.what()).find("nothing.pkg"), std::string::npos);
  }
  EXPECT_EQ(missing.Project(), nullptr);
}

TEST_F(GameData, ExtraBmpWithoutConverterFailsTheStart) {
  TExtJigsawImages images;
  TExtJigsawImage& image = images.Add();
  image.ImgFormat = TImageFormat::ifBMP;
  image.Stream = TMemoryStream(ByteVec{'B', 'M', 0, 0});
  TMemoryStream block;
  images.SaveToStream(block);
  kvtest::WriteFileBytes(Exe, GameExecutable(MakePackage(ThreeAndWallpaper), &block.Bytes()));
  TGameDataLocator locator(Exe, {});
  EXPECT_THROW(locator.LocateGameData(), EImageError);
  EXPECT_EQ(locator.Project(), nullptr);
}

TEST_F(GameData, SecondLoadOnlyResetsTheSession) {
  TGameDataLocator locator(Exe, {PackageFile});
  int resets = 0;
  locator.OnResetSession = [&] { ++resets; };
  locator.PlayerName = "Ann";
  locator.LocateGameData();
  ASSERT_NE(locator.Project(), nullptr);
  EXPECT_EQ(resets, 1);
  EXPECT_TRUE(locator.PlayerName.empty());

  TJigsawProject2* first = locator.Project();
  locator.PlayerName = "Bob";
  TMemoryStream other(MakePackage({{7, "seven"}, {8, "eight"}}));
  locator.LoadProject(&other, {}, nullptr, true);
  EXPECT_EQ(resets, 2);
  EXPECT_TRUE(locator.PlayerName.empty());
  EXPECT_EQ(locator.Project(), first);
  EXPECT_EQ(Ids(*first), std::vector<uint32_t>{5});
}

TEST_F(GameData, LoadProjectVariants) {
  // From the named file.
  TGameDataLocator fromFile(Exe, {});
  fromFile.LoadProject(nullptr, PackageFile, nullptr, false);
  ASSERT_NE(fromFile.Project(), nullptr);
  EXPECT_EQ(PlayableIds(fromFile), std::vector<uint32_t>{5});

  // No stream: an empty package model with its defaults.
  TGameDataLocator empty(Exe, {});
  empty.LoadProject(nullptr, {}, nullptr, true);
  ASSERT_NE(empty.Project(), nullptr);
  EXPECT_TRUE(empty.Project()->Pictures.empty());
  EXPECT_EQ(empty.Project()->Title, "Korvane Jigsaw");

  // The package stream is read from its start; an empty extra stream merges nothing.
  TGameDataLocator fromStream(Exe, {});
  TMemoryStream package(MakePackage(ThreeAndWallpaper));
  package.Seek(0, TSeekOrigin::soEnd);
  TMemoryStream noExtra;
  fromStream.LoadProject(&package, {}, &noExtra, true);
  EXPECT_EQ(PlayableIds(fromStream), (std::vector<uint32_t>{1, 2, 3}));
}

TEST_F(GameData, SkinThemeIsLoadedFromNonEmptySkinData) {
  const ByteVec skin = {9, 8, 7, 6};
  const ByteVec record = Bytes().u16(8086).i32(static_cast<int32_t>(skin.size())).raw(skin).data();
  for (bool withSkin : {true, false}) {
    kvtest::WriteFileBytes(PackageFile, MakePackage({{5, "five"}}, withSkin ? record : ByteVec{}));
    TGameDataLocator locator(Exe, {PackageFile});
    int calls = 0;
    locator.OnLoadSkinTheme = [&](TMemoryStream& data) {
      ++calls;
      EXPECT_EQ(data.Position(), 0);
      EXPECT_EQ(data.Bytes(), skin);
    };
    locator.LocateGameData();
    EXPECT_EQ(calls, withSkin ? 1 : 0);
  }
}

TEST_F(GameData, HighScoreFileLivesInTheDocumentsFolder) {
  const std::string documents = TKVStandardFunc::DocumentsFolder();
  struct Case {
    const char* Record; // nullptr: the default name
    std::string Path;
  };
  const std::vector<Case> cases = {
      {nullptr, documents + "/JigsawHighScore.dat"},
      {"scores.dat", documents + "/scores.dat"},
      {"", ""},
      // Only the file name counts: a package cannot write elsewhere.
      {"../../.profile", documents + "/.profile"},
      {"..\\..\\Windows\\evil.dat", documents + "/evil.dat"},
      {"/etc/passwd", documents + "/passwd"},
      {"..", ""},
      {"sub/", ""},
  };
  for (const Case& c : cases) {
    kvtest::WriteFileBytes(PackageFile,
                           MakePackage({{5, "five"}}, c.Record ? HighScoreRecord(c.Record) : ByteVec{}));
    TGameDataLocator locator(Exe, {PackageFile});
    locator.LocateGameData();
    EXPECT_EQ(locator.HighScorePath(), c.Path) << (c.Record ? c.Record : "default");
  }
}
