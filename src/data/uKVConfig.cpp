#include "data/uKVConfig.h"

#include "data/uKVStandardFunc.h"
#include "data/uKVStream.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_map>

namespace kv {

namespace {

const std::string Header = "# KVConfig 1";

bool SameText(std::string_view a, std::string_view b) {
  return TKVStandardFunc::LowerText(a) == TKVStandardFunc::LowerText(b);
}

// The whole text as a decimal 32-bit integer, or nothing.
std::optional<int32_t> ParseInteger(std::string_view text) {
  int32_t value = 0;
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), last, value);
  if (text.empty() || ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

bool IsInteger(std::string_view text) {
  return ParseInteger(text).has_value();
}

std::string Escape(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    switch (ch) {
    case '\\':
      out += "\\\\";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    default:
      if (b < 0x20 || b == 0x7F) {
        out += "\\x";
        out += hex[b >> 4];
        out += hex[b & 15];
      } else {
        out += ch;
      }
    }
  }
  return out;
}

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

// An unknown escape stands for the character after the backslash.
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == 't')
      out += '\t';
    else if (next == 'n')
      out += '\n';
    else if (next == 'r')
      out += '\r';
    else if (next == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else
      out += next;
  }
  return out;
}

// One line of the file as a value, or nothing for anything else (the header, a comment, a malformed line).
std::optional<TKVConfigItem> ParseLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const auto tab1 = line.find('\t');
  if (tab1 == std::string_view::npos) return std::nullopt;
  const auto tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) return std::nullopt;
  const std::string_view type = line.substr(0, tab1);
  if (type.size() != 1 || type[0] < '1' || type[0] > '3') return std::nullopt;
  TKVConfigItem item;
  item.Type = static_cast<uint8_t>(type[0] - '0');
  item.Name = Unescape(line.substr(tab1 + 1, tab2 - tab1 - 1));
  item.Value = Unescape(line.substr(tab2 + 1));
  if (item.Type == TKVConfigItem::ctInteger && !IsInteger(item.Value)) return std::nullopt;
  return item;
}

// The lines of text, each without its line feed.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<TKVConfigItem> ParseFile(std::string_view text) {
  std::vector<TKVConfigItem> items;
  for (const std::string_view line : SplitLines(text))
    if (auto item = ParseLine(line)) items.push_back(std::move(*item));
  return items;
}

std::string ItemLine(const TKVConfigItem& item) {
  return std::to_string(item.Type) + "\t" + Escape(item.Name) + "\t" + Escape(item.Value) + "\n";
}

// The stored file as text; nothing when there is none. A name that is no regular file, or a file far larger
// than any configuration, is not ours to read or to replace: EFOpenError.
std::optional<std::string> ReadStored(const std::string& fileName) {
  if (!std::filesystem::exists(fileName)) return std::nullopt;
  const std::vector<uint8_t> bytes = ReadRegularFile(fileName, TKVCustomConfig::MaxFileSize);
  return std::string(bytes.begin(), bytes.end());
}

std::string RunningProgramFile() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return exe.string();
  return program_invocation_name ? program_invocation_name : "";
}

} // namespace

TKVCustomConfig::TKVCustomConfig() : TKVCustomConfig(RunningProgramFile()) {}

TKVCustomConfig::TKVCustomConfig(std::string_view programFile) : KeyName(KeyNameOf(programFile)) {}

std::string TKVCustomConfig::KeyNameOf(std::string_view programFile) {
  return std::filesystem::path(programFile).filename().stem().string();
}

std::string TKVCustomConfig::ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config";
  return {};
}

std::string TKVCustomConfig::FileName() const {
  const std::string folder = ConfigFolder();
  if (folder.empty() || KeyName.empty()) return {};
  return (std::filesystem::path(folder) / KeyName / "config").string();
}

void TKVCustomConfig::Load() {
  if (Store != TKVConfigStore::kvRegistry) return;
  const std::string fileName = FileName();
  if (fileName.empty()) return;
  if (const std::optional<std::string> text = ReadStored(fileName)) Items = ParseFile(*text);
}

