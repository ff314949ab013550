#include "data/uHighScore.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"

#include <algorithm>

namespace kv {

namespace {

using SF = TKVStreamFunc;

constexpr char kMagic[4] = {'H', 'G', 'S', 'C'};
constexpr uint16_t kEndTag = 4320;
constexpr uint16_t kFirstLevelTag = 4321;
// Name length, time and level byte.
constexpr int64_t kEntryMinSize = 9;

bool ValidLevel(int32_t level) {
  return level >= 0 && level < THighScore::LevelCount;
}

} // namespace

std::string THighScore::LevelName(int32_t level) {
  static const char* const names[LevelCount] = {"Easy", "Normal", "Hard", "Very Easy"};
  return ValidLevel(level) ? names[level] : "";
}

std::vector<THighScoreData>& THighScore::List(int32_t level) {
  if (!ValidLevel(level)) throw EListError("List index out of bounds (" + std::to_string(level) + ")");
  return Lists[static_cast<std::size_t>(level)];
}

THighScoreData THighScore::GetEntry(int32_t level, int32_t position) const {
  if (ValidLevel(level)) {
    const auto& list = Lists[static_cast<std::size_t>(level)];
    if (position >= 0 && static_cast<std::size_t>(position) < list.size())
      return list[static_cast<std::size_t>(position)];
  }
  THighScoreData empty;
  empty.Level = static_cast<uint8_t>(level);
  return empty;
}

int32_t THighScore::Count(int32_t level) const {
  return ValidLevel(level) ? static_cast<int32_t>(Lists[static_cast<std::size_t>(level)].size()) : 0;
}

bool THighScore::Qualifies(int32_t level, int32_t time, int32_t& position) const {
  for (int32_t i = 0; i < TablePositions; ++i) {
    const int32_t stored = GetEntry(level, i).Time;
    if (stored == -1 || stored > time) {
      position = i;
      return true;
    }
  }
  position = -1;
  return false;
}

void THighScore::Add(const THighScoreData& entry) {
  auto& list = List(entry.Level);
  const auto at = std::find_if(list.begin(), list.end(),
                               [&](const THighScoreData& existing) { return existing.Time > entry.Time; });
  list.insert(at, entry);
  IsModified = true;
}

void THighScore::ClearLevel(int32_t level) {
  List(level).clear();
  IsModified = true;
}

void THighScore::LoadFromFile(const std::string& fileName) {
  TMemoryStream image(ReadRegularFile(fileName, MaxFileSize));
  FileImage = std::move(image);
  FileImage.SetPosition(0);
  Parse(FileImage);
  IsModified = false;
}

void THighScore::LoadFromStream(TStream& stream) {
  Parse(stream);
  IsModified = false;
}

void THighScore::Parse(TStream& stream) {
  char magic[4] = {};
  if (stream.Read(magic, sizeof magic) != sizeof magic || !std::equal(magic, magic + 4, kMagic)) return;
  while (true) {
    const uint16_t tag = SF::ReadTag(stream);
    if (tag == kEndTag) return;
    const int32_t size = SF::ReadInteger(stream);
    if (size < 0) throw EReadError();
    if (tag < kFirstLevelTag || tag >= kFirstLevelTag + LevelCount) {
      stream.Skip(size);
      continue;
    }
    // The size is not needed to read a level section: its entries are read field by field.
    const int32_t count = SF::ReadInteger(stream);
    if (count < 0 || count > stream.Remaining() / kEntryMinSize) throw EReadError();
    auto& list = Lists[tag - kFirstLevelTag];
    list.clear();
    list.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      THighScoreData entry;
      entry.Name = SF::ReadString(stream);
      entry.Time = SF::ReadInteger(stream);
      entry.Level = SF::ReadByte(stream);
      list.push_back(std::move(entry));
    }
  }
}

void THighScore::SaveToStream(TStream& stream) const {
  stream.WriteBuffer(kMagic, sizeof kMagic);
  for (int32_t level = 0; level < LevelCount; ++level) {
    const auto& list = Lists[static_cast<std::size_t>(level)];
    if (list.empty()) continue;
    int64_t size = 4;
    for (const auto& entry : list) size += kEntryMinSize + static_cast<int64_t>(entry.Name.size());
    SF::WriteWord(static_cast<int16_t>(kFirstLevelTag + level), stream);
    SF::WriteInteger(static_cast<int32_t>(size), stream);
    SF::WriteInteger(static_cast<int32_t>(list.size()), stream);
    for (const auto& entry : list) {
      SF::WriteString(entry.Name, stream);
      SF::WriteInteger(entry.Time, stream);
      SF::WriteByte(entry.Level, stream);
    }
  }
  SF::WriteWord(static_cast<int16_t>(kEndTag), stream);
}

void THighScore::SaveToFile(const std::string& fileName) {
  // A pipe would hold the player until something reads it; a table is kept in a file of its own.
  if (!AbsentOrRegularFile(fileName))
    throw EWriteError("Cannot write file \"" + fileName + "\". Not a regular file");
  TMemoryStream image;
  SaveToStream(image);
  WriteFileAtomically(fileName, image.Bytes());
  FileImage = std::move(image);
}

} // namespace kv
