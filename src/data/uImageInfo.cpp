#include "data/uImageInfo.h"

#include "core/uKVErrors.h"

namespace kv {

TImageInfo ReadImageSize(const TImageSizeReader& reader, std::span<const uint8_t> data, TImageKind kind) {
  if (!reader) throw EImageError("The size of a picture cannot be read: no picture reader was handed in.");
  return reader(data, kind);
}

TImageInfo ReadImageSize(const TImageSizeReader& reader, const TMemoryStream& data, TImageKind kind) {
  return ReadImageSize(reader, std::span<const uint8_t>(data.Bytes()), kind);
}

} // namespace kv
