// The parts of the playing area behind and in front of the board: the ghost image and the preview window.
#include "SessionFixture.h"

#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUIImage.h"

#include <cmath>

namespace kvtest {
namespace {

int Channel(kv::TColor32 c, int shift) {
  return static_cast<int>((c >> shift) & 0xFF);
}

// The middle of the cell of a piece, in the scaled picture.
kv::TPoint CellMiddle(const kv::TKVJigsawBoard& board, int32_t row, int32_t col) {
  const kv::TKVBoardPiece& piece = board.Piece(row, col);
  return kv::TPoint{piece.CorrectX + piece.LeftSize / 2 + board.CellWidth / 2,
                    piece.CorrectY + piece.TopSize / 2 + board.CellHeight / 2};
}

TEST_F(SessionTest, TheGhostImageShowsThePiecesInItsThreeModes) {
  const kv::TColor ghostColour = 0x00336699; // blue 33, green 66, red 99
  struct Case {
    uint8_t Mode;
    const char* Name;
  };
  for (const Case& c : {Case{1, "plain colour"}, Case{2, "grey picture"}, Case{3, "picture"}}) {
    SCOPED_TRACE(c.Name);
    Project.GhostMode = c.Mode;
    Project.GhostColor = ghostColour;
    Project.GhostAlpha = 200;
    Project.Options.ShowGhost = true;
    StartGame(1);
    kv::TKVGUIAnimatedImage* ghost = App->GhostImage();
    ASSERT_NE(ghost, nullptr);
    EXPECT_EQ(App->Scene().GhostMode(), c.Mode);
    EXPECT_TRUE(ghost->Visible());
    const kv::TBitmap32& scaled = App->Cut().ScaledPicture;
    ASSERT_EQ(ghost->Picture().Width(), scaled.Width());
    ASSERT_EQ(ghost->Picture().Height(), scaled.Height());
    EXPECT_EQ(ghost->Picture().MasterAlpha(), 200);
    // Centred in the client area.
    EXPECT_EQ(ghost->Left(), (kClientWidth - scaled.Width()) / 2);
    EXPECT_EQ(ghost->Top(), (kClientHeight - scaled.Height()) / 2);
    for (int32_t row = 0; row < Board().Rows(); ++row)
      for (int32_t col = 0; col < Board().Cols(); ++col) {
        const kv::TPoint at = CellMiddle(Board(), row, col);
        const kv::TColor32 source = scaled.PixelAt(at.X, at.Y);
        const kv::TColor32 shown = ghost->Picture().PixelAt(at.X, at.Y);
        kv::TColor32 expected = source;
        if (c.Mode == 1) expected = kv::Color32(ghostColour);
        if (c.Mode == 2) {
          const uint32_t g = (Channel(source, 16) + Channel(source, 8) + Channel(source, 0)) / 3;
          expected = 0xFF000000u | g << 16 | g << 8 | g;
        }
        ASSERT_EQ(shown, expected) << row << ", " << col;
      }
  }
  // Mode 1 takes its colour from the package: $0099 red, $66 green, $33 blue.
  EXPECT_EQ(kv::Color32(ghostColour), 0xFF996633u);
}

TEST_F(SessionTest, TheGhostIsShownOverTheBackgroundAtItsAlpha) {
  Project.GhostMode = 1;
  Project.GhostColor = 0x00FFFFFF;
  Project.GhostAlpha = 128;
  Project.Options.ShowGhost = true;
  StartGame(0);
  Box->Frame();
  kv::TKVGUIAnimatedImage& ghost = *App->GhostImage();
  // The middle of a cell of the ghost that no piece covers.
  std::optional<kv::TPoint> free;
  for (int32_t p = 0; p < Board().PieceCount() && !free; ++p) {
    const kv::TPoint middle = CellMiddle(Board(), p / Board().Cols(), p % Board().Cols());
    const int32_t x = ghost.Left() + middle.X, y = ghost.Top() + middle.Y;
    if (!TopPieceAt(x, y) && Reachable(x, y)) free = kv::TPoint{x, y};
  }
  ASSERT_TRUE(free.has_value());
  // White at half opacity over the grey 7F: about BF.
  const kv::TColor32 shown = Box->Screen().PixelAt(free->X, free->Y);
  EXPECT_NEAR(Channel(shown, 16), 0xBF, 2);
  EXPECT_NEAR(Channel(shown, 8), 0xBF, 2);
  EXPECT_NEAR(Channel(shown, 0), 0xBF, 2);
  // Hidden, it shows the grey again.
  EXPECT_FALSE(App->ToggleGhost());
  Box->Frame();
  EXPECT_EQ(Box->Screen().PixelAt(free->X, free->Y), kv::kvNoWallpaperColor);
  EXPECT_TRUE(App->ToggleGhost());
}

TEST_F(SessionTest, TheGhostFollowsThePackagesOption) {
  Project.Options.ShowGhost = false;
  StartGame(0);
  ASSERT_NE(App->GhostImage(), nullptr);
  EXPECT_FALSE(App->GhostImage()->Visible());
  App->Reset();
  EXPECT_EQ(App->GhostImage(), nullptr);
  EXPECT_FALSE(App->ToggleGhost());
}

TEST_F(SessionTest, ThePreviewWindowShowsThePictureAtThePreviewScale) {
  struct Case {
    uint8_t Scale;
    bool Show;
  };
  for (const Case& c : {Case{3, true}, Case{5, true}, Case{7, true}, Case{1, false}}) {
    SCOPED_TRACE(c.Scale);
    Project.PreviewScale = c.Scale;
    Project.Options.ShowPreview = c.Show;
    StartGame(0);
    // The picture as the game plays it, at Scale tenths, rounded to nearest with halves to even (a scale of 5
    // on an odd size gives a half), plus the window's border (8) and caption (36).
    const int32_t pw = App->Cut().PictureWidth(), ph = App->Cut().PictureHeight();
    ASSERT_LT(pw, App->Picture().Width() + 1);
    const auto width = static_cast<int32_t>(std::nearbyint(pw * c.Scale / 10.0)) + 8;
    const auto height = static_cast<int32_t>(std::nearbyint(ph * c.Scale / 10.0)) + 36;
    kv::TKVGUIForm* window = App->PreviewWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Caption(), "Preview");
    EXPECT_EQ(window->Visible(), c.Show);
    EXPECT_EQ(window->GetBoundsRect(), (kv::TRect{20, 20, 20 + width, 20 + height}));
    EXPECT_EQ(window->Application, App.get());
    kv::TKVGUIImage* image = App->PreviewImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Parent(), window);
    EXPECT_EQ(image->GetBoundsRect(), (kv::TRect{4, 31, width - 4, height - 5}));
    EXPECT_TRUE(image->UseStretchedCopy());
    EXPECT_EQ(image->StretchedCopy().Width(), width - 8);
    EXPECT_EQ(image->StretchedCopy().Height(), height - 36);
    if (c.Show) {
      // The window is in front of everything: its picture is what the screen shows there.
      Box->Frame();
      const kv::TRect r = image->GetScreenRect();
      const int32_t x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
      EXPECT_EQ(Box->Screen().PixelAt(x, y), image->StretchedCopy().PixelAt(x - r.Left, y - r.Top));
      // The stretched picture looks like the picture.
      const kv::TColor32 middle =
          App->Picture().PixelAt(App->Picture().Width() / 2, App->Picture().Height() / 2);
      const kv::TColor32 shown = Box->Screen().PixelAt(x, y);
      for (int shift : {0, 8, 16}) EXPECT_NEAR(Channel(shown, shift), Channel(middle, shift), 24);
    }
  }
}

