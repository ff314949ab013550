// Games made from a large photograph: the picture is decoded at a reduced scale, and the game is the game of
// the full picture (grid, cells, piece places, saved games); no full-size copy stays behind.
#include "SessionFixture.h"

#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGUIForm.h"
#include "gui/uPictureConverters.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <memory>

namespace kvtest {
namespace {

constexpr int kLargeWidth = 3000;
constexpr int kLargeHeight = 2000;

// What the game made of the picture: grid, cells, cut size, the states of all pieces and the sizes of the
// ghost image and the preview window.
struct TGameShape {
  int32_t Cols = 0, Rows = 0, CellWidth = 0, CellHeight = 0, PictureWidth = 0, PictureHeight = 0;
  int32_t GhostWidth = 0, GhostHeight = 0, PreviewWidth = 0, PreviewHeight = 0;
  std::vector<kv::TJigsawPieceState> States;
  bool operator==(const TGameShape&) const = default;
};

class LargePictureTest : public SessionTest {
protected:
  static void SetUpTestSuite() {
    Large = std::make_unique<kv::TJigsawProject2>();
    BuildSessionPackage(*Large, kLargeWidth, kLargeHeight);
    Large->Options.ShowPreview = true;
  }
  static void TearDownTestSuite() { Large.reset(); }

  void SetUp() override {
    SessionTest::SetUp();
    App->SetProject(Large.get());
  }
  void TearDown() override {
    App->Reset();
    App->SetProject(&Project);
    SessionTest::TearDown();
  }

  // A new game of the large picture, decoded whole (the old way) or for the game.
  void Play(uint8_t difficulty, bool whole) {
    App->Reset();
    kv::TKVGameSetup setup;
    if (whole)
      kv::DecodePackagePicture(*Large->Pictures[0], setup.Picture);
    else
      App->LoadGamePicture(*Large->Pictures[0], difficulty, setup);
    setup.PictureName = Large->Pictures[0]->Name;
    setup.Difficulty = difficulty;
    App->Services().Random->Seed(99);
    App->Prepare(std::move(setup));
    App->Start();
  }

  TGameShape Shape() {
    TGameShape shape;
    kv::TKVJigsawBoard& board = Board();
    shape.Cols = board.Cols();
    shape.Rows = board.Rows();
    shape.CellWidth = board.CellWidth;
    shape.CellHeight = board.CellHeight;
    shape.PictureWidth = App->Cut().PictureWidth();
    shape.PictureHeight = App->Cut().PictureHeight();
    shape.GhostWidth = App->GhostImage()->Width();
    shape.GhostHeight = App->GhostImage()->Height();
    shape.PreviewWidth = App->PreviewWindow()->Width();
    shape.PreviewHeight = App->PreviewWindow()->Height();
    for (int32_t row = 0; row < board.Rows(); ++row)
      for (int32_t col = 0; col < board.Cols(); ++col) shape.States.push_back(board.State(row, col));
    return shape;
  }

  static std::unique_ptr<kv::TJigsawProject2> Large;
};
std::unique_ptr<kv::TJigsawProject2> LargePictureTest::Large;

TEST_F(LargePictureTest, AGameFromALargePhotoIsTheGameOfItsFullDecode) {
  for (uint8_t difficulty : {1, 5}) {
    SCOPED_TRACE(testing::Message() << "difficulty " << int{difficulty});
    Play(difficulty, true);
    ASSERT_EQ(App->Picture().Width(), kLargeWidth);
    const TGameShape whole = Shape();

    Play(difficulty, false);
    EXPECT_LT(App->Picture().Width(), kLargeWidth / 2);
    EXPECT_GE(App->Picture().Width(), App->Cut().PictureWidth());
    EXPECT_GE(App->Picture().Height(), App->Cut().PictureHeight());
    EXPECT_EQ(App->PictureSourceSize().Width, kLargeWidth);
    EXPECT_EQ(App->PictureSourceSize().Height, kLargeHeight);
    const TGameShape reduced = Shape();
    EXPECT_EQ(reduced.Cols, whole.Cols);
    EXPECT_EQ(reduced.Rows, whole.Rows);
    EXPECT_EQ(reduced.PictureWidth, whole.PictureWidth);
    EXPECT_TRUE(reduced == whole);
    EXPECT_GE(reduced.Cols * reduced.Rows, kv::DifficultyRanges[difficulty].Minimum);
  }
}

TEST_F(LargePictureTest, TheGameKeepsOnlyTheReducedPicture) {
  Play(4, false);
  // The cut's own copy is gone; what the session keeps is the reduced decode, however large the photo.
  EXPECT_TRUE(App->Cut().Picture.Empty());
  const int32_t width = App->Picture().Width(), height = App->Picture().Height();
  EXPECT_LT(static_cast<int64_t>(width) * height, int64_t{kLargeWidth} * kLargeHeight / 4);
  App->Reset();
  EXPECT_TRUE(App->Picture().Empty());
  EXPECT_EQ(App->PictureSourceSize().Width, 0);
  EXPECT_EQ(App->PictureSourceSize().Height, 0);
}

TEST_F(LargePictureTest, APictureLentToAFailedCutComesBack) {
  App->Reset();
  kv::TKVGameSetup setup;
  App->LoadGamePicture(*Large->Pictures[0], 2, setup);
  kv::TBitmap32 before;
  before.Assign(setup.Picture);
  // A saved game with a piece too few: the cut refuses it.
  kv::TJigsawFile saved;
  saved.Difficulty = 2;
  saved.PieceStates.resize(3);
  setup.SavedGame = &saved;
  EXPECT_THROW(App->Prepare(std::move(setup)), kv::Exception);
  EXPECT_TRUE(App->Cut().Picture.Empty());
  ASSERT_EQ(App->Picture().Width(), before.Width());
  ASSERT_EQ(App->Picture().Height(), before.Height());
  EXPECT_TRUE(std::equal(before.Bits(),
                         before.Bits() + static_cast<std::size_t>(before.Width()) * before.Height(),
                         App->Picture().Bits()));
}

TEST_F(LargePictureTest, SavedGamesOfALargePhotoAreRestored) {
  for (bool whole : {false, true}) {
    SCOPED_TRACE(whole ? "saved from a whole decode" : "saved from a reduced decode");
    Play(3, whole);
    Platform.Advance(5000);
    const TGameShape played = Shape();
    // Written and read back, as a file would be.
    kv::TJigsawFile file, saved;
    App->FillSavedGame(file, Large->Pictures[0]->ID, "/usr/games/jigsaw");
    kv::TMemoryStream stream;
    file.SaveToStream(stream);
    stream.SetPosition(0);
    saved.LoadFromStream(stream, kv::ReadPictureSize);
    EXPECT_TRUE(App->SavedGameFits(saved, {kLargeWidth, kLargeHeight}));

    Play(0, false);
    ASSERT_TRUE(App->RestoreSavedGame(saved, "large.jsw"));
    EXPECT_TRUE(Platform.Boxes.Shown.empty());
    EXPECT_EQ(App->PictureSourceSize().Width, kLargeWidth);
    EXPECT_LT(App->Picture().Width(), kLargeWidth / 2);
    EXPECT_EQ(App->Clock(), 5);
    const TGameShape restored = Shape();
    EXPECT_EQ(restored.Cols, played.Cols);
    EXPECT_EQ(restored.Rows, played.Rows);
    EXPECT_TRUE(restored.States == played.States);
  }
}

} // namespace
} // namespace kvtest
