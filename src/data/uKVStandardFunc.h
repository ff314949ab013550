// Small shared helpers: the random source, text helpers and the documents folder.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace kv {

class TKVStandardFunc {
public:
  // The process-wide instance; its random source is seeded from the clock when first used.
  static TKVStandardFunc& Instance();

  // Uniform integer in [0, limit); 0 when limit <= 0.
  int32_t RandomBelow(int32_t limit);
  // Reseeds the shared random source from the clock.
  void Randomize();
  // Fixes the sequence, for tests that need repeatable draws.
  void Seed(uint64_t seed) { Random.seed(seed); }

  // Lower-case copy under Windows-1252 rules.
  static std::string LowerText(std::string_view text);
  // Decimal text to integer; 0 when the text is not a valid 32-bit integer. Never raises.
  static int32_t TextToIntOrZero(std::string_view text);
  // The user's documents folder without a trailing separator: XDG_DOCUMENTS_DIR, else $HOME/Documents when it
  // exists, else $HOME.
  static std::string DocumentsFolder();
  // Nothing to ask of the operating system here; kept as the hook the callers expect.
  static void TrimWorkingSet() {}

private:
  TKVStandardFunc();
  std::mt19937_64 Random;
};

} // namespace kv
