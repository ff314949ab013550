// A game of a package played without a window: the session builds the game of one picture at a difficulty
// on a headless playing area, optionally solves it with the solving aids while the clock is advanced until
// the pieces have flown and the puzzle is complete, and gives back the final frame of the playing area.
#pragma once

#include "data/uExecData.h"
#include "gui/uBitmap32.h"

#include <cstdint>

namespace kvtools {

struct PlayOptions {
  uint32_t PictureId = 0;
  uint8_t Difficulty = 0;
  bool Solve = false;
  // Seed of the random draws (edges, scatter, rotations): the same seed plays the same game.
  uint64_t Seed = 1;
};

struct PlayInfo {
  int32_t Columns = 0;
  int32_t Rows = 0;
  bool Won = false;
  // Game seconds the clock counted.
  int32_t Clock = 0;
};

// The playing area is 1024 x 768 unless the package's board area sets another size.
kv::TBitmap32 RenderPlayedGame(kv::TJigsawProject2& project, const PlayOptions& options,
                               PlayInfo* info = nullptr);

} // namespace kvtools
