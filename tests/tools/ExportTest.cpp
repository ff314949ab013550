// jigsaw-pack export: standalone games from a package or a game, and what info shows of them.
#include "PackageJson.h"
#include "ToolRun.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include "data/uAppendedData.h"
#include "data/uEGameExport.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uGameData.h"
#include "data/uKVStreamFunc.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace kv;
using json = nlohmann::ordered_json;
using kvtest::Bytes;

namespace {

using ByteVec = std::vector<uint8_t>;

uint32_t U32At(const ByteVec& b, std::size_t at) {
  return static_cast<uint32_t>(b.at(at)) | static_cast<uint32_t>(b.at(at + 1)) << 8 |
         static_cast<uint32_t>(b.at(at + 2)) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
uint16_t U16At(const ByteVec& b, std::size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
ByteVec Head(const ByteVec& b, std::size_t count) {
  return {b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(count, b.size()))};
}

// Three playable pictures and a wallpaper, written by hand (no preview section).
ByteVec MakePackage() {
  const ByteVec jpeg = kvtest::MakeJpeg(48, 32);
  Bytes data;
  data.raw({0x03, 'P', 'Z', 'Z'});
  for (const auto& [id, name] :
       std::vector<std::pair<uint32_t, std::string>>{{1, "one"}, {2, "two"}, {0x10000, "wall"}, {3, "three"}})
    data.u16(7856).i32(static_cast<int32_t>(jpeg.size())).u32(id).str(name).raw(jpeg).i32(0);
  data.u16(7877).i32(8 + 4).str("Game").i32(0);
  data.u16(7850).i32(0);
  TMemoryStream compressed;
  TKVStreamFunc::CompressStream(data.stream(), compressed);
  return compressed.Bytes();
}

// An executable as far as the tests go: any bytes serve.
const ByteVec FakePlayer = Bytes().raw({0x7F, 'E', 'L', 'F', 2, 1, 1}).chars("player code").data();
const ByteVec OtherPlayer = Bytes().raw({0x7F, 'E', 'L', 'F', 2, 1, 1}).chars("newer player code!").data();

// The extra-picture records of a game file: (tag, id, type, format, data) in order, the block checked
// against its framing on the way.
struct Record {
  uint16_t Tag;
  uint32_t Id;
  uint8_t Type, Format;
  ByteVec Data;
};
std::vector<Record> BlockRecords(const ByteVec& game) {
  EXPECT_EQ(U32At(game, game.size() - 4), 100100u);
  const uint32_t n = U32At(game, game.size() - 8);
  const std::size_t e = game.size() - 8 - n;
  EXPECT_EQ(U16At(game, e), 3240);
  std::vector<Record> records;
  std::size_t at = e + 2;
  while (at < e + n) {
    const uint16_t tag = U16At(game, at);
    const uint32_t length = U32At(game, at + 2);
    if (tag != 3242) {
      EXPECT_EQ(tag, 3241);
      EXPECT_EQ(length, 0u);
      EXPECT_EQ(at + 6, e + n) << "the end record closes the block";
      break;
    }
    const ByteVec data(game.begin() + static_cast<std::ptrdiff_t>(at + 12),
                       game.begin() + static_cast<std::ptrdiff_t>(at + 12 + length));
    records.push_back({tag, U32At(game, at + 6), game.at(at + 10), game.at(at + 11), data});
    at += 12 + length;
  }
  return records;
}

using kvtest::CurrentUmask;
using kvtest::FileMode;

class ExportTool : public ::testing::Test {
protected:
  const kvtest::EngineSteps Steps;
  kvtest::TempDir Dir;
  ByteVec Package = MakePackage();
  ByteVec Jpeg = kvtest::MakeJpeg(40, 30);
  ByteVec Bmp = kvtest::MakeBmp(9, 7);
  std::string PackageFile = Dir.file("game.kvj");
  std::string Player = Dir.file("jigsaw-player");
  std::string JpegFile = Dir.file("mine.jpg");
  std::string BmpFile = Dir.file("drawing.bmp");
  std::string Game = Dir.file("game");

  void SetUp() override {
    kvtest::WriteFileBytes(PackageFile, Package);
    kvtest::WriteFileBytes(Player, FakePlayer);
    kvtest::WriteFileBytes(JpegFile, Jpeg);
    kvtest::WriteFileBytes(BmpFile, Bmp);
  }

  static kvtest::TToolRun Run(const std::vector<std::string>& args) { return kvtest::RunTool(args); }
};

} // namespace

TEST_F(ExportTool, GameIsPlayerPackageTrailerAndPictures) {
  const kvtest::TToolRun run = Run(
      {"export", PackageFile, "-o", Game, "--player", Player, "--picture", JpegFile, "--picture", BmpFile});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("2 extra picture(s)"), std::string::npos) << run.Out;