void TKVCustomConfig::Save() {
  if (Store != TKVConfigStore::kvRegistry) return;
  try {
    const std::string fileName = FileName();
    if (fileName.empty()) return;
    const std::optional<std::string> stored = ReadStored(fileName);
    // The items by name, the last of a name winning as it does when read.
    std::unordered_map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < Items.size(); ++i) {
      const TKVConfigItem& item = Items[i];
      if (item.Type < TKVConfigItem::ctText || item.Type > TKVConfigItem::ctInteger) continue;
      if (item.Type == TKVConfigItem::ctInteger && !IsInteger(item.Value)) continue;
      byName[TKVStandardFunc::LowerText(item.Name)] = i;
    }
    // An item takes the place of the last stored value of its name, the one a read takes; every other line
    // stays as it stands (earlier values of the name, comments, lines of kinds this program does not know).
    const std::vector<std::string_view> lines =
        stored ? SplitLines(*stored) : std::vector<std::string_view>{};
    std::vector<std::string> names(lines.size());
    std::unordered_map<std::string, std::size_t> lastLine;
    for (std::size_t n = 0; n < lines.size(); ++n)
      if (const std::optional<TKVConfigItem> value = ParseLine(lines[n])) {
        names[n] = TKVStandardFunc::LowerText(value->Name);
        lastLine[names[n]] = n;
      }
    std::vector<bool> written(Items.size(), false);
    std::string text = Header + "\n";
    for (std::size_t n = 0; n < lines.size(); ++n) {
      if (n == 0 && (lines[n] == Header || lines[n] == Header + "\r")) continue;
      const auto match = names[n].empty() ? byName.end() : byName.find(names[n]);
      if (match == byName.end() || lastLine[names[n]] != n) {
        text.append(lines[n]).push_back('\n');
        continue;
      }
      text += ItemLine(Items[match->second]);
      written[match->second] = true;
    }
    for (std::size_t i = 0; i < Items.size(); ++i) {
      const auto match = byName.find(TKVStandardFunc::LowerText(Items[i].Name));
      if (match == byName.end() || match->second != i || written[i]) continue;
      text += ItemLine(Items[i]);
      written[i] = true;
    }
    if (stored && *stored == text) return;
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path());
    WriteFileAtomically(fileName, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  } catch (...) {
    // A configuration that cannot be written is not worth an error at shutdown.
  }
}

void TKVCustomConfig::SetValue(const std::string& name, const std::string& value, uint8_t type) {
  for (auto it = Items.rbegin(); it != Items.rend(); ++it) {
    if (!SameText(it->Name, name)) continue;
    it->Value = value;
    it->Type = type;
    return;
  }
  Items.push_back(TKVConfigItem{value, name, type});
}

void TKVCustomConfig::SetText(const std::string& name, const std::string& text) {
  SetValue(name, text, TKVConfigItem::ctText);
}

void TKVCustomConfig::SetInteger(const std::string& name, int32_t value) {
  SetValue(name, std::to_string(value), TKVConfigItem::ctInteger);
}

std::string TKVCustomConfig::GetText(const std::string& name, const std::string& defaultText) const {
  for (auto it = Items.rbegin(); it != Items.rend(); ++it)
    if (it->Type == TKVConfigItem::ctText && SameText(it->Name, name)) return it->Value;
  return defaultText;
}

int32_t TKVCustomConfig::GetInteger(const std::string& name, int32_t defaultValue) const {
  for (auto it = Items.rbegin(); it != Items.rend(); ++it) {
    if (it->Type != TKVConfigItem::ctInteger || !SameText(it->Name, name)) continue;
    return ParseInteger(it->Value).value_or(defaultValue);
  }
  return defaultValue;
}

const TKVClassInfo& TKVConfig::StaticClassInfo() {
  static const TKVClassInfo info{"TKVConfig",
                                 &TPersistent::StaticClassInfo(),
                                 MakeFactory<TKVConfig>(),
                                 {OrdinalProperty<TKVConfig>(
                                     "Store", TKVPropertyKind::pkEnumeration, {"kvRegistry", "kvIni"},
                                     [](const TKVConfig& c) { return static_cast<int32_t>(c.Store); },
                                     [](TKVConfig& c, int32_t v) {
                                       c.Store = v == 1 ? TKVConfigStore::kvIni : TKVConfigStore::kvRegistry;
                                     })}};
  return info;
}

} // namespace kv
