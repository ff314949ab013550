#include "jigsaw/uJigsawSpriteCreator.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"
#include "support/TestSupport.h"

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uImageInfo.h"
#include "gui/uPictureConverters.h"

#include <gtest/gtest.h>

#include <string>

using kv::TJigsawProject2;

namespace {

class PackagePictureSteps : public ::testing::Test {
protected:
  void SetUp() override {
    kvtest::WriteFileBytes(dir.file("all.kvjc"), kvtest::GeneratedLibraryBytes());
    kv::InstallPackagePictureSteps(dir.file("all.kvjc"));
  }
  void TearDown() override {
    kv::TExecDataWriter::SetPictureSteps(nullptr);
    TJigsawProject2::SetPictureCutBuilder({});
  }

  // Two playable pictures and a wallpaper; the first asks for a prepared game at 25 - 50 pieces.
  static void AddPictures(TJigsawProject2& p) {
    p.AddPicture(0, 11).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 1, 85));
    p.AddPicture(0, 12).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(300, 900, 2, 85));
    p.AddPicture(1, 0x50000).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(200, 100, 3, 85));
    *p.FindPictureSettings(11) = {11, 25, 50, 1, 0};
    *p.FindPictureSettings(12) = {12, 101, 150, 0, 0};
  }

  static void Reload(TJigsawProject2& from, TJigsawProject2& to) {
    kv::TMemoryStream package;
    from.SaveToStream(package);
    package.SetPosition(0);
    to.LoadFromStream(&package);
  }

  kvtest::TempDir dir;
};

kv::TJigsawArrayData States(const kv::TMemoryStream& pieces) {
  kv::TJigsawArrayData states;
  const auto& bytes = pieces.Bytes();
  for (std::size_t at = 0; at + kv::TJigsawPieceState::Size <= bytes.size();
       at += kv::TJigsawPieceState::Size)
    states.push_back(kv::TJigsawPieceState::Decode(std::span<const uint8_t, kv::TJigsawPieceState::Size>(
        bytes.data() + at, kv::TJigsawPieceState::Size)));
  return states;
}

} // namespace

