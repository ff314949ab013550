#include "data/uImageInfo.h"

#include "core/uKVErrors.h"

#include <atomic>

namespace kv {

namespace {

std::atomic<TImageSizeReader> Reader{nullptr};

} // namespace

void SetImageSizeReader(TImageSizeReader reader) {
  Reader.store(reader);
}

TImageInfo ReadImageSize(std::span<const uint8_t> data, TImageKind kind) {
  const TImageSizeReader reader = Reader.load();
  if (!reader) throw EImageError("The size of a picture cannot be read: no picture reader is installed.");
  return reader(data, kind);
}

TImageInfo ReadImageSize(const TMemoryStream& data, TImageKind kind) {
  return ReadImageSize(std::span<const uint8_t>(data.Bytes()), kind);
}

} // namespace kv
