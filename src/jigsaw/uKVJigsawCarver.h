// The carver draws piece bitmaps: it copies a piece's rectangle out of the scaled picture, lets each of its
// edge templates carve and shade one side, draws a bevel (or a one-colour outline) on straight sides and
// clears the corners between two templates.
#pragma once

#include "gui/uBitmap32.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include <array>
#include <cstdint>

namespace kv {

class TKVJigsawCarver {
public:
  // Outlines in one colour instead of bevels.
  bool OutlineOption = false;
  TColor OutlineColor = 0;
  // 0..7; weakens the bevel, 0 = strongest.
  uint8_t BevelLevel = 0;

  // One piece bitmap: the rectangle at (x, y) of source, sized for a cell of the layout plus half of each
  // template, carved and shaded by the piece's templates.
  void BuildPieceBitmap(const TBitmap32& source, TBitmap32& dest, int32_t x, int32_t y, const TKVLayout& cell,
                        const TKVPieceEdges& edges) const;
  // One mask of a template with its top-left at (x, y) of dest; side 0 top, 1 right (mask 0), 2 bottom,
  // 3 left (mask 1). Never writes outside dest and never reads past the mask: a mask that ends inside an
  // instruction ends the template there.
  void DrawEdgeTemplate(const TKVPieceTemplate& pieceTemplate, TBitmap32& dest, int32_t x, int32_t y,
                        int32_t side) const;
  // Alpha(v) = Round((1 - 0.1 * bevelLevel) * v) for v = 0..255.
  static const std::array<uint8_t, 256>& AlphaTable(uint8_t bevelLevel);

private:
  // Where the cell body lies in a piece bitmap, and how many bevel lines a straight side gets.
  struct TPieceFrame {
    int32_t LeftMargin = 0;
    int32_t TopMargin = 0;
    int32_t Right = 0;  // LeftMargin + cell width
    int32_t Bottom = 0; // TopMargin + cell height
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Lines = 0;
    int32_t Base = 0;
  };
  void DrawSides(TBitmap32& dest, const TPieceFrame& frame, const TKVPieceEdges& edges) const;
};

} // namespace kv
