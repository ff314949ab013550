// Named pictures kept together: the frames of an animated image with their timing and offsets, and the base
// of the skin's theme pictures. A collection tells its listeners whenever its pictures or settings change.
#pragma once

#include "core/uKVTypes.h"
#include "data/uKVComponent.h"
#include "data/uKVStream.h"
#include "gui/uBitmap32.h"
#include "gui/uPictureFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

// The largest picture file an item reads from disk.
inline constexpr std::uintmax_t kMaxPictureFileSize = 64u << 20;

// How a picture sits in its area. Stored and copied with an item; drawing code chooses its own placement.
enum TKVDrawStyle {
  kvdsStretch,
  kvdsTile,
  kvdsCenter,
  kvdsTopLeft,
  kvdsTopRight,
  kvdsBottomLeft,
  kvdsBottomRight
};

class TKVCustomBitmapCollection;

class TKVCustomBitmapItem {
public:
  // collection may be null: a free-standing item notifies nobody.
  explicit TKVCustomBitmapItem(TKVCustomBitmapCollection* collection = nullptr);
  virtual ~TKVCustomBitmapItem();
  TKVCustomBitmapItem(const TKVCustomBitmapItem&) = delete;
  TKVCustomBitmapItem& operator=(const TKVCustomBitmapItem&) = delete;

  TKVCustomBitmapCollection* Collection() const { return FCollection; }

  // Every change of the picture's pixels or size notifies the collection.
  TBitmap32& Bitmap() { return FBitmap; }
  const TBitmap32& Bitmap() const { return FBitmap; }
  // Copies the pixels and the surface's properties.
  void SetBitmap(const TBitmap32& bitmap) { FBitmap.Assign(bitmap); }

  // The picture file the item was last loaded from, as it was, and its kind (pkUnknown when none).
  const TMemoryStream& RawData() const { return FRawData; }
  TPictureKind RawKind() const { return FRawKind; }

  TKVDrawStyle Style() const { return FStyle; }
  void SetStyle(TKVDrawStyle value);

  // Frame attributes of an animation.
  uint8_t Disposal = 0;
  int32_t Duration = 100;
  TPoint Offset{};

  // Platform colour; clNone when no colour is keyed out.
  TColor TransparentColor = clNone;
  std::string Name;

  // Copies the picture, the raw file and its kind, TransparentColor, Duration, Disposal, Name, Offset and
  // Style.
  virtual void Assign(const TKVCustomBitmapItem& source);

  // Loads a picture file when it exists (a regular file); a missing file changes nothing. The lower-case
  // extension decides the kind: ".jpg"/".jpeg", ".bmp", ".gif" (first frame, its transparent colour
  // cleared), ".png" (kept, not decoded: the picture stays as it was), anything else pkUnknown (kept, not
  // decoded). The file's bytes are kept as RawData. A decoder's error propagates and leaves the item as it
  // was.
  void LoadFromFile(const std::string& fileName);

private:
  TKVCustomBitmapCollection* FCollection;
  TBitmap32 FBitmap;
  TMemoryStream FRawData;
  TPictureKind FRawKind = pkUnknown;
  TKVDrawStyle FStyle = kvdsStretch;
};

// The owned items of a collection; the collection decides the item class.
class TKVBitmapOwnedCollection {
public:
  using TItemFactory = std::function<std::unique_ptr<TKVCustomBitmapItem>()>;
  explicit TKVBitmapOwnedCollection(TKVCustomBitmapCollection& owner, TItemFactory factory);

  TKVCustomBitmapItem& Add();
  // Takes over an item made for this collection (by NewItem).
  TKVCustomBitmapItem& Add(std::unique_ptr<TKVCustomBitmapItem> item);
  std::unique_ptr<TKVCustomBitmapItem> NewItem() const { return FFactory(); }
  void Clear();
  // Raises EListError "List index out of bounds (n)".
  void Delete(int32_t index);
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // Raises EListError "List index out of bounds (n)".
  TKVCustomBitmapItem& Item(int32_t index) const;
  TKVCustomBitmapItem& operator[](int32_t index) const { return Item(index); }
  // Replaces every item at once.
  void Replace(std::vector<std::unique_ptr<TKVCustomBitmapItem>> items);

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

private:
  TKVCustomBitmapCollection& FOwner;
  TItemFactory FFactory;
  std::vector<std::unique_ptr<TKVCustomBitmapItem>> FItems;
};

using TKVBitmapCollectionEvent = std::function<void(TKVCustomBitmapCollection&)>;

// A listener and whoever registered it, so that an owner's callbacks can be dropped together.
struct TKVNotifyEventItem {
  TKVBitmapCollectionEvent Callback;
  const void* Owner = nullptr;
};

class TKVCustomBitmapCollection : public TKVComponent {
public:
  TKVCustomBitmapCollection();
  ~TKVCustomBitmapCollection() override;

  TKVBitmapOwnedCollection& Items() { return *FItems; }
  const TKVBitmapOwnedCollection& Items() const { return *FItems; }
  int32_t Count() const { return FItems->Count(); }

  TKVCustomBitmapItem& Background() { return *FBackground; }
  const TKVCustomBitmapItem& Background() const { return *FBackground; }

  TColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor value);

  // The size of the last picture loaded into the collection.
  int32_t LogicalWidth() const { return FLogicalWidth; }
  int32_t LogicalHeight() const { return FLogicalHeight; }
  void SetLogicalSize(int32_t width, int32_t height);

  // Folder that item file names are relative to (with its trailing separator); empty by default.
  std::string BaseFolder;

  // While locked, changes notify nobody. Unlocking does not notify by itself.
  void Lock() { ++FLockCount; }
  void Unlock();
  int32_t LockCount() const { return FLockCount; }

  // Listeners are called with the collection after every change.
  void AddChangeListener(const void* owner, TKVBitmapCollectionEvent callback);
  void RemoveChangeListeners(const void* owner);
  // A component told (PropertiesChanged) after every change; it is forgotten, with the listeners it
  // registered under its own address, when it is destroyed.
  void RegisterComponent(TKVComponent* component);
  void UnregisterComponent(TKVComponent* component);

  // Tells every registered component and listener, unless locked.
  void Changed();

  // Loads a background picture into a single item (duration 100). With skipHeader the picture starts at
  // the beginning of the stream, else at its position, and runs to the end of the stream. A picture whose
  // bytes at offset 6 read "jfif" or "exif" (any case), or that starts with a JPEG marker, is decoded as
  // JPEG, anything else as BMP. The logical size becomes the picture's size. A picture that cannot be
  // decoded raises the decoder's error and leaves the collection as it was.
  void LoadFromStream(TStream& stream, bool skipHeader);

protected:
  explicit TKVCustomBitmapCollection(TKVBitmapOwnedCollection::TItemFactory factory);
  void Notification(TKVComponent* component, TOperation operation) override;

private:
  std::unique_ptr<TKVBitmapOwnedCollection> FItems;
  std::unique_ptr<TKVCustomBitmapItem> FBackground;
  TColor FBackgroundColor = clAppWorkSpace;
  int32_t FLogicalWidth = 0;
  int32_t FLogicalHeight = 0;
  int32_t FLockCount = 0;
  std::vector<TKVComponent*> FComponents;
  std::vector<TKVNotifyEventItem> FListeners;
};

class TKVBitmapCollection : public TKVCustomBitmapCollection {
public:
  TKVBitmapCollection() = default;
};

} // namespace kv
