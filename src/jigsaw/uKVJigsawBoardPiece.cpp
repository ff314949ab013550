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
  p.LeftEdge = piece.LeftEdge;
  p.TopEdge = piece.TopEdge;
  p.RightEdge = piece.RightEdge;
  p.BottomEdge = piece.BottomEdge;
  p.X = Place(piece.X);
  p.Y = Place(piece.Y);
  p.CorrectX = Place(piece.CorrectX);
  p.CorrectY = Place(piece.CorrectY);
  p.StartX = piece.StartX;
  p.StartY = piece.StartY;
  p.Width = Size(piece.Width);
  p.Height = Size(piece.Height);
  // A rotation read from a file selects one of four images: anything else is taken modulo 4.
  p.Rotation = piece.Rotation & 3;
  p.StartRotation = piece.StartRotation;
  p.Joined = piece.Joined != 0 ? 1 : 0;
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
  // The saved form has one home, next to the builder's piece; only the state fields are filled.
  TPiece state;
  state.LeftEdge = piece.LeftEdge;
  state.TopEdge = piece.TopEdge;
  state.RightEdge = piece.RightEdge;
  state.BottomEdge = piece.BottomEdge;
  state.X = piece.X;
  state.Y = piece.Y;
  state.CorrectX = piece.CorrectX;
  state.CorrectY = piece.CorrectY;
  state.StartX = piece.StartX;
  state.StartY = piece.StartY;
  state.Width = piece.Width;
  state.Height = piece.Height;
  state.Rotation = piece.Rotation;
  state.StartRotation = piece.StartRotation;
  state.Joined = piece.Joined;
  return PieceState(state);
}

} // namespace kv
