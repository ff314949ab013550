// A game made from a large photograph: the package's JPEG decoded for the game and cut into a difficulty-5
// game on a headless 1024 x 768 playing area, up to the first frame (Prepare, Start and one repaint).
//
// Counters of BM_LargePhotoFirstFrame: peak_MB, the growth of the process's peak resident set (VmHWM) over
// one such game, measured with the peak reset just before (clear_refs 5; where the kernel refuses, the growth
// over the process's peak so far, which only the first game shows); pieces, and the decoded picture's size.
#include "HeadlessGame.h"

#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

namespace {

using kvbench::StatusKilobytes;

// Lets the peak resident set start again from the current one; false where the kernel does not allow it.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

// A package with one photograph of the given size, and a headless session ready to play it.
class TLargePhotoGame : public kvbench::THeadlessGame {
public:
  TLargePhotoGame(int width, int height) : THeadlessGame(width, height, 85) { OpenSession(); }

  // Decode, cut, start and show the first frame.
  void Play() {
    Session->Reset();
    kv::TKVGameSetup setup;
    setup.Difficulty = 5;
    Session->LoadGamePicture(*Project.Pictures[0], setup.Difficulty, setup);
    DecodedWidth = setup.Picture.Width();
    DecodedHeight = setup.Picture.Height();
    Session->Prepare(std::move(setup));
    Session->Start();
    Session->Root()->Repaint();
  }

  int32_t DecodedWidth = 0, DecodedHeight = 0;
};

void BM_LargePhotoFirstFrame(benchmark::State& state) {
  TLargePhotoGame game(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    game.Session->Reset();
    // Memory the previous game freed goes back to the system, so that the next one is counted afresh.
    malloc_trim(0);
    const bool reset = ResetPeak();
    const double before = reset ? StatusKilobytes("VmRSS") : StatusKilobytes("VmHWM");
    state.ResumeTiming();
    game.Play();
    benchmark::DoNotOptimize(game.Box->Screen().Bits());
    peak = std::max(peak, StatusKilobytes("VmHWM") - before);
  }
  state.counters["peak_MB"] = peak / 1024;
  state.counters["pieces"] = game.Session->Board()->PieceCount();
  state.counters["decoded_w"] = game.DecodedWidth;
  state.counters["decoded_h"] = game.DecodedHeight;
}
BENCHMARK(BM_LargePhotoFirstFrame)->Args({4000, 3000})->Args({8000, 6000})->Unit(benchmark::kMillisecond);

// The decode alone: whole (third argument 0) or for a difficulty-5 game (1).
void BM_LargePhotoDecode(benchmark::State& state) {
  const auto width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  kv::TBMPData picture;
  picture.Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(width, height, 5, 85));
  const kv::TKVJigsawPieceLibrary library = kvtest::GeneratedGameLibrary(width, height);
  kv::TBitmap32 bitmap;
  for (auto _ : state) {
    if (state.range(2) == 0)
      kv::DecodePackagePicture(picture, bitmap);
    else
      kv::DecodeGamePicture(picture, library, 5, bitmap);
    benchmark::DoNotOptimize(bitmap.Bits());
  }
  state.counters["decoded_w"] = bitmap.Width();
  state.counters["decoded_h"] = bitmap.Height();
}
BENCHMARK(BM_LargePhotoDecode)
    ->Args({4000, 3000, 0})
    ->Args({4000, 3000, 1})
    ->Args({8000, 6000, 0})
    ->Args({8000, 6000, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace
