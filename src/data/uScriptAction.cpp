#include "data/uScriptAction.h"

#include "core/uScopeGuard.h"
#include "data/uKVStreamFunc.h"
#include "data/uLittleEndian.h"

#include <cstring>

namespace kv {

namespace {

using SF = TKVStreamFunc;

constexpr uint32_t kParamHeader = 0x00DEEDEE, kParamEntry = 0x00DEEDEF, kParamEnd = 0x00DEEDE0;
constexpr uint32_t kItemHeader = 0x00BEEBEE, kItemScript = 0x00BEEBEF, kItemEnd = 0x00BEEBE0;
constexpr uint32_t kActionHeader = 0x00AEEAEE, kActionCaption = 0x00AEEAED, kActionScript = 0x00AEEAEF,
                   kActionEnd = 0x00AEEAE0;
constexpr uint32_t kGroupHeader = 0x00CEECEE, kGroupAction = 0x00CEECEF, kGroupCaption = 0x00CEECED,
                   kGroupEnd = 0x00CEECE0;

TScriptCommandHook& Hook() {
  static TScriptCommandHook hook;
  return hook;
}

// Skips the payload of a record this reader does not know. A negative length would walk backwards and loop
// for ever, so it counts as a read error.
void SkipRecord(TStream& stream, int32_t length) {
  stream.Skip(length);
}

// Copies a nested stream of the given size into a buffer of its own, so that its reader cannot run past it.
TMemoryStream NestedStream(TStream& stream, int32_t size) {
  return TMemoryStream(stream.ReadBytes(size));
}

void WriteRecordHeader(uint32_t tag, int64_t length, TStream& stream) {
  SF::WriteCardinal(tag, stream);
  SF::WriteInteger(static_cast<int32_t>(length), stream);
}

} // namespace

// ---- TScriptParameter

int32_t TScriptParameterEntry::AsInteger() const {
  uint8_t bytes[4] = {};
  std::memcpy(bytes, Data.data(), std::min<std::size_t>(4, Data.size()));
  return LoadLE<int32_t>(bytes);
}

void TScriptParameter::Add(int32_t kind, const void* data, std::size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  Items.push_back({kind, std::vector<uint8_t>(p, p + size)});
}

void TScriptParameter::AddInteger(int32_t value) {
  uint8_t bytes[4];
  StoreLE(value, bytes);
  Add(kParamInteger, bytes, 4);
}

void TScriptParameter::AddText(std::string_view text) {
  Add(kParamText, text.data(), text.size());
}

void TScriptParameter::LoadFromStream(TStream& stream) {
  if (SF::ReadCardinal(stream) != kParamHeader) throw EScriptParamErr("Invalid script parameter stream.");
  while (true) {
    const uint32_t tag = SF::ReadCardinal(stream);
    const int32_t length = SF::ReadInteger(stream);
    if (tag == kParamEnd) break;
    if (tag == kParamEntry) {
      const int32_t kind = SF::ReadInteger(stream);
      const int32_t size = SF::ReadInteger(stream);
      std::vector<uint8_t> data = stream.ReadBytes(size);
      Items.push_back({kind, std::move(data)});
    } else {
      SkipRecord(stream, length);
    }
  }
}

void TScriptParameter::SaveToStream(TStream& stream) const {
  SF::WriteCardinal(kParamHeader, stream);
  for (const auto& entry : Items) {
    WriteRecordHeader(kParamEntry, static_cast<int64_t>(entry.Data.size()) + 8, stream);
    SF::WriteInteger(entry.Kind, stream);
    SF::WriteInteger(static_cast<int32_t>(entry.Data.size()), stream);
    stream.WriteBytes(entry.Data);
  }
  WriteRecordHeader(kParamEnd, 0, stream);
}

// ---- TScriptItem

void TScriptItem::Assign(const TScriptItem& other) {
  ID = other.ID;
  Parameter.Assign(other.Parameter);
}

void TScriptItem::Execute() const {
  if (const auto& hook = Hook()) hook(ActualSender, ID, Parameter);
}

void TScriptItem::LoadFromStream(TStream& stream) {
  if (SF::ReadCardinal(stream) != kItemHeader) throw EScriptItemErr("Invalid script item stream.");
  while (true) {
    const uint32_t tag = SF::ReadCardinal(stream);
    const int32_t length = SF::ReadInteger(stream);
    if (tag == kItemEnd) break;
    if (tag == kItemScript) {
      ID = SF::ReadInteger(stream);
      const int32_t size = SF::ReadInteger(stream);
      TMemoryStream nested = NestedStream(stream, size);
      Parameter.LoadFromStream(nested);
    } else {
      SkipRecord(stream, length);
    }
  }
}

void TScriptItem::SaveToStream(TStream& stream) const {
  TMemoryStream params;
  Parameter.SaveToStream(params);
  SF::WriteCardinal(kItemHeader, stream);
  WriteRecordHeader(kItemScript, params.Size() + 12, stream);
  SF::WriteInteger(ID, stream);
  SF::WriteInteger(static_cast<int32_t>(params.Size()), stream);
  stream.WriteBytes(params.Bytes());
  WriteRecordHeader(kItemEnd, 0, stream);
}

// ---- TActionItem

TScriptItem& TActionItem::AddScript() {
  Items.push_back(std::make_unique<TScriptItem>());
  Items.back()->ActionOwner = this;
  return *Items.back();
}

void TActionItem::DeleteScript(std::size_t index) {
  if (index < Items.size()) Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(index));
}

