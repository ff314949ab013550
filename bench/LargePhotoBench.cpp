// A game made from a large photograph: the package's JPEG decoded for the game and cut into a difficulty-5
// game on a headless 1024 x 768 playing area, up to the first frame (Prepare, Start and one repaint).
//
// Counters of BM_LargePhotoFirstFrame: peak_MB, the growth of the process's peak resident set (VmHWM) over
// one such game, measured with the peak reset just before (clear_refs 5; where the kernel refuses, the growth
// over the process's peak so far, which only the first game shows); pieces, and the decoded picture's size.
#include "data/uExecData.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uHeadlessPlatform.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

namespace {

double StatusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1));
  return 0;
}

// Lets the peak resident set start again from the current one; false where the kernel does not allow it.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

// A package with one photograph of the given size, and a headless session ready to play it.
class TLargePhotoGame {
public:
  TLargePhotoGame(int width, int height) {
    kv::TBMPData& picture = Project.AddPicture(0, 1);
    picture.Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(width, height, 5, 85));
    kvtest::GeneratedGameLibrary(width, height).SaveToStream(Project.PieceShapeData);
    Project.BevelLevel = 3;
    Project.GhostMode = 3;
    Project.GhostAlpha = 64;
    Project.Options.ShowGhost = true;
    Project.Options.ShowPreview = true;
    kv::TMemoryStream noSkin;
    kv::TKVGamesSkin::Instance().LoadThemeOrDefault(noSkin);

    kv::TKVCustomGraphicEngine& engine = kv::GraphicEngine();
    auto box = std::make_unique<kv::THeadlessPaintBox>();
    Box = box.get();
    engine.CreateSurface(std::move(box));
    engine.SetSize(1024, 768);
    Session = std::make_unique<kv::TKVJigsawApplication>(Platform.Services());
    Session->SetMainWindow(this);
    Session->SetClientArea(Box);
    Session->SetProject(&Project);
  }
  ~TLargePhotoGame() {
    Session.reset();
    kv::GraphicEngine().DestroySurface();
  }

  // Decode, cut, start and show the first frame.
  void Play() {
    Session->Reset();
    Session->Difficulty = 5;
    Session->LoadGamePicture(*Project.Pictures[0], Session->Difficulty);
    DecodedWidth = Session->Picture.Width();
    DecodedHeight = Session->Picture.Height();
    Session->Prepare();
    Session->Start();
    Session->Root()->Repaint();
  }

  kv::THeadlessPlatform Platform;
  kv::TJigsawProject2 Project;
  kv::THeadlessPaintBox* Box = nullptr;
  std::unique_ptr<kv::TKVJigsawApplication> Session;
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
  const kv::TKVJigsawPieceCollection library = kvtest::GeneratedGameLibrary(width, height);
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
