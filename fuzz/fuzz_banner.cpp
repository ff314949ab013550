// The payload of a banner record (7888).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package = kvfuzz::PackageWithRecord(7888, data, size);
  kvfuzz::LoadTolerant(package);
  return 0;
}
