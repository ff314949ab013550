// The piece library (cell-size layouts and pre-drawn edge templates) and the cut of the current picture:
// the layout search, the edge choice and the piece bitmaps with their bevelled outlines.
#pragma once

#include "data/uImageInfo.h"
#include "gui/uBitmap32.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kv {

class TStream;

// One cell size of the library.
struct TKVLayout {
  uint8_t CellWidth = 0;
  uint8_t CellHeight = 0;
};

// One edge shape, drawn for the cell size of its layout. Masks[0] and Masks[1] are the two sides of the
// edge: the upper (left) piece draws mask 1 at its bottom (mask 0 at its right), the lower (right) piece
// mask 0 at its top (mask 1 at its left).
struct TKVPieceTemplate {
  uint16_t Width = 0;
  uint16_t Height = 0;
  bool Vertical = false; // between two columns; otherwise between two rows
  uint8_t LayoutIndex = 0;
  std::array<std::vector<uint8_t>, 2> Masks;
  // Draw mode dmBlend when read from a stream, but left without pixels: Width and Height carry the size that
  // margins and origins are computed from.
  TBitmap32 Bitmap;
};

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

// Piece-count range of a difficulty, both ends included.
struct TDifficultyRange {
  uint16_t Minimum = 0;
  uint16_t Maximum = 0;
};
inline constexpr std::array<TDifficultyRange, 6> DifficultyRanges{
    {{5, 25}, {25, 50}, {50, 100}, {100, 150}, {150, 200}, {200, 65535}}};

// Result of the layout search: the layout and the size the picture is scaled to.
struct TLayoutChoice {
  int32_t LayoutIndex = -1;
  uint16_t FinalWidth = 0;
  uint16_t FinalHeight = 0;
  uint16_t Best = 65535; // remaining size error; 0 = the picture is used at its own size
};

// Result of the scale grid fit used for thumbnails and prepared games.
struct TScaleGrid {
  float Scale = 0;
  int32_t Cell = 0;
  int32_t Tab = 0;
  int32_t Columns = 0;
  int32_t Rows = 0;
};

class TKVJigsawPieceCollection {
public:
  TBitmap32 Picture;
  // The picture's stored size when Picture holds it decoded at a reduced scale (a large JPEG decoded for a
  // game); 0 x 0 when Picture is the picture at its own size. The layout search and the piece counts go by
  // this size, so that the cut, its grid and its final size are those of the full picture; only the stretch
  // to the final size starts from the smaller Picture.
  TImageInfo SourceSize;
  TBitmap32 ScaledPicture;
  uint8_t Difficulty = 0;
  std::vector<TKVLayout> Layouts;
  int32_t LayoutIndex = -1;
  uint16_t MaxWidth = 1024;
  uint16_t MaxHeight = 768;
  std::vector<TKVPuzzlePieceItem> PieceItems;
  std::vector<TKVPieceTemplate> Templates;
  bool OutlineOption = false;
  TColor OutlineColor = 0;
  uint8_t BevelLevel = 0;
  // Told when one piece bitmap fails to build (the four template indices: top right bottom left); the cut
  // goes on with the next piece.
  std::function<void(const std::string&)> OnError;

  // Library stream: int32 N, then N bytes of zlib data holding the layouts and templates. Reading replaces
  // the layouts and appends the templates; a malformed stream raises EReadError and changes nothing.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  // Writes the layouts and templates in the layout above. A value the format cannot hold (more than 255
  // layouts or 65535 templates, a template larger than 255 pixels, a mask longer than 65535 bytes, a layout
  // index above 127) raises EWriteError.
  void SaveToStream(TStream& stream) const;
  void SaveToFile(const std::string& fileName) const;
  // The library a package carries for pictures of these sizes: the distinct layouts the search chooses for
  // them at the six difficulties, in library order, with their templates; and any further layout without
  // which a game's search over the package's layouts would end elsewhere. Games record edge shapes as bytes
  // (template index + 1), so at most MaxRecordedTemplates are kept: each layout keeps its first templates of
  // each orientation, MaxRecordedTemplates / 2 / (layout count) of them at most. Sizes no layout fits add
  // nothing. Raises kv::Exception when the sizes need more layouts than could each keep one template of
  // each orientation.
  static constexpr int32_t MaxRecordedTemplates = 254;
  TKVJigsawPieceCollection PackageLibrary(const std::vector<std::pair<int32_t, int32_t>>& pictureSizes) const;
  // Forgets the library and the cut.
  void Clear();

