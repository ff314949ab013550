// A vector animation as the package stores it (splash, About box, icon). Until the animation player exists
// the object keeps the bytes it was loaded from, so that nothing is lost when the package is written back.
#pragma once

#include "data/uKVStream.h"

namespace kv {

class TKVBGVClass {
public:
  // Loads the animation from its own (already decompressed) stream.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  bool Empty() const { return Data.Empty(); }
  const TMemoryStream& Bytes() const { return Data; }

private:
  TMemoryStream Data;
};

} // namespace kv
