// The payload of the sound-format table (7891).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package = kvfuzz::PackageWithRecord(7891, data, size);
  kvfuzz::LoadTolerant(package);
  return 0;
}
