// The piece collection of a game: its piece library, the cut of its current picture and the carver that
// draws the piece bitmaps, used together under the names the session and the tools know.
#pragma once

#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include <cstdint>
#include <utility>

namespace kv {

class TKVJigsawPieceCollection : public TKVJigsawPieceLibrary, public TKVJigsawCut, public TKVJigsawCarver {
public:
  TKVJigsawPieceCollection() = default;
  // A collection with this library and no cut yet.
  TKVJigsawPieceCollection(TKVJigsawPieceLibrary library) : TKVJigsawPieceLibrary(std::move(library)) {}

  TKVJigsawPieceLibrary& Library() { return *this; }
  const TKVJigsawPieceLibrary& Library() const { return *this; }
  TKVJigsawCut& Cut() { return *this; }
  const TKVJigsawCut& Cut() const { return *this; }
  TKVJigsawCarver& Carver() { return *this; }
  const TKVJigsawCarver& Carver() const { return *this; }

  // Forgets the library and the cut.
  void Clear() {
    TKVJigsawPieceLibrary::Clear();
    TKVJigsawCut::Clear();
  }

  void SetDifficulty(uint8_t d, bool scalePicture = true) {
    TKVJigsawCut::SetDifficulty(*this, d, scalePicture);
  }
  void ChooseLayout(const TParallelBands& parallel = nullptr) { TKVJigsawCut::ChooseLayout(*this, parallel); }
  // With buildBitmaps, the carver draws each item's bitmap.
  void AssignEdges(TRandomSource& random, bool buildBitmaps = true) {
    TKVJigsawCut::AssignEdges(*this, buildBitmaps ? this : nullptr, random);
  }
  void CutForSize(TImageInfo size, uint8_t d, TRandomSource& random) {
    TKVJigsawCut::CutForSize(*this, size, d, random);
  }
  void BuildPieceBitmap(const TBitmap32& source, TBitmap32& dest, int32_t x, int32_t y, int32_t top,
                        int32_t bottom, int32_t right, int32_t left) const {
    TKVJigsawCut::BuildPieceBitmap(*this, *this, source, dest, x, y, top, bottom, right, left);
  }

  uint16_t Cols() const { return TKVJigsawCut::Cols(*this); }
  uint16_t Rows() const { return TKVJigsawCut::Rows(*this); }
  int32_t CellWidth() const { return TKVJigsawCut::CellWidth(*this); }
  int32_t CellHeight() const { return TKVJigsawCut::CellHeight(*this); }
};

} // namespace kv
