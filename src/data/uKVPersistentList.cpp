#include "data/uKVPersistentList.h"

#include "core/uKVErrors.h"

namespace kv {

namespace {

std::string FormatListMessage(const std::string& message, int32_t value) {
  std::string result = message;
  if (const auto at = result.find("%d"); at != std::string::npos)
    result.replace(at, 2, std::to_string(value));
  return result;
}

const std::string IndexError = "List index out of bounds (%d)";
const std::string CapacityError = "List capacity out of bounds (%d)";
const std::string CountError = "List count out of bounds (%d)";

} // namespace

const TKVClassInfo& TKVPersistentList::StaticClassInfo() {
  static const TKVClassInfo info{
      "TKVPersistentList", &TPersistent::StaticClassInfo(), MakeFactory<TKVPersistentList>(), {}};
  return info;
}

TKVPersistentList::~TKVPersistentList() {
  TKVPersistentList::Clear();
}

void TKVPersistentList::Fail(const std::string& message, int32_t value) {
  Error(message, value);
  throw EListError(FormatListMessage(message, value));
}

void TKVPersistentList::Error(const std::string& message, int32_t value) {
  throw EListError(FormatListMessage(message, value));
}

void TKVPersistentList::Notify(TPersistent*, TListNotification) {}

void TKVPersistentList::Grow() {
  int32_t delta = 4;
  if (FCapacity > 64)
    delta = FCapacity / 4;
  else if (FCapacity > 8)
    delta = 16;
  SetCapacity(FCapacity + delta); // at most 1.25 x MaxListSize: no overflow
}

int32_t TKVPersistentList::Insert(TSlot slot) {
  if (FCount == FCapacity) Grow();
  if (FCount >= FCapacity) Fail(CountError, FCount + 1); // a Grow override that did not grow
  TPersistent* item = slot.Item;
  FList.push_back(std::move(slot));
  const int32_t index = FCount++;
  if (item) Notify(item, TListNotification::lnAdded);
  return index;
}

int32_t TKVPersistentList::Add(TPersistent* item) {
  return Insert(TSlot{item, nullptr});
}

int32_t TKVPersistentList::AddOwned(std::unique_ptr<TPersistent> item) {
  TPersistent* raw = item.get();
  return Insert(TSlot{raw, std::move(item)});
}

void TKVPersistentList::Delete(int32_t index) {
  if (index < 0 || index >= FCount) Fail(IndexError, index);
  TSlot slot = std::move(FList[static_cast<std::size_t>(index)]);
  FList.erase(FList.begin() + index);
  --FCount;
  if (slot.Item) Notify(slot.Item, TListNotification::lnDeleted);
  // slot.Owned, if any, goes here.
}

TPersistent* TKVPersistentList::Items(int32_t index) const {
  if (index < 0 || index >= FCount) const_cast<TKVPersistentList*>(this)->Fail(IndexError, index);
  return FList[static_cast<std::size_t>(index)].Item;
}

int32_t TKVPersistentList::IndexOf(const TPersistent* item) const {
  for (int32_t i = 0; i < FCount; ++i)
    if (FList[static_cast<std::size_t>(i)].Item == item) return i;
  return -1;
}

bool TKVPersistentList::Owns(int32_t index) const {
  if (index < 0 || index >= FCount) const_cast<TKVPersistentList*>(this)->Fail(IndexError, index);
  return FList[static_cast<std::size_t>(index)].Owned != nullptr;
}

void TKVPersistentList::SetCapacity(int32_t capacity) {
  if (capacity < FCount || capacity > MaxListSize) Fail(CapacityError, capacity);
  if (capacity == FCapacity) return;
  if (capacity < FCapacity) {
    // Give the memory back, as a reallocation to the smaller size would.
    std::vector<TSlot> smaller;
    smaller.reserve(static_cast<std::size_t>(capacity));
    for (auto& slot : FList) smaller.push_back(std::move(slot));
    FList = std::move(smaller);
  } else {
    FList.reserve(static_cast<std::size_t>(capacity));
  }
  FCapacity = capacity;
}

void TKVPersistentList::SetCount(int32_t count) {
  if (count < 0 || count > MaxListSize) Fail(CountError, count);
  if (count > FCapacity) SetCapacity(count);
  if (count > FCount) {
    FList.resize(static_cast<std::size_t>(count));
    FCount = count;
  } else {
    for (int32_t i = FCount - 1; i >= count; --i) Delete(i);
  }
}

void TKVPersistentList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

} // namespace kv
