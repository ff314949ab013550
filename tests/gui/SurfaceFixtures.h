// Surfaces for the bitmap tests.
#pragma once

#include "gui/uBitmap32.h"

namespace kvtest {

// A surface whose pixel (x, y) is a distinct opaque value.
inline kv::TBitmap32 Numbered(int w, int h) {
  kv::TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, 0xFF000000u | static_cast<kv::TColor32>(y * 256 + x));
  return b;
}

} // namespace kvtest
