#include "data/uKVStandardFunc.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kv {

std::string TKVStandardFunc::LowerText(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    const auto c = static_cast<uint8_t>(ch);
    // ASCII, the Latin-1 capitals (except the multiplication sign) and the three Windows-1252 capitals.
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
      ch = static_cast<char>(c + 32);
    else if (c == 0x8A || c == 0x8C || c == 0x8E)
      ch = static_cast<char>(c + 16);
    else if (c == 0x9F)
      ch = static_cast<char>(0xFF);
  }
  return out;
}

int32_t TKVStandardFunc::TextToIntOrZero(std::string_view text) {
  std::size_t start = 0;
  if (!text.empty() && text[0] == '+') start = 1;
  int32_t value = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  if (first == last) return 0;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return 0;
  return value;
}

namespace {

// Reads XDG_DOCUMENTS_DIR from the user-dirs file that desktop sessions keep.
std::string XdgDocumentsDir(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string base = config && *config ? config : home + "/.config";
  std::ifstream file(base + "/user-dirs.dirs");
  std::string line;
  while (std::getline(file, line)) {
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    return value;
  }
  return {};
}

} // namespace

std::string TKVStandardFunc::DocumentsFolder() {
  namespace fs = std::filesystem;
  const char* homeEnv = std::getenv("HOME");
  const std::string home = homeEnv && *homeEnv ? homeEnv : ".";
  std::string folder = XdgDocumentsDir(home);
  std::error_code ec;
  if (folder.empty() || folder == home || !fs::is_directory(folder, ec)) {
    if (fs::is_directory(home + "/Documents", ec))
      folder = home + "/Documents";
    else
      folder = home;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

} // namespace kv
