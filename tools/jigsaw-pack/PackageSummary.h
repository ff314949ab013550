// The readable summary that `jigsaw-pack info` prints.
#pragma once

#include "data/uExecData.h"

#include <ostream>

namespace kvtools {

void PrintProjectSummary(const kv::TJigsawProject2& project, std::ostream& out);

} // namespace kvtools
