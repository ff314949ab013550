// The package tool's checks of sound files: every format's check on the same bytes. A check gives a reason
// or nothing; it never reads outside the bytes.
#include "SoundCheck.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  for (auto check : {kvtools::WavProblem, kvtools::MidiProblem, kvtools::Mp3Problem, kvtools::WmaProblem}) {
    const std::string problem = check(bytes);
    // A reason is a few words, however large the input.
    if (problem.size() > 400) std::abort();
  }
  return 0;
}
