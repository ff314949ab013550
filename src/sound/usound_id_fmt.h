// Which format each sound of a package has: (sound id, format) pairs in the package's tagged table.
#pragma once

#include "data/uExecData.h"
#include "data/uKVStream.h"

#include <cstdint>
#include <vector>

namespace kv {

class TSoundIDFormatAssoc {
public:
  std::vector<TSoundFormat> Items;

  void Add(int32_t soundId, uint8_t format) { Items.push_back({soundId, format}); }
  // The format of the first pair of soundId; 0 (unknown) when there is none.
  uint8_t FormatOf(int32_t soundId) const;

  // Clears the list and reads the table from the start of the stream: (tag, size) pairs of 32-bit integers,
  // tag 44449 a pair (id in the first 4 bytes, format in the fifth), tag 44448 the end, other tags skipped.
  // Raises EReadError for a table that is cut short or claims more than the stream holds.
  void LoadFromStream(TStream& stream);
  // Each pair as tag 44449, size 8, id, format and 3 zero bytes; then tag 44448 with size 0.
  void SaveToStream(TStream& stream) const;
};

} // namespace kv
