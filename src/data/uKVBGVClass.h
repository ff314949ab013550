// A vector animation as the package stores it (splash, About box, icon). The stream's header (version, size,
// the third value, the item count) is read; the items are kept as the bytes they came in until the player
// draws them, so that nothing is lost when the package is written back. It stores itself as one stream
// (IStreamStorage), so the published-properties XML holds it as "Data".
#pragma once

#include "data/uKVComponent.h"
#include "data/uKVObject.h"
#include "data/uKVStream.h"

#include <cstdint>

namespace kv {

class TKVBGVClass : public TKVComponent, public IStreamStorage {
public:
  // The only stream version there is; a stream of another version loads as an empty animation.
  static constexpr uint8_t StreamVersion = 1;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Loads the animation from its own (already decompressed) stream, from the position to the end. No bytes
  // at all (what earlier package writers stored for a missing animation) or another version give an empty
  // animation; a version-1 header cut short raises EReadError and leaves the animation as it was.
  void LoadFromStream(TStream& stream) override;
  // The stream as loaded; an empty animation as version 1 of size 0 x 0 without items, as every animation
  // is written.
  void SaveToStream(TStream& stream) const override;
  void Clear();

  bool Empty() const { return FItemCount == 0; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int32_t ItemCount() const { return FItemCount; }
  // The stream as loaded (header and items); nothing for an animation that loaded empty.
  const TMemoryStream& Bytes() const { return Data; }

private:
  TMemoryStream Data;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FItemCount = 0;
};

} // namespace kv
