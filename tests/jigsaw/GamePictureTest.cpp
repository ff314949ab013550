// A package picture decoded for a game: a large JPEG comes out at a reduced scale, and the cut made from it
// is the cut of the full picture.
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"
#include "support/TestSupport.h"

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uKVStandardFunc.h"
#include "gui/uJpegCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using kv::TKVJigsawCut;
using kv::TKVJigsawPieceLibrary;

namespace {

// Mean absolute difference per colour channel of the 16 x 16 block means of two surfaces of the same size:
// how alike they look, apart from the fine noise that sampling treats one way or another.
double BlockDifference(const kv::TBitmap32& a, const kv::TBitmap32& b) {
  constexpr int32_t block = 16;
  double sum = 0;
  int64_t blocks = 0;
  for (int32_t by = 0; by + block <= a.Height(); by += block)
    for (int32_t bx = 0; bx + block <= a.Width(); bx += block, ++blocks)
      for (int shift : {0, 8, 16}) {
        int64_t ma = 0, mb = 0;
        for (int32_t y = by; y < by + block; ++y)
          for (int32_t x = bx; x < bx + block; ++x) {
            ma += a.PixelAt(x, y) >> shift & 0xFF;
            mb += b.PixelAt(x, y) >> shift & 0xFF;
          }
        sum += std::abs(static_cast<double>(ma - mb)) / (block * block);
      }
  return sum / (3.0 * static_cast<double>(blocks));
}

// The cut of cut.Picture at a difficulty: layout, scaled picture and piece items, with a fixed seed.
void Cut(const TKVJigsawPieceLibrary& library, TKVJigsawCut& cut, uint8_t difficulty) {
  kv::TRandomSource random(41);
  cut.SetDifficulty(library, difficulty, false);
  cut.ChooseLayout(library);
  cut.AssignEdges(library, nullptr, random);
}

class GamePictureTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Large = new kv::TBMPData;
    Large->Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(3000, 2000, 12, 85));
    Library = new TKVJigsawPieceLibrary(kvtest::GeneratedGameLibrary(3000, 2000));
  }
  static void TearDownTestSuite() {
    delete Large;
    delete Library;
  }
  static kv::TBMPData* Large;
  static TKVJigsawPieceLibrary* Library;
};
kv::TBMPData* GamePictureTest::Large = nullptr;
TKVJigsawPieceLibrary* GamePictureTest::Library = nullptr;

} // namespace

TEST_F(GamePictureTest, ALargePhotoIsCutAsItsFullDecodeIs) {
  const TKVJigsawPieceLibrary& library = *Library;
  TKVJigsawCut full;
  kv::DecodePackagePicture(*Large, full.Picture);
  ASSERT_EQ(full.Picture.Width(), 3000);
  for (uint8_t difficulty = 0; difficulty < 6; ++difficulty) {
    SCOPED_TRACE(testing::Message() << "difficulty " << int{difficulty});
    Cut(library, full, difficulty);

    TKVJigsawCut scaled;
    const kv::TImageInfo stored = kv::DecodeGamePicture(*Large, library, difficulty, scaled.Picture);
    EXPECT_EQ(stored.Width, 3000);
    EXPECT_EQ(stored.Height, 2000);
    // The smallest eighth that still covers the final size, well below the full size.
    const kv::TLayoutChoice choice =
        TKVJigsawPieceLibrary::ChooseLayoutSize(library.Layouts, 3000, 2000, difficulty);
    const int eighths = kv::JpegScaleFor(3000, 2000, choice.FinalWidth, choice.FinalHeight);
    EXPECT_LT(eighths, kv::FullJpegScale);
    EXPECT_EQ(scaled.Picture.Width(), kv::JpegScaledSize(3000, eighths));
    EXPECT_EQ(scaled.Picture.Height(), kv::JpegScaledSize(2000, eighths));
    EXPECT_GE(scaled.Picture.Width(), choice.FinalWidth);
    EXPECT_GE(scaled.Picture.Height(), choice.FinalHeight);

    scaled.SourceSize = stored;
    Cut(library, scaled, difficulty);
    EXPECT_EQ(scaled.LayoutIndex, full.LayoutIndex);
    EXPECT_EQ(scaled.PictureWidth(), full.PictureWidth());
    EXPECT_EQ(scaled.PictureHeight(), full.PictureHeight());
    EXPECT_EQ(scaled.Cols(library), full.Cols(library));
    EXPECT_EQ(scaled.Rows(library), full.Rows(library));
    const int32_t count = scaled.Cols(library) * scaled.Rows(library);
    EXPECT_GE(count, kv::DifficultyRanges[difficulty].Minimum);
    EXPECT_LE(count, kv::DifficultyRanges[difficulty].Maximum);
    ASSERT_EQ(scaled.PieceItems.size(), full.PieceItems.size());
    for (std::size_t i = 0; i < full.PieceItems.size(); ++i) {
      const kv::TKVPuzzlePieceItem &a = scaled.PieceItems[i], &b = full.PieceItems[i];
      ASSERT_EQ(std::tie(a.X, a.Y, a.TopEdge, a.RightEdge, a.BottomEdge, a.LeftEdge),
                std::tie(b.X, b.Y, b.TopEdge, b.RightEdge, b.BottomEdge, b.LeftEdge))
          << "piece " << i;
    }
    // The pictures the pieces are cut from look alike.
    EXPECT_LT(BlockDifference(scaled.ScaledPicture, full.ScaledPicture), 2.0);
  }
}

