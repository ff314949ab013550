// What the package reader, the writer and the model operations are handed by whoever makes a model: the
// program builds one set at start (the codecs and the piece engine), tests and tools build their own.
#pragma once

#include "core/uRandomSource.h"

#include <memory>

namespace kv {

struct TPackageServices {
  // New ids and the cuts a load completes draw from it; a set made without one gets a source of its own,
  // seeded from the clock.
  std::shared_ptr<TRandomSource> Random = std::make_shared<TRandomSource>();
};

} // namespace kv
