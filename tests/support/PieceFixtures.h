// Piece-engine fixtures shared by the tests and the benchmarks: the generated piece library and pictures
// with photo-like detail.
#pragma once

#include "gui/uBitmap32.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include <cstdint>
#include <vector>

namespace kvtest {

// The library stream (int32 length + zlib data) the build draws as all.kvjc, made once per process.
const std::vector<uint8_t>& GeneratedLibraryBytes();

// The part of that library a package with one picture of this size carries, as a game loads it.
kv::TKVJigsawPieceLibrary GeneratedGameLibrary(int width, int height);

// Smooth colour waves over the whole picture: every piece gets different pixels.
kv::TBitmap32 PhotoLikeBitmap(int width, int height);

} // namespace kvtest
