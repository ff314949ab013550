// An ordered list of object references that can be a published property.
//
// Ownership: a slot either refers to an object it does not own (Add, as the platform's pointer list does) or
// owns it (AddOwned; the reflection reader adds the items it creates this way). An owned object is destroyed
// when its slot leaves the list (Delete, SetCount, Clear, destruction), after Notify has seen it.
// Destruction calls Clear in this class, where Notify is this class's own: a descendant that must see the
// deletions at destruction calls Clear in its own destructor.
#pragma once

#include "data/uKVObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv {

enum class TListNotification { lnAdded, lnDeleted };

class TKVPersistentList : public TPersistent {
public:
  static constexpr int32_t MaxListSize = 134217727;

  TKVPersistentList() = default;
  ~TKVPersistentList() override;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Returns the new item's index; grows the capacity when the list is full.
  int32_t Add(TPersistent* item);
  int32_t AddOwned(std::unique_ptr<TPersistent> item);
  void Delete(int32_t index);
  TPersistent* Items(int32_t index) const;
  int32_t IndexOf(const TPersistent* item) const;
  bool Owns(int32_t index) const;

  int32_t Count() const { return FCount; }
  int32_t Capacity() const { return FCapacity; }
  // New slots are empty; shrinking deletes from the end.
  void SetCount(int32_t count);
  void SetCapacity(int32_t capacity);

  virtual void Grow();
  virtual void Notify(TPersistent* item, TListNotification action);
  // Raises EListError with message, its "%d" replaced by value.
  virtual void Error(const std::string& message, int32_t value);
  // Count 0 and capacity 0.
  virtual void Clear();

private:
  struct TSlot {
    TPersistent* Item = nullptr;
    std::unique_ptr<TPersistent> Owned;
  };
  // Error, and a raise of its own should an override return.
  [[noreturn]] void Fail(const std::string& message, int32_t value);
  int32_t Insert(TSlot slot);

  std::vector<TSlot> FList; // FList.size() == FCount
  int32_t FCount = 0;
  int32_t FCapacity = 0;
};

} // namespace kv
