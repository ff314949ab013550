// The seed corpus of the fuzz targets: small valid inputs of every reader, made from the sample game and the
// test fixtures, so that the fuzzers start from inputs that go deep.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kvtest {

struct TSeed {
  std::string Target; // the fuzz target, fuzz_<reader>
  std::string Name;
  std::vector<uint8_t> Bytes;
};

// One group of seeds each, by what they are made from.
std::vector<TSeed> PackageSeeds(); // a package and its parts, saved games, scores, extra pictures, a game
std::vector<TSeed> PictureSeeds();
std::vector<TSeed> PieceLibrarySeeds();
std::vector<TSeed> RleSeeds();
std::vector<TSeed> ManifestSeeds();
std::vector<TSeed> SoundCheckSeeds();
std::vector<TSeed> SoundFormatTableSeeds();
std::vector<TSeed> ThemeSeeds();
// Every group above, in that order.
std::vector<TSeed> SeedCorpus();

// Writes each seed to folder/<target>/<name>.
void WriteSeedCorpus(const std::filesystem::path& folder, const std::vector<TSeed>& seeds);

} // namespace kvtest
