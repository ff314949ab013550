#include "jigsaw/uKVJigsawScene.h"

#include "data/uExecData.h"
#include "gui/uKVBitmapCollection.h"
#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUIImage.h"
#include "gui/uKVGUIShapeControl.h"
#include "gui/uKVGamesApplication.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include <algorithm>
#include <utility>

namespace kv {

namespace {

// Round(n / 10) of the exact value, ties to even; n >= 0.
int32_t RoundTenth(int64_t n) {
  const int64_t q = n / 10, r = n % 10;
  return static_cast<int32_t>((r > 5 || (r == 5 && (q & 1) != 0)) ? q + 1 : q);
}

// A wallpaper is opaque in nearly every package: it is then copied into each frame rather than blended onto
// the grey under it, which gives the same pixels. The picture is composed once here to find out.
void CopyWhenOpaque(TKVGUIAnimatedImage& image) {
  image.RebuildStretchedCopy();
  image.StretchedCopy().SetSize(0, 0);
  TBitmap32& picture = image.Picture();
  bool opaque = !picture.Empty();
  for (int32_t y = 0; y < picture.Height() && opaque; ++y)
    opaque = std::all_of(picture.ScanLine(y), picture.ScanLine(y) + picture.Width(),
                         [](TColor32 c) { return (c >> 24) == 0xFF; });
  picture.SetDrawMode(opaque ? dmOpaque : dmBlend);
}

// The ghost's source: the scaled picture in a plain colour (mode 1), in grey (2) or as it is.
void GhostSource(const TBitmap32& scaled, uint8_t mode, TColor color, TBitmap32& source) {
  switch (mode) {
  case 1:
    source.SetSize(scaled.Width(), scaled.Height());
    source.Clear(Color32(color));
    break;
  case 2:
    source.Assign(scaled);
    for (int32_t y = 0; y < source.Height(); ++y) {
      TColor32* line = source.ScanLine(y);
      for (int32_t x = 0; x < source.Width(); ++x) {
        const TColor32 c = line[x];
        if (c == 0) continue;
        const uint32_t g = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3;
        line[x] = 0xFF000000u | g << 16 | g << 8 | g;
      }
    }
    break;
  default:
    source.Assign(scaled);
    break;
  }
}

} // namespace

TKVJigsawScene::TKVJigsawScene(TKVCustomGamesApplication& application, TDestroyChild destroyChild)
    : FApplication(application), FDestroyChild(std::move(destroyChild)) {}

int32_t TKVJigsawScene::ClientWidth() const {
  TKVPaintBox* client = FApplication.ClientArea();
  return client ? client->ClientWidth() : 0;
}

int32_t TKVJigsawScene::ClientHeight() const {
  TKVPaintBox* client = FApplication.ClientArea();
  return client ? client->ClientHeight() : 0;
}

void TKVJigsawScene::SetGhostStyle(uint8_t mode, TColor color, uint8_t alpha) {
  FGhostMode = mode;
  FGhostColor = color;
  FGhostAlpha = alpha;
}

void TKVJigsawScene::BuildBackground() {
  if (FBackground) FDestroyChild(FBackground);
  if (FBackgroundShape) FDestroyChild(FBackgroundShape);
  FBackground = nullptr;
  FBackgroundShape = nullptr;
  const int32_t width = ClientWidth(), height = ClientHeight();
  const TJigsawProject2* project = FApplication.Project();
  TKVGUIWorkspace& root = *FApplication.Root();

  const int32_t index = project ? project->StartWallpaperIndex : -1;
  if (project && index >= 0 && static_cast<std::size_t>(index) < project->Pictures.size() &&
      IsWallpaperId(project->Pictures[static_cast<std::size_t>(index)]->ID)) {
    const TBMPData& wallpaper = *project->Pictures[static_cast<std::size_t>(index)];
    TKVGUIAnimatedImage& image = NewChild<TKVGUIAnimatedImage>(root);
    image.SendToBack();
    for (const TWallpaperEntry& entry : project->Wallpapers)
      if (entry.ID == wallpaper.ID) {
        if (entry.Param >= kvisTopLeft && entry.Param <= kvisStretch)
          image.SetDrawStyle(static_cast<uint8_t>(entry.Param));
        break;
      }
    try {
      TMemoryStream data(wallpaper.Data.Bytes());
      image.Frames().LoadFromStream(data, true);
      image.SetSize(width, height);
      image.SetPosition(0, 0);
      CopyWhenOpaque(image);
      FBackground = &image;
      return;
    } catch (const Exception&) {
      // A wallpaper that cannot be read leaves the plain grey behind the game.
      FDestroyChild(&image);
    }
  }
  TKVGUIShapeControl& shape = NewChild<TKVGUIShapeControl>(root);
  shape.SendToBack();
  shape.SetBackgroundColor(kvNoWallpaperColor);
  shape.SetSize(width, height);
  FBackgroundShape = &shape;
}

void TKVJigsawScene::Refit() {
  BuildBackground();
  const int32_t width = ClientWidth(), height = ClientHeight();
  if (FBoard) FBoard->SetSize(width, height);
  CentreGhost(width, height);
}

void TKVJigsawScene::FitToClientArea() {
  const int32_t width = ClientWidth(), height = ClientHeight();
  CentreGhost(width, height);
  if (FBackground) {
    if (FBackground->Width() != width || FBackground->Height() != height) {
      FBackground->SetSize(width, height);
      CopyWhenOpaque(*FBackground);
    }
  } else if (FBackgroundShape)
    FBackgroundShape->SetSize(width, height);
}

void TKVJigsawScene::CentreGhost(int32_t width, int32_t height) {
  if (FGhostImage && !FGhostImage->Picture().Empty())
    FGhostImage->SetPosition((width - FGhostImage->Width()) / 2, (height - FGhostImage->Height()) / 2);
}

void TKVJigsawScene::BuildGhostImage(const TKVJigsawPieceLibrary& library, const TKVJigsawCut& cut,
                                     const TKVJigsawCarver& carver) {
  if (!FGhostImage) FGhostImage = &NewChild<TKVGUIAnimatedImage>(*FApplication.Root());
  FGhostImage->BringToFront();
  const TBitmap32& scaled = cut.ScaledPicture;
  FGhostImage->SetSize(scaled.Width(), scaled.Height());
  TBitmap32& ghost = FGhostImage->Picture();
  ghost.Clear(0);
  FGhostImage->SetPictureAlpha(FGhostAlpha);

  TBitmap32 source;
  GhostSource(scaled, FGhostMode, FGhostColor, source);
  TBitmap32 piece;
  for (const TKVPuzzlePieceItem& item : cut.PieceItems) {
    cut.BuildPieceBitmap(library, carver, source, piece, item.X, item.Y, item.TopEdge, item.BottomEdge,
                         item.RightEdge, item.LeftEdge);
    piece.Draw(ghost, item.X, item.Y);
  }
  FGhostImage->Invalidate();
}

void TKVJigsawScene::CreateBoard(TPieces grid, const TKVJigsawPieceLibrary& library, const TKVJigsawCut& cut,
                                 const TKVBoardArea& area, bool fixedOrientation, uint8_t shadowLevel,
                                 TKVGUINotifyEvent onWin) {
  TJigsawProject2* project = FApplication.Project();
  const int32_t cols = cut.Cols(library), rows = cut.Rows(library);
  TKVJigsawBoard& board = NewChild<TKVJigsawBoard>(*FApplication.Root(), FApplication.Services());
  FBoard = &board;
  board.Project = project;
  board.LoadPieces(std::move(grid), cols, rows);
  board.SetSize(area.Right - area.Left, area.Bottom - area.Top);
  board.SetPosition(area.Left, area.Top);
  board.ShadowLevel = shadowLevel;
  board.CellWidth = cut.CellWidth(library);
  board.CellHeight = cut.CellHeight(library);
  board.NoRotation = fixedOrientation;
  board.DragMode = !(project && project->Options.NoDragMode);
  board.OnWin = std::move(onWin);
  board.OnStopAllSounds = [this] { FApplication.StopAllSounds(); };
  board.BringToFront();
}

void TKVJigsawScene::BuildPreviewWindow(const TBitmap32& picture) {
  const TJigsawProject2* project = FApplication.Project();
  const int32_t scale = project ? project->PreviewScale : 3;
  TKVGUIForm& window = NewChild<TKVGUIForm>(*FApplication.Root());
  window.Application = &FApplication;
  window.BringToFront();
  window.SetCaption("Preview");
  window.SetVisible(project && project->Options.ShowPreview);
  window.SetPosition(20, 20);
  window.SetSize(RoundTenth(static_cast<int64_t>(picture.Width()) * scale) + 8,
                 RoundTenth(static_cast<int64_t>(picture.Height()) * scale) + 36);
  TKVGUIImage& image = NewChild<TKVGUIImage>(window);
  image.Application = &FApplication;
  image.SetPosition(4, 31);
  image.SetSize(window.Width() - 8, window.Height() - 36);
  image.Picture().Assign(picture);
  image.SetUseStretchedCopy(true);
  FPreviewWindow = &window;
  FPreviewImage = &image;
}

bool TKVJigsawScene::ToggleGhost() {
  if (!FGhostImage) return false;
  FGhostImage->SetVisible(!FGhostImage->Visible());
  return FGhostImage->Visible();
}

void TKVJigsawScene::HidePreviewForPause() {
  if (FPreviewWindow && FPreviewWindow->Visible()) {
    FPreviewWindow->SetVisible(false);
    FPreviewWasVisible = true;
  }
}

void TKVJigsawScene::RestorePreviewAfterPause() {
  if (!FPreviewWasVisible) return;
  if (FPreviewWindow) FPreviewWindow->SetVisible(true);
  FPreviewWasVisible = false;
}

void TKVJigsawScene::Forget() {
  FBoard = nullptr;
  FBackground = nullptr;
  FBackgroundShape = nullptr;
  FGhostImage = nullptr;
  FPreviewWindow = nullptr;
  FPreviewImage = nullptr;
  FPreviewWasVisible = false;
}

} // namespace kv
