// A high-score table file ("HGSC").
#include "core/uKVErrors.h"
#include "data/uHighScore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  kv::THighScore table;
  try {
    table.LoadFromStream(stream);
  } catch (const kv::Exception&) {
  }
  return 0;
}