TEST_F(SessionTest, EscapeInThePreviewWindowAsksToClose) {
  int closes = 0;
  App->OnCloseRequest = [&] { ++closes; };
  StartGame(0);
  // A click on the window's caption gives it the focus, Escape then asks the owner to close.
  Box->MouseDown(kv::mbLeft, 0, 40, 25);
  Box->MouseUp(kv::mbLeft, 0, 40, 25);
  Box->KeyDown(27, 0);
  EXPECT_EQ(closes, 1);
}

TEST_F(SessionTest, ResetTakesTheGameAwayButKeepsTheDifficulty) {
  StartGame(1);
  App->SetCheatCount(3);
  App->Reset();
  EXPECT_EQ(App->State(), kv::TGameState::Stopped);
  EXPECT_TRUE(App->Stopped());
  EXPECT_EQ(App->Board(), nullptr);
  EXPECT_EQ(App->GhostImage(), nullptr);
  EXPECT_EQ(App->PreviewWindow(), nullptr);
  EXPECT_EQ(App->Background(), nullptr);
  EXPECT_EQ(App->BackgroundShape(), nullptr);
  EXPECT_EQ(App->Root()->ChildCount(), 0);
  EXPECT_TRUE(App->PieceGrid().empty());
  EXPECT_TRUE(App->Picture().Empty());
  EXPECT_EQ(App->BoardArea().Right, 0);
  EXPECT_EQ(App->CheatCount(), 0);
  EXPECT_EQ(App->Clock(), 0);
  EXPECT_EQ(App->SoundEvents().Count(), 0);
  EXPECT_EQ(App->Difficulty(), 1);
  Platform.Advance(3000);
  EXPECT_EQ(App->Clock(), 0);
  // The next game is built afresh.
  StartGame(0);
  EXPECT_EQ(App->Root()->ChildCount(), 4);
}

} // namespace
} // namespace kvtest
