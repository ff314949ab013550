#include "PlayRender.h"
#include "ToolRun.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include "data/uExecData.h"
#include "data/uKVStreamFunc.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// An 8-bit RGB PNG file read back: every chunk's CRC checked, the image data inflated and unfiltered.
struct DecodedPng {
  uint32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgb; // rows top first
  uint32_t Pixel(uint32_t x, uint32_t y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * Width + x) * 3;
    return 0xFF000000u | uint32_t{Rgb[at]} << 16 | uint32_t{Rgb[at + 1]} << 8 | Rgb[at + 2];
  }
};

DecodedPng DecodePng(const std::vector<uint8_t>& file) {
  const std::vector<uint8_t> signature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (file.size() < 8 || !std::equal(signature.begin(), signature.end(), file.begin()))
    throw std::runtime_error("not a PNG file");
  auto big = [&](std::size_t at) {
    if (at + 4 > file.size()) throw std::runtime_error("cut short");
    return uint32_t{file[at]} << 24 | uint32_t{file[at + 1]} << 16 | uint32_t{file[at + 2]} << 8 |
           file[at + 3];
  };
  DecodedPng png;
  std::vector<uint8_t> packed;
  bool ended = false;
  for (std::size_t at = 8; !ended;) {
    const uint32_t length = big(at);
    if (at + 12 + length > file.size()) throw std::runtime_error("chunk past the end");
    const std::string type(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                           file.begin() + static_cast<std::ptrdiff_t>(at + 8));
    const uint8_t* data = file.data() + at + 8;
    if (crc32(crc32(0, file.data() + at + 4, 4), data, length) != big(at + 8 + length))
      throw std::runtime_error("bad CRC in " + type);
    if (type == "IHDR") {
      png.Width = big(at + 8);
      png.Height = big(at + 12);
      if (data[8] != 8 || data[9] != 2) throw std::runtime_error("not 8-bit RGB");
    } else if (type == "IDAT") {
      packed.insert(packed.end(), data, data + length);
    } else if (type == "IEND") {
      ended = true;
    }
    at += 12 + length;
  }
  const std::size_t stride = 1 + 3 * static_cast<std::size_t>(png.Width);
  std::vector<uint8_t> raw(stride * png.Height);
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &size, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
      size != raw.size())
    throw std::runtime_error("image data does not inflate to the image size");
  for (uint32_t y = 0; y < png.Height; ++y) {
    if (raw[y * stride] != 0) throw std::runtime_error("a filter this reader does not know");
    png.Rgb.insert(png.Rgb.end(), raw.begin() + static_cast<std::ptrdiff_t>(y * stride + 1),
                   raw.begin() + static_cast<std::ptrdiff_t>((y + 1) * stride));
  }
  return png;
}

// A package file with one photograph of the given size as picture 11.
std::string WritePhotoPackage(const kvtest::TempDir& dir, int width, int height,
                              const std::function<void(kv::TJigsawProject2&)>& adjust = {}) {
  kv::TJigsawProject2 project;
  project.AddPicture(0, 11).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(width, height, 3, 85));
  if (adjust) adjust(project);
  kv::TMemoryStream package;
  project.SaveToStream(package);
  const std::string file = dir.file("game.kvj");
  package.SaveToFile(file);
  return file;
}

} // namespace

// The frame written is the frame the game shows: the same seed renders the same game in-process.
TEST(PlayTool, WritesTheFrameOfTheScatteredGame) {
  const kvtest::EngineSteps steps;
  kvtest::TempDir dir;
  const std::string file = WritePhotoPackage(dir, 480, 360);
  const kvtest::TToolRun run = kvtest::RunTool(
      {"play", file, "--picture", "11", "--difficulty", "1", "--seed", "5", "-o", dir.file("start.png")});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("scattered, in 1024 x 768 pixels"), std::string::npos) << run.Out;
  const int pieces = std::stoi(run.Out);
  EXPECT_GE(pieces, 25);
  EXPECT_LE(pieces, 50);

  const DecodedPng png = DecodePng(kvtest::ReadFileBytes(dir.file("start.png")));
  ASSERT_EQ(png.Width, 1024u);
  ASSERT_EQ(png.Height, 768u);
  kv::TJigsawProject2 project;
  project.LoadFromFile(file);
  kvtools::PlayOptions options;
  options.PictureId = 11;
  options.Difficulty = 1;
  options.Seed = 5;
  kvtools::PlayInfo info;
  const kv::TBitmap32 frame = kvtools::RenderPlayedGame(project, options, &info);
  EXPECT_EQ(info.Columns * info.Rows, pieces);
  EXPECT_FALSE(info.Won);
  ASSERT_EQ(frame.Width(), 1024);
  std::size_t differing = 0;
  for (uint32_t y = 0; y < png.Height; ++y)
    for (uint32_t x = 0; x < png.Width; ++x)
      differing += png.Pixel(x, y) != (frame.PixelAt(static_cast<int>(x), static_cast<int>(y)) | 0xFF000000u);
  EXPECT_EQ(differing, 0u);
}

