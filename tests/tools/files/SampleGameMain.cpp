// sample-game FOLDER: writes the sample game's package, game executable, saved game and high-score table to
// FOLDER, for the package tool to show.
#include "SampleGame.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: sample-game FOLDER\n";
    return 2;
  }
  try {
    kvtest::WriteSampleFiles(argv[1], kvtest::MakeSampleGameFiles().Files);
  } catch (const std::exception& e) {
    std::cerr << "sample-game: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
