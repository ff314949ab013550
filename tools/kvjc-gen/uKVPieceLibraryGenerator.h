#pragma once
// Draws the piece library (all.kvjc): cell-size layouts and, for each layout, edge templates whose two masks
// carve, outline and shade the two pieces on either side of one edge. Deterministic for a given seed.

#include <array>
#include <cstdint>
#include <vector>

#include "jigsaw/uKVJigsawPieceLibrary.h"

namespace kv {

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
  // A package shares its 254 templates out over the layouts it carries; with at most 10 layouts in the
  // library, each keeps at least 12 of each orientation however many picture sizes the package has. A
  // package of one picture size carries at most six layouts, so more than 12 are drawn for it to keep.
  static constexpr int TemplatesPerOrientation = 20;

  // Cell sizes in library order. The search accepts a scale other than 1.0 only while the area changes by
  // less than 65536 pixels (4 % for 1024 x 768), so pictures near that size need a layout in range at their
  // own size for every difficulty; the last one in range wins. The ladder from 198 down to 43 (steps of 1.15
  // to 1.4) gives that for pictures from 1024 x 768 down to about 640 x 480 at the common aspect ratios: a
  // 1024 x 768 picture gets 20, 35, 80, 130, 192 and 336 pieces. 49 comes last, so that difficulty 5 takes
  // cells of 49 wherever they make 200 pieces; 34 comes first, for small pictures at difficulty 5.
  static std::vector<TKVLayout> DefaultLayouts();

  // The layouts and their templates (masks only: the collection saves them as the library file).
  static TKVJigsawPieceLibrary Generate(uint64_t seed);

  // One template's two masks as pixel operations, row by row (index y * Width + x); mask 0 then mask 1. The
  // tab belongs to the upper (left) piece when tabToFirst is set, else to the lower (right) one.
  static std::array<std::vector<TKVMaskPixel>, 2> DrawTemplatePixels(const TKVLayout& layout, bool vertical,
                                                                     bool tabToFirst, TKVGenRandom& random,
                                                                     uint16_t& width, uint16_t& height);

  // Encodes one mask for the mask interpreter. A clear run of n clears n + 1 pixels, so runs are ended so
  // that the extra pixel is either cleared anyway, overwritten by a fringe pixel or never past the row.
  static std::vector<uint8_t> EncodeMask(const std::vector<TKVMaskPixel>& pixels, uint16_t width,
                                         uint16_t height);
};

} // namespace kv