  const ByteVec game = kvtest::ReadFileBytes(Game);
  const std::size_t p = FakePlayer.size(), s = Package.size();
  EXPECT_EQ(Head(game, p), FakePlayer);
  EXPECT_EQ(ByteVec(game.begin() + p, game.begin() + p + s), Package);
  EXPECT_EQ(U32At(game, p + s), s);
  EXPECT_EQ(U32At(game, p + s + 4), p);
  EXPECT_EQ(U32At(game, p + s + 8), 250577u);
  EXPECT_EQ(U32At(game, game.size() - 8), game.size() - 8 - (p + s + 12)) << "N: the block after the trailer";

  const std::vector<Record> records = BlockRecords(game);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Format, 1);
  EXPECT_EQ(records[0].Data, Jpeg);
  EXPECT_EQ(records[1].Format, 0);
  EXPECT_EQ(records[1].Data, Bmp);
  for (const Record& r : records) {
    EXPECT_EQ(r.Type, 0);
    EXPECT_TRUE(r.Id >= 4 && r.Id <= 65535) << "fresh: 1..3 are the package's, " << r.Id;
  }
  EXPECT_NE(records[0].Id, records[1].Id);
  EXPECT_EQ(FileMode(Game), 0755 & ~CurrentUmask());

  // Started, the game plays the two pictures (the BMP stored as JPEG) beside the package's wallpaper.
  TGameDataLocator locator(Game, {}, ProgramPackageServices());
  locator.LocateGameData();
  ASSERT_NE(locator.Project(), nullptr);
  const TJigsawProject2& project = *locator.Project();
  EXPECT_EQ(project.Title, "Game");
  ASSERT_EQ(project.Pictures.size(), 3u);
  EXPECT_EQ(project.Pictures[0]->ID, 0x10000u);
  EXPECT_EQ(project.Pictures[1]->ID, records[0].Id);
  EXPECT_EQ(project.Pictures[1]->Name, "Image#0");
  EXPECT_EQ(project.Pictures[1]->Data.Bytes(), Jpeg);
  EXPECT_EQ(project.Pictures[2]->Name, "Image#1");
  EXPECT_EQ(Head(project.Pictures[2]->Data.Bytes(), 3), (ByteVec{0xFF, 0xD8, 0xFF}));
  EXPECT_EQ(locator.PlayablePictures.size(), 2u);
}

TEST_F(ExportTool, WithoutPicturesTheTrailerEndsTheGame) {
  const kvtest::TToolRun run = Run({"export", PackageFile, "-o", Game, "--player", Player});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const ByteVec game = kvtest::ReadFileBytes(Game);
  ASSERT_EQ(game.size(), FakePlayer.size() + Package.size() + 12);
  EXPECT_EQ(U32At(game, game.size() - 4), 250577u);
  TMemoryStream package, extra;
  ASSERT_TRUE(ReadAppendedData(Game, package, extra));
  EXPECT_EQ(package.Bytes(), Package);
  EXPECT_TRUE(extra.Empty());
}

