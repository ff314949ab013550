// One file a package stores under an id and a name: a picture or wallpaper (TBMPData: JPEG, or BMP in old
// packages) or a sound (TWaveData: WAV, MIDI, MP3 or WMA). Both are stored the same way.
#pragma once

#include "data/uKVStream.h"

#include <cstdint>
#include <string>

namespace kv {

struct TNamedData {
  uint32_t ID = 0;
  std::string Name;
  // The file as stored.
  TMemoryStream Data;
  int32_t Extension = 0; // as read; written as 0
  bool operator==(const TNamedData&) const = default;
};

using TBMPData = TNamedData;
using TWaveData = TNamedData;

} // namespace kv
