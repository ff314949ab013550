// A sample game with something in every part of the package, shared by the tool tests and the fuzz seeds.
#pragma once

#include "data/uExecData.h"

#include <cstdint>
#include <vector>

namespace kvtest {

kv::TMemoryStream Stream(const std::vector<uint8_t>& bytes);
// A 0.05 s 8-bit mono WAV of silence.
std::vector<uint8_t> TinyWav();
void BuildSample(kv::TJigsawProject2& project);

} // namespace kvtest
