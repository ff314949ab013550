// The cut of the current picture: the picture scaled to whole cells of the chosen layout, that layout, one
// item per piece with its edge templates and origin, and the piece bitmaps the carver draws for them. The
// layouts and templates come from a piece library handed to each step.
#pragma once

#include "core/uRandomSource.h"
#include "data/uImageInfo.h"
#include "gui/uBitmap32.h"
#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

// One piece of the current cut.
struct TKVPuzzlePieceItem {
  int32_t X = 0; // origin of the piece bitmap within the scaled picture
  int32_t Y = 0;
  TBitmap32 Bitmap;
  // Template index per side; -1 = straight border side.
  int32_t TopEdge = -1;
  int32_t BottomEdge = -1;
  int32_t RightEdge = -1;
  int32_t LeftEdge = -1;
};

class TKVJigsawCut {
public:
  TBitmap32 Picture;
  // The picture's stored size when Picture holds it decoded at a reduced scale (a large JPEG decoded for a
  // game); 0 x 0 when Picture is the picture at its own size. The layout search and the piece counts go by
  // this size, so that the cut, its grid and its final size are those of the full picture; only the stretch
  // to the final size starts from the smaller Picture.
  TImageInfo SourceSize;
  TBitmap32 ScaledPicture;
  uint8_t Difficulty = 0;
  // Index into the library's layouts; -1 = none.
  int32_t LayoutIndex = -1;
  std::vector<TKVPuzzlePieceItem> PieceItems;
  // Told when one piece bitmap fails to build (the four template indices: top right bottom left); the cut
  // goes on with the next piece.
  std::function<void(const std::string&)> OnError;

  // Forgets the cut; the picture stays.
  void Clear();

  // Stores d and makes the preliminary choice: the last layout whose whole-cell count of the picture
  // (LayoutSize) lies in the difficulty's range (0..25 for difficulty 0), and Picture stretched to whole
  // cells of it.
  // A caller that runs ChooseLayout right after can leave the preliminary picture out (scalePicture false).
  void SetDifficulty(const TKVJigsawPieceLibrary& library, uint8_t d, bool scalePicture = true);
  // Runs band(i) for i = 0 .. count - 1, possibly several at once on other threads, and returns when all
  // have run.
  using TParallelBands = std::function<void(int32_t count, const std::function<void(int32_t band)>& band)>;
  // The layout search over the whole library for LayoutSize; fills LayoutIndex and ScaledPicture (Picture
  // stretched to the final size, or copied when it has that size already). A picture of size 0 x 0
  // leaves both unchanged. Raises kv::Exception when no layout qualifies at any size. With parallel, the
  // picture is scaled in bands of rows through it; the pixels are the same.
  void ChooseLayout(const TKVJigsawPieceLibrary& library, const TParallelBands& parallel = nullptr);

  // Rows x Cols piece items with random templates of the chosen layout, their origins, and with a carver
  // their bitmaps (a caller that builds each bitmap when it needs it passes none). Raises kv::Exception
  // when the layout lacks templates of an orientation the grid needs.
  void AssignEdges(const TKVJigsawPieceLibrary& library, const TKVJigsawCarver* carver,
                   TRandomSource& random);
  // The cut alone of a picture of this size at difficulty d: the layout search, then the edges drawn as
  // AssignEdges without a carver draws them, for the grid a game of that picture gets. No pixels are made:
  // Picture and ScaledPicture are left empty, and the final size stands in for ScaledPicture's. Raises
  // kv::Exception as ChooseLayout and AssignEdges do, and for an empty size.
  void CutForSize(const TKVJigsawPieceLibrary& library, TImageInfo size, uint8_t d, TRandomSource& random);

  // One piece bitmap of the chosen layout by template indices (-1 = straight side). Raises kv::Exception
  // when no layout is chosen or an index is outside the library.
  void BuildPieceBitmap(const TKVJigsawPieceLibrary& library, const TKVJigsawCarver& carver,
                        const TBitmap32& source, TBitmap32& dest, int32_t x, int32_t y, int32_t top,
                        int32_t bottom, int32_t right, int32_t left) const;

  // The size the layout is chosen for: SourceSize when it is set, else Picture's size (0 x 0 while Picture
  // is empty).
  TImageInfo LayoutSize() const;

  uint16_t Cols(const TKVJigsawPieceLibrary& library) const;
  uint16_t Rows(const TKVJigsawPieceLibrary& library) const;
  // ScaledPicture's size, or the final size of a cut made without pixels (CutForSize).
  uint16_t PictureWidth() const {
    return static_cast<uint16_t>(ScaledPicture.Empty() ? CutSize.Width : ScaledPicture.Width());
  }
  uint16_t PictureHeight() const {
    return static_cast<uint16_t>(ScaledPicture.Empty() ? CutSize.Height : ScaledPicture.Height());
  }
  // Cell size for placing pieces: PictureWidth div Cols, PictureHeight div Rows.
  int32_t CellWidth(const TKVJigsawPieceLibrary& library) const;
  int32_t CellHeight(const TKVJigsawPieceLibrary& library) const;
  TKVPuzzlePieceItem& Piece(int32_t i) { return PieceItems.at(static_cast<std::size_t>(i)); }
  const TKVPuzzlePieceItem& Piece(int32_t i) const { return PieceItems.at(static_cast<std::size_t>(i)); }

private:
  // ScaledPicture := a copy of Picture, or Picture stretched to width x height (with a linear resampler
  // when asked, else with Picture's own).
  void ScalePicture(uint16_t width, uint16_t height, bool copy, bool linear,
                    const TParallelBands& parallel = nullptr);
  // Rows x Cols items with their templates drawn and their origins; no bitmaps.
  void DrawEdges(const TKVJigsawPieceLibrary& library, int32_t cols, int32_t rows, TRandomSource& random);

  // The final size of the last CutForSize.
  TImageInfo CutSize;
};

} // namespace kv
