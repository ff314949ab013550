// The one random source of a session or a package: scatter, layout choice and new ids all draw from the
// source they are handed, so that a test seeds one object and gets the same game on every run.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>

namespace kv {

class TRandomSource {
public:
  // Seeded from the clock.
  TRandomSource() { Randomize(); }
  explicit TRandomSource(uint64_t seed) : Engine(seed) {}
  virtual ~TRandomSource() = default;
  TRandomSource(const TRandomSource&) = delete;
  TRandomSource& operator=(const TRandomSource&) = delete;

  // Uniform integer in [0, limit); 0 when limit <= 0. Virtual so that a test can script the draws.
  virtual int32_t RandomBelow(int32_t limit) {
    if (limit <= 0) return 0;
    return std::uniform_int_distribution<int32_t>(0, limit - 1)(Engine);
  }
  // Fixes the sequence.
  void Seed(uint64_t seed) { Engine.seed(seed); }
  // Reseeds from the clock.
  void Randomize() {
    Engine.seed(static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  }

private:
  std::mt19937_64 Engine;
};

} // namespace kv
