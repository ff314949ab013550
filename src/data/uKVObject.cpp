#include "data/uKVObject.h"

#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "data/uLittleEndian.h"

#include <cstdlib>

namespace kv {

namespace {

bool SameText(std::string_view a, std::string_view b) {
  return TKVStandardFunc::LowerText(a) == TKVStandardFunc::LowerText(b);
}

int32_t LittleInt32(const std::vector<uint8_t>& b, std::size_t at) {
  return LoadLE<int32_t>(b.data() + at);
}

int32_t LittleWord(const std::vector<uint8_t>& b, std::size_t at) {
  return LoadLE<uint16_t>(b.data() + at);
}

// Width and height from the info header that follows the 14-byte file header; the old 12-byte core header
// holds unsigned 16-bit values. A negative height marks a top-down picture.
std::pair<int32_t, int32_t> BmpSize(const std::vector<uint8_t>& b) {
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return {0, 0};
  const int32_t headerSize = LittleInt32(b, 14);
  if (headerSize == 12) return {LittleWord(b, 18), LittleWord(b, 20)};
  const int32_t height = LittleInt32(b, 22);
  return {LittleInt32(b, 18), height == INT32_MIN ? 0 : std::abs(height)};
}

} // namespace

int32_t TKVBitmapBytes::Width() const {
  return BmpSize(Bmp).first;
}
int32_t TKVBitmapBytes::Height() const {
  return BmpSize(Bmp).second;
}

bool TKVPropInfo::HasSetter() const {
  switch (Kind) {
  case TKVPropertyKind::pkInteger:
  case TKVPropertyKind::pkEnumeration:
  case TKVPropertyKind::pkSet:
    return static_cast<bool>(SetInt);
  case TKVPropertyKind::pkString:
    return static_cast<bool>(SetString);
  case TKVPropertyKind::pkObject:
    return static_cast<bool>(SetObject);
  }
  return false;
}

int32_t TKVPropInfo::MemberIndex(std::string_view name) const {
  for (std::size_t i = 0; i < Members.size(); ++i)
    if (SameText(Members[i], name)) return static_cast<int32_t>(i);
  return -1;
}

bool TKVClassInfo::InheritsFrom(const TKVClassInfo& other) const {
  for (const TKVClassInfo* c = this; c; c = c->Parent)
    if (c == &other) return true;
  return false;
}

// ---- TPersistent

const TKVClassInfo& TPersistent::StaticClassInfo() {
  static const TKVClassInfo info{"TPersistent", nullptr, {}, {}};
  return info;
}

std::vector<const TKVPropInfo*> TPersistent::PublishedProperties() const {
  std::vector<const TKVClassInfo*> chain;
  for (const TKVClassInfo* c = &ClassInfo(); c; c = c->Parent) chain.push_back(c);
  std::vector<const TKVPropInfo*> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const auto& p : (*it)->Properties) result.push_back(&p);
  return result;
}

const TKVPropInfo* TPersistent::FindProperty(std::string_view name) const {
  // A descendant's property hides an ancestor's of the same name.
  for (const TKVClassInfo* c = &ClassInfo(); c; c = c->Parent)
    for (const auto& p : c->Properties)
      if (SameText(p.Name, name)) return &p;
  return nullptr;
}

std::string TPersistent::PropertyNameSpace(const std::string&) const {
  return {};
}

// ---- TKVClassRegistry

TKVClassRegistry& TKVClassRegistry::Instance() {
  static TKVClassRegistry registry;
  return registry;
}

bool TKVClassRegistry::Register(const TKVClassInfo& info) {
  Classes[TKVStandardFunc::LowerText(info.Name)] = &info;
  return true;
}

void TKVClassRegistry::Unregister(std::string_view name) {
  Classes.erase(TKVStandardFunc::LowerText(name));
}

const TKVClassInfo* TKVClassRegistry::Find(std::string_view name) const {
  const auto it = Classes.find(TKVStandardFunc::LowerText(name));
  return it == Classes.end() ? nullptr : it->second;
}

std::unique_ptr<TPersistent> TKVClassRegistry::Create(std::string_view name) const {
  const TKVClassInfo* info = Find(name);
  if (!info || !info->Create) return nullptr;
  return info->Create();
}

// ---- TCollection

const TKVClassInfo& TCollection::StaticClassInfo() {
  static const TKVClassInfo info{"TCollection", &TPersistent::StaticClassInfo(), {}, {}};
  return info;
}

TPersistent& TCollection::Add() {
  if (!ItemClass->Create) throw EListError("Cannot create object " + ItemClass->Name);
  Items.push_back(ItemClass->Create());
  return *Items.back();
}

void TCollection::Delete(int32_t index) {
  if (index < 0 || index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  Items.erase(Items.begin() + index);
}

TPersistent& TCollection::Item(int32_t index) const {
  if (index < 0 || index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return *Items[static_cast<std::size_t>(index)];
}

// ---- TKVObject

const TKVClassInfo& TKVObject::StaticClassInfo() {
  static const TKVClassInfo info{"TKVObject", &TPersistent::StaticClassInfo(), MakeFactory<TKVObject>(), {}};
  return info;
}

void* TKVObject::QueryInterface(std::string_view) {
  return nullptr;
}

std::unique_ptr<TKVObject> TKVObject::Create(std::string_view className) {
  const TKVClassInfo* info = TKVClassRegistry::Instance().Find(className);
  if (!info || !info->Create || !info->InheritsFrom(StaticClassInfo())) return nullptr;
  std::unique_ptr<TPersistent> object = info->Create();
  auto* typed = dynamic_cast<TKVObject*>(object.get());
  if (!typed) return nullptr;
  object.release();
  return std::unique_ptr<TKVObject>(typed);
}

namespace {
[[maybe_unused]] const bool KVObjectRegistered =
    TKVClassRegistry::Instance().Register(TKVObject::StaticClassInfo());
}

} // namespace kv
