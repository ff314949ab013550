// The payload of the menu tree record (7890) with its nested nodes and script streams.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package = kvfuzz::PackageWithRecord(7890, data, size);
  kvfuzz::LoadTolerant(package);
  return 0;
}