TEST_F(GamePictureTest, PicturesNoLargerThanTheCutDecodeAsBefore) {
  struct Case {
    const char* Name;
    std::vector<uint8_t> Bytes;
  };
  const Case cases[] = {
      {"small JPEG", kvtest::MakePhotoJpeg(640, 480, 3, 85)},
      {"JPEG of 1024 x 768", kvtest::MakePhotoJpeg(1024, 768, 4, 85)},
      {"large BMP", kvtest::MakeBmp(1600, 1200)},
      {"top-down BMP", kvtest::MakeBmp(300, 200, true)},
  };
  for (const Case& c : cases)
    for (uint8_t difficulty : {0, 3, 5}) {
      SCOPED_TRACE(testing::Message() << c.Name << " at difficulty " << int{difficulty});
      kv::TBMPData picture;
      picture.Data = kv::TMemoryStream(c.Bytes);
      kv::TBitmap32 before, now;
      kv::DecodePackagePicture(picture, before);
      const kv::TImageInfo stored = kv::DecodeGamePicture(picture, *Library, difficulty, now);
      EXPECT_EQ(stored.Width, before.Width());
      EXPECT_EQ(stored.Height, before.Height());
      ASSERT_EQ(now.Width(), before.Width());
      ASSERT_EQ(now.Height(), before.Height());
      EXPECT_TRUE(std::equal(now.Bits(), now.Bits() + static_cast<std::size_t>(now.Width()) * now.Height(),
                             before.Bits()));
    }
}

TEST_F(GamePictureTest, WithoutAFittingLayoutThePictureDecodesWhole) {
  // The cut will report that no layout fits; until then the picture is what it always was.
  kv::TBMPData picture;
  picture.Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(1600, 1200, 6, 80));
  for (const std::vector<kv::TKVLayout>& layouts : {std::vector<kv::TKVLayout>{}, {{0, 0}}}) {
    TKVJigsawPieceLibrary library;
    library.Layouts = layouts;
    kv::TBitmap32 bitmap;
    const kv::TImageInfo stored = kv::DecodeGamePicture(picture, library, 5, bitmap);
    EXPECT_EQ(stored.Width, 1600);
    EXPECT_EQ(bitmap.Width(), 1600);
    EXPECT_EQ(bitmap.Height(), 1200);
  }
}

TEST_F(GamePictureTest, UnreadablePicturesRaiseImageErrorAndLeaveTheBitmap) {
  const auto good = kvtest::MakePhotoJpeg(64, 48, 2, 80);
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"JPEG header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
      {"BMP header cut short",
       [] {
         auto b = kvtest::MakeBmp(8, 8);
         b.resize(30);
         return b;
       }()},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    kv::TBMPData picture;
    picture.Data = kv::TMemoryStream(bytes);
    kv::TBitmap32 bitmap(5, 4);
    bitmap.Clear(0xFF123456u);
    EXPECT_THROW(kv::DecodeGamePicture(picture, *Library, 2, bitmap), kv::EImageError);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.PixelAt(1, 1), 0xFF123456u);
  }
}

