#include "jigsaw/uKVJigsawBoardPiece.h"

#include <algorithm>
#include <utility>

namespace kv {

namespace {

// Places and sizes may come from a saved game of any origin: far beyond any playing area is as good as the
// limit, and sums of them stay within 32 bits.
constexpr int32_t PlaceLimit = 1 << 24;
constexpr int32_t SizeLimit = 1 << 15;

int32_t Place(int32_t v) {
  return std::clamp(v, -PlaceLimit, PlaceLimit);
}

int32_t Size(int32_t v) {
  return std::clamp(v, 0, SizeLimit);
}

} // namespace

TKVBoardPiece BoardPieceState(const TPiece& piece) {
  TKVBoardPiece p;
  p.State() = piece.State();
  p.X = Place(p.X);
  p.Y = Place(p.Y);
  p.CorrectX = Place(p.CorrectX);
  p.CorrectY = Place(p.CorrectY);
  p.Width = Size(p.Width);
  p.Height = Size(p.Height);
  // A rotation read from a file selects one of four images: anything else is taken modulo 4.
  p.Rotation &= 3;
  p.Joined = p.Joined != 0 ? 1 : 0;
  p.TopSize = piece.TopSize;
  p.RightSize = piece.RightSize;
  p.BottomSize = piece.BottomSize;
  p.LeftSize = piece.LeftSize;
  return p;
}

TKVPieceSprite TakeSprite(TPiece& piece) {
  TKVPieceSprite sprite;
  for (int k = 0; k < 4; ++k) {
    sprite.Images[k] = std::move(piece.Images[k]);
    piece.Images[k].clear();
    piece.ImageSizes[k] = 0;
    sprite.Shadows[k] = std::move(piece.Shadows[k]);
    piece.Shadows[k].clear();
  }
  sprite.ShadowPixels = piece.ShadowPixels;
  sprite.OwedShadows = piece.OwedShadows;
  return sprite;
}

TJigsawPieceState BoardPieceSaveState(const TKVBoardPiece& piece) {
  return piece.Recorded();
}

} // namespace kv
