// The payload of a banner container record (7889).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package = kvfuzz::PackageWithRecord(7889, data, size);
  kvfuzz::LoadTolerant(package);
  return 0;
}
