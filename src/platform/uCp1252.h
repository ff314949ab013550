// Package texts are single-byte Windows-1252. These convert them where they meet Unicode: the window, the
// terminal, JSON files and the XML parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// The character of a byte: its own code, except for the code page's characters at 0x80..0x9F; the five
// bytes the code page leaves undefined keep their own code (C1 controls).
char32_t Cp1252CharOf(uint8_t byte);
// The byte of a character: its own code below 0x100, the code page's byte for the characters it places at
// 0x80..0x9F, '?' for any other.
char Cp1252ByteOf(char32_t character);

std::string Cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 form become '?'; malformed UTF-8 bytes are taken as Windows-1252.
std::string Utf8ToCp1252(std::string_view text);

} // namespace kv
