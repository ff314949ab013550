// The end of a game executable: package trailer and extra-picture block, read from a file as at start-up.
#include "core/uKVErrors.h"
#include "data/uAppendedData.h"

#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/fuzz_appended_data." + std::to_string(getpid());
  kv::TMemoryStream(std::vector<uint8_t>(data, data + size)).SaveToFile(path);
  kv::TMemoryStream package, extra;
  try {
    kv::ReadAppendedData(path, package, extra);
  } catch (const kv::Exception&) {
  }
  return 0;
}
