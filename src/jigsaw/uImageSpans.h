// A coded piece image read once into rows of spans over its literal pixels, so that drawing it again starts
// at the first row of the clip and copies long opaque stretches whole instead of reading every record and
// testing every pixel. The rest (a piece's soft rim with the few opaque or clear pixels between) is blended;
// long clear stretches are left out.
#pragma once

#include "jigsaw/uKVJigsawTypes.h"

#include <cstdint>
#include <vector>

namespace kv {

struct TImageSpan {
  int32_t X = 0;       // column of the first pixel
  int32_t Length = 0;  // pixels
  uint32_t Offset = 0; // byte offset of the first pixel in the coded image
  bool Opaque = false; // every pixel has alpha 255: a copy draws it
};

// Opaque stretches at least this long become spans of their own; clear ones this long are left out.
inline constexpr int32_t OpaqueSpanMinimum = 16;
inline constexpr int32_t ClearGapMinimum = 8;

struct TImageSpans {
  // Height + 1 entries once read: the spans of row y are Spans[RowStart[y]] up to Spans[RowStart[y + 1]].
  std::vector<uint32_t> RowStart;
  std::vector<TImageSpan> Spans;

  bool Read() const { return !RowStart.empty(); }
  std::size_t Bytes() const { return RowStart.size() * sizeof(uint32_t) + Spans.size() * sizeof(TImageSpan); }
};

// The spans of a coded image of w x h, read as TRLE::Decode reads it: pixels past a short image, zero runs
// and transparent pixels belong to no span; a record that claims more than there is ends the image.
TImageSpans ReadSpans(const TCodedImage& coded, int32_t w, int32_t h);

} // namespace kv
