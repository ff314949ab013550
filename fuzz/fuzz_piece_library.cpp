// The piece library file (all.kvjc and the library a package carries). The input is the library's content;
// the harness compresses it so that every input reaches the parser. A library that loads has every
// template drawn at offsets in and around a small surface, and one piece bitmap built from its first
// layout.
#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"
#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

using namespace kv;

// Enough templates to reach every path of the mask interpreter while each run stays fast.
constexpr int32_t MaxDrawnTemplates = 64;

void DrawTemplates(const TKVJigsawPieceLibrary& library, const TKVJigsawCarver& carver) {
  TBitmap32 surface(48, 40);
  const std::pair<int32_t, int32_t> offsets[] = {{0, 0}, {-7, -5}, {20, 17}, {-300, 3}, {45, -260}};
  const int32_t count = std::min(library.TemplateCount(), MaxDrawnTemplates);
  for (int32_t i = 0; i < count; ++i)
    for (const auto& [x, y] : offsets)
      for (int32_t side = 0; side < 4; ++side)
        carver.DrawEdgeTemplate(library.Template(i), surface, x, y, side);
}

int32_t FirstTemplate(const TKVJigsawPieceLibrary& library, bool vertical) {
  for (int32_t i = 0; i < std::min(library.TemplateCount(), MaxDrawnTemplates); ++i)
    if (library.Template(i).Vertical == vertical) return i;
  return -1;
}

void BuildPiece(const TKVJigsawPieceLibrary& library, const TKVJigsawCarver& carver) {
  if (library.Layouts.empty()) return;
  TKVJigsawCut cut;
  cut.LayoutIndex = 0;
  cut.ScaledPicture.SetSize(24, 20);
  cut.ScaledPicture.Clear(0xFF336699u);
  const int32_t across = FirstTemplate(library, false), down = FirstTemplate(library, true);
  TBitmap32 piece;
  cut.BuildPieceBitmap(library, carver, cut.ScaledPicture, piece, 3, 2, across, across, down, down);
  cut.BuildPieceBitmap(library, carver, cut.ScaledPicture, piece, -5, 11, -1, across, -1, down);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  TMemoryStream content(std::vector<uint8_t>(data, data + size)), packed;
  TKVStreamFunc::CompressStream(content, packed);
  TMemoryStream stream;
  TKVStreamFunc::WriteInteger(static_cast<int32_t>(packed.Size()), stream);
  stream.WriteBytes(packed.Bytes());
  stream.SetPosition(0);

  TKVJigsawPieceLibrary library;
  try {
    library.LoadFromStream(stream);
  } catch (const Exception&) {
    return 0;
  }
  TKVJigsawCarver carver;
  carver.BevelLevel = static_cast<uint8_t>(size % 12);
  carver.OutlineOption = size % 2 == 1;
  carver.OutlineColor = 0x00204080;
  DrawTemplates(library, carver);
  try {
    BuildPiece(library, carver);
  } catch (const Exception&) {
    // A layout of zero cells is no layout: "No piece layout has been chosen."
  }
  return 0;
}
