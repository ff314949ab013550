// The payload of the published-properties XML (8087).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package = kvfuzz::PackageWithRecord(8087, data, size);
  kvfuzz::LoadTolerant(package);
  return 0;
}
