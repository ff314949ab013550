// A piece as the board keeps it: its saved state (place, correct place, size, rotation, joined flag, edges)
// with the transient flags of play, apart from its images. Saving, loading, solving and the geometry touch
// the state alone; the coded images and the shadows made from them live in a sprite of their own, taken over
// from the piece builder without a copy.
#pragma once

#include "core/uKVTypes.h"
#include "data/uJigsawFile.h"
#include "jigsaw/uImageSpans.h"
#include "jigsaw/uKVJigsawTypes.h"

#include <array>
#include <cstdint>

namespace kv {

struct TKVBoardPiece : TJigsawPieceState {
  // Destination of an automatic move; -1 when none was given.
  int32_t TargetX = -1;
  int32_t TargetY = -1;
  bool Flying = false;
  bool Visible = true;
  bool Marked = false;
  bool Grabbed = false;
  bool Rotating = false;
  // Height of the top template, width of the right one, and so on; 0 for a straight side.
  uint8_t TopSize = 0;
  uint8_t RightSize = 0;
  uint8_t BottomSize = 0;
  uint8_t LeftSize = 0;
  // Centre of a running turn relative to (X, Y), and its angle in degrees (0 down to -90).
  double PivotX = 0;
  double PivotY = 0;
  double Angle = 0;
  int32_t Column = 0;
  int32_t Row = 0;

  // The saved state alone.
  TJigsawPieceState& State() { return *this; }
  const TJigsawPieceState& State() const { return *this; }
  // Size of the image of rotation r, and of the one shown now.
  int32_t RotatedWidth(int r) const { return (r & 1) ? Height : Width; }
  int32_t RotatedHeight(int r) const { return (r & 1) ? Width : Height; }
  int32_t DisplayWidth() const { return RotatedWidth(Rotation); }
  int32_t DisplayHeight() const { return RotatedHeight(Rotation); }
  // The shown image's rectangle on the board.
  TRect DisplayRect() const { return TRect{X, Y, X + DisplayWidth(), Y + DisplayHeight()}; }

  // Marked, Grabbed, Rotating, Flying and Angle.
  void ClearTransient() {
    Marked = false;
    Grabbed = false;
    Rotating = false;
    Flying = false;
    Angle = 0;
  }
};

// The images of one piece: coded per rotation (empty until needed when the build coded only the rotation on
// show), and the shadows, made when first drawn and kept. A coded image is not changed once it exists.
struct TKVPieceSprite {
  std::array<TCodedImage, 4> Images;
  std::array<TShadowImage, 4> Shadows;
  // Shadows the build left to be made (bit k = rotation k): made from the image alone, not in place.
  uint8_t OwedShadows = 0;
  // The images' rows as spans, read when a rotation is first drawn.
  std::array<TImageSpans, 4> Spans;
  // Words of one shadow image (Width x Height).
  int32_t ShadowPixels = 0;
};

// The state of a built piece and, separately, its images, which are moved out of it.
TKVBoardPiece BoardPieceState(const TPiece& piece);
TKVPieceSprite TakeSprite(TPiece& piece);

// The 40-byte saved form. Raises kv::Exception with TooManyEdgeShapesMessage for an edge shape beyond a byte.
TJigsawPieceState BoardPieceSaveState(const TKVBoardPiece& piece);

} // namespace kv
