#include "data/uKVBGVClass.h"

namespace kv {

const TKVClassInfo& TKVBGVClass::StaticClassInfo() {
  static const TKVClassInfo info{
      "TKVBGVClass", &TKVComponent::StaticClassInfo(), MakeFactory<TKVBGVClass>(), {}};
  return info;
}

namespace {
[[maybe_unused]] const bool BGVClassRegistered =
    TKVClassRegistry::Instance().Register(TKVBGVClass::StaticClassInfo());
}

void TKVBGVClass::LoadFromStream(TStream& stream) {
  Data.Clear();
  if (const int64_t left = stream.Remaining(); left > 0) Data.CopyFrom(stream, left);
  Data.SetPosition(0);
}

void TKVBGVClass::SaveToStream(TStream& stream) const {
  stream.WriteBytes(Data.Bytes());
}

} // namespace kv