TEST_F(ExportTool, ExportOfAGame) {
  ASSERT_EQ(Run({"export", PackageFile, "-o", Game, "--player", Player, "--picture", JpegFile}).Status, 0);
  // A game whose block also carries a wallpaper of its own.
  {
    TExtJigsawImages extras;
    TExtJigsawImage& wall = extras.Add();
    wall.ImageID = 0x70000;
    wall.ImgType = TExtJigsawImageType::itWallpaper;
    wall.ImgFormat = TImageFormat::ifJPEG;
    wall.Stream = TMemoryStream(Jpeg);
    TExtJigsawImage& picture = extras.Add();
    picture.ImageID = 77;
    picture.ImgFormat = TImageFormat::ifJPEG;
    picture.Stream = TMemoryStream(kvtest::MakeJpeg(20, 20));
    kvtest::WriteFileBytes(Dir.file("walled"),
                           AssembleGame(FakePlayer, TMemoryStream(Package), MakeExtraStream(extras)));
  }
  const std::string newer = Dir.file("newer-player");
  kvtest::WriteFileBytes(newer, OtherPlayer);

  // With a newer player and no pictures: the new player, the same package and the very same block.
  const std::string second = Dir.file("second");
  ASSERT_EQ(Run({"export", Game, "-o", second, "--player", newer}).Status, 0);
  const ByteVec first = kvtest::ReadFileBytes(Game), again = kvtest::ReadFileBytes(second);
  const std::size_t appended = first.size() - FakePlayer.size();
  EXPECT_EQ(Head(again, OtherPlayer.size()), OtherPlayer);
  ASSERT_EQ(again.size(), OtherPlayer.size() + appended);
  EXPECT_EQ(ByteVec(again.begin() + OtherPlayer.size(), again.begin() + OtherPlayer.size() + Package.size()),
            Package);
  EXPECT_EQ(U32At(again, OtherPlayer.size() + Package.size() + 4), OtherPlayer.size());
  EXPECT_EQ(ByteVec(again.end() - static_cast<std::ptrdiff_t>(appended - Package.size() - 12), again.end()),
            ByteVec(first.end() - static_cast<std::ptrdiff_t>(appended - Package.size() - 12), first.end()));

  // A game given as its own player: stripped to the bare player (no default player beside the tests).
  ASSERT_FALSE(std::filesystem::exists(
      std::filesystem::path(TGameDataLocator::OwnExecutablePath()).parent_path() / "jigsaw"));
  const std::string third = Dir.file("third");
  const kvtest::TToolRun own = Run({"export", second, "-o", third, "--picture", BmpFile});
  ASSERT_EQ(own.Status, 0) << own.Err;
  EXPECT_NE(own.Out.find("the player part of " + second), std::string::npos) << own.Out;
  const ByteVec thirdGame = kvtest::ReadFileBytes(third);
  EXPECT_EQ(U32At(thirdGame, OtherPlayer.size() + Package.size() + 4), OtherPlayer.size());
  EXPECT_EQ(Head(thirdGame, OtherPlayer.size()), OtherPlayer);
  const std::vector<Record> records = BlockRecords(thirdGame);
  ASSERT_EQ(records.size(), 1u) << "the new picture replaces the game's";
  EXPECT_EQ(records[0].Data, Bmp);

  // New pictures replace the extra pictures of a game; its extra wallpapers stay, first.
  const std::string fourth = Dir.file("fourth");
  ASSERT_EQ(
      Run({"export", Dir.file("walled"), "-o", fourth, "--player", Player, "--picture", JpegFile}).Status, 0);
  const std::vector<Record> walled = BlockRecords(kvtest::ReadFileBytes(fourth));
  ASSERT_EQ(walled.size(), 2u);
  EXPECT_EQ(walled[0].Id, 0x70000u);
  EXPECT_EQ(walled[0].Type, 1);
  EXPECT_EQ(walled[1].Type, 0);
  EXPECT_EQ(walled[1].Data, Jpeg);
}

