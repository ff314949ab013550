// The commands of jigsaw-pack, callable from tests: each writes to out and err and returns the exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kvtools {

int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kvtools
