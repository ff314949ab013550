// Turns the cut of a picture into the pieces of a game: each piece's place in the picture, its starting
// place and rotation, its image in all four rotations (run-length coded) and the shadow of the rotation it
// shows. Used by the game session and by the sprite creator of the package tools.
#pragma once

#include "data/uJigsawFile.h"
#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "jigsaw/uKVJigsawTypes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kv {

struct TPieceBuildOptions {
  uint8_t Difficulty = 0;
  uint8_t BevelLevel = 0;
  // Grey of the shadows' colour bits.
  uint8_t ShadowGrey = 30;
  // The game draws each piece bitmap onto a clear surface (dmBlend) before coding it, which scales partly
  // transparent pixels by their alpha; the package tools store the bitmap as built.
  bool Composite = true;
  bool NoRotation = false;
  // A game codes only the rotation each piece shows and makes no shadow: the board codes the other rotations
  // and makes the owed shadows when it first needs them, with the same result. The package tools want them
  // all at once.
  bool OnlyShownRotation = false;
  // Scatter area of a new game; a piece may lie up to half its size beyond the right and bottom border.
  int32_t AreaWidth = 0;
  int32_t AreaHeight = 0;
  // A saved game to rebuild (its piece records, rows outer); null cuts a new game.
  const TJigsawArrayData* Saved = nullptr;
  // Threads that code the pieces, the calling one included; 0 = one per hardware thread. The pieces come
  // out the same with any number.
  unsigned Threads = 0;

  // Texts pass through Translate (the package's language table) before they are shown. Every hook runs on
  // the calling thread; progress comes in piece order.
  std::function<std::string(const std::string&)> Translate;
  std::function<void(const std::string& text)> OnStatus;
  std::function<void(const std::string& text, int percent)> OnProgress;
  std::function<void(const std::string& text)> OnFinish;
  // Pieces done and the total, after each piece.
  std::function<void(int32_t done, int32_t total)> OnPieceDone;
};

// Round(done / total * 100) on the exact value, ties to even; 0 for a total of 0 or less.
int ProgressPercent(int32_t done, int32_t total);

// Cuts cut.Picture at options.Difficulty with the library's layouts and templates, carves each piece with
// the carver (its bevel level becomes options.BevelLevel) and fills pieces [row][column]. Raises
// kv::Exception "Bitmap not spesified" for an empty picture, the library's error when no layout fits, and an
// error when a saved game does not match the cut; OnFinish runs in every case once the build has begun.
// Helper threads read the library, the cut and the carver and write the pieces until the call returns: the
// hooks must leave them alone. A new game's edges and scatter are drawn from random, in piece order.
void BuildPieces(const TKVJigsawPieceLibrary& library, TKVJigsawCut& cut, TKVJigsawCarver& carver,
                 const TPieceBuildOptions& options, TPieces& pieces, TRandomSource& random);

} // namespace kv
