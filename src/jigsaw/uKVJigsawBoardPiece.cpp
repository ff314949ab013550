#include "jigsaw/uKVJigsawBoardPiece.h"

#include <utility>

namespace kv {

TKVBoardPiece BoardPieceState(const TPiece& piece) {
  TKVBoardPiece p;
  p.LeftEdge = piece.LeftEdge;
  p.TopEdge = piece.TopEdge;
  p.RightEdge = piece.RightEdge;
  p.BottomEdge = piece.BottomEdge;
  p.X = piece.X;
  p.Y = piece.Y;
  p.CorrectX = piece.CorrectX;
  p.CorrectY = piece.CorrectY;
  p.StartX = piece.StartX;
  p.StartY = piece.StartY;
  p.Width = piece.Width;
  p.Height = piece.Height;
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
