// The per-pixel blend that composes every frame of the playing area: a full 1024 x 768 straight-alpha
// surface drawn over another with dmBlend and cmBlend.
#include "gui/uBitmap32.h"
#include "gui/uResamplers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Smooth gradients with a little noise, like a photograph; alpha in thirds: transparent, opaque and a ramp,
// the mix of a piece sprite with its soft edges.
kv::TBitmap32 PhotoLike(int width, int height, uint32_t seed, bool withAlpha) {
  kv::TBitmap32 b(width, height);
  uint32_t state = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    kv::TColor32* row = b.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>(state >> 28) - 8;
      const auto r = static_cast<uint8_t>(
          std::clamp(128 + static_cast<int>(100 * std::sin(x * 0.01 + seed)) + noise, 0, 255));
      const auto g = static_cast<uint8_t>(std::clamp(x * 255 / width + noise, 0, 255));
      const auto bl = static_cast<uint8_t>(std::clamp(y * 255 / height - noise, 0, 255));
      uint8_t a = 255;
      if (withAlpha) {
        const int band = (x / 7 + y / 5) % 3;
        a = band == 0 ? 0 : band == 1 ? 255 : static_cast<uint8_t>((x * 37 + y * 11) & 0xFF);
      }
      row[x] = kv::Color32(r, g, bl, a);
    }
  }
  return b;
}

void BM_BlendFullArea(benchmark::State& state) {
  kv::TBitmap32 source = PhotoLike(1024, 768, 1, true);
  kv::TBitmap32 dest = PhotoLike(1024, 768, 2, false);
  source.SetDrawMode(kv::dmBlend);
  source.SetCombineMode(kv::cmBlend);
  for (auto _ : state) {
    source.Draw(dest, 0, 0);
    benchmark::DoNotOptimize(dest.Bits());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1024 * 768);
}
BENCHMARK(BM_BlendFullArea)->Unit(benchmark::kMicrosecond);

// Scaling a picture to its grid with the linear resampler, as a game does once per cut.
void BM_StretchLinear(benchmark::State& state) {
  kv::TBitmap32 source = PhotoLike(1024, 768, 3, false);
  kv::NewResampler<kv::TLinearResampler>(source);
  kv::TBitmap32 dest(900, 700);
  for (auto _ : state) {
    source.DrawStretched(dest, dest.BoundsRect());
    benchmark::DoNotOptimize(dest.Bits());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 900 * 700);
}
BENCHMARK(BM_StretchLinear)->Unit(benchmark::kMicrosecond);

} // namespace
