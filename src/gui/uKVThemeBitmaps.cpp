#include "gui/uKVThemeBitmaps.h"

#include "data/uKVObject.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "gui/uBmpCodec.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <utility>

namespace kv {

namespace {

using SF = TKVStreamFunc;

[[noreturn]] void IndexError(int64_t index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

bool Within(const TRect& r, int32_t width, int32_t height) {
  return r.Left >= 0 && r.Top >= 0 && r.Right <= width && r.Bottom <= height;
}

// Keeps a collection quiet for the lifetime of the guard.
class TLockGuard {
public:
  explicit TLockGuard(TKVCustomBitmapCollection& collection) : FCollection(collection) { FCollection.Lock(); }
  ~TLockGuard() { FCollection.Unlock(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

private:
  TKVCustomBitmapCollection& FCollection;
};

// Cuts parts out of one source picture. A rectangle of no width or height gives an empty part; one that
// reaches past the source is refused, so that a part is never larger than the picture it comes from.
class TCutter {
public:
  TCutter(const TBitmap32& source, const std::string& name) : FSource(source), FName(name) {}

  TBitmap32 Cut(const TRect& r) const {
    TBitmap32 part;
    part.SetDrawMode(dmBlend);
    if (r.IsEmpty()) return part;
    if (!Within(r, FSource.Width(), FSource.Height()))
      throw EThemeError("Theme picture \"" + FName + "\" is too small for its parts");
    part.SetSize(r.Width(), r.Height());
    for (int32_t y = 0; y < r.Height(); ++y)
      std::copy_n(FSource.ScanLine(r.Top + y) + r.Left, r.Width(), part.ScanLine(y));
    return part;
  }

private:
  const TBitmap32& FSource;
  const std::string& FName;
};

TBitmap32 EmptyPart() {
  TBitmap32 part;
  part.SetDrawMode(dmBlend);
  return part;
}

// A geometry field as the theme stream stores it.
void WriteField(int32_t value, TStream& stream) {
  if (value < 0 || value > 0xFFFF) throw EWriteError();
  SF::WriteWord(static_cast<int16_t>(static_cast<uint16_t>(value)), stream);
}

// A relative name that stays inside the folder it is taken from: no root, no drive, no "..".
bool IsNameBelowFolder(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\' || name.find(':') != std::string::npos)
    return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = name.find_first_of("/\\", start);
    const std::string_view part =
        std::string_view(name).substr(start, (end == std::string::npos ? name.size() : end) - start);
    if (part == "..") return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

} // namespace

// ---- TKVThemeBitmapItem

TKVThemeBitmapItem::TKVThemeBitmapItem(TKVCustomBitmapCollection* collection)
    : TKVCustomBitmapItem(collection) {}

void TKVThemeBitmapItem::SetSource(const std::string& value) {
  FSource = value;
  // A theme comes with a package from anyone: its names reach a picture beside the game (below a base folder
  // that was set), never a file elsewhere on the system by an absolute name or a way up.
  const std::string folder = Collection() ? Collection()->BaseFolder : std::string();
  if (folder.empty() || !IsNameBelowFolder(value)) return;
  LoadFromFile(folder + value);
}

void TKVThemeBitmapItem::Assign(const TKVCustomBitmapItem& source) {
  if (&source == this) return;
  if (const auto* theme = dynamic_cast<const TKVThemeBitmapItem*>(&source)) {
    FSource = theme->FSource;
    SplitType = theme->SplitType;
    Left = theme->Left;
    Top = theme->Top;
    Right = theme->Right;
    Bottom = theme->Bottom;
    Width = theme->Width;
    Height = theme->Height;
    SkinName = theme->SkinName;
    SplitCount = theme->SplitCount;
    Border = theme->Border;
  }
  ClearParts();
  TKVCustomBitmapItem::Assign(source);
}

void TKVThemeBitmapItem::ClearParts() {
  FParts.clear();
  FSplit = false;
}

void TKVThemeBitmapItem::Split() {
  if (FSplit) return;
  FParts = CutParts();
  FSplit = true;
}

const TBitmap32& TKVThemeBitmapItem::Part(int32_t index) const {
  if (index < 0 || index >= static_cast<int32_t>(FParts.size())) IndexError(index);
  return FParts[static_cast<std::size_t>(index)];
}

std::vector<TBitmap32> TKVThemeBitmapItem::CutParts() const {
  const TBitmap32& picture = Bitmap();
  const TCutter cut(picture, SkinName);
  const int32_t states = std::max(SplitCount, 1);
  const int32_t W = Width, H = Height, L = Left, T = Top, R = Right, B = Bottom;
  std::vector<TBitmap32> parts;

  switch (SplitType) {
  case stHorizontal3:
    // Every state is cut from the same rectangle.
    for (int32_t s = 0; s < states; ++s) {
      parts.push_back(L > 0 ? cut.Cut({0, T, L, H - B}) : EmptyPart());
      parts.push_back(L > 0 || R > 0 ? cut.Cut({L, T, W - R, H - B}) : EmptyPart());
      parts.push_back(R > 0 ? cut.Cut({W - R, T, W, H - B}) : EmptyPart());
    }
    break;
  case stVertical3:
    // Columns L to W of the picture: a part is as wide as the strip it is taken from.
    parts.push_back(T > 0 ? cut.Cut({L, 0, W, T}) : EmptyPart());
    parts.push_back(T > 0 || B > 0 ? cut.Cut({L, T, W, H - B}) : EmptyPart());
    parts.push_back(B > 0 ? cut.Cut({L, H - B, W, H}) : EmptyPart());
    // Only the first state is cut.
    for (int32_t s = 1; s < states; ++s)
      for (int i = 0; i < 3; ++i) parts.push_back(EmptyPart());
    break;
  case stSingle:
    parts.push_back(cut.Cut(picture.BoundsRect()));
    break;
  case stNineSlice: {
    const int32_t D = Border;
    for (int32_t s = 0; s < states; ++s) {
      const int64_t stateLeft = int64_t{s} * W;
      if (stateLeft + W > picture.Width())
        throw EThemeError("Theme picture \"" + SkinName + "\" is too small for its parts");
      TBitmap32 state = cut.Cut({static_cast<int32_t>(stateLeft), 0, static_cast<int32_t>(stateLeft + W), H});
      if (TransparentColor != clNone) state.ClearKeyColor(Color32(TransparentColor));
      const TCutter part(state, SkinName);
      const TRect left{0, D, D, H - D}, right{W - D, D, W, H - D};
      parts.push_back(part.Cut({0, 0, D, D}));
      parts.push_back(part.Cut({D, 0, W - D, D}));
      parts.push_back(part.Cut({W - D, 0, W, D}));
      for (int i = 0; i < 3; ++i) parts.push_back(part.Cut(left));
      for (int i = 0; i < 3; ++i) parts.push_back(part.Cut(right));
      parts.push_back(part.Cut({0, H - D, D, H}));
      parts.push_back(part.Cut({D, H - D, W - D, H}));
      parts.push_back(part.Cut({W - D, H - D, W, H}));
      parts.push_back(part.Cut({D, D, W - D, H - D}));
    }
    break;
  }
  case stGrid13:
  case stGrid25: {
    const int32_t count = SplitType == stGrid13 ? 13 : 25;
    // A cell of no width or height fits no picture: no cells.
    const int64_t columns = W > 0 ? picture.Width() / W : 0;
    const int64_t rows = H > 0 ? picture.Height() / H : 0;
    if (columns * rows > count) IndexError(count);
    for (int64_t k = 0; k < columns * rows; ++k) {
      const auto x = static_cast<int32_t>(k % columns * W), y = static_cast<int32_t>(k / columns * H);
      parts.push_back(cut.Cut({x, y, x + W, y + H}));
    }
    while (static_cast<int32_t>(parts.size()) < count) parts.push_back(EmptyPart());
    break;
  }
  default:
    // An unknown split type gives no parts: the item is never found.
    break;
  }
  return parts;
}

// ---- TKVThemeBitmapCollection

TKVThemeBitmapCollection::TKVThemeBitmapCollection()
    : TKVCustomBitmapCollection([this] { return std::make_unique<TKVThemeBitmapItem>(this); }) {}

TKVThemeBitmapItem& TKVThemeBitmapCollection::Add() {
  return static_cast<TKVThemeBitmapItem&>(Items().Add());
}

TKVThemeBitmapItem& TKVThemeBitmapCollection::Item(int32_t index) const {
  return static_cast<TKVThemeBitmapItem&>(Items().Item(index));
}

void TKVThemeBitmapCollection::LoadThemeStream(TStream& stream) {
  std::vector<std::unique_ptr<TKVCustomBitmapItem>> items;
  {
    const TLockGuard lock(*this);
    const uint16_t count = SF::ReadTag(stream);
    int64_t pixels = 0;
    auto afford = [&pixels](int64_t width, int64_t height) {
      if (pixels + std::max<int64_t>(width, 0) * std::max<int64_t>(height, 0) > MaxThemePixels)
        throw EThemeError("Theme pictures are too large");
    };
    for (uint16_t i = 0; i < count; ++i) {
      auto item = std::make_unique<TKVThemeBitmapItem>(this);
      item->SplitType = SF::ReadByte(stream);
      const int32_t size = SF::ReadInteger(stream);
      // ReadBytes refuses a negative size or one past the end before allocating.
      const TKVBitmapBytes bmp{stream.ReadBytes(size)};
      // The size the header claims is checked before the decoder allocates it.
      afford(bmp.Width(), bmp.Height());
      item->Bitmap().Assign(DecodeBmp(bmp.Bmp));
      afford(item->Bitmap().Width(), item->Bitmap().Height());
      pixels += int64_t{item->Bitmap().Width()} * item->Bitmap().Height();
      const std::string source = SF::ReadString(stream);
      if (!source.empty()) {
        // A picture file that replaced the stored one counts instead of it.
        pixels -= int64_t{item->Bitmap().Width()} * item->Bitmap().Height();
        item->SetSource(source);
        afford(item->Bitmap().Width(), item->Bitmap().Height());
        pixels += int64_t{item->Bitmap().Width()} * item->Bitmap().Height();
      }
      item->SkinName = SF::ReadString(stream);
      item->Left = SF::ReadTag(stream);
      item->Top = SF::ReadTag(stream);
      item->Right = SF::ReadTag(stream);
      item->Bottom = SF::ReadTag(stream);
      item->Width = SF::ReadTag(stream);
      item->Height = SF::ReadTag(stream);
      item->Border = SF::ReadTag(stream);
      item->Split();
      items.push_back(std::move(item));
    }
  }
  Items().Replace(std::move(items));
}

void TKVThemeBitmapCollection::SaveThemeStream(TStream& stream) const {
  if (Count() > 0xFFFF) throw EWriteError();
  TMemoryStream out;
  SF::WriteWord(static_cast<int16_t>(static_cast<uint16_t>(Count())), out);
  for (int32_t i = 0; i < Count(); ++i) {
    const TKVThemeBitmapItem& item = Item(i);
    SF::WriteByte(item.SplitType, out);
    TMemoryStream bmp;
    item.Bitmap().SaveToStream(bmp);
    SF::WriteInteger(static_cast<int32_t>(bmp.Size()), out);
    out.WriteBytes(bmp.Bytes());
    SF::WriteString(item.Source(), out);
    SF::WriteString(item.SkinName, out);
    for (int32_t value : {item.Left, item.Top, item.Right, item.Bottom, item.Width, item.Height, item.Border})
      WriteField(value, out);
  }
  stream.WriteBytes(out.Bytes());
}

TKVThemeBitmapItem* TKVThemeBitmapCollection::FindItem(const std::string& name) {
  const std::string key = TKVStandardFunc::LowerText(name);
  TKVThemeBitmapItem* result = nullptr;
  for (int32_t i = 0; i < Count(); ++i) {
    TKVThemeBitmapItem& item = Item(i);
    // Lower case keeps the length: most names are passed over without a copy.
    if (item.SkinName.size() != key.size() || TKVStandardFunc::LowerText(item.SkinName) != key) continue;
    item.Split();
    if (!item.Parts().empty()) result = &item;
  }
  return result;
}

} // namespace kv
