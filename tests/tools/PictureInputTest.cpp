// Pictures a manifest names: what create stores, and what it refuses before it writes anything.
#include "ToolRun.h"
#include "data/uExecData.h"
#include "data/uImageInfo.h"
#include "gui/uJpegCodec.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using kvtest::RunTool;
using kvtest::TToolRun;

// A manifest of one picture, the given file, in a fresh folder.
class OnePicture {
public:
  explicit OnePicture(const std::vector<uint8_t>& picture, const std::string& name = "photo.jpg") {
    kvtest::WriteFileBytes(Dir.file(name), picture);
    kvtest::WriteFileBytes(Dir.file("game.json"),
                           Bytes(R"({"title": "T", "pictures": [{"file": ")" + name + R"("}]})"));
  }
  std::string Manifest() const { return Dir.file("game.json"); }
  std::string Output() const { return Dir.file("out.kvj"); }

private:
  static std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
  kvtest::TempDir Dir;
};

TEST(PictureInput, DamagedAndOversizedPicturesAreRefusedByTheirKey) {
  const auto photo = kvtest::MakePhotoJpeg(96, 64, 4, 90);
  auto cut = photo;
  cut.resize(photo.size() * 2 / 3);
  auto corrupt = photo;
  corrupt[corrupt.size() / 2] = 0xFF;
  corrupt[corrupt.size() / 2 + 1] = 0xD3;
  kvtest::TJpegCoding arithmetic;
  arithmetic.Arithmetic = true;
  const auto tiny = kvtest::EncodeJpegWith(std::vector<uint8_t>(16 * 16 * 3, 0x40), 16, 16, arithmetic);
  auto hugeBmp = kvtest::MakeBmp(4, 4);
  hugeBmp[18] = 0xE0, hugeBmp[19] = 0x2E, hugeBmp[22] = 0xC0, hugeBmp[23] = 0x2B; // 12000 x 11200
  const std::string key = "pictures[0].file: \"photo.jpg\" is not a readable JPEG picture: ";
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    std::string File;
    std::string Error;
  } cases[] = {
      {"cut short", cut, "photo.jpg", key + "the picture data is cut short"},
      {"corrupt data", corrupt, "photo.jpg", key + "Corrupt JPEG data"},
      {"too large", kvtest::WithFrameSize(photo, 12000, 11200), "photo.jpg",
       key + "the picture of 12000 x 11200 pixels is too large (at most 134217728 pixels)"},
      {"arithmetic coding declaring a huge frame", kvtest::WithFrameSize(tiny, 16000, 8000), "photo.jpg",
       key + "the picture claims 16000 x 8000 pixels, more than its"},
      {"a bitmap too large", hugeBmp, "photo.bmp",
       "pictures[0].file: \"photo.bmp\" is not a readable BMP picture: the picture of 12000 x 11200 pixels "
       "is "
       "too large (at most 134217728 pixels)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const OnePicture folder(c.Bytes, c.File);
    const TToolRun run = RunTool({"create", folder.Manifest(), "-o", folder.Output()});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err.rfind("jigsaw-pack: " + folder.Manifest() + ": " + c.Error, 0), 0u) << run.Err;
    EXPECT_FALSE(fs::exists(folder.Output()));
  }
}

// Quadrants red, green (top), blue, white (bottom).
std::vector<uint8_t> Quadrants(int width, int height) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool top = y < height / 2, left = x < width / 2;
      const uint8_t r = (top && left) || (!top && !left) ? 255 : 0;
      const uint8_t g = !left ? 255 : 0;
      const uint8_t b = !top ? 255 : 0;
      rgb.insert(rgb.end(), {r, g, b});
    }
  return rgb;
}

TEST(PictureInput, SidewaysPhotosAreStoredUpright) {
  kvtest::TJpegCoding coding;
  coding.Quality = 95;
  for (const int orientation : {1, 6, 8}) {
    SCOPED_TRACE(orientation);
    coding.ExifOrientation = orientation;
    const auto bytes = kvtest::EncodeJpegWith(Quadrants(120, 80), 120, 80, coding);
    const OnePicture folder(bytes);
    const TToolRun run = RunTool({"create", folder.Manifest(), "-o", folder.Output()});
    ASSERT_EQ(run.Status, 0) << run.Err;
    kv::TJigsawProject2 p;
    p.LoadFromFile(folder.Output());
    ASSERT_EQ(p.Pictures.size(), 1u);
    const std::vector<uint8_t>& stored = p.Pictures[0]->Data.Bytes();
    if (orientation == 1) {
      EXPECT_EQ(stored, bytes); // an upright photo is stored as it is
      continue;
    }
    const kv::TDecodedPicture upright = kv::DecodeJpeg(stored);
    ASSERT_EQ(upright.Width, 80);
    ASSERT_EQ(upright.Height, 120);
    // The red quadrant, top left as stored, is top right after a clockwise turn and bottom left after an
    // anticlockwise one.
    const uint32_t red = upright.Pixels[orientation == 6 ? 30 * 80 + 60 : 90 * 80 + 20];
    EXPECT_GT(red >> 16 & 0xFF, 200u);
    EXPECT_LT(red >> 8 & 0xFF, 60u);
    EXPECT_LT(red & 0xFF, 60u);
    EXPECT_EQ(kv::CheckJpeg(stored).Orientation, 1);
  }
}

} // namespace
