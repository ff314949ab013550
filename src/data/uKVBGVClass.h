// A vector animation as the package stores it (splash, About box, icon). Until the animation player exists
// the object keeps the bytes it was loaded from, so that nothing is lost when the package is written back.
// It stores itself as one stream (IStreamStorage), so the published-properties XML holds it as "Data".
#pragma once

#include "data/uKVComponent.h"
#include "data/uKVObject.h"
#include "data/uKVStream.h"

namespace kv {

class TKVBGVClass : public TKVComponent, public IStreamStorage {
public:
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Loads the animation from its own (already decompressed) stream, from the position to the end.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  bool Empty() const { return Data.Empty(); }
  const TMemoryStream& Bytes() const { return Data; }

private:
  TMemoryStream Data;
};

} // namespace kv
