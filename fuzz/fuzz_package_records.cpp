// The records of the data section, compressed by the harness so that every input reaches the record readers.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package = kvfuzz::PackageWithRecords(data, size);
  kvfuzz::LoadTolerant(package);
  return 0;
}
