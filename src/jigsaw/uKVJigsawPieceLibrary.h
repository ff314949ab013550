// The piece library: the cell sizes (layouts) a picture can be cut into and the pre-drawn edge templates of
// each, its stream and file, the part of it a package carries, and the layout search that picks a cell size
// for a picture and a difficulty.
#pragma once

#include "gui/uBitmap32.h"

#include <array>
#include <cstdint>
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

// The four edge templates of one piece; none for a straight border side.
struct TKVPieceEdges {
  const TKVPieceTemplate* Top = nullptr;
  const TKVPieceTemplate* Bottom = nullptr;
  const TKVPieceTemplate* Right = nullptr;
  const TKVPieceTemplate* Left = nullptr;
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

class TKVJigsawPieceLibrary {
public:
  std::vector<TKVLayout> Layouts;
  std::vector<TKVPieceTemplate> Templates;
  // The picture size limit before the search.
  uint16_t MaxWidth = 1024;
  uint16_t MaxHeight = 768;

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
  TKVJigsawPieceLibrary PackageLibrary(const std::vector<std::pair<int32_t, int32_t>>& pictureSizes) const;
  // Forgets the layouts and templates.
  void Clear();

  // The layout search over these layouts for a picture of width x height at this difficulty. A size of
  // 0 x 0 chooses nothing (LayoutIndex -1). Raises kv::Exception when no layout qualifies at any size.
  static TLayoutChoice ChooseLayoutSize(const std::vector<TKVLayout>& layouts, int32_t width, int32_t height,
                                        uint8_t difficulty, uint16_t maxWidth = 1024,
                                        uint16_t maxHeight = 768);
  // The search over this library, within its size limit.
  TLayoutChoice ChooseLayoutSize(int32_t width, int32_t height, uint8_t difficulty) const {
    return ChooseLayoutSize(Layouts, width, height, difficulty, MaxWidth, MaxHeight);
  }

  // The first scale 0.25, 0.5, ... whose grid holds at most maximum pieces, or falls below minimum, or is
  // the smallest grid there is (3 x 3).
  static TScaleGrid FitScaleGrid(int32_t minimum, int32_t maximum, int32_t width, int32_t height,
                                 int32_t areaWidth, int32_t areaHeight);

  int32_t TemplateCount() const { return static_cast<int32_t>(Templates.size()); }
  const TKVPieceTemplate& Template(int32_t i) const { return Templates.at(static_cast<std::size_t>(i)); }
  const TKVLayout& Layout(int32_t i) const { return Layouts.at(static_cast<std::size_t>(i)); }
  // Layout i when there is one with a cell size; none otherwise.
  const TKVLayout* UsableLayout(int32_t i) const;
  // The templates of one piece by index (-1 = straight side). Raises kv::Exception for any other index
  // outside the library.
  TKVPieceEdges EdgesOf(int32_t top, int32_t bottom, int32_t right, int32_t left) const;
};

} // namespace kv
