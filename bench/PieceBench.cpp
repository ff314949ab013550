// Building the pieces of a game: layout search, scaling, outlines, the four coded rotations and the shadow
// of the shown one, for a 1024 x 768 photograph at every difficulty.
#include "gui/uJpegCodec.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"

#include <benchmark/benchmark.h>

namespace {

// A game of a 1024 x 768 photograph: the package's piece shapes, the cut of the picture, the carver and the
// build settings.
struct TPhotoGame {
  kv::TKVJigsawPieceLibrary Library = kvtest::GeneratedGameLibrary(1024, 768);
  kv::TKVJigsawCut Cut;
  kv::TKVJigsawCarver Carver;
  kv::TPieceBuildOptions Options;
  kv::TRandomSource Random{1};

  explicit TPhotoGame(int64_t difficulty, unsigned threads = 0) {
    Options.Threads = threads;
    Cut.Picture.Assign(kv::DecodeJpeg(kvtest::MakePhotoJpeg(1024, 768, 5, 90)));
    Options.Difficulty = static_cast<uint8_t>(difficulty);
    Options.AreaWidth = 1024;
    Options.AreaHeight = 768;
  }
};

// Game after game: each build reuses the storage of the previous game's pieces, as a new game does.
void BM_BuildPieces(benchmark::State& state) {
  TPhotoGame game(state.range(0));
  kv::TPieces pieces;
  for (auto _ : state) {
    kv::BuildPieces(game.Library, game.Cut, game.Carver, game.Options, pieces, game.Random);
    benchmark::DoNotOptimize(pieces.data());
  }
  // What the pieces of one game hold: coded images and shadows.
  double images = 0, shadows = 0, count = 0;
  for (const auto& row : pieces)
    for (const kv::TPiece& piece : row) {
      ++count;
      for (int k = 0; k < 4; ++k) {
        images += static_cast<double>(piece.Images[k].size());
        shadows += static_cast<double>(piece.Shadows[k].size() * 4);
      }
    }
  state.counters["pieces"] = count;
  state.counters["images_MB"] = images / 1e6;
  state.counters["shadows_MB"] = shadows / 1e6;
}
BENCHMARK(BM_BuildPieces)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// The first game: the pieces' storage is new (and the old pieces are freed) in every iteration.
void BM_BuildPiecesFirstGame(benchmark::State& state) {
  TPhotoGame game(state.range(0));
  for (auto _ : state) {
    kv::TPieces pieces;
    kv::BuildPieces(game.Library, game.Cut, game.Carver, game.Options, pieces, game.Random);
    benchmark::DoNotOptimize(pieces.data());
  }
}
BENCHMARK(BM_BuildPiecesFirstGame)->Arg(5)->Unit(benchmark::kMillisecond);

// All pieces coded on the calling thread: what the helper threads save.
void BM_BuildPiecesOneThread(benchmark::State& state) {
  TPhotoGame game(state.range(0), 1);
  kv::TPieces pieces;
  for (auto _ : state) {
    kv::BuildPieces(game.Library, game.Cut, game.Carver, game.Options, pieces, game.Random);
    benchmark::DoNotOptimize(pieces.data());
  }
}
BENCHMARK(BM_BuildPiecesOneThread)->Arg(5)->Unit(benchmark::kMillisecond);

} // namespace