void TActionItem::SetActionGroup(TActionGroup* group) {
  if (!Group && group) {
    do Id = group->Random->RandomBelow(2147483647);
    while (group->HasActionId(Id, this));
  }
  Group = group;
}

void TActionItem::Assign(const TActionItem& other) {
  if (&other == this) return;
  Caption = other.Caption;
  Items.clear();
  for (const auto& item : other.Items) AddScript().Assign(*item);
}

void TActionItem::Execute() const {
  // A command may change the package's actions; walk by index and stop if the list shrinks.
  for (std::size_t i = 0; i < Items.size(); ++i) Items[i]->Execute();
}

bool TActionItem::operator==(const TActionItem& other) const {
  return Id == other.Id && Caption == other.Caption && EqualItems(Items, other.Items);
}

void TActionItem::LoadFromStream(TStream& stream) {
  if (SF::ReadCardinal(stream) != kActionHeader) throw EActionItemErr("Invalid action item stream.");
  while (true) {
    const uint32_t tag = SF::ReadCardinal(stream);
    const int32_t length = SF::ReadInteger(stream);
    if (tag == kActionEnd) break;
    if (tag == kActionCaption) {
      const int32_t id = SF::ReadInteger(stream);
      const int32_t size = SF::ReadInteger(stream);
      if (size < 0) throw EReadError();
      Caption = SF::ReadChars(stream, size);
      Id = id;
    } else if (tag == kActionScript) {
      const int32_t size = SF::ReadInteger(stream);
      TMemoryStream nested = NestedStream(stream, size);
      TScriptItem& item = AddScript();
      TScopeFail drop([this] { Items.pop_back(); });
      item.LoadFromStream(nested);
    } else {
      SkipRecord(stream, length);
    }
  }
}

void TActionItem::SaveToStream(TStream& stream) const {
  SF::WriteCardinal(kActionHeader, stream);
  WriteRecordHeader(kActionCaption, static_cast<int64_t>(Caption.size()) + 8, stream);
  SF::WriteInteger(Id, stream);
  SF::WriteInteger(static_cast<int32_t>(Caption.size()), stream);
  stream.WriteBuffer(Caption.data(), Caption.size());
  for (const auto& item : Items) {
    TMemoryStream nested;
    item->SaveToStream(nested);
    WriteRecordHeader(kActionScript, nested.Size() + 4, stream);
    SF::WriteInteger(static_cast<int32_t>(nested.Size()), stream);
    stream.WriteBytes(nested.Bytes());
  }
  WriteRecordHeader(kActionEnd, 0, stream);
}

// ---- TActionGroup

TActionItem& TActionGroup::AddAction() {
  auto action = std::make_unique<TActionItem>();
  action->SetActionGroup(this);
  Items.push_back(std::move(action));
  return *Items.back();
}

void TActionGroup::DeleteAction(std::size_t index) {
  if (index < Items.size()) Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(index));
}

bool TActionGroup::HasActionId(int32_t id, const TActionItem* except) const {
  for (const auto& item : Items)
    if (item.get() != except && item->ID() == id) return true;
  return false;
}

bool TActionGroup::operator==(const TActionGroup& other) const {
  return Caption == other.Caption && EqualItems(Items, other.Items);
}

void TActionGroup::LoadFromStream(TStream& stream) {
  if (SF::ReadCardinal(stream) != kGroupHeader) return;
  while (true) {
    const uint32_t tag = SF::ReadCardinal(stream);
    const int32_t length = SF::ReadInteger(stream);
    if (tag == kGroupEnd) break;
    if (tag == kGroupAction) {
      const int32_t size = SF::ReadInteger(stream);
      TMemoryStream nested = NestedStream(stream, size);
      TActionItem& action = AddAction();
      TScopeFail drop([this] { Items.pop_back(); });
      action.LoadFromStream(nested);
    } else if (tag == kGroupCaption) {
      const int32_t size = SF::ReadInteger(stream);
      if (size < 0) throw EReadError();
      Caption = SF::ReadChars(stream, size);
    } else {
      SkipRecord(stream, length);
    }
  }
}

void TActionGroup::SaveToStream(TStream& stream) const {
  SF::WriteCardinal(kGroupHeader, stream);
  for (const auto& action : Items) {
    TMemoryStream nested;
    action->SaveToStream(nested);
    WriteRecordHeader(kGroupAction, nested.Size() + 4, stream);
    SF::WriteInteger(static_cast<int32_t>(nested.Size()), stream);
    stream.WriteBytes(nested.Bytes());
  }
  WriteRecordHeader(kGroupCaption, static_cast<int64_t>(Caption.size()) + 4, stream);
  SF::WriteInteger(static_cast<int32_t>(Caption.size()), stream);
  stream.WriteBuffer(Caption.data(), Caption.size());
  WriteRecordHeader(kGroupEnd, 0, stream);
}

// ---- command hook

void SetScriptCommandHook(TScriptCommandHook hook) {
  Hook() = std::move(hook);
}
const TScriptCommandHook& ScriptCommandHook() {
  return Hook();
}

} // namespace kv
