// A picture of one cut for game authors: the pieces of a picture at a difficulty, built as the game builds
// them, laid out at their places in the picture but spread apart on a neutral background.
#pragma once

#include "data/uExecData.h"
#include "gui/uBitmap32.h"

#include <cstdint>

namespace kvtools {

struct CutPreviewInfo {
  int32_t Columns = 0;
  int32_t Rows = 0;
};

// Cuts the picture with the package's piece shapes (or, for a package without any, the installed picture
// steps' library part for the package). Raises kv::Exception when the picture is not in the package or
// cannot be cut.
// gap: pixels between neighbouring pieces; 0 assembles the puzzle, -1 chooses a third of a cell.
kv::TBitmap32 RenderCutPreview(const kv::TJigsawProject2& project, uint32_t pictureId, uint8_t difficulty,
                               int32_t gap = -1, CutPreviewInfo* info = nullptr);

} // namespace kvtools
