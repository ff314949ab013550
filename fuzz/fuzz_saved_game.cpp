// A saved game file (*.jsw) of any version.
#include "core/uKVErrors.h"
#include "data/uJigsawFile.h"
#include "gui/uPictureConverters.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  kv::TJigsawFile file;
  try {
    file.LoadFromStream(stream, kv::ReadPictureSize);
  } catch (const kv::Exception&) {
  }
  return 0;
}
