// kvjc-gen --seed N -o all.kvjc: draws the piece library.
#include <cstdlib>
#include <iostream>
#include <string>

#include "core/uKVErrors.h"
#include "data/uKVStream.h"
#include "uKVPieceLibraryGenerator.h"

int main(int argc, char** argv) {
  unsigned long long seed = 1;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) {
      char* end = nullptr;
      seed = std::strtoull(argv[++i], &end, 10);
      if (*end != '\0') {
        std::cerr << "kvjc-gen: the seed must be a whole number\n";
        return 2;
      }
    } else if (arg == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else {
      std::cerr << "usage: kvjc-gen --seed N -o all.kvjc\n";
      return 2;
    }
  }
  if (output.empty()) {
    std::cerr << "usage: kvjc-gen --seed N -o all.kvjc\n";
    return 2;
  }
  try {
    kv::TKVPieceLibraryGenerator::Generate(seed).SaveToFile(output);
  } catch (const std::exception& e) {
    std::cerr << "kvjc-gen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
