// A Windows BMP file of any header, bit depth and compression.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::DecodeTolerant(data, size, kv::pkBMP);
  return 0;
}
