// Package texts are single-byte Windows-1252. These convert them where they meet UTF-8: the window, the
// terminal and JSON files.
#pragma once

#include <string>
#include <string_view>

namespace kv {

std::string Cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 form become '?'; malformed UTF-8 bytes are taken as Windows-1252.
std::string Utf8ToCp1252(std::string_view text);

} // namespace kv