TEST_F(ExportTool, FailuresWriteNothing) {
  const std::string defaultPlayer =
      (std::filesystem::path(TGameDataLocator::OwnExecutablePath()).parent_path() / "jigsaw").string();
  const std::string notJpeg = Dir.file("notes.jpg"), emptyPlayer = Dir.file("empty-player");
  kvtest::WriteFileBytes(notJpeg, Bytes().chars("not a picture").data());
  kvtest::WriteFileBytes(emptyPlayer, {});
  struct Case {
    std::vector<std::string> Args;
    int Status;
    std::string Error; // the message, or a part of it
  };
  const std::vector<Case> cases = {
      {{"export", PackageFile, "-o", Game},
       1,
       "jigsaw-pack: no player to make the game from: " + defaultPlayer +
           " does not exist; name the player program with --player PATH\n"},
      {{"export", PackageFile, "-o", Game, "--player", Dir.file("missing")}, 1, "Cannot open file"},
      {{"export", PackageFile, "-o", Game, "--player", emptyPlayer}, 1, "empty-player is empty"},
      {{"export", PackageFile, "-o", Game, "--player", Player, "--picture", Dir.file("a.gif")},
       2,
       "a.gif is not a picture a game can carry: use a .bmp or .jpg file"},
      {{"export", PackageFile, "-o", Game, "--player", Player, "--picture", Dir.file("a.jpeg")}, 2, "a.jpeg"},
      {{"export", PackageFile, "-o", Game, "--player", Player, "--picture", notJpeg},
       1,
       "jigsaw-pack: " + notJpeg + " is not a JPEG picture the game can read.\n"},
      {{"export", PackageFile, "-o", Game, "--player", Player, "--picture", Dir.file("missing.jpg")},
       1,
       "missing.jpg"},
      {{"export", PackageFile, "-o", Dir.file("no-folder/game"), "--player", Player},
       1,
       "Cannot create file"},
      {{"export", PackageFile, "-o", Dir.path().string(), "--player", Player}, 2, "is a folder"},
      {{"export", PackageFile, "--player", Player}, 2, "usage:"},
      {{"export", "-o", Game, "--player", Player}, 2, "usage:"},
      {{"export", PackageFile, "-o", Game, "--player"}, 2, "usage:"},
      {{"export", PackageFile, PackageFile, "-o", Game}, 2, "usage:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Error);
    const kvtest::TToolRun run = Run(c.Args);
    EXPECT_EQ(run.Status, c.Status);
    if (c.Error.back() == '\n')
      EXPECT_EQ(run.Err, c.Error);
    else
      EXPECT_NE(run.Err.find(c.Error), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Game));
  }
  // Only the files the test made: no temporary file stays behind.
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Dir.path())) {
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, 6u);
}

TEST_F(ExportTool, InfoShowsWhatTheGamePlays) {
  ASSERT_EQ(Run({"export", PackageFile, "-o", Game, "--player", Player}).Status, 0);
  const kvtest::TToolRun plain = Run({"info", Game});
  ASSERT_EQ(plain.Status, 0) << plain.Err;
  EXPECT_EQ(plain.Out.substr(0, plain.Out.find('\n') + 1),
            "Source: game executable, package of " + std::to_string(Package.size()) + " bytes at offset " +
                std::to_string(FakePlayer.size()) + "; no extra-picture block\n");
  EXPECT_NE(plain.Out.find("Pictures: 3 playable, 1 wallpaper(s)"), std::string::npos) << plain.Out;
  EXPECT_NE(plain.Out.find("Extra pictures: 0\n"), std::string::npos) << plain.Out;

  const std::string withPictures = Dir.file("with-pictures");
  ASSERT_EQ(Run({"export", PackageFile, "-o", withPictures, "--player", Player, "--picture", JpegFile,
                 "--picture", BmpFile})
                .Status,
            0);
  const ByteVec game = kvtest::ReadFileBytes(withPictures);
  const std::vector<Record> records = BlockRecords(game);
  ASSERT_EQ(records.size(), 2u);
  const uint32_t n = U32At(game, game.size() - 8);
  const kvtest::TToolRun text = Run({"info", withPictures});
  ASSERT_EQ(text.Status, 0) << text.Err;
  for (const std::string& expected :
       {"Source: game executable, package of " + std::to_string(Package.size()) + " bytes at offset " +
            std::to_string(FakePlayer.size()) + "; extra-picture block of " + std::to_string(n) + " bytes\n",
        std::string("Pictures: 2 playable, 1 wallpaper(s)\n"), std::string("\"Image#0\"  40x30 JPEG"),
        std::string("\"Image#1\"  9x7 JPEG"), std::string("pieces 0..24"), std::string("Extra pictures: 2\n"),
        "  picture  id " + std::to_string(records[0].Id) + ", JPEG 40x30, " + std::to_string(Jpeg.size()) +
            " bytes\n",
        "  picture  id " + std::to_string(records[1].Id) + ", BMP 9x7, " + std::to_string(Bmp.size()) +
            " bytes\n"})
    EXPECT_NE(text.Out.find(expected), std::string::npos) << expected << "\n" << text.Out;
  EXPECT_EQ(text.Out.find("\"one\""), std::string::npos) << "the package's own pictures are not played";

  const kvtest::TToolRun asJson = Run({"info", "--json", withPictures});
  ASSERT_EQ(asJson.Status, 0) << asJson.Err;
  const json j = json::parse(asJson.Out);
  EXPECT_EQ(j["source"], "executable");
  EXPECT_EQ(j["appended"]["packageOffset"], FakePlayer.size());
  EXPECT_EQ(j["appended"]["packageSize"], Package.size());
  EXPECT_EQ(j["appended"]["extraBlockSize"], n);
  ASSERT_EQ(j["package"]["pictures"].size(), 3u);
  EXPECT_EQ(j["package"]["pictures"][1]["name"], "Image#0");
  EXPECT_EQ(j["package"]["pictures"][1]["id"], records[0].Id);
  ASSERT_EQ(j["extraPictures"].size(), 2u);
  EXPECT_EQ(j["extraPictures"][1]["imageId"], records[1].Id);
  EXPECT_EQ(j["extraPictures"][1]["type"], "picture");
  EXPECT_EQ(j["extraPictures"][1]["format"], "bmp");
  EXPECT_EQ(j["extraPictures"][1]["width"], 9);
  EXPECT_EQ(j["extraPictures"][1]["data"]["size"], Bmp.size());

  const json noBlock = json::parse(Run({"info", "--json", Game}).Out);
  EXPECT_TRUE(noBlock["appended"]["extraBlockSize"].is_null());
  EXPECT_EQ(noBlock["package"]["pictures"].size(), 4u);
  EXPECT_EQ(json::parse(Run({"info", "--json", PackageFile}).Out)["source"], "package");
}