// A written package carries its thumbnail, the piece shapes its pictures need, prepared games a player can
// rebuild with those shapes, and the stored cuts a load completes.
TEST_F(PackagePictureSteps, PackageCarriesThumbnailShapesPreparedGamesAndCuts) {
  kv::TRandomSource random;
  TJigsawProject2 p;
  AddPictures(p);
  p.EmbedPreparedGame = 1;
  p.SkinMode = 15;
  p.BoardArea = {0, 0, 800, 600, 0};
  TJigsawProject2 loaded;
  Reload(p, loaded);

  // Thumbnail of the first picture, and the grid of its range in the playing area.
  const kv::TImageInfo thumb =
      kv::ReadImageSize(kv::ReadPictureSize, loaded.Thumbnail, kv::TImageKind::ikBMP);
  const kv::TThumbnailSize expected = kv::ThumbnailSize(640, 480);
  EXPECT_EQ(thumb.Width, expected.Width);
  EXPECT_EQ(thumb.Height, expected.Height);
  const kv::TScaleGrid grid = kv::TKVJigsawPieceLibrary::FitScaleGrid(25, 50, 640, 480, 800, 600);
  EXPECT_EQ(loaded.ThumbnailColumns, grid.Columns);
  EXPECT_EQ(loaded.ThumbnailRows, grid.Rows);

  // Piece shapes: the library part for both pictures.
  kv::TKVJigsawPieceLibrary shapes;
  kv::TMemoryStream shapeData(loaded.PieceShapeData.Bytes());
  shapes.LoadFromStream(shapeData);
  const kv::TKVJigsawPieceLibrary expectedShapes =
      kv::TEnginePictureSteps(dir.file("all.kvjc")).PackageLibrary(p);
  EXPECT_EQ(shapes.Layouts.size(), expectedShapes.Layouts.size());
  EXPECT_EQ(shapes.TemplateCount(), expectedShapes.TemplateCount());
  EXPECT_GT(shapes.TemplateCount(), 0);
  EXPECT_LE(shapes.TemplateCount(), kv::TKVJigsawPieceLibrary::MaxRecordedTemplates);

  // The prepared game of the first picture and the per-picture one rebuild in a game with those shapes.
  EXPECT_EQ(loaded.DifficultyIndex(11), 1);
  EXPECT_EQ(loaded.DifficultyIndex(12), 3);
  ASSERT_EQ(loaded.PreparedGames.size(), 1u);
  EXPECT_EQ(loaded.PreparedGames[0]->PictureID, 11u);
  struct Prepared {
    const char* name;
    int32_t columns, rows;
    const kv::TMemoryStream& pieces;
  };
  const Prepared prepared[] = {
      {"7859", loaded.PreparedGame.Columns, loaded.PreparedGame.Rows, loaded.PreparedGame.Pieces},
      {"7868", loaded.PreparedGames[0]->Columns, loaded.PreparedGames[0]->Rows,
       loaded.PreparedGames[0]->Pieces},
  };
  for (const Prepared& game : prepared) {
    const kv::TJigsawArrayData states = States(game.pieces);
    ASSERT_EQ(states.size(), static_cast<std::size_t>(game.columns * game.rows)) << game.name;
    EXPECT_GE(states.size(), 25u) << game.name; // difficulty 1 of picture 11
    kv::TKVJigsawPieceLibrary library;
    kv::TMemoryStream libraryData(loaded.PieceShapeData.Bytes());
    library.LoadFromStream(libraryData);
    kv::TKVJigsawCut cut;
    kv::DecodePackagePicture(*loaded.Pictures[0], cut.Picture);
    kv::TKVJigsawCarver carver;
    kv::TPieceBuildOptions options;
    options.Difficulty = loaded.DifficultyIndex(11);
    options.Saved = &states;
    kv::TPieces pieces;
    ASSERT_NO_THROW(kv::BuildPieces(library, cut, carver, options, pieces, random)) << game.name;
    ASSERT_EQ(static_cast<int32_t>(pieces.size()), game.rows) << game.name;
    for (const auto& row : pieces)
      for (const kv::TPiece& piece : row) {
        EXPECT_GE(piece.X, 0) << game.name;
        EXPECT_LT(piece.X, 800) << game.name;
      }
  }

  // Stored cuts: one per playable picture, one entry per piece at the picture's difficulty.
  ASSERT_EQ(loaded.PictureCuts.size(), 2u);
  EXPECT_EQ(loaded.PictureCuts[0].PictureID, 11u);
  EXPECT_EQ(loaded.PictureCuts[0].Pieces.size(), States(loaded.PreparedGame.Pieces).size());
  EXPECT_GE(loaded.PictureCuts[1].Pieces.size(), 100u); // 101 - 150 pieces
  for (const auto& cut : loaded.PictureCuts)
    for (const kv::TEdgeShapes& edges : cut.Pieces)
      for (uint8_t edge : edges) EXPECT_LE(edge, shapes.TemplateCount());

  // Written again, the cuts and the per-picture prepared game stay as they are.
  TJigsawProject2 again;
  Reload(loaded, again);
  ASSERT_EQ(again.PictureCuts.size(), 2u);
  EXPECT_EQ(again.PictureCuts[1].Pieces, loaded.PictureCuts[1].Pieces);
  EXPECT_EQ(again.PreparedGames[0]->Pieces.Bytes(), loaded.PreparedGames[0]->Pieces.Bytes());
  EXPECT_EQ(again.PieceShapeData.Bytes(), loaded.PieceShapeData.Bytes());
}

TEST_F(PackagePictureSteps, WithoutTheLibraryFileTheSaveFails) {
  kv::InstallPackagePictureSteps(dir.file("missing.kvjc"));
  TJigsawProject2 p;
  AddPictures(p);
  kv::TMemoryStream package;
  try {
    p.SaveToStream(package);
    ADD_FAILURE() << "saved without a piece library";
  } catch (const kv::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("missing.kvjc cannot be read"), std::string::npos) << e.what();
  }
}

// A package without pictures gets no thumbnail and an empty shape library; a picture that cannot be decoded
// stops the save with the decoder's error.
TEST_F(PackagePictureSteps, PackagesWithoutUsablePictures) {
  TJigsawProject2 empty;
  TJigsawProject2 loaded;
  Reload(empty, loaded);
  EXPECT_EQ(loaded.Thumbnail.Size(), 0);
  EXPECT_TRUE(loaded.PictureCuts.empty());

  TJigsawProject2 broken;
  broken.AddPicture(0, 3).Data = kv::TMemoryStream(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 1, 2});
  kv::TMemoryStream package;
  EXPECT_THROW(broken.SaveToStream(package), kv::EImageError);
}

