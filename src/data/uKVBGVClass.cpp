#include "data/uKVBGVClass.h"

namespace kv {

void TKVBGVClass::LoadFromStream(TStream& stream) {
  Data.Clear();
  if (const int64_t left = stream.Remaining(); left > 0) Data.CopyFrom(stream, left);
  Data.SetPosition(0);
}

void TKVBGVClass::SaveToStream(TStream& stream) const { stream.WriteBytes(Data.Bytes()); }

} // namespace kv
