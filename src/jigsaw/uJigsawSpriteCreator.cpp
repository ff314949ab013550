#include "jigsaw/uJigsawSpriteCreator.h"

#include "jigsaw/uKVJigsawPieceBuilder.h"

#include <utility>

namespace kv {

void TJigsawSpriteCreator::Build(TBitmap32 picture, uint8_t difficulty, TImageInfo sourceSize) {
  Run(std::move(picture), difficulty, nullptr, sourceSize);
}

void TJigsawSpriteCreator::Build(TBitmap32 picture, const TJigsawFile& saved, TImageInfo sourceSize) {
  Run(std::move(picture), saved.Difficulty, &saved.PieceStates, sourceSize);
}

void TJigsawSpriteCreator::Run(TBitmap32 picture, uint8_t difficulty, const TJigsawArrayData* saved,
                               TImageInfo sourceSize) {
  FPieces.clear();
  Cut.Picture = std::move(picture);
  Cut.SourceSize = sourceSize;
  TPieceBuildOptions options;
  options.Difficulty = difficulty;
  options.BevelLevel = 0;
  options.ShadowGrey = 30;
  options.Composite = false;
  options.NoRotation = NoRotation;
  options.AreaWidth = AreaWidth;
  options.AreaHeight = AreaHeight;
  options.Saved = saved;
  options.OnPieceDone = OnProgress;
  BuildPieces(Library, Cut, Carver, options, FPieces, Random);
}

TJigsawArrayData TJigsawSpriteCreator::PieceStates() const {
  TJigsawArrayData states;
  for (const auto& row : FPieces)
    for (const TPiece& piece : row) states.push_back(PieceState(piece));
  return states;
}

} // namespace kv
