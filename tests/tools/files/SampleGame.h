// A sample game with something in every part of the package, shared by the tool tests, the fuzz seeds and the
// sample files scripts/demo shows.
#pragma once

#include "data/uExecData.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kvtest {

kv::TMemoryStream Stream(const std::vector<uint8_t>& bytes);
// A 0.05 s 8-bit mono WAV of silence.
std::vector<uint8_t> TinyWav();
void BuildSample(kv::TJigsawProject2& project);

struct TSampleFile {
  std::string Name;
  std::vector<uint8_t> Bytes;
};

// The sample game as files: the package, a game executable (a stand-in player, the package and an extra
// picture of the player's own), a saved game and a high-score table. The package and the extra-picture block
// come along for readers that compare with them.
struct TSampleGameFiles {
  kv::TMemoryStream Package;
  kv::TMemoryStream ExtraPictures;
  std::vector<TSampleFile> Files; // sample.kvj, sample-game, sample.jsw, JigsawHighScore.dat
};
TSampleGameFiles MakeSampleGameFiles();

// Writes each file under the folder (made if missing); a name may hold a subfolder.
void WriteSampleFiles(const std::filesystem::path& folder, const std::vector<TSampleFile>& files);

} // namespace kvtest
