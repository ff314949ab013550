#include "data/uKVBGVClass.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"

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

void TKVBGVClass::Clear() {
  Data.Clear();
  FWidth = 0;
  FHeight = 0;
  FItemCount = 0;
}

void TKVBGVClass::LoadFromStream(TStream& stream) {
  TMemoryStream bytes;
  if (const int64_t left = stream.Remaining(); left > 0) bytes.CopyFrom(stream, left);
  bytes.SetPosition(0);
  if (bytes.Empty() || TKVStreamFunc::ReadByte(bytes) != StreamVersion) {
    Clear();
    return;
  }
  const int32_t width = TKVStreamFunc::ReadInteger(bytes);
  const int32_t height = TKVStreamFunc::ReadInteger(bytes);
  TKVStreamFunc::ReadInteger(bytes); // the third value travels with the bytes
  int32_t count = TKVStreamFunc::ReadByte(bytes);
  if (count == 255) count = TKVStreamFunc::ReadInteger(bytes);
  bytes.SetPosition(0);
  Data = std::move(bytes);
  FWidth = width;
  FHeight = height;
  FItemCount = count < 0 ? 0 : count; // a negative count reads no items
}

void TKVBGVClass::SaveToStream(TStream& stream) const {
  if (!Data.Empty()) {
    stream.WriteBytes(Data.Bytes());
    return;
  }
  TKVStreamFunc::WriteByte(StreamVersion, stream);
  for (int i = 0; i < 3; ++i) TKVStreamFunc::WriteInteger(0, stream); // width, height, third value
  TKVStreamFunc::WriteByte(0, stream);                                // no items
}

} // namespace kv
