#include "PackTool.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <iostream>

int main(int argc, char** argv) {
  // Packages are written and completed with the piece library beside this program.
  kv::InstallPackagePictureSteps();
  std::vector<std::string> args(argv + 1, argv + argc);
  return kvtools::RunPackTool(args, std::cout, std::cerr);
}