TEST(PlayTool, SolvesTheGameWithTheAidsAndWritesJpegOrPngByName) {
  const kvtest::EngineSteps steps;
  kvtest::TempDir dir;
  const std::string file = WritePhotoPackage(dir, 480, 360);
  const kvtest::TToolRun solved = kvtest::RunTool(
      {"play", file, "--picture", "11", "--difficulty", "0", "--solve", "-o", dir.file("end.png")});
  ASSERT_EQ(solved.Status, 0) << solved.Err;
  EXPECT_NE(solved.Out.find("solved, in 1024 x 768 pixels"), std::string::npos) << solved.Out;
  const DecodedPng end = DecodePng(kvtest::ReadFileBytes(dir.file("end.png")));
  const kvtest::TToolRun scattered =
      kvtest::RunTool({"play", file, "--picture", "11", "--difficulty", "0", "-o", dir.file("start.png")});
  ASSERT_EQ(scattered.Status, 0) << scattered.Err;
  const DecodedPng start = DecodePng(kvtest::ReadFileBytes(dir.file("start.png")));
  EXPECT_NE(end.Rgb, start.Rgb);
  // Solved, the picture lies whole in the middle of the area: no background grey around its centre.
  for (uint32_t y = 384 - 100; y < 384 + 100; y += 10)
    for (uint32_t x = 512 - 150; x < 512 + 150; x += 10)
      ASSERT_NE(end.Pixel(x, y), 0xFF7F7F7Fu) << x << ", " << y;

  const kvtest::TToolRun jpeg =
      kvtest::RunTool({"play", file, "--picture", "11", "--difficulty", "0", "-o", dir.file("start.JPG")});
  ASSERT_EQ(jpeg.Status, 0) << jpeg.Err;
  const std::vector<uint8_t> jpg = kvtest::ReadFileBytes(dir.file("start.JPG"));
  ASSERT_GT(jpg.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(jpg.begin(), jpg.begin() + 3), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF}));
}

TEST(PlayTool, ThePackagesBoardAreaSetsTheFrameSize) {
  const kvtest::EngineSteps steps;
  kvtest::TempDir dir;
  struct Case {
    int16_t SkinMode;
    int32_t Width, Height;
    uint32_t ExpectedWidth, ExpectedHeight;
  };
  for (const Case& c :
       {Case{15, 800, 600, 800, 600}, Case{49, 640, 400, 640, 400}, Case{15, 0, 600, 1024, 768},
        Case{15, 100000, 600, 1024, 768}, Case{0, 800, 600, 1024, 768}}) {
    SCOPED_TRACE(std::to_string(c.SkinMode) + ": " + std::to_string(c.Width) + " x " +
                 std::to_string(c.Height));
    const std::string file = WritePhotoPackage(dir, 320, 240, [&](kv::TJigsawProject2& project) {
      project.SkinMode = c.SkinMode;
      project.BoardArea = {0, 0, c.Width, c.Height, 0};
    });
    const kvtest::TToolRun run =
        kvtest::RunTool({"play", file, "--picture", "11", "--difficulty", "0", "-o", dir.file("area.png")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const DecodedPng png = DecodePng(kvtest::ReadFileBytes(dir.file("area.png")));
    EXPECT_EQ(png.Width, c.ExpectedWidth);
    EXPECT_EQ(png.Height, c.ExpectedHeight);
  }
}

TEST(PlayTool, BadArgumentsWriteNothing) {
  const kvtest::EngineSteps steps;
  kvtest::TempDir dir;
  const std::string file = WritePhotoPackage(dir, 320, 240, [](kv::TJigsawProject2& project) {
    project.AddPicture(1, 0x20000).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(64, 48, 1, 80));
  });
  const std::string out = dir.file("out.png");
  struct Case {
    std::vector<std::string> Args;
    int Status;
    std::string Error; // part of the message
  };
  const std::vector<Case> cases{
      {{"play", file, "--picture", "99", "--difficulty", "1", "-o", out},
       1,
       "The package has no picture 99."},
      {{"play", file, "--picture", "131072", "--difficulty", "1", "-o", out},
       2,
       "--picture: not a picture id"},
      {{"play", file, "--picture", "0", "--difficulty", "1", "-o", out}, 2, "--picture: not a picture id"},
      {{"play", file, "--picture", "x", "--difficulty", "1", "-o", out}, 2, "--picture: not a picture id"},
      {{"play", file, "--picture", "11", "--difficulty", "6", "-o", out}, 2, "--difficulty: must be 0 to 5"},
      {{"play", file, "--picture", "11", "--difficulty", "-1", "-o", out}, 2, "--difficulty: must be 0 to 5"},
      {{"play", file, "--picture", "11", "--difficulty", "1", "--seed", "s", "-o", out}, 2, "--seed"},
      {{"play", file, "--picture", "11", "--difficulty", "1"}, 2, "usage:"},
      {{"play", file, "--difficulty", "1", "-o", out}, 2, "usage:"},
      {{"play", "--picture", "11", "--difficulty", "1", "-o", out}, 2, "usage:"},
      {{"play", file, "--picture", "11", "--difficulty", "1", "--solve", "--solve", "-o", out}, 2, "usage:"},
      {{"play", file, "--picture", "11", "--difficulty", "1", "--fast", "-o", out}, 2, "usage:"},
      {{"play", file, file, "--picture", "11", "--difficulty", "1", "-o", out}, 2, "usage:"},
      {{"play", dir.file("missing.kvj"), "--picture", "11", "--difficulty", "1", "-o", out},
       1,
       "missing.kvj"},
  };
  for (const Case& c : cases) {
    const kvtest::TToolRun run = kvtest::RunTool(c.Args);
    EXPECT_EQ(run.Status, c.Status) << c.Error;
    EXPECT_NE(run.Err.find(c.Error), std::string::npos) << run.Err;
    EXPECT_FALSE(kv::FileExists(out)) << c.Error;
  }
}

TEST(PlayTool, AFileThatIsNoPackageIsReportedWithItsName) {
  kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("noise.kvj"), std::vector<uint8_t>(100, 0x5A));
  const kvtest::TToolRun run = kvtest::RunTool(
      {"play", dir.file("noise.kvj"), "--picture", "1", "--difficulty", "0", "-o", dir.file("out.png")});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("noise.kvj"), std::string::npos) << run.Err;
  EXPECT_FALSE(kv::FileExists(dir.file("out.png")));
}
