// The preview section: the 0xDEAD header and its thumbnail records, followed by a valid empty data section.
#include "FuzzSupport.h"

#include "data/uKVStreamFunc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using SF = kv::TKVStreamFunc;
  kv::TMemoryStream package;
  SF::WriteWord(static_cast<int16_t>(0xDEAD), package);
  SF::WriteWord(0, package);
  SF::WriteInteger(static_cast<int32_t>(size), package);
  package.WriteBuffer(data, size);
  kv::TMemoryStream rest = kvfuzz::PackageWithRecords(nullptr, 0);
  package.WriteBytes(rest.Bytes());
  package.SetPosition(0);
  kvfuzz::LoadTolerant(package);
  return 0;
}
