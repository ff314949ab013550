// Inputs the benchmarks share, made once per run.
#pragma once

#include "data/uKVStream.h"

#include <cstdint>

namespace kvbench {

// A photo-like JPEG of about the given size in bytes (noise over smooth gradients), deterministic per seed.
kv::TMemoryStream MakeJpeg(int width, int height, uint32_t seed, int quality);

} // namespace kvbench
