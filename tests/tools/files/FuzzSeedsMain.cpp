// fuzz-seeds FOLDER: writes the seed corpus of every fuzz target to FOLDER/<target>/.
#include "SeedCorpus.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz-seeds FOLDER\n";
    return 2;
  }
  try {
    kvtest::WriteSeedCorpus(argv[1], kvtest::SeedCorpus());
  } catch (const std::exception& e) {
    std::cerr << "fuzz-seeds: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
