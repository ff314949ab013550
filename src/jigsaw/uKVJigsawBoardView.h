// How the board shows its pieces: their images (sprites), drawing into the engine's buffer through the
// renderer, hit tests on the shown images, and the repaint of what changed.
//
// Repainting: after every change the board compares what each piece shows (place, rotation, how it is
// drawn, its place in the stacking order) with what it showed, and asks for a repaint of the old and the new
// areas of the pieces that changed, shadows and turn frames included, and of the rubber band.
#pragma once

#include "core/uKVTypes.h"
#include "gui/uKVAppControlLayer.h"
#include "jigsaw/uKVJigsawBoardModel.h"
#include "jigsaw/uKVJigsawBoardPiece.h"
#include "jigsaw/uKVJigsawBoardRender.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

class TKVJigsawBoardView {
public:
  // control: the board, whose area and run state decide what is shown.
  TKVJigsawBoardView(TKVAppControlLayerItem& control, TKVJigsawBoardModel& model)
      : FControl(control), FModel(model) {}

  // The project's bevel level: shadows are grey 30 + 5 x ShadowLevel.
  uint8_t ShadowLevel = 0;

  // The images of the model's pieces, in the same order; what was shown before is repainted.
  void LoadSprites(std::vector<TKVPieceSprite> sprites);
  void Clear();
  const TKVPieceSprite& Sprite(std::size_t p) const { return FSprites[p]; }
  // The coded image of the piece in rotation r, coded from the rotation it has when it was not yet needed.
  const TCodedImage& Image(std::size_t p, int r) {
    return TKVJigsawBoardRenderer::Image(FModel.Piece(p), FSprites[p], r);
  }

  // The topmost visible piece whose shown image has a non-zero pixel at the board point (x, y), or none.
  std::optional<std::size_t> HitTest(int32_t x, int32_t y);

  // Asks for a repaint of what changed since the last call; selection is the rubber band in drag order.
  void InvalidateChanges(const TRect& selection);
  // Draws the pieces into the engine's buffer.
  void Paint(const TRect& selection);

private:
  struct TLook {
    TRect Bounds; // board coordinates; empty when nothing is drawn
    int32_t X = 0, Y = 0;
    uint8_t Rotation = 0;
    uint8_t Layers = 0;
    double Angle = 0, PivotX = 0, PivotY = 0;
    bool operator==(const TLook&) const = default;
  };
  bool Showing() const;
  TLook LookOf(const TKVBoardPiece& piece, bool anyRotating, bool anyFlying) const;
  TRect BandRect(const TRect& selection) const;
  TPoint Origin() const;
  void InvalidateBoardRect(const TRect& rect);
  void ForgetLooks();

  TKVAppControlLayerItem& FControl;
  TKVJigsawBoardModel& FModel;
  TKVJigsawBoardRenderer FRenderer;
  std::vector<TKVPieceSprite> FSprites;
  // What was last asked to be shown.
  std::vector<TLook> FShown;
  TRect FShownBand;
};

} // namespace kv