TEST(GamePictureSizeTest, TheLayoutGoesByTheSourceSizeWhenOneIsSet) {
  TKVJigsawPieceLibrary library;
  library.Layouts = {{42, 42}};
  TKVJigsawCut cut;
  // Nothing to cut yet: no size, whatever the source says.
  cut.SourceSize = {2048, 1536};
  EXPECT_EQ(cut.LayoutSize().Width, 0);

  // 2048 x 1536 is reduced to 1008 x 756, 24 x 18 cells; a picture of half the size cuts the same.
  cut.Picture.SetSize(1024, 768);
  cut.Picture.Clear(0xFF336699u);
  EXPECT_EQ(cut.LayoutSize().Width, 2048);
  EXPECT_EQ(cut.LayoutSize().Height, 1536);
  cut.SetDifficulty(library, 5);
  EXPECT_EQ(cut.LayoutIndex, 0);
  cut.ChooseLayout(library);
  EXPECT_EQ(cut.PictureWidth(), 1008);
  EXPECT_EQ(cut.PictureHeight(), 756);
  EXPECT_EQ(cut.Cols(library), 24);
  EXPECT_EQ(cut.Rows(library), 18);
  EXPECT_EQ(cut.ScaledPicture.PixelAt(500, 400), 0xFF336699u);

  // Without one, the picture's own size: 1024 x 768 is searched as it is.
  cut.SourceSize = {};
  EXPECT_EQ(cut.LayoutSize().Width, 1024);
  cut.ChooseLayout(library);
  const kv::TLayoutChoice own = TKVJigsawPieceLibrary::ChooseLayoutSize(library.Layouts, 1024, 768, 5);
  EXPECT_EQ(cut.PictureWidth(), own.FinalWidth);
  EXPECT_EQ(cut.PictureHeight(), own.FinalHeight);

  // An exact fit at the picture's own size is copied as before; the same picture standing for a larger
  // one is cut as the larger one is.
  library.Layouts = {{32, 32}};
  cut.SourceSize = {};
  cut.Picture.SetSize(320, 320);
  for (int32_t y = 0; y < 320; ++y)
    for (int32_t x = 0; x < 320; ++x)
      cut.Picture.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 7 + y * 3));
  cut.SetDifficulty(library, 3, false);
  cut.ChooseLayout(library);
  EXPECT_EQ(cut.PictureWidth(), 320);
  EXPECT_EQ(cut.Cols(library), 10);
  EXPECT_EQ(cut.ScaledPicture.PixelAt(17, 9), cut.Picture.PixelAt(17, 9));
  cut.SourceSize = {448, 448};
  cut.ChooseLayout(library);
  const kv::TLayoutChoice larger = TKVJigsawPieceLibrary::ChooseLayoutSize(library.Layouts, 448, 448, 3);
  ASSERT_NE(larger.FinalWidth, 320);
  EXPECT_EQ(cut.PictureWidth(), larger.FinalWidth);
  EXPECT_EQ(cut.PictureHeight(), larger.FinalHeight);
  EXPECT_EQ(cut.Cols(library), larger.FinalWidth / 32);
}

TEST_F(GamePictureTest, TheWritersCutOfALargePhotoHasTheFullPicturesGrid) {
  kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("all.kvjc"), kvtest::GeneratedLibraryBytes());
  kv::TEnginePictureSteps steps(dir.file("all.kvjc"));
  kv::TJigsawProject2 project;
  kv::TBMPData& picture = project.AddPicture(0, 5);
  picture.Data = Large->Data;
  *project.FindPictureSettings(5) = {5, 101, 150, 0, 0};
  const TKVJigsawPieceLibrary shapes = steps.PackageLibrary(project);
  shapes.SaveToStream(project.PieceShapeData);
  const auto cut = steps.CutPicture(project, picture);
  ASSERT_TRUE(cut.has_value());
  const kv::TLayoutChoice choice =
      TKVJigsawPieceLibrary::ChooseLayoutSize(shapes.Layouts, 3000, 2000, project.DifficultyIndex(5));
  const kv::TKVLayout& layout = shapes.Layout(choice.LayoutIndex);
  EXPECT_EQ(cut->size(), static_cast<std::size_t>(choice.FinalWidth / layout.CellWidth) *
                             static_cast<std::size_t>(choice.FinalHeight / layout.CellHeight));
}
