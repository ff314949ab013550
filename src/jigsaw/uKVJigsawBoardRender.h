// Drawing of board pieces: each draw blends one coded image onto the target straight from its runs through a
// painter, which carries the clip of the area being repainted; hit tests expand an image into a single
// scratch surface. Shadows are made from the image the first time a piece in hand needs one, and turn frames
// go through one affine transform into one reused canvas.
#pragma once

#include "gui/uBitmap32.h"
#include "gui/uKVPainter.h"
#include "gui/uTransforms.h"
#include "jigsaw/uKVJigsawBoardPiece.h"
#include "jigsaw/uRLE.h"

#include <cstdint>
#include <vector>

namespace kv {

// Where a shadow lies relative to its piece.
inline constexpr int32_t ShadowOffset = 4;

class TKVJigsawBoardRenderer {
public:
  TKVJigsawBoardRenderer();

  // Grey of the colour bits of shadows made on demand.
  uint8_t ShadowGrey = 30;

  // Board coordinates plus origin give target coordinates.
  // The shown image at (X, Y); a Marked piece at half opacity.
  void DrawPiece(const TKVPainter& painter, const TKVBoardPiece& piece, TKVPieceSprite& sprite,
                 TPoint origin);
  // The shadow at (X + 4, Y + 4), made and kept in the sprite if it has none for the shown rotation.
  void DrawShadow(const TKVPainter& painter, const TKVBoardPiece& piece, TKVPieceSprite& sprite,
                  TPoint origin);
  // A running turn: the image of the rotation before the turn, turned by Angle about the pivot.
  void DrawTurnFrame(const TKVPainter& painter, const TKVBoardPiece& piece, TKVPieceSprite& sprite,
                     TPoint origin);

  // The word at (x, y) of the shown image; 0 outside it or when the image is missing.
  TColor32 ImagePixel(const TKVBoardPiece& piece, TKVPieceSprite& sprite, int32_t x, int32_t y);

  // The coded image of rotation r: when the sprite lacks it, the image of another rotation turned and coded
  // (and kept). Empty when the sprite has no image at all.
  static const TCodedImage& Image(const TKVBoardPiece& piece, TKVPieceSprite& sprite, int r);

  // Board rectangles each kind of draw may change.
  static TRect ShadowRect(const TKVBoardPiece& piece);
  static TRect TurnFrameRect(const TKVBoardPiece& piece);

  // The scratch surfaces and the transformation of turn frames.
  TBitmap32 Scratch;
  TBitmap32 ShadowScratch;
  TBitmap32 TurnCanvas;
  TAffineTransformation Transformation;

private:
  // One clipped part of a literal run, aligned for blending.
  std::vector<TColor32> Run;
  // The expanded image an owed shadow is made from.
  std::vector<uint32_t> OwedShadowSource;
  // A coded image of w x h blended with its top-left at (left, top) straight from its spans, within the
  // painter's clip: the pixels of expanding it into Scratch and drawing that, without touching the pixels of
  // its zero runs or transparent pixels.
  void BlendSpans(const TKVPainter& painter, const TCodedImage& coded, const TImageSpans& spans, int32_t w,
                  int32_t h, int32_t left, int32_t top, int masterAlpha);
  // count words of a literal run (as stored, in bytes) blended into dest, each by its own alpha.
  static void BlendMixed(const uint8_t* source, TColor32* dest, int32_t count);
  // count words of a literal run (as stored, in bytes) combined into dest by mode and master alpha.
  void BlendRun(const uint8_t* source, TColor32* dest, int32_t count, TCombineMode mode, int masterAlpha);
  // Scratch := the image of rotation r; false when the sprite has none or its size is empty.
  bool Expand(const TKVBoardPiece& piece, TKVPieceSprite& sprite, int r);
};

} // namespace kv
