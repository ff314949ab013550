// The piece builder of the package tools: cuts and scatters a picture with a piece library of its own, to
// store an arrangement in a package (prepared games, stored cuts).
#pragma once

#include "data/uJigsawFile.h"
#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "jigsaw/uKVJigsawTypes.h"

#include <cstdint>
#include <functional>

namespace kv {

class TJigsawSpriteCreator {
public:
  // A new arrangement draws its edges and scatter from random, which must outlive the creator.
  explicit TJigsawSpriteCreator(TRandomSource& random) : Random(random) {}

  // Must hold layouts and templates before a build.
  TKVJigsawPieceLibrary Library;
  // The cut of the last build's picture.
  TKVJigsawCut Cut;
  // Its outline settings are the caller's; a build draws with bevel level 0.
  TKVJigsawCarver Carver;
  int32_t AreaWidth = 1024;
  int32_t AreaHeight = 768;
  bool NoRotation = false;
  // Pieces done and the total, after each piece.
  std::function<void(int32_t done, int32_t total)> OnProgress;

  // A new arrangement of picture at a difficulty. sourceSize: the picture's stored size when it was decoded
  // at a reduced scale (DecodeGamePicture), so that the cut is the full picture's; 0 x 0 for its own size.
  // The picture is taken by value: a caller that moves it in keeps a large picture in memory once.
  void Build(TBitmap32 picture, uint8_t difficulty, TImageInfo sourceSize = {});
  // The pieces of a saved game: its difficulty and piece records, cut from picture.
  void Build(TBitmap32 picture, const TJigsawFile& saved, TImageInfo sourceSize = {});

  const TPieces& Pieces() const { return FPieces; }
  int32_t Cols() const { return FPieces.empty() ? 0 : static_cast<int32_t>(FPieces.front().size()); }
  int32_t Rows() const { return static_cast<int32_t>(FPieces.size()); }
  // The 40-byte records of the pieces, rows outer.
  TJigsawArrayData PieceStates() const;

private:
  void Run(TBitmap32 picture, uint8_t difficulty, const TJigsawArrayData* saved, TImageInfo sourceSize);
  TRandomSource& Random;
  TPieces FPieces;
};

} // namespace kv
