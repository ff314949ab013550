// A sample game with something in every part of the package, as a package file, a game executable with extra
// pictures, a saved game and a high-score table: what the package tool says of each.
#include "SampleGame.h"
#include "PackTool.h"
#include "PackageJson.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uJigsawFile.h"
#include "gui/uPictureConverters.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace kv;
using json = nlohmann::ordered_json;
using kvtest::BuildSample;

namespace {

std::string RunTool(const std::vector<std::string>& args, int expectedStatus = 0) {
  std::ostringstream out, err;
  const int status = kvtools::RunPackTool(args, out, err);
  EXPECT_EQ(status, expectedStatus) << err.str();
  return status == 0 ? out.str() : err.str();
}

json LoadedJson(TMemoryStream package) {
  TJigsawProject2 project(PictureConverterServices());
  package.SetPosition(0);
  project.LoadFromStream(&package);
  return kvtools::ProjectJson(project);
}

} // namespace

// The files sample-game writes for scripts/demo, and what the package tool says of them.
TEST(SampleGame, FilesShowInThePackageTool) {
  const kvtest::TempDir dir;
  const std::filesystem::path folder = dir.path();
  kvtest::TSampleGameFiles sample = kvtest::MakeSampleGameFiles();
  kvtest::WriteSampleFiles(folder, sample.Files);
  TMemoryStream& package = sample.Package;
  TMemoryStream& block = sample.ExtraPictures;

  // The summary names what the package holds.
  const std::string summary = RunTool({"info", (folder / "sample.kvj").string()});
  for (const char* expected : {"Title: Sample Jigsaw \xC3\xA9t\xC3\xA9", "\"Mountains\"", "pieces 0..48",
                               "wallpaper", "format WAV, event slot(s) 0", "\"&About page\"", "command 14 1",
                               "countdown 900 s", "https://example.org/", "120x30"})
    EXPECT_NE(summary.find(expected), std::string::npos) << expected << "\n" << summary;

  // The game executable shows the package as the game plays it, its extra picture merged in.
  const json fromGame = json::parse(RunTool({"info", "--json", (folder / "sample-game").string()}));
  EXPECT_EQ(fromGame["source"], "executable");
  ASSERT_EQ(fromGame["extraPictures"].size(), 1u);
  EXPECT_EQ(fromGame["extraPictures"][0]["format"], "jpeg");
  EXPECT_EQ(fromGame["extraPictures"][0]["imageId"], 4242);
  TJigsawProject2 merged(PictureConverterServices());
  package.SetPosition(0);
  merged.LoadFromStream(&package);
  LoadExtraPictures(block, merged);
  EXPECT_EQ(fromGame["package"], kvtools::ProjectJson(merged));
  EXPECT_NE(fromGame["package"], LoadedJson(package));

  const json jsw = json::parse(RunTool({"jsw", "--json", (folder / "sample.jsw").string()}));
  EXPECT_EQ(jsw["version"], 6);
  EXPECT_EQ(jsw["pieces"][3]["x"], 30);
  const json table = json::parse(RunTool({"scores", "--json", (folder / "JigsawHighScore.dat").string()}));
  EXPECT_EQ(table["levels"][0]["entries"][1]["name"], "Bob");
  EXPECT_EQ(table["levels"][2]["entries"][0]["time"], 400);
}

TEST(SampleGame, JsonDescribesEveryPartOfThePackage) {
  TJigsawProject2 project(PictureConverterServices());
  BuildSample(project);
  TMemoryStream package;
  project.SaveToStream(package);
  const json j = LoadedJson(package);

  EXPECT_EQ(j["title"], "Sample Jigsaw \xC3\xA9t\xC3\xA9");
  ASSERT_EQ(j["pictures"].size(), 4u);
  EXPECT_EQ(j["pictures"][3]["kind"], "wallpaper");
  EXPECT_EQ(j["pictures"][0]["data"]["size"], project.Pictures[0]->Data.Size());
  EXPECT_EQ(j["pictureSettings"][2]["numPiecesMax"], 72);
  EXPECT_EQ(j["settings"]["countdownSeconds"], 900);
  EXPECT_EQ(j["settings"]["bevelLevel"], 3);
  EXPECT_EQ(j["options"]["showGhost"], true);
  EXPECT_EQ(j["sounds"][0]["name"], "snap.wav");
  EXPECT_EQ(j["eventSounds"][0]["soundIds"][0], 1);
  const json& game = j["menus"][2]; // after the default "&File" and "&Help"
  EXPECT_EQ(game["caption"], "&Game");
  EXPECT_EQ(game["children"][2]["script"]["parameters"][0]["text"], "about.htm,400,300");
  EXPECT_EQ(j["startActions"]["scripts"][0]["parameters"][0]["integer"], 1);
  EXPECT_EQ(j["banners"][0]["width"], 120);
  EXPECT_EQ(j["banners"][0]["script"]["parameters"][0]["text"], "https://example.org/");
  EXPECT_EQ(j["bannerContainers"][0]["bannerIds"][0], j["banners"][0]["id"]);

  // Loading what was loaded and written again changes nothing.
  TJigsawProject2 again(PictureConverterServices());
  package.SetPosition(0);
  again.LoadFromStream(&package);
  TMemoryStream second;
  again.SaveToStream(second);
  EXPECT_EQ(LoadedJson(second), j);
}

