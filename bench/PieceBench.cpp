// Building the pieces of a game: layout search, scaling, outlines, the four coded rotations and the shadow
// of the shown one, for a 1024 x 768 photograph at every difficulty.
#include "gui/uJpegCodec.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"

#include <benchmark/benchmark.h>

namespace {

// Game after game: each build reuses the storage of the previous game's pieces, as a new game does.
void BM_BuildPieces(benchmark::State& state) {
  kv::TKVJigsawPieceCollection library = kvtest::GeneratedGameLibrary(1024, 768);
  library.Picture.Assign(kv::DecodeJpeg(kvtest::MakePhotoJpeg(1024, 768, 5, 90)));
  kv::TPieceBuildOptions options;
  options.Difficulty = static_cast<uint8_t>(state.range(0));
  options.AreaWidth = 1024;
  options.AreaHeight = 768;
  kv::TPieces pieces;
  for (auto _ : state) {
    kv::BuildPieces(library, options, pieces);
    benchmark::DoNotOptimize(pieces.data());
  }
  // What the pieces of one game hold: coded images and shadows, and the piece bitmaps of the cut.
  double images = 0, shadows = 0, count = 0, bitmaps = 0;
  for (const auto& row : pieces)
    for (const kv::TPiece& piece : row) {
      ++count;
      for (int k = 0; k < 4; ++k) {
        images += static_cast<double>(piece.Images[k].size());
        shadows += static_cast<double>(piece.Shadows[k].size() * 4);
      }
    }
  for (const auto& item : library.PieceItems) bitmaps += 4.0 * item.Bitmap.Width() * item.Bitmap.Height();
  state.counters["pieces"] = count;
  state.counters["images_MB"] = images / 1e6;
  state.counters["shadows_MB"] = shadows / 1e6;
  state.counters["bitmaps_MB"] = bitmaps / 1e6;
}
BENCHMARK(BM_BuildPieces)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// The first game: the pieces' storage is new (and the old pieces are freed) in every iteration.
void BM_BuildPiecesFirstGame(benchmark::State& state) {
  kv::TKVJigsawPieceCollection library = kvtest::GeneratedGameLibrary(1024, 768);
  library.Picture.Assign(kv::DecodeJpeg(kvtest::MakePhotoJpeg(1024, 768, 5, 90)));
  kv::TPieceBuildOptions options;
  options.Difficulty = static_cast<uint8_t>(state.range(0));
  options.AreaWidth = 1024;
  options.AreaHeight = 768;
  for (auto _ : state) {
    kv::TPieces pieces;
    kv::BuildPieces(library, options, pieces);
    benchmark::DoNotOptimize(pieces.data());
  }
}
BENCHMARK(BM_BuildPiecesFirstGame)->Arg(5)->Unit(benchmark::kMillisecond);

} // namespace
