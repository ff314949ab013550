// A full repaint of the playing area of a running game: wallpaper, ghost image, the board with the pieces
// of a difficulty-5 game of a 1024 x 768 photograph, and the preview window, into a 1024 x 768 buffer. Once
// with the pieces scattered as the game starts, once with the puzzle solved.
//
// The counters of BM_RepaintScattered tell the memory the running game takes: the growth of the process's
// resident set (VmRSS) and of its peak (VmHWM) over preparing and starting the game. Run it alone
// (--benchmark_filter=BM_RepaintScattered) for figures that other benchmarks' memory does not blur.
#include "HeadlessGame.h"
#include "gui/uJpegCodec.h"
#include "gui/uKVGUIAnimatedImage.h"

#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using kvbench::StatusKilobytes;

// A running game of picture 1 at difficulty 5 on a headless 1024 x 768 playing area.
class TRunningGame : public kvbench::THeadlessGame {
public:
  TRunningGame() : THeadlessGame(1024, 768, 90) {
    kv::TBMPData& wallpaper = Project.AddPicture(1);
    wallpaper.Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(256, 192, 9, 85));
    Project.StartWallpaperIndex = 1;
    for (kv::TWallpaperEntry& entry : Project.Wallpapers) entry.Param = kv::kvisTile;
    kv::DecodePackagePicture(*Project.Pictures[0], Decoded);

    RssBefore = StatusKilobytes("VmRSS");
    PeakBefore = StatusKilobytes("VmHWM");
    OpenSession();
    Session->OnBoardWin = [this](kv::TKVGUIControl*) { Won = true; };
    kv::TKVGameSetup setup;
    setup.Picture.Assign(Decoded);
    setup.Difficulty = 5;
    Session->Prepare(std::move(setup));
    Session->Start();
    RssAfter = StatusKilobytes("VmRSS");
    PeakAfter = StatusKilobytes("VmHWM");
  }
  void Solve() {
    if (!Session->SolveAll(0)) throw std::runtime_error("the game cannot be solved");
    for (int t = 0; t < 120000 && !Won; t += 50) Platform.Advance(50);
    if (!Won) throw std::runtime_error("the solved game was not won");
  }
  // Everything painted anew and shown, as a frame after a change of the whole area.
  void Repaint() { Session->Root()->Repaint(); }

  kv::TBitmap32 Decoded;
  bool Won = false;
  double RssBefore = 0, RssAfter = 0, PeakBefore = 0, PeakAfter = 0;
};

void Report(benchmark::State& state, const TRunningGame& game) {
  const kv::TKVJigsawBoard& board = *game.Session->Board();
  state.counters["pieces"] = board.PieceCount();
  // What the pieces hold: the coded images, shadows and spans made so far.
  double bytes = 0;
  for (int32_t row = 0; row < board.Rows(); ++row)
    for (int32_t col = 0; col < board.Cols(); ++col) {
      const kv::TKVPieceSprite& sprite = board.Sprite(row, col);
      for (int k = 0; k < 4; ++k)
        bytes += static_cast<double>(sprite.Images[k].size() + sprite.Shadows[k].size() * sizeof(uint32_t) +
                                     sprite.Spans[k].Bytes());
    }
  state.counters["sprites_MB"] = bytes / (1024 * 1024);
  state.SetItemsProcessed(state.iterations() * 1024 * 768);
}

void BM_RepaintScattered(benchmark::State& state) {
  TRunningGame game;
  for (auto _ : state) {
    game.Repaint();
    benchmark::DoNotOptimize(game.Box->Screen().Bits());
  }
  Report(state, game);
  state.counters["game_rss_MB"] = (game.RssAfter - game.RssBefore) / 1024;
  state.counters["game_peak_MB"] = (game.PeakAfter - game.PeakBefore) / 1024;
}
BENCHMARK(BM_RepaintScattered)->Unit(benchmark::kMicrosecond);

void BM_RepaintAssembled(benchmark::State& state) {
  TRunningGame game;
  game.Solve();
  for (auto _ : state) {
    game.Repaint();
    benchmark::DoNotOptimize(game.Box->Screen().Bits());
  }
  Report(state, game);
}
BENCHMARK(BM_RepaintAssembled)->Unit(benchmark::kMicrosecond);

} // namespace