  // Stores d and makes the preliminary choice: the last layout whose whole-cell count of the picture
  // (LayoutSize) lies in the difficulty's range (0..25 for difficulty 0), and Picture stretched to whole
  // cells of it.
  // A caller that runs ChooseLayout right after can leave the preliminary picture out (scalePicture false).
  void SetDifficulty(uint8_t d, bool scalePicture = true);
  // Runs band(i) for i = 0 .. count - 1, possibly several at once on other threads, and returns when all
  // have run.
  using TParallelBands = std::function<void(int32_t count, const std::function<void(int32_t band)>& band)>;
  // The layout search over the whole library for LayoutSize; fills LayoutIndex and ScaledPicture (Picture
  // stretched to the final size, or copied when it has that size already). A picture of size 0 x 0
  // leaves both unchanged. Raises kv::Exception when no layout qualifies at any size. With parallel, the
  // picture is scaled in bands of rows through it; the pixels are the same.
  void ChooseLayout(const TParallelBands& parallel = nullptr);
  // The search alone, without pixels.
  static TLayoutChoice ChooseLayoutSize(const std::vector<TKVLayout>& layouts, int32_t width, int32_t height,
                                        uint8_t difficulty, uint16_t maxWidth = 1024,
                                        uint16_t maxHeight = 768);

  // Rows x Cols piece items with random templates of the chosen layout, their origins and bitmaps (a caller
  // that builds each bitmap when it needs it can leave them out). Raises kv::Exception when the layout lacks
  // templates of an orientation the grid needs.
  void AssignEdges(bool buildBitmaps = true);
  // The cut alone of a picture of this size at difficulty d: the layout search, then the edges drawn as
  // AssignEdges(false) draws them, for the grid a game of that picture gets. No pixels are made: Picture
  // and ScaledPicture are left empty, and the final size stands in for ScaledPicture's. Raises kv::Exception
  // as ChooseLayout and AssignEdges do, and for an empty size.
  void CutForSize(TImageInfo size, uint8_t d);

  // One piece bitmap: the rectangle at (x, y) of source carved and shaded by its four templates (-1 =
  // straight side, drawn as a bevel or an outline).
  void BuildPieceBitmap(const TBitmap32& source, TBitmap32& dest, int32_t x, int32_t y, int32_t top,
                        int32_t bottom, int32_t right, int32_t left) const;
  // One mask of a template with its top-left at (x, y) of dest; side 0 top, 1 right (mask 0), 2 bottom,
  // 3 left (mask 1). Never writes outside dest and never reads past the mask: a mask that ends inside an
  // instruction ends the template there.
  void DrawEdgeTemplate(const TKVPieceTemplate& pieceTemplate, TBitmap32& dest, int32_t x, int32_t y,
                        int32_t side) const;
  // Alpha(v) = Round((1 - 0.1 * bevelLevel) * v) for v = 0..255.
  static const std::array<uint8_t, 256>& AlphaTable(uint8_t bevelLevel);

  // The first scale 0.25, 0.5, ... whose grid holds at most maximum pieces, or falls below minimum, or is
  // the smallest grid there is (3 x 3).
  static TScaleGrid FitScaleGrid(int32_t minimum, int32_t maximum, int32_t width, int32_t height,
                                 int32_t areaWidth, int32_t areaHeight);

  // The size the layout is chosen for: SourceSize when it is set, else Picture's size (0 x 0 while Picture
  // is empty).
  TImageInfo LayoutSize() const;

  uint16_t Cols() const;
  uint16_t Rows() const;
  // ScaledPicture's size, or the final size of a cut made without pixels (CutForSize).
  uint16_t PictureWidth() const {
    return static_cast<uint16_t>(ScaledPicture.Empty() ? CutSize.Width : ScaledPicture.Width());
  }
  uint16_t PictureHeight() const {
    return static_cast<uint16_t>(ScaledPicture.Empty() ? CutSize.Height : ScaledPicture.Height());
  }
  // Cell size for placing pieces: PictureWidth div Cols, PictureHeight div Rows.
  int32_t CellWidth() const;
  int32_t CellHeight() const;
  int32_t TemplateCount() const { return static_cast<int32_t>(Templates.size()); }
  const TKVPieceTemplate& Template(int32_t i) const { return Templates.at(static_cast<std::size_t>(i)); }
  TKVPuzzlePieceItem& Piece(int32_t i) { return PieceItems.at(static_cast<std::size_t>(i)); }
  const TKVPuzzlePieceItem& Piece(int32_t i) const { return PieceItems.at(static_cast<std::size_t>(i)); }
  const TKVLayout& Layout(int32_t i) const { return Layouts.at(static_cast<std::size_t>(i)); }

private:
  // ScaledPicture := a copy of Picture, or Picture stretched to width x height (with a linear resampler
  // when asked, else with Picture's own).
  void ScalePicture(uint16_t width, uint16_t height, bool copy, bool linear,
                    const TParallelBands& parallel = nullptr);
  const TKVLayout* ChosenLayout() const;

  // The final size of the last CutForSize.
  TImageInfo CutSize;
};

} // namespace kv
