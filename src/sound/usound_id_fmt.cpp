#include "sound/usound_id_fmt.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"

#include <algorithm>

namespace kv {

namespace {

using SF = TKVStreamFunc;

constexpr int32_t TagEntry = 44449;
constexpr int32_t TagEnd = 44448;

} // namespace

uint8_t TSoundIDFormatAssoc::FormatOf(int32_t soundId) const {
  const auto found = std::find_if(Items.begin(), Items.end(),
                                  [soundId](const TSoundFormat& item) { return item.SoundID == soundId; });
  return found == Items.end() ? 0 : found->Format;
}

void TSoundIDFormatAssoc::LoadFromStream(TStream& stream) {
  Items.clear();
  stream.SetPosition(0);
  while (true) {
    const int32_t tag = SF::ReadInteger(stream);
    const int32_t size = SF::ReadInteger(stream);
    if (tag == TagEnd) break;
    if (size < 0 || size > stream.Remaining()) throw EReadError();
    if (tag != TagEntry) {
      stream.Skip(size);
      continue;
    }
    // The id and the format; the rest of the entry is padding.
    if (size < 5) throw EReadError();
    TSoundFormat item;
    item.SoundID = SF::ReadInteger(stream);
    item.Format = SF::ReadByte(stream);
    stream.Skip(size - 5);
    Items.push_back(item);
  }
}

void TSoundIDFormatAssoc::SaveToStream(TStream& stream) const {
  for (const auto& item : Items) {
    SF::WriteInteger(TagEntry, stream);
    SF::WriteInteger(8, stream);
    SF::WriteInteger(item.SoundID, stream);
    SF::WriteByte(item.Format, stream);
    const uint8_t padding[3] = {0, 0, 0};
    stream.WriteBuffer(padding, sizeof padding);
  }
  SF::WriteInteger(TagEnd, stream);
  SF::WriteInteger(0, stream);
}

} // namespace kv
