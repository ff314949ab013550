#include "PackTool.h"

#include <iostream>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kvtools::RunPackTool(args, std::cout, std::cerr);
}
