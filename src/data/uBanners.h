// Banners: small pictures shown in turn in a banner area, grouped into containers that belong to a skin,
// and their package records (7888, 7889).
#pragma once

#include "data/uImageInfo.h"
#include "data/uKVStream.h"
#include "data/uScriptAction.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kv {

enum class TTypeData : uint8_t { tdJPG = 0, tdBMP = 1 };

inline constexpr uint16_t kBannerTag = 7888;
inline constexpr uint16_t kBannerContainerTag = 7889;

class TBanner {
public:
  std::string Name;
  uint32_t ID = 0;
  TMemoryStream Data;
  int32_t Left = 0;
  int32_t Top = 0;
  // Milliseconds the banner stays before the next one.
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

  // Reads the header of Data by TypeData with reader to find Width and Height; raises EImageError when it
  // cannot.
  void ComputeSize(const TImageSizeReader& reader);
  // Copies everything but the size, then computes the size (and fails like ComputeSize).
  void Assign(const TBanner& source, const TImageSizeReader& reader);

  bool operator==(const TBanner&) const = default;

private:
  int32_t Event = 0;
  int32_t W = 0;
  int32_t H = 0;
  TScriptItem Click;
};

// The package's banners, owned. Containers refer to them by pointer: clear the containers before this list.
class TBanners {
public:
  // A new banner owned by the list, with an id drawn from [0, 2^31 - 1) not used by any other banner of it.
  TBanner& Add(TRandomSource& random);
  TBanner* Items(int32_t index) const;
  // The first banner with that id, or none.
  TBanner* FindById(uint32_t id) const;
  int32_t Count() const { return static_cast<int32_t>(List.size()); }
  void Clear();
  void Assign(const TBanners& source, const TImageSizeReader& reader);

  // Reads one 7888 record, the stream standing just after the tag, and appends the banner measured with
  // reader. A damaged record raises EReadError, an undecodable picture EImageError; either way nothing is
  // appended.
  void ReadRecord(TStream& stream, const TImageSizeReader& reader);
  // Writes the whole 7888 record (tag included) of one banner.
  static void WriteRecord(const TBanner& banner, TStream& stream);

private:
  friend class TBannerContainerManager;

  TBanner& Append(std::unique_ptr<TBanner> banner);
  // FindById for container records, without a scan of the list: a hostile package can hold very many banners
  // and container ids. The index is kept while banners are read and dropped whenever a banner is handed out
  // (Add, Items, FindById), since its id may then be changed by hand.
  TBanner* FindForRecord(uint32_t id) const;
  void RebuildIndex() const;

  std::vector<std::unique_ptr<TBanner>> List;
  // id -> first banner with that id; kept up to date as banners are appended.
  mutable std::unordered_map<uint32_t, TBanner*> Index;
  mutable bool IndexValid = false;
};

class TBannerContainer {
public:
  explicit TBannerContainer(TBanners* banners = nullptr) : Banners(banners) {}
  TBannerContainer(const TBannerContainer&) = delete;
  TBannerContainer& operator=(const TBannerContainer&) = delete;

  // Position of the banner picture on the skin.
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
  // None for an index outside the list.
  TBanner* Item(int32_t index) const;
  // Appends a reference (not owned); none is ignored.
  void AddBanner(TBanner* banner);
  // Copies the fields, then fills the container with copies of the source's banners that it owns itself.
  void Assign(const TBannerContainer& source, const TImageSizeReader& reader);

private:
  std::vector<TBanner*> Refs;
  std::vector<std::unique_ptr<TBanner>> Owned;
};

class TBannerContainerManager {
public:
  explicit TBannerContainerManager(TBanners* banners = nullptr) : Banners(banners) {}
  // The package's banners, handed to every container the manager creates; not owned.
  TBanners* Banners = nullptr;

  // A new container with an id unique among the manager's containers.
  TBannerContainer& Add(TRandomSource& random);
  TBannerContainer* Items(int32_t index) const;
  int32_t Count() const { return static_cast<int32_t>(List.size()); }
  void Clear() { List.clear(); }
  void Assign(const TBannerContainerManager& source, const TImageSizeReader& reader);

  // Reads one 7889 record, the stream standing just after the tag; ids that no banner has are left out.
  // A damaged record raises EReadError and appends nothing.
  void ReadRecord(TStream& stream);
  static void WriteRecord(const TBannerContainer& container, TStream& stream);

private:
  std::vector<std::unique_ptr<TBannerContainer>> List;
};

} // namespace kv