TEST_F(ExportTool, FilesThatAreNoGameAreNamedAsSuch) {
  const ByteVec elf = Bytes().raw({0x7F, 'E', 'L', 'F', 2, 1, 1, 0}).raw(ByteVec(200, 0)).data();
  // The trailer says the package lies 5000 bytes in, in a file of some 220 bytes.
  const ByteVec badTrailer = Bytes().raw(elf).u32(100).u32(5000).u32(250577).data();
  const ByteVec badBlock = Bytes().raw(elf).u32(100000).u32(100100).data();
  const ByteVec truncated = Head(Package, Package.size() / 2);
  const ByteVec zlibGarbage = Bytes().raw({0x78, 0x9C}).chars("not deflate data").data();
  const ByteVec gameWithTruncatedPackage = AssembleGame(elf, TMemoryStream(truncated), TMemoryStream());

  struct Case {
    const char* Name;
    ByteVec File;
    std::string Message; // after the file's name
  };
  const std::vector<Case> cases = {
      {"elf", elf, " is neither a game package nor a game with a package appended"},
      {"empty", {}, " is neither a game package nor a game with a package appended"},
      {"text", Bytes().chars("Just some notes.\n").data(),
       " is neither a game package nor a game with a package appended"},
      {"truncated.kvj", truncated, " is a damaged game package: its data is cut short or damaged"},
      {"zlib-garbage.kvj", zlibGarbage, " is a damaged game package: its data is cut short or damaged"},
      {"bad-trailer", badTrailer, " is a damaged game: the data appended to it points outside the file"},
      {"bad-block", badBlock, " is a damaged game: the data appended to it points outside the file"},
      {"truncated-game", gameWithTruncatedPackage,
       " is a game whose appended package is damaged: its data is cut short or damaged"},
  };
  for (const Case& c : cases) {
    const std::string file = Dir.file(c.Name);
    kvtest::WriteFileBytes(file, c.File);
    const std::string out = Dir.file("out.png");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"info", file},
             {"info", "--json", file},
             {"cut", file, "--picture", "1", "--difficulty", "0", "-o", out},
             {"play", file, "--picture", "1", "--difficulty", "0", "-o", out},
             {"export", file, "-o", out, "--player", Player}}) {
      SCOPED_TRACE(std::string(c.Name) + " " + args[0]);
      const kvtest::TToolRun run = Run(args);
      EXPECT_EQ(run.Status, 1);
      EXPECT_EQ(run.Err, "jigsaw-pack: " + file + c.Message + "\n");
      EXPECT_TRUE(run.Out.empty()) << run.Out;
      EXPECT_FALSE(std::filesystem::exists(out));
    }
  }
}
