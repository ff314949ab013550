#include "data/uBanners.h"

#include "core/uKVErrors.h"
#include "data/uImageInfo.h"
#include "data/uKVStreamFunc.h"

#include <algorithm>
#include <climits>

namespace kv {

namespace {

using SF = TKVStreamFunc;

constexpr int32_t kEventOpenUrl = 11;

// Ids are drawn from [0, 2^31 - 1).
uint32_t DrawId(TRandomSource& random) {
  return static_cast<uint32_t>(random.RandomBelow(INT32_MAX));
}

int32_t ClampedLength(int64_t length) {
  return static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX));
}

} // namespace

// ---- TBanner

void TBanner::SetEventID(int32_t value) {
  Event = value;
  Click.ID = value;
  Click.Parameter.Clear();
  if (value == kEventOpenUrl) Click.AddText(URL);
}

void TBanner::ComputeSize(const TImageSizeReader& reader) {
  W = 0;
  H = 0;
  TImageInfo info;
  switch (TypeData) {
  case static_cast<uint8_t>(TTypeData::tdJPG):
    info = ReadImageSize(reader, Data, TImageKind::ikJPEG);
    break;
  case static_cast<uint8_t>(TTypeData::tdBMP):
    info = ReadImageSize(reader, Data, TImageKind::ikBMP);
    break;
  default:
    return;
  }
  W = info.Width;
  H = info.Height;
}

void TBanner::Assign(const TBanner& source, const TImageSizeReader& reader) {
  if (&source == this) return;
  ID = source.ID;
  Data = source.Data;
  Data.SetPosition(0);
  Left = source.Left;
  Top = source.Top;
  URL = source.URL;
  SetEventID(source.EventID());
  Interval = source.Interval;
  TypeData = source.TypeData;
  Click.Assign(source.Click);
  Name = source.Name;
  ComputeSize(reader);
}

// ---- TBanners

TBanner& TBanners::Append(std::unique_ptr<TBanner> banner) {
  TBanner& added = *banner;
  List.push_back(std::move(banner));
  if (IndexValid) Index.emplace(added.ID, &added);
  return added;
}

TBanner& TBanners::Add(TRandomSource& random) {
  auto banner = std::make_unique<TBanner>();
  banner->ID = DrawId(random);
  // FindById also drops the index, as the caller may change the id of what it gets.
  while (FindById(banner->ID)) banner->ID = DrawId(random);
  return Append(std::move(banner));
}

TBanner* TBanners::Items(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  IndexValid = false; // the caller may change the banner's id
  return List[static_cast<std::size_t>(index)].get();
}

TBanner* TBanners::FindById(uint32_t id) const {
  IndexValid = false; // the caller may change the banner's id
  for (const auto& banner : List)
    if (banner->ID == id) return banner.get();
  return nullptr;
}

void TBanners::RebuildIndex() const {
  Index.clear();
  Index.reserve(List.size());
  for (const auto& banner : List) Index.emplace(banner->ID, banner.get());
  IndexValid = true;
}

TBanner* TBanners::FindForRecord(uint32_t id) const {
  if (!IndexValid) RebuildIndex();
  auto found = Index.find(id);
  if (found != Index.end() && found->second->ID != id) {
    // Changed by hand since it was indexed.
    RebuildIndex();
    found = Index.find(id);
  }
  return found == Index.end() ? nullptr : found->second;
}

void TBanners::Clear() {
  List.clear();
  Index.clear();
  IndexValid = false;
}

void TBanners::Assign(const TBanners& source, const TImageSizeReader& reader) {
  if (&source == this) return;
  Clear();
  for (const auto& banner : source.List) {
    // The copy takes the source's id, so no fresh id is drawn for it.
    List.push_back(std::make_unique<TBanner>());
    List.back()->Assign(*banner, reader);
  }
}

void TBanners::ReadRecord(TStream& stream, const TImageSizeReader& reader) {
  SF::ReadInteger(stream); // length: does not measure the payload
  auto banner = std::make_unique<TBanner>();
  banner->ID = SF::ReadCardinal(stream);
  banner->Name = SF::ReadString(stream);
  banner->URL = SF::ReadString(stream);
  banner->Left = SF::ReadInteger(stream);
  banner->Top = SF::ReadInteger(stream);
  banner->SetEventID(SF::ReadInteger(stream));
  banner->Interval = SF::ReadInteger(stream);
  banner->TypeData = SF::ReadByte(stream);
  SF::ReadSizedStream(banner->Data, stream);
  banner->ComputeSize(reader);
  Append(std::move(banner));
}