TEST(PackTool, ReportsErrorsWithoutStackTraces) {
  const kvtest::TempDir dir;
  const std::filesystem::path folder = dir.path();
  const std::string garbage = (folder / "garbage.bin").string();
  TMemoryStream(std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}).SaveToFile(garbage);

  EXPECT_NE(RunTool({}, 2).find("usage:"), std::string::npos);
  EXPECT_NE(RunTool({"info"}, 2).find("usage:"), std::string::npos);
  EXPECT_NE(RunTool({"jsw", garbage}, 2).find("usage:"), std::string::npos);
  EXPECT_NE(RunTool({"info", (folder / "missing.kvj").string()}, 1).find("Cannot open file"),
            std::string::npos);
  EXPECT_EQ(RunTool({"info", garbage}, 1),
            "jigsaw-pack: " + garbage + " is neither a game package nor a game with a package appended\n");
  EXPECT_EQ(RunTool({"jsw", "--json", garbage}, 1),
            "jigsaw-pack: " + garbage + ": not a saved game (it does not begin with AF 39 01 00)\n");
  // Asked about a file that is no high-score table, the tool says so instead of listing no scores.
  const std::string text = (folder / "notes.txt").string();
  TMemoryStream(std::vector<uint8_t>{'H', 'G', 'S', '\n'}).SaveToFile(text);
  for (const std::string& file : {garbage, text, std::string("/dev/zero")})
    EXPECT_EQ(RunTool({"scores", "--json", file}, 1),
              "jigsaw-pack: " + file + ": not a high-score table (it does not begin with \"HGSC\")\n");
  EXPECT_NE(RunTool({"scores", "--json", (folder / "missing.dat").string()}, 1).find("No such file"),
            std::string::npos);
}

// The player says only "Error" of a saved game it cannot open; asked about the file, the tool says why.
TEST(PackTool, SavedGamesThatCannotBeReadSayWhy) {
  const kvtest::TempDir dir;
  const std::filesystem::path folder = dir.path();
  const std::string whole = (folder / "whole.jsw").string();
  TJigsawFile saved;
  saved.Columns = saved.Rows = 1;
  saved.Resaving = true; // the states as given, not from a board
  saved.PieceStates = {TJigsawPieceState{}};
  saved.SaveToFile(whole);
  const std::string cut = (folder / "cut.jsw").string();
  std::vector<uint8_t> bytes = kvtest::ReadFileBytes(whole);
  ASSERT_EQ(bytes.size(), 75u);
  bytes.resize(50);
  kvtest::WriteFileBytes(cut, bytes);
  const std::string missing = (folder / "missing.jsw").string();
  const std::string folderName = folder.string();

  const std::pair<std::string, std::string> cases[] = {
      {missing, "jigsaw-pack: cannot open " + missing + ": No such file or directory\n"},
      {folderName, "jigsaw-pack: cannot open " + folderName + ": Is a directory\n"},
      {cut, "jigsaw-pack: " + cut +
                ": cut short at byte 50 (the states of 1 x 1 pieces, 40 bytes each, begin at "
                "byte 35)\n"},
  };
  for (const auto& [file, message] : cases) EXPECT_EQ(RunTool({"jsw", "--json", file}, 1), message);
  EXPECT_EQ(json::parse(RunTool({"jsw", "--json", whole}))["columns"], 1);
}
