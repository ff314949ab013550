// A surface as a PNG file (8-bit RGB, alpha dropped): lossless previews for authors.
#pragma once

#include "gui/uBitmap32.h"

#include <cstdint>
#include <vector>

namespace kvtools {

std::vector<uint8_t> EncodePng(const kv::TBitmap32& bitmap);

} // namespace kvtools