void TBanners::WriteRecord(const TBanner& banner, TStream& stream) {
  const auto& data = banner.Data.Bytes();
  SF::WriteWord(static_cast<int16_t>(kBannerTag), stream);
  // The URL and the two counts are left out of the length; readers never use it.
  SF::WriteInteger(
      ClampedLength(25 + static_cast<int64_t>(banner.Name.size()) + static_cast<int64_t>(data.size())),
      stream);
  SF::WriteCardinal(banner.ID, stream);
  SF::WriteString(banner.Name, stream);
  SF::WriteString(banner.URL, stream);
  SF::WriteInteger(banner.Left, stream);
  SF::WriteInteger(banner.Top, stream);
  SF::WriteInteger(banner.EventID(), stream);
  SF::WriteInteger(banner.Interval, stream);
  SF::WriteByte(banner.TypeData, stream);
  SF::WriteInteger(static_cast<int32_t>(data.size()), stream);
  stream.WriteBuffer(data.data(), data.size());
}

// ---- TBannerContainer

int32_t TBannerContainer::Width() const {
  int32_t width = 0;
  for (const TBanner* banner : Refs) width = std::max(width, banner->Width());
  return width;
}

int32_t TBannerContainer::Height() const {
  int32_t height = 0;
  for (const TBanner* banner : Refs) height = std::max(height, banner->Height());
  return height;
}

TBanner* TBannerContainer::Item(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return Refs[static_cast<std::size_t>(index)];
}

void TBannerContainer::AddBanner(TBanner* banner) {
  if (banner) Refs.push_back(banner);
}

void TBannerContainer::Assign(const TBannerContainer& source, const TImageSizeReader& reader) {
  if (&source == this) return;
  Left = source.Left;
  Top = source.Top;
  ID = source.ID;
  SkinID = source.SkinID;
  Name = source.Name;
  Refs.clear();
  Owned.clear();
  for (const TBanner* banner : source.Refs) {
    auto copy = std::make_unique<TBanner>();
    copy->Assign(*banner, reader);
    Refs.push_back(copy.get());
    Owned.push_back(std::move(copy));
  }
}

// ---- TBannerContainerManager

TBannerContainer& TBannerContainerManager::Add(TRandomSource& random) {
  const auto used = [this](uint32_t id) {
    return std::any_of(List.begin(), List.end(), [id](const auto& c) { return c->ID == id; });
  };
  uint32_t id = DrawId(random);
  while (used(id)) id = DrawId(random);
  List.push_back(std::make_unique<TBannerContainer>(Banners));
  List.back()->ID = id;
  return *List.back();
}

TBannerContainer* TBannerContainerManager::Items(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return List[static_cast<std::size_t>(index)].get();
}

void TBannerContainerManager::Assign(const TBannerContainerManager& source, const TImageSizeReader& reader) {
  if (&source == this) return;
  Clear();
  for (const auto& container : source.List) {
    // The copy takes the source's id, so no fresh id is drawn for it.
    List.push_back(std::make_unique<TBannerContainer>(Banners));
    List.back()->Assign(*container, reader);
  }
}

void TBannerContainerManager::ReadRecord(TStream& stream) {
  SF::ReadInteger(stream); // length
  auto container = std::make_unique<TBannerContainer>(Banners);
  container->ID = SF::ReadCardinal(stream);
  container->Name = SF::ReadString(stream);
  container->SkinID = SF::ReadCardinal(stream);
  const int32_t count = SF::ReadInteger(stream);
  if (!stream.CanRead(int64_t{4} * count)) throw EReadError();
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t id = SF::ReadCardinal(stream);
    if (Banners) container->AddBanner(Banners->FindForRecord(id));
  }
  container->Left = SF::ReadInteger(stream);
  container->Top = SF::ReadInteger(stream);
  List.push_back(std::move(container));
}

void TBannerContainerManager::WriteRecord(const TBannerContainer& container, TStream& stream) {
  const int32_t count = container.Count();
  SF::WriteWord(static_cast<int16_t>(kBannerContainerTag), stream);
  SF::WriteInteger(ClampedLength(24 + static_cast<int64_t>(container.Name.size()) + 4 * int64_t{count}),
                   stream);
  SF::WriteCardinal(container.ID, stream);
  SF::WriteString(container.Name, stream);
  SF::WriteCardinal(container.SkinID, stream);
  SF::WriteInteger(count, stream);
  for (int32_t i = 0; i < count; ++i) SF::WriteCardinal(container.Item(i)->ID, stream);
  SF::WriteInteger(container.Left, stream);
  SF::WriteInteger(container.Top, stream);
}

} // namespace kv
