#include "gui/uKVBitmapCollection.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"
#include "gui/uBmpCodec.h"
#include "gui/uJpegCodec.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <system_error>
#include <utility>

namespace kv {

namespace {

[[noreturn]] void IndexError(int32_t index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

} // namespace

// ---- TKVCustomBitmapItem

TKVCustomBitmapItem::TKVCustomBitmapItem(TKVCustomBitmapCollection* collection) : FCollection(collection) {
  FBitmap.OnChange = [this](TBitmap32&) {
    if (FCollection) FCollection->Changed();
  };
}

TKVCustomBitmapItem::~TKVCustomBitmapItem() = default;

void TKVCustomBitmapItem::SetStyle(TKVDrawStyle value) {
  if (FStyle == value) return;
  FStyle = value;
  if (FCollection) FCollection->Changed();
}

void TKVCustomBitmapItem::Assign(const TKVCustomBitmapItem& source) {
  if (&source == this) return;
  FRawData = source.FRawData;
  FRawKind = source.FRawKind;
  TransparentColor = source.TransparentColor;
  Duration = source.Duration;
  Disposal = source.Disposal;
  Name = source.Name;
  Offset = source.Offset;
  FStyle = source.FStyle;
  // Last, so that listeners see the item complete.
  FBitmap.Assign(source.FBitmap);
}

void TKVCustomBitmapItem::LoadFromFile(const std::string& fileName) {
  std::error_code error;
  // Only regular files: a device or a pipe given as a picture name must not block or flood the load.
  if (fileName.empty() || !std::filesystem::is_regular_file(fileName, error)) return;
  // Larger than any picture a game shows: left alone rather than read whole.
  const std::uintmax_t size = std::filesystem::file_size(fileName, error);
  if (error || size > kMaxPictureFileSize) return;
  TMemoryStream raw;
  raw.LoadFromFile(fileName);
  const TPictureKind kind = PictureKindFromFileName(fileName);
  if (kind == pkJPEG || kind == pkBMP || kind == pkGIF) {
    const TLoadedPicture loaded = DecodePicture(std::span<const uint8_t>(raw.Bytes()), kind);
    FBitmap.BeginUpdate();
    TScopeExit end([this] { FBitmap.EndUpdate(); });
    FBitmap.Assign(loaded.Picture);
    if (loaded.HasTransparentColor) FBitmap.ClearKeyColor(loaded.TransparentColor);
    FRawData = std::move(raw);
    FRawKind = kind;
    return;
  }
  FRawData = std::move(raw);
  FRawKind = kind;
}

// ---- TKVBitmapOwnedCollection

TKVBitmapOwnedCollection::TKVBitmapOwnedCollection(TKVCustomBitmapCollection& owner, TItemFactory factory)
    : FOwner(owner), FFactory(std::move(factory)) {}

TKVCustomBitmapItem& TKVBitmapOwnedCollection::Add() {
  return Add(FFactory());
}

TKVCustomBitmapItem& TKVBitmapOwnedCollection::Add(std::unique_ptr<TKVCustomBitmapItem> item) {
  if (!item || item->Collection() != &FOwner) throw EListError("Item does not belong to this collection");
  FItems.push_back(std::move(item));
  return *FItems.back();
}

void TKVBitmapOwnedCollection::Clear() {
  FItems.clear();
  FOwner.Changed();
}

void TKVBitmapOwnedCollection::Delete(int32_t index) {
  if (index < 0 || index >= Count()) IndexError(index);
  FItems.erase(FItems.begin() + index);
  FOwner.Changed();
}

TKVCustomBitmapItem& TKVBitmapOwnedCollection::Item(int32_t index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return *FItems[static_cast<std::size_t>(index)];
}

void TKVBitmapOwnedCollection::Replace(std::vector<std::unique_ptr<TKVCustomBitmapItem>> items) {
  for (const auto& item : items)
    if (!item || item->Collection() != &FOwner) throw EListError("Item does not belong to this collection");
  FItems = std::move(items);
  FOwner.Changed();
}

// ---- TKVCustomBitmapCollection

TKVCustomBitmapCollection::TKVCustomBitmapCollection()
    : TKVCustomBitmapCollection([this] { return std::make_unique<TKVCustomBitmapItem>(this); }) {}

TKVCustomBitmapCollection::TKVCustomBitmapCollection(TKVBitmapOwnedCollection::TItemFactory factory)
    : FItems(std::make_unique<TKVBitmapOwnedCollection>(*this, std::move(factory))),
      FBackground(std::make_unique<TKVCustomBitmapItem>(this)) {}

TKVCustomBitmapCollection::~TKVCustomBitmapCollection() {
  // Items going away tell nobody.
  FLockCount = 1;
  FListeners.clear();
  FComponents.clear();
}

void TKVCustomBitmapCollection::SetBackgroundColor(TColor value) {
  FBackgroundColor = value;
  Changed();
}

void TKVCustomBitmapCollection::SetLogicalSize(int32_t width, int32_t height) {
  if (width == FLogicalWidth && height == FLogicalHeight) return;
  FLogicalWidth = width;
  FLogicalHeight = height;
  Changed();
}

void TKVCustomBitmapCollection::Unlock() {
  if (FLockCount > 0) --FLockCount;
}

void TKVCustomBitmapCollection::AddChangeListener(const void* owner, TKVBitmapCollectionEvent callback) {
  if (callback) FListeners.push_back({std::move(callback), owner});
}

void TKVCustomBitmapCollection::RemoveChangeListeners(const void* owner) {
  std::erase_if(FListeners, [owner](const TKVNotifyEventItem& item) { return item.Owner == owner; });
}

void TKVCustomBitmapCollection::RegisterComponent(TKVComponent* component) {
  if (!component || component == this) return;
  if (std::find(FComponents.begin(), FComponents.end(), component) != FComponents.end()) return;
  FComponents.push_back(component);
  FreeNotification(component);
}

void TKVCustomBitmapCollection::UnregisterComponent(TKVComponent* component) {
  std::erase(FComponents, component);
  RemoveFreeNotification(component);
}

void TKVCustomBitmapCollection::Notification(TKVComponent* component, TOperation operation) {
  TKVComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  std::erase(FComponents, component);
  RemoveChangeListeners(component);
}

void TKVCustomBitmapCollection::Changed() {
  if (FLockCount != 0) return;
  // Copies: a handler may register or remove listeners while it runs.
  const std::vector<TKVComponent*> components = FComponents;
  for (TKVComponent* component : components)
    if (std::find(FComponents.begin(), FComponents.end(), component) != FComponents.end())
      component->PropertiesChanged(this);
  const std::vector<TKVNotifyEventItem> listeners = FListeners;
  for (const auto& listener : listeners) listener.Callback(*this);
}

void TKVCustomBitmapCollection::LoadFromStream(TStream& stream, bool skipHeader) {
  if (skipHeader) stream.SetPosition(0);
  const std::vector<uint8_t> bytes = stream.ReadBytes(stream.Remaining());
  const TPictureKind kind = DetectPictureKind(std::span<const uint8_t>(bytes));
  // Decoded before anything changes, so that a bad picture leaves the collection as it was.
  const TDecodedPicture picture = kind == pkJPEG ? DecodeJpeg(bytes) : DecodeBmp(bytes);

  std::unique_ptr<TKVCustomBitmapItem> item = FItems->NewItem();
  item->Duration = 100;
  {
    Lock();
    TScopeExit unlock([this] { Unlock(); });
    item->Bitmap().Assign(picture);
  }
  std::vector<std::unique_ptr<TKVCustomBitmapItem>> items;
  items.push_back(std::move(item));
  FItems->Replace(std::move(items));
  SetLogicalSize(FItems->Item(0).Bitmap().Width(), FItems->Item(0).Bitmap().Height());
}

} // namespace kv
