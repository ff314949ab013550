#include "platform/uCp1252.h"

#include <cstdint>

namespace kv {

namespace {

// Code points of 0x80..0x9F; 0 marks the five bytes Windows-1252 leaves undefined (kept as C1 controls).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

} // namespace

char32_t Cp1252CharOf(uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0 && kHigh[byte - 0x80] != 0) return kHigh[byte - 0x80];
  return byte;
}

char Cp1252ByteOf(char32_t character) {
  if (character < 0x100) return static_cast<char>(character);
  for (int k = 0; k < 32; ++k)
    if (kHigh[k] != 0 && kHigh[k] == character) return static_cast<char>(0x80 + k);
  return '?';
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) AppendUtf8(out, Cp1252CharOf(static_cast<uint8_t>(ch)));
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<uint8_t>(text[i]);
    uint32_t cp = c;
    std::size_t len = 1;
    if (c >= 0xC0 && c < 0xE0 && i + 1 < text.size()) {
      cp = (c & 0x1Fu) << 6 | (static_cast<uint8_t>(text[i + 1]) & 0x3Fu);
      len = 2;
    } else if (c >= 0xE0 && c < 0xF0 && i + 2 < text.size()) {
      cp = (c & 0x0Fu) << 12 | (static_cast<uint8_t>(text[i + 1]) & 0x3Fu) << 6 |
           (static_cast<uint8_t>(text[i + 2]) & 0x3Fu);
      len = 3;
    } else if (c >= 0xF0 && i + 3 < text.size()) {
      cp = 0x110000; // beyond the Basic Multilingual Plane: no Windows-1252 form
      len = 4;
    }
    bool continuation = true;
    for (std::size_t k = 1; k < len; ++k)
      continuation = continuation && (static_cast<uint8_t>(text[i + k]) & 0xC0) == 0x80;
    if (!continuation) {
      cp = c;
      len = 1;
    }
    out += len == 1 ? static_cast<char>(c) : Cp1252ByteOf(cp);
    i += len;
  }
  return out;
}

} // namespace kv
