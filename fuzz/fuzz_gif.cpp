// A GIF file, first frame and transparent colour, read through giflib.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kvfuzz::DecodeTolerant(data, size, kv::pkGIF);
  return 0;
}