// The stored cut is made from the picture's stored size alone, without its pixels, and gives the grid a game
// of the picture gets at its difficulty: as many pieces as a full build, straight sides exactly on the
// border, each inner edge shared by both neighbours and drawn from the chosen layout's templates of the
// right orientation. One batch serves every picture of a package.
TEST_F(PackagePictureSteps, StoredCutsHaveTheGridOfAFullBuild) {
  kv::TRandomSource random;
  struct Size {
    int32_t Width, Height;
    bool Bmp;
  };
  const Size sizes[] = {
      {640, 480, false}, {300, 900, false}, {1600, 1200, false}, {90, 60, false}, {500, 333, true}};
  // Piece-count ranges that give difficulties 0, 2, 4 and 5.
  const std::pair<int32_t, int32_t> ranges[] = {{0, 24}, {51, 100}, {151, 200}, {201, 400}};
  kv::TEnginePictureSteps steps(dir.file("all.kvjc"));
  TJigsawProject2 project;
  uint32_t id = 1;
  for (const Size& size : sizes)
    for (const auto& [minimum, maximum] : ranges) {
      project.AddPicture(0, id).Data = kv::TMemoryStream(
          size.Bmp ? kvtest::MakeBmp(size.Width, size.Height) : kvtest::MakeJpeg(size.Width, size.Height));
      *project.FindPictureSettings(id) = {id, minimum, maximum, 0, 0};
      ++id;
    }
  const kv::TKVJigsawPieceLibrary shapes = steps.PackageLibrary(project);
  shapes.SaveToStream(project.PieceShapeData);
  const kv::TPictureCutBuilder cut = steps.CutBuilder(project);

  for (const auto& picture : project.Pictures) {
    SCOPED_TRACE("picture " + std::to_string(picture->ID));
    const auto edges = cut(project, *picture, project.PictureCutScale(picture->ID));
    ASSERT_TRUE(edges.has_value());

    kv::TJigsawSpriteCreator creator(random);
    creator.Library = shapes;
    const uint8_t difficulty = project.DifficultyIndex(picture->ID);
    kv::TBitmap32 bitmap;
    const kv::TImageInfo stored = kv::DecodeGamePicture(*picture, shapes, difficulty, bitmap);
    creator.Build(bitmap, difficulty, stored);
    const int32_t cols = creator.Cols(), rows = creator.Rows();
    ASSERT_EQ(edges->size(), static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));

    const auto layout = static_cast<uint8_t>(creator.Cut.LayoutIndex);
    auto valid = [&](uint8_t edge, bool vertical) {
      if (edge == 0 || edge > shapes.Templates.size()) return false;
      const kv::TKVPieceTemplate& t = shapes.Templates[edge - 1u];
      return t.LayoutIndex == layout && t.Vertical == vertical;
    };
    for (int32_t row = 0; row < rows; ++row)
      for (int32_t col = 0; col < cols; ++col) {
        const std::size_t i = static_cast<std::size_t>(row) * cols + col;
        const auto [left, top, right, bottom] = (*edges)[i];
        EXPECT_TRUE(col == 0 ? left == 0 : valid(left, true)) << row << "," << col;
        EXPECT_TRUE(row == 0 ? top == 0 : valid(top, false)) << row << "," << col;
        EXPECT_TRUE(col == cols - 1 ? right == 0 : valid(right, true) && (*edges)[i + 1][0] == right)
            << row << "," << col;
        EXPECT_TRUE(row == rows - 1
                        ? bottom == 0
                        : valid(bottom, false) && (*edges)[i + static_cast<std::size_t>(cols)][1] == bottom)
            << row << "," << col;
      }
  }

  // Only the header is read: a picture whose pixels are cut off still gets its cut.
  std::vector<uint8_t> headerOnly = kvtest::MakeJpeg(640, 480);
  headerOnly.resize(headerOnly.size() / 3);
  kv::TBMPData& cutOff = project.AddPicture(0, 99);
  cutOff.Data = kv::TMemoryStream(headerOnly);
  EXPECT_TRUE(cut(project, cutOff, project.PictureCutScale(99)).has_value());
}
