// Banners: small pictures shown in turn in a banner area, grouped into containers that belong to a skin,
// their package records (7888, 7889), and the switcher that cycles a container's banners on a timer.
#pragma once

#include "data/uKVStream.h"
#include "data/uScriptAction.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

enum class TTypeData : uint8_t { tdJPG = 0, tdBMP = 1 };

class TBanner {
public:
  std::string Name;
  uint32_t ID = 0;
  TMemoryStream Data;
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Interval = 0;
  std::string URL;
  // Stored as read; values other than 0 and 1 compute no size.
  uint8_t TypeData = 0;

  int32_t EventID() const { return Event; }
  // Stores the event, makes it the script's command, and for event 11 carries the URL as its text parameter.
  void SetEventID(int32_t value);
  int32_t Width() const { return W; }
  int32_t Height() const { return H; }
  const TScriptItem& Script() const { return Click; }
  TScriptItem& Script() { return Click; }

  // Decodes Data by TypeData to find Width and Height; raises the decoder's error when it cannot.
  void ComputeSize();
  void Assign(const TBanner& source);

private:
  int32_t Event = 0;
  int32_t W = 0;
  int32_t H = 0;
  TScriptItem Click;
};

class TBanners {
public:
  // A new banner owned by the list, with an id not used by any other banner of the list.
  TBanner& Add();
  TBanner* Items(int32_t index) const;
  TBanner* FindById(uint32_t id) const;
  int32_t Count() const { return static_cast<int32_t>(List.size()); }
  void Clear() { List.clear(); }
  void Assign(const TBanners& source);

  // Reads one 7888 record payload (the stream stands after the tag) and appends the banner.
  void ReadRecord(TStream& stream);
  // Writes the whole 7888 record (tag included) of one banner.
  static void WriteRecord(const TBanner& banner, TStream& stream);

private:
  std::vector<std::unique_ptr<TBanner>> List;
};

class TBannerContainer {
public:
  explicit TBannerContainer(TBanners* banners = nullptr) : Banners(banners) {}
  int32_t Left = 0;
  int32_t Top = 0;
  uint32_t SkinID = 0;
  uint32_t ID = 0;
  std::string Name;
  // The package's banner list, used to resolve ids; not owned.
  TBanners* Banners = nullptr;

  // The largest Width and Height among its banners; 0 when empty.
  int32_t Width() const;
  int32_t Height() const;
  int32_t Count() const { return static_cast<int32_t>(Refs.size()); }
  TBanner* Item(int32_t index) const;
  void AddBanner(TBanner* banner);
  // Copies the fields, then fills the container with copies of the source's banners that it owns itself.
  void Assign(const TBannerContainer& source);

private:
  std::vector<TBanner*> Refs;
  std::vector<std::unique_ptr<TBanner>> Owned;
};

class TBannerContainerManager {
public:
  explicit TBannerContainerManager(TBanners* banners = nullptr) : Banners(banners) {}
  TBanners* Banners = nullptr;

  TBannerContainer& Add();
  TBannerContainer* Items(int32_t index) const;
  int32_t Count() const { return static_cast<int32_t>(List.size()); }
  void Clear() { List.clear(); }
  void Assign(const TBannerContainerManager& source);

  // Reads one 7889 record payload (after the tag); ids that no banner has are left out.
  void ReadRecord(TStream& stream);
  static void WriteRecord(const TBannerContainer& container, TStream& stream);

private:
  std::vector<std::unique_ptr<TBannerContainer>> List;
};

} // namespace kv
