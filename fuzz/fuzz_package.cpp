// The whole package as stored: preview section, then the zlib data section.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package(std::vector<uint8_t>(data, data + size));
  kvfuzz::LoadTolerant(package);
  return 0;
}
