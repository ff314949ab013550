// What the package reader, the writer and the model operations are handed by whoever makes a model: the
// program builds one set at start (the codecs and the piece engine), tests and tools build their own.
#pragma once

#include "core/uRandomSource.h"
#include "data/uImageInfo.h"
#include "data/uKVStream.h"

#include <functional>
#include <memory>
#include <string>

namespace kv {

// Turns a complete BMP file into a complete JPEG file (the encoder's default quality); raises on bad data.
using TBmpToJpegConverter = std::function<TMemoryStream(const TMemoryStream& bmp)>;

struct TPackageServices {
  // New ids and the cuts a load completes draw from it; a set made without one gets a source of its own,
  // seeded from the clock.
  std::shared_ptr<TRandomSource> Random = std::make_shared<TRandomSource>();
  // Receives the errors a load goes on from (an unknown class in the published properties); without one
  // they are dropped.
  std::function<void(const std::string& message)> ErrorReporter;
  // Measures banners, extra pictures and old saved games' pictures; without one, measuring fails as a
  // picture that cannot be read.
  TImageSizeReader SizeReader;
  // Stores extra BMP pictures as the JPEG the package holds; without one, merging an extra BMP picture fails.
  TBmpToJpegConverter BmpToJpeg;
};

} // namespace kv
