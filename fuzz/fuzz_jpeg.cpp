// A JPEG file, read through libjpeg.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::DecodeTolerant(data, size, kv::pkJPEG);
  return 0;
}
