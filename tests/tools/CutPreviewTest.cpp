#include "ToolRun.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include "data/uExecData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Width and height from a PNG file's header.
std::pair<uint32_t, uint32_t> PngSize(const std::vector<uint8_t>& png) {
  auto big = [&](std::size_t at) {
    return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 | png[at + 3];
  };
  return {big(16), big(20)};
}

// A package file with one photograph of the given size as picture 11.
std::string WritePhotoPackage(const kvtest::TempDir& dir, int width, int height) {
  kv::TJigsawProject2 project;
  project.AddPicture(0, 11).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(width, height, 3, 85));
  kv::TMemoryStream package;
  project.SaveToStream(package);
  const std::string file = dir.file("game.kvj");
  package.SaveToFile(file);
  return file;
}

} // namespace

// An author sees one cut of a picture: as many pieces as the game cuts at that difficulty, spread apart, or
// assembled with no gap; in PNG or JPEG by the file name.
TEST(CutPreview, RendersTheCutOfAPictureOfThePackage) {
  const kvtest::EngineSteps steps;
  kvtest::TempDir dir;
  const std::string file = WritePhotoPackage(dir, 640, 480);

  const kvtest::TToolRun spread =
      kvtest::RunTool({"cut", file, "--picture", "11", "--difficulty", "2", "-o", dir.file("cut.png")});
  ASSERT_EQ(spread.Status, 0) << spread.Err;
  EXPECT_NE(spread.Out.find("pieces ("), std::string::npos) << spread.Out;
  const int pieces = std::stoi(spread.Out);
  EXPECT_GE(pieces, 50);
  EXPECT_LE(pieces, 100);
  const std::vector<uint8_t> png = kvtest::ReadFileBytes(dir.file("cut.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 4), (std::vector<uint8_t>{0x89, 'P', 'N', 'G'}));
  const auto [spreadWidth, spreadHeight] = PngSize(png);
  EXPECT_GT(spreadWidth, 640u + 16u);

  const kvtest::TToolRun assembled = kvtest::RunTool(
      {"cut", file, "--picture", "11", "--difficulty", "2", "--gap", "0", "-o", dir.file("whole.png")});
  ASSERT_EQ(assembled.Status, 0) << assembled.Err;
  const auto [width, height] = PngSize(kvtest::ReadFileBytes(dir.file("whole.png")));
  EXPECT_LT(width, spreadWidth);
  EXPECT_NEAR(static_cast<double>(width), 640 + 32, 40); // the scaled picture and a margin of 16
  EXPECT_NEAR(static_cast<double>(height), 480 + 32, 40);

  const kvtest::TToolRun jpeg =
      kvtest::RunTool({"cut", file, "--picture", "11", "--difficulty", "0", "-o", dir.file("cut.jpg")});
  ASSERT_EQ(jpeg.Status, 0) << jpeg.Err;
  const std::vector<uint8_t> jpg = kvtest::ReadFileBytes(dir.file("cut.jpg"));
  ASSERT_GT(jpg.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(jpg.begin(), jpg.begin() + 3), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF}));
}

TEST(CutPreview, BadArgumentsWriteNothing) {
  const kvtest::EngineSteps steps;
  kvtest::TempDir dir;
  const std::string file = WritePhotoPackage(dir, 320, 240);
  const std::string out = dir.file("out.png");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string error; // part of the message
  };
  const Case cases[] = {
      {{"cut", file, "--picture", "99", "--difficulty", "1", "-o", out}, 1, "The package has no picture 99."},
      {{"cut", file, "--picture", "11", "--difficulty", "6", "-o", out}, 2, "--difficulty: must be 0 to 5"},
      {{"cut", file, "--picture", "x", "--difficulty", "1", "-o", out}, 2, "--picture: not a picture id"},
      {{"cut", file, "--picture", "11", "--difficulty", "1", "--gap", "-5", "-o", out}, 2, "--gap"},
      {{"cut", file, "--picture", "11", "--difficulty", "1"}, 2, "usage:"},
      {{"cut", dir.file("missing.kvj"), "--picture", "11", "--difficulty", "1", "-o", out}, 1, "missing.kvj"},
      // The most pieces, the widest gap: more than one surface holds, said in pixels.
      {{"cut", file, "--picture", "11", "--difficulty", "5", "--gap", "1000", "-o", out},
       1,
       "jigsaw-pack: " + file + ": a picture of "},
  };
  for (const Case& c : cases) {
    const kvtest::TToolRun run = kvtest::RunTool(c.args);
    EXPECT_EQ(run.Status, c.status) << c.error;
    EXPECT_NE(run.Err.find(c.error), std::string::npos) << run.Err;
    EXPECT_FALSE(kv::FileExists(out)) << c.error;
  }
}
