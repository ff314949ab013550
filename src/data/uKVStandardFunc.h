// Small shared helpers: text helpers and the documents folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

class TKVStandardFunc {
public:
  // Lower-case copy under Windows-1252 rules.
  static std::string LowerText(std::string_view text);
  // Decimal text to integer; 0 when the text is not a valid 32-bit integer. Never raises.
  static int32_t TextToIntOrZero(std::string_view text);
  // The user's documents folder without a trailing separator: XDG_DOCUMENTS_DIR, else $HOME/Documents when it
  // exists, else $HOME.
  static std::string DocumentsFolder();
  // Nothing to ask of the operating system here; kept as the hook the callers expect.
  static void TrimWorkingSet() {}
};

} // namespace kv
