// The extra-picture block that an exported game carries after its package.
#include "core/uKVErrors.h"
#include "data/uExtJigsawImages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  kv::TExtJigsawImages images;
  try {
    images.LoadFromStream(stream);
  } catch (const kv::Exception&) {
  }
  return 0;
}
