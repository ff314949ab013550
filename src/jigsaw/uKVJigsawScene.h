// The playing area of a game, from the back: the wallpaper (or plain grey), the ghost image that shows where
// the pieces belong, the board, and the preview window in front. The scene builds these as children of the
// session's root and keeps them in that order; it refits them to the client area after a skin change.
#pragma once

#include "gui/uBitmap32.h"
#include "gui/uKVGUIControl.h"
#include "jigsaw/uKVJigsawTypes.h"

#include <cstdint>
#include <functional>

namespace kv {

class TKVCustomGamesApplication;
class TKVGUIAnimatedImage;
class TKVGUIForm;
class TKVGUIImage;
class TKVGUIShapeControl;
class TKVJigsawBoard;
class TKVJigsawCarver;
class TKVJigsawCut;
class TKVJigsawPieceLibrary;

// Colour of the playing area when the package has no wallpaper.
inline constexpr TColor32 kvNoWallpaperColor = 0xFF7F7F7Fu;

// The board's area in client coordinates.
struct TKVBoardArea {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

class TKVJigsawScene {
public:
  // The session removes root children itself: input may be routed through the tree while they go.
  using TDestroyChild = std::function<void(TKVGUIObject* child)>;

  TKVJigsawScene(TKVCustomGamesApplication& application, TDestroyChild destroyChild);
  TKVJigsawScene(const TKVJigsawScene&) = delete;
  TKVJigsawScene& operator=(const TKVJigsawScene&) = delete;

  // ---- the parts; none until built
  TKVJigsawBoard* Board() const { return FBoard; }
  TKVGUIAnimatedImage* Background() const { return FBackground; }
  TKVGUIShapeControl* BackgroundShape() const { return FBackgroundShape; }
  TKVGUIAnimatedImage* GhostImage() const { return FGhostImage; }
  TKVGUIForm* PreviewWindow() const { return FPreviewWindow; }
  TKVGUIImage* PreviewImage() const { return FPreviewImage; }

  // ---- the ghost image's settings, taken from the package
  // 1 a plain colour, 2 the picture in grey, 3 the picture itself.
  uint8_t GhostMode() const { return FGhostMode; }
  TColor GhostColor() const { return FGhostColor; }
  uint8_t GhostAlpha() const { return FGhostAlpha; }
  void SetGhostStyle(uint8_t mode, TColor color, uint8_t alpha);

  // ---- building a game
  // The package's wallpaper sized to the client area, or the plain grey when it has none or it cannot be
  // read.
  void BuildBackground();
  // The pieces of the cut drawn out of the scaled picture (or its grey or a plain colour) at their places.
  void BuildGhostImage(const TKVJigsawPieceLibrary& library, const TKVJigsawCut& cut,
                       const TKVJigsawCarver& carver);
  // The board over the area with the pieces of the grid, laid out in the cut's cells; onWin becomes its
  // OnWin.
  void CreateBoard(TPieces grid, const TKVJigsawPieceLibrary& library, const TKVJigsawCut& cut,
                   const TKVBoardArea& area, bool fixedOrientation, uint8_t shadowLevel,
                   TKVGUINotifyEvent onWin);
  // The "Preview" window in front of everything, showing picture.
  void BuildPreviewWindow(const TBitmap32& picture);

  // At the start: the ghost image centred in the client area, the background sized to it.
  void FitToClientArea();
  // After the skin changed: the background built again, the board sized to the client area and the ghost
  // image centred in it.
  void Refit();
  // Flips the ghost image's visibility and returns it; false when there is none.
  bool ToggleGhost();

  // A pause hides the preview window; the resume brings it back when it was visible.
  void HidePreviewForPause();
  void RestorePreviewAfterPause();
  // The preview window was hidden by a pause and comes back on resume.
  bool PreviewWasVisible() const { return FPreviewWasVisible; }

  // The parts are gone with the root's children: the scene lets go of them.
  void Forget();

private:
  int32_t ClientWidth() const;
  int32_t ClientHeight() const;
  void CentreGhost(int32_t width, int32_t height);

  TKVCustomGamesApplication& FApplication;
  TDestroyChild FDestroyChild;
  TKVJigsawBoard* FBoard = nullptr;
  TKVGUIAnimatedImage* FBackground = nullptr;
  TKVGUIShapeControl* FBackgroundShape = nullptr;
  TKVGUIAnimatedImage* FGhostImage = nullptr;
  TKVGUIForm* FPreviewWindow = nullptr;
  TKVGUIImage* FPreviewImage = nullptr;
  uint8_t FGhostMode = 1;
  TColor FGhostColor = 0x3F3F3F;
  uint8_t FGhostAlpha = 255;
  bool FPreviewWasVisible = false;
};

} // namespace kv
