// A small per-program store of named values (text, expandable text, integer) kept for the current user.
//
// Where the values persist: the file <config folder>/<key name>/config, the config folder being
// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config. The key name is the program file's name
// without its folder and without its extension (the last dot and what follows it; a leading dot does not
// start an extension): "Game.exe" gives "Game" (its last four characters dropped), "jigsaw" stays "jigsaw".
//
// File format: a first line "# KVConfig 1", then one value per line: type, TAB, name, TAB, value; type 1
// text, 2 expandable text, 3 integer (decimal). Names and values are escaped so that any byte survives: "\\"
// for a backslash, "\t", "\n", "\r", and "\xHH" for the other bytes below 32 and for 127.
#pragma once

#include "data/uKVObject.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class TKVConfigStore { kvRegistry, kvIni };

struct TKVConfigItem {
  static constexpr uint8_t ctText = 1;
  static constexpr uint8_t ctExpandText = 2;
  static constexpr uint8_t ctInteger = 3;

  std::string Value; // always held as text; an integer as its decimal text
  std::string Name;
  uint8_t Type = ctText;
  bool operator==(const TKVConfigItem&) const = default;
};

class TKVCustomConfig : public TPersistent {
public:
  // The key name comes from the running program's file.
  TKVCustomConfig();
  explicit TKVCustomConfig(std::string_view programFile);

  // Only kvRegistry (here: the per-user file) loads and saves anything.
  TKVConfigStore Store = TKVConfigStore::kvRegistry;
  std::string KeyName;
  std::vector<TKVConfigItem> Items;

  // The largest file taken for a configuration; a larger one is neither read nor replaced.
  static constexpr int64_t MaxFileSize = 16 << 20;

  // Replaces the items with the stored values, in stored order. A missing file changes nothing; a file that
  // exists but cannot be read (or is no regular file, or is larger than MaxFileSize) raises EFOpenError.
  // Lines that are not values of the three types are ignored.
  void Load();
  // Writes every item in place of the stored values of its name (names compare without regard to case),
  // keeping every other line as it stands: values no item names, comments, lines it does not understand.
  // Creates the folder and the file (atomically) even without items; a file whose text would not change is
  // not written, and a name that is no regular file is left alone. Never raises; an integer item whose text
  // is not a number is not written.
  void Save();

  // Names compare without regard to case; the last matching item is the one changed or read.
  void SetText(const std::string& name, const std::string& text);
  void SetInteger(const std::string& name, int32_t value);
  // The value of the last text item (type 1) of that name, else defaultText.
  std::string GetText(const std::string& name, const std::string& defaultText) const;
  // The value of the last integer item (type 3) of that name, else defaultValue.
  int32_t GetInteger(const std::string& name, int32_t defaultValue) const;

  // The file the values persist in; empty when there is no configuration folder or no key name.
  std::string FileName() const;
  static std::string KeyNameOf(std::string_view programFile);
  static std::string ConfigFolder();

private:
  void SetValue(const std::string& name, const std::string& value, uint8_t type);
};

class TKVConfig : public TKVCustomConfig {
public:
  using TKVCustomConfig::TKVCustomConfig;
  // Publishes Store.
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

} // namespace kv
