// A Windows BMP file of any header, bit depth and compression, decoded whole and converted row by row.
#include "FuzzSupport.h"

#include "core/uKVErrors.h"
#include "gui/uPictureConverters.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::DecodeTolerant(data, size, kv::pkBMP);
  try {
    kv::ConvertBmpToJpeg(kv::TMemoryStream(std::vector<uint8_t>(data, data + size)));
  } catch (const kv::Exception&) {
  }
  return 0;
}
