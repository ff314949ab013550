#pragma once
// Draws the piece library (all.kvjc): cell-size layouts and, for each layout, edge templates whose two masks
// carve, outline and shade the two pieces on either side of one edge. Deterministic for a given seed.

#include <array>
#include <cstdint>
#include <vector>

#include "data/uKVStream.h"

namespace kv {

struct TKVGenLayout {
  uint8_t CellWidth = 0;
  uint8_t CellHeight = 0;
};

struct TKVGenTemplate {
  uint16_t Width = 0;
  uint16_t Height = 0;
  bool Vertical = false;
  uint8_t LayoutIndex = 0;
  // Mask 0 serves the lower piece of a horizontal edge and the left piece of a vertical one; mask 1 the upper
  // and the right piece.
  std::array<std::vector<uint8_t>, 2> Masks;
};

struct TKVGenLibrary {
  std::vector<TKVGenLayout> Layouts;
  std::vector<TKVGenTemplate> Templates;
};

// What one pixel of a template does to one of the two pieces.
enum class TKVMaskOp : uint8_t { moClear, moFringe, moContour, moHighlight, moShadow, moKeep };

struct TKVMaskPixel {
  TKVMaskOp Op = TKVMaskOp::moClear;
  uint8_t Value = 0; // data byte of fringe, highlight and shadow
};

// Small deterministic generator (SplitMix64): the library must not depend on the standard library's
// distributions, whose output differs between implementations.
class TKVGenRandom {
public:
  explicit TKVGenRandom(uint64_t seed) : State(seed) {}
  uint64_t Next();
  double Uniform(); // [0, 1)
  double Range(double low, double high) { return low + (high - low) * Uniform(); }

private:
  uint64_t State;
};

class TKVPieceLibraryGenerator {
public:
  static constexpr int TemplatesPerOrientation = 16;

  // Cell sizes in library order. At the picture's own size the layout search lets the last in-range layout
  // win, so the favourites for a 1024 x 768 picture come last: 219 (about 20 pieces), 139 (35-42),
  // 97 x 102 (70-88), 76 (130), 65 x 67 (176) and 43 x 44 (about 400). The middle ones serve smaller
  // pictures; 78 and 152 come first, where they decide only when nothing later fits, and give difficulties
  // 4 and 1 a layout at the fallback size 1280 x 960.
  static std::vector<TKVGenLayout> DefaultLayouts();

  static TKVGenLibrary Generate(uint64_t seed);

  // One template's two masks as pixel operations, row by row (index y * Width + x); mask 0 then mask 1.
  static std::array<std::vector<TKVMaskPixel>, 2> DrawTemplatePixels(const TKVGenLayout& layout,
                                                                     bool vertical, TKVGenRandom& random,
                                                                     uint16_t& width, uint16_t& height);

  // Encodes one mask for the mask interpreter. A clear run of n clears n + 1 pixels, so runs are ended so
  // that the extra pixel is either cleared anyway, overwritten by a fringe pixel or never past the row.
  static std::vector<uint8_t> EncodeMask(const std::vector<TKVMaskPixel>& pixels, uint16_t width,
                                         uint16_t height);

  // int32 compressed length, then the zlib-compressed library content.
  static void SaveToStream(const TKVGenLibrary& library, TStream& stream);
};

} // namespace kv
