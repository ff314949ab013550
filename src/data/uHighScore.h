// The best completion times per difficulty level, and the "HGSC" file that keeps them.
#pragma once

#include "data/uKVStream.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct THighScoreData {
  std::string Name;
  // Seconds; -1 marks an empty position.
  int32_t Time = -1;
  // The level list the entry belongs to; as stored when read from a file.
  uint8_t Level = 0;

  bool operator==(const THighScoreData&) const = default;
};

class THighScore {
public:
  static constexpr int32_t LevelCount = 4;
  // Only the first ten entries of a level qualify and are shown.
  static constexpr int32_t TablePositions = 10;

  // "Easy", "Normal", "Hard", "Very Easy" for levels 0..3; empty for any other level.
  static std::string LevelName(int32_t level);

  // A copy of the entry; outside the list (or the levels), an entry with an empty name and time -1.
  THighScoreData GetEntry(int32_t level, int32_t position) const;
  int32_t Count(int32_t level) const;
  // True with the first position 0..9 whose entry is empty or slower than time; false and -1 otherwise.
  bool Qualifies(int32_t level, int32_t time, int32_t& position) const;
  // Inserts before the first slower entry of the entry's level (after those with an equal time).
  // A level outside 0..3 raises EListError.
  void Add(const THighScoreData& entry);
  void ClearLevel(int32_t level);
  bool Modified() const { return IsModified; }

  // The largest file taken for a table. Ten shown places in each of four levels come to a few kilobytes even
  // with long names; a file of this size holds thousands of entries.
  static constexpr int64_t MaxFileSize = 1 << 20;

  // A file that does not start with "HGSC" loads nothing. A damaged file raises EReadError; the levels read
  // before the damage keep what they read. Anything but a regular file of at most MaxFileSize bytes raises
  // EFOpenError and leaves the table as it was.
  void LoadFromFile(const std::string& fileName);
  void LoadFromStream(TStream& stream);
  // The file is replaced in one step: a save that fails leaves the previous file as it was. Anything but a
  // regular file (or no file yet) is refused with EWriteError.
  void SaveToFile(const std::string& fileName);
  void SaveToStream(TStream& stream) const;

  // The last file image read or written.
  const TMemoryStream& Image() const { return FileImage; }

private:
  void Parse(TStream& stream);
  std::vector<THighScoreData>& List(int32_t level);

  std::array<std::vector<THighScoreData>, LevelCount> Lists;
  TMemoryStream FileImage;
  bool IsModified = false;
};

} // namespace kv
