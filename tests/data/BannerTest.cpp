#include "core/uKVErrors.h"
#include "data/uBanners.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "gui/uPictureConverters.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <set>

using namespace kv;
using kvtest::Bytes;

namespace {

void SetPicture(TBanner& banner, const std::vector<uint8_t>& bytes, TTypeData type) {
  banner.Data = TMemoryStream(bytes);
  banner.TypeData = static_cast<uint8_t>(type);
}

// Reads a record the way the package reader does: the tag first, then the record from its length on.
void ReadBanner(TBanners& banners, TStream& s) {
  ASSERT_EQ(TKVStreamFunc::ReadTag(s), kBannerTag);
  banners.ReadRecord(s, ReadPictureSize);
}
void ReadContainer(TBannerContainerManager& manager, TStream& s) {
  ASSERT_EQ(TKVStreamFunc::ReadTag(s), kBannerContainerTag);
  manager.ReadRecord(s);
}

std::vector<uint32_t> IdsOf(const TBannerContainer& c) {
  std::vector<uint32_t> ids;
  for (int32_t i = 0; i < c.Count(); ++i) ids.push_back(c.Item(i)->ID);
  return ids;
}

} // namespace

TEST(Banner, EventIdDrivesTheScript) {
  TBanner banner;
  banner.URL = "www.kv.com";
  banner.SetEventID(11);
  EXPECT_EQ(banner.EventID(), 11);
  EXPECT_EQ(banner.Script().ID, 11);
  ASSERT_EQ(banner.Script().Parameter.Count(), 1);
  EXPECT_EQ(banner.Script().Parameter.Entries(0).Kind, kParamText);
  EXPECT_EQ(banner.Script().Parameter.Entries(0).AsText(), "www.kv.com");

  banner.SetEventID(3);
  EXPECT_EQ(banner.Script().ID, 3);
  EXPECT_EQ(banner.Script().Parameter.Count(), 0);
}

TEST(Banner, ComputeSizeByType) {
  TBanner banner;
  SetPicture(banner, kvtest::MakeJpeg(4, 3), TTypeData::tdJPG);
  banner.ComputeSize(ReadPictureSize);
  EXPECT_EQ(banner.Width(), 4);
  EXPECT_EQ(banner.Height(), 3);

  SetPicture(banner, kvtest::MakeBmp(6, 5, true), TTypeData::tdBMP);
  banner.ComputeSize(ReadPictureSize);
  EXPECT_EQ(banner.Width(), 6);
  EXPECT_EQ(banner.Height(), 5);

  // Other types compute no size, whatever the data.
  banner.TypeData = 2;
  banner.ComputeSize(ReadPictureSize);
  EXPECT_EQ(banner.Width(), 0);
  EXPECT_EQ(banner.Height(), 0);

  SetPicture(banner, kvtest::MakeBmp(6, 5), TTypeData::tdJPG);
  EXPECT_THROW(banner.ComputeSize(ReadPictureSize), EImageError);
  SetPicture(banner, {}, TTypeData::tdBMP);
  EXPECT_THROW(banner.ComputeSize(ReadPictureSize), EImageError);
}

TEST(Banner, RecordRoundTrip) {
  TBanner banner;
  banner.ID = 0x7FFFFFF0;
  banner.Name = "Sale\xE9";
  banner.URL = "www.kv.com"; // ten characters
  banner.Left = -3;
  banner.Top = 12;
  banner.Interval = 2500;
  SetPicture(banner, kvtest::MakeJpeg(4, 3), TTypeData::tdJPG);
  banner.SetEventID(11);

  TMemoryStream s;
  TBanners::WriteRecord(banner, s);
  s.WriteBuffer("next", 4);
  const auto data = banner.Data.Bytes();
  const int64_t payload = 4 + (4 + 5) + (4 + 10) + 4 * 4 + 1 + 4 + static_cast<int64_t>(data.size());
  ASSERT_EQ(s.Size(), 2 + 4 + payload + 4);

  s.SetPosition(0);
  EXPECT_EQ(TKVStreamFunc::ReadTag(s), kBannerTag);
  const int32_t length = TKVStreamFunc::ReadInteger(s);
  EXPECT_EQ(length, 25 + 5 + static_cast<int32_t>(data.size()));
  EXPECT_EQ(payload - length, 18); // the URL, its count and the data-size count
  const auto expected = Bytes()
                            .u32(0x7FFFFFF0)
                            .str("Sale\xE9")
                            .str("www.kv.com")
                            .i32(-3)
                            .i32(12)
                            .i32(11)
                            .i32(2500)
                            .u8(0)
                            .i32(static_cast<int32_t>(data.size()))
                            .raw(data)
                            .data();
  EXPECT_EQ(std::vector<uint8_t>(s.Bytes().begin() + 6, s.Bytes().end() - 4), expected);

  TBanners banners;
  s.SetPosition(0);
  ReadBanner(banners, s);
  EXPECT_EQ(s.Remaining(), 4); // stands on the next record
  ASSERT_EQ(banners.Count(), 1);
  const TBanner& read = *banners.Items(0);
  EXPECT_EQ(read.ID, 0x7FFFFFF0u);
  EXPECT_EQ(read.Name, banner.Name);
  EXPECT_EQ(read.URL, banner.URL);
  EXPECT_EQ(read.Left, -3);
  EXPECT_EQ(read.Top, 12);
  EXPECT_EQ(read.Interval, 2500);
  EXPECT_EQ(read.TypeData, 0);
  EXPECT_EQ(read.Data.Bytes(), data);
  EXPECT_EQ(read.Data.Position(), 0);
  EXPECT_EQ(read.EventID(), 11);
  EXPECT_EQ(read.Width(), 4);
  EXPECT_EQ(read.Height(), 3);
  EXPECT_EQ(read.Script().ID, 11);
  EXPECT_EQ(read.Script().Parameter, banner.Script().Parameter);
}

TEST(Banner, ReadingFailures) {
  const auto jpeg = kvtest::MakeJpeg(4, 3);
  const auto record = [](uint8_t type, const std::vector<uint8_t>& data) {
    return Bytes()
        .i32(0)
        .u32(5)
        .str("n")
        .str("")
        .i32(0)
        .i32(0)
        .i32(0)
        .i32(0)
        .u8(type)
        .i32(int32_t(data.size()))
        .raw(data);
  };
  struct {
    const char* What;
    std::vector<uint8_t> Bytes;
    bool ImageError;
  } cases[] = {
      {"picture that is no jpeg", record(0, kvtest::MakeBmp(2, 2)).data(), true},
      {"picture that is no bmp", record(1, jpeg).data(), true},
      {"empty picture", record(0, {}).data(), true},
      {"truncated data",
       Bytes()
           .i32(0)
           .u32(5)
           .str("n")
           .str("")
           .i32(0)
           .i32(0)
           .i32(0)
           .i32(0)
           .u8(0)
           .i32(int32_t(jpeg.size()) + 1)
           .raw(jpeg)
           .data(),
       false},
      {"negative data size",
       Bytes().i32(0).u32(5).str("n").str("").i32(0).i32(0).i32(0).i32(0).u8(0).i32(-5).data(), false},
      {"name beyond the record", Bytes().i32(0).u32(5).i32(INT32_MAX).chars("abc").data(), false},
      {"url beyond the record", Bytes().i32(0).u32(5).str("").i32(1 << 30).chars("abc").data(), false},
      {"cut in the fields", Bytes().i32(0).u32(5).str("n").str("").i32(0).data(), false},
      {"length only", Bytes().i32(44).data(), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TBanners banners;
    auto s = TMemoryStream(c.Bytes);
    if (c.ImageError)
      EXPECT_THROW(banners.ReadRecord(s, ReadPictureSize), EImageError);
    else
      EXPECT_THROW(banners.ReadRecord(s, ReadPictureSize), EReadError);
    EXPECT_EQ(banners.Count(), 0);
  }

  // An unknown type reads without a size.
  TBanners banners;
  auto s = TMemoryStream(record(9, {1, 2, 3}).data());
  banners.ReadRecord(s, ReadPictureSize);
  ASSERT_EQ(banners.Count(), 1);
  EXPECT_EQ(banners.Items(0)->TypeData, 9);
  EXPECT_EQ(banners.Items(0)->Width(), 0);
}

TEST(Banner, ListIdsAndLookups) {
  kv::TRandomSource random;
  random.Seed(7);
  TBanners banners;
  std::set<uint32_t> ids;
  for (int i = 0; i < 300; ++i) {
    const uint32_t id = banners.Add(random).ID;
    EXPECT_LT(id, uint32_t(INT32_MAX));
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 300u);
  EXPECT_EQ(banners.Items(-1), nullptr);
  EXPECT_EQ(banners.Items(300), nullptr);
  EXPECT_EQ(banners.FindById(banners.Items(150)->ID), banners.Items(150));

  // Two banners with one id: the first is found.
  banners.Items(10)->ID = 42;
  banners.Items(20)->ID = 42;
  EXPECT_EQ(banners.FindById(42), banners.Items(10));
  banners.Clear();
  EXPECT_EQ(banners.Count(), 0);
  EXPECT_EQ(banners.FindById(42), nullptr);
}

TEST(Banner, ContainerRecords) {
  TBanners banners;
  TBannerContainerManager manager(&banners);
  TMemoryStream s;
  for (auto [id, w, h] : {std::tuple{10u, 4, 9}, {20u, 8, 3}}) {
    TBanner b;
    b.ID = id;
    SetPicture(b, kvtest::MakeBmp(w, h), TTypeData::tdBMP);
    TBanners::WriteRecord(b, s);
  }
  // The container lists an id that no banner has.
  TBannerContainer source;
  source.ID = 77;
  source.Name = "top";
  source.SkinID = 5;
  source.Left = 30;
  source.Top = -40;
  TBanner ghost;
  ghost.ID = 99;
  TBanner b20;
  b20.ID = 20;
  TBanner b10;
  b10.ID = 10;
  source.AddBanner(&b20);
  source.AddBanner(&ghost);
  source.AddBanner(&b10);
  const int64_t start = s.Size();
  TBannerContainerManager::WriteRecord(source, s);
  EXPECT_EQ(s.Size() - start, 2 + 4 + 24 + 3 + 4 * 3); // the length is the exact payload
  EXPECT_EQ(std::vector<uint8_t>(s.Bytes().begin() + start, s.Bytes().end()), Bytes()
                                                                                  .u16(7889)
                                                                                  .i32(24 + 3 + 12)
                                                                                  .u32(77)
                                                                                  .str("top")
                                                                                  .u32(5)
                                                                                  .i32(3)
                                                                                  .u32(20)
                                                                                  .u32(99)
                                                                                  .u32(10)
                                                                                  .i32(30)
                                                                                  .i32(-40)
                                                                                  .data());

  s.SetPosition(0);
  ReadBanner(banners, s);
  ReadBanner(banners, s);
  ReadContainer(manager, s);
  EXPECT_EQ(s.Remaining(), 0);
  ASSERT_EQ(manager.Count(), 1);
  const TBannerContainer& c = *manager.Items(0);
  EXPECT_EQ(c.ID, 77u);
  EXPECT_EQ(c.Name, "top");
  EXPECT_EQ(c.SkinID, 5u);
  EXPECT_EQ(c.Left, 30);
  EXPECT_EQ(c.Top, -40);
  EXPECT_EQ(c.Banners, &banners);
  EXPECT_EQ(IdsOf(c), (std::vector<uint32_t>{20, 10}));
  EXPECT_EQ(c.Item(0), banners.Items(1)); // references, not copies
  EXPECT_EQ(c.Width(), 8);
  EXPECT_EQ(c.Height(), 9);
  EXPECT_EQ(TBannerContainer().Width(), 0);
}

TEST(Banner, ContainerSeesIdsChangedByHand) {
  kv::TRandomSource random;
  TBanners banners;
  TBannerContainerManager manager(&banners);
  TMemoryStream s;
  TBanner b;
  b.ID = 1;
  b.TypeData = 5;
  TBanners::WriteRecord(b, s);
  TBannerContainer c;
  c.AddBanner(&b);
  TBannerContainerManager::WriteRecord(c, s);
  s.SetPosition(0);
  ReadBanner(banners, s);
  const int64_t containerAt = s.Position();
  ReadContainer(manager, s);
  EXPECT_EQ(manager.Items(0)->Count(), 1);

  banners.Items(0)->ID = 2;
  s.SetPosition(containerAt);
  ReadContainer(manager, s);
  EXPECT_EQ(manager.Items(1)->Count(), 0);
  banners.Add(random).ID = 1;
  s.SetPosition(containerAt);
  ReadContainer(manager, s);
  EXPECT_EQ(IdsOf(*manager.Items(2)), (std::vector<uint32_t>{1}));
  EXPECT_EQ(manager.Items(2)->Item(0), banners.Items(1));
}

TEST(Banner, ContainerReadingFailures) {
  struct {
    const char* What;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"negative count", Bytes().i32(0).u32(1).str("").u32(0).i32(-1).i32(0).i32(0).data()},
      {"count beyond the record",
       Bytes().i32(0).u32(1).str("").u32(0).i32(INT32_MAX).u32(1).i32(0).i32(0).data()},
      {"cut before the position", Bytes().i32(0).u32(1).str("").u32(0).i32(1).u32(1).i32(0).data()},
      {"name beyond the record", Bytes().i32(0).u32(1).i32(1000).data()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TBanners banners;
    TBannerContainerManager manager(&banners);
    auto s = TMemoryStream(c.Bytes);
    EXPECT_THROW(manager.ReadRecord(s), EReadError);
    EXPECT_EQ(manager.Count(), 0);
  }
  // Without a banner list every id is left out.
  TBannerContainerManager alone;
  auto s = Bytes().i32(0).u32(1).str("").u32(0).i32(1).u32(1).i32(0).i32(0).stream();
  alone.ReadRecord(s);
  EXPECT_EQ(alone.Items(0)->Count(), 0);
}

TEST(Banner, ManyBannersAndIdsReadInLinearTime) {
  // A hostile package: many banners and a container naming many ids that are mostly unknown.
  const int banners = 20000;
  const int ids = 400000;
  TMemoryStream s;
  TBanner b;
  b.TypeData = 7;
  for (int i = 0; i < banners; ++i) {
    b.ID = uint32_t(i) * 2;
    TBanners::WriteRecord(b, s);
  }
  Bytes container;
  container.u16(7889).i32(0).u32(1).str("").u32(0).i32(ids);
  for (int i = 0; i < ids; ++i) container.u32(uint32_t(i));
  container.i32(0).i32(0);
  s.WriteBytes(container.data());

  const auto started = std::chrono::steady_clock::now();
  TBanners list;
  TBannerContainerManager manager(&list);
  s.SetPosition(0);
  for (int i = 0; i < banners; ++i) ReadBanner(list, s);
  ReadContainer(manager, s);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(manager.Items(0)->Count(), banners); // every even id up to 2 x banners
  EXPECT_LT(seconds, 5.0);                       // a scan of the list per id takes well over a minute
}

TEST(Banner, AssignCopies) {
  TBanner source;
  source.ID = 9;
  source.Name = "n";
  source.URL = "u";
  source.Left = 1;
  source.Top = 2;
  source.Interval = 3;
  SetPicture(source, kvtest::MakeCoreBmp(3, 2), TTypeData::tdBMP);
  source.SetEventID(11);
  source.Script().Parameter.AddInteger(5); // the script is copied as it is
  source.Data.SetPosition(7);

  TBanner copy;
  copy.Assign(source, ReadPictureSize);
  EXPECT_EQ(copy.ID, 9u);
  EXPECT_EQ(copy.Name, "n");
  EXPECT_EQ(copy.URL, "u");
  EXPECT_EQ(copy.Left, 1);
  EXPECT_EQ(copy.Top, 2);
  EXPECT_EQ(copy.Interval, 3);
  EXPECT_EQ(copy.TypeData, 1);
  EXPECT_EQ(copy.Data.Bytes(), source.Data.Bytes());
  EXPECT_EQ(copy.Data.Position(), 0);
  EXPECT_EQ(copy.EventID(), 11);
  EXPECT_EQ(copy.Script().ID, 11);
  EXPECT_EQ(copy.Script().Parameter, source.Script().Parameter);
  EXPECT_EQ(copy.Width(), 3);
  EXPECT_EQ(copy.Height(), 2);

  TBanner broken;
  SetPicture(broken, {1, 2, 3}, TTypeData::tdJPG);
  EXPECT_THROW(copy.Assign(broken, ReadPictureSize), EImageError);
}

TEST(Banner, AssignListsAndContainers) {
  kv::TRandomSource random;
  TBanners banners;
  for (int i = 0; i < 3; ++i) {
    TBanner& b = banners.Add(random);
    b.Name = "b" + std::to_string(i);
    SetPicture(b, kvtest::MakeBmp(i + 1, 2 * i + 1), TTypeData::tdBMP);
  }
  TBannerContainerManager manager(&banners);
  TBannerContainer& c = manager.Add(random);
  c.Name = "c";
  c.SkinID = 4;
  c.AddBanner(banners.Items(2));
  c.AddBanner(banners.Items(0));
  manager.Add(random);
  EXPECT_NE(manager.Items(0)->ID, manager.Items(1)->ID);
  EXPECT_EQ(manager.Items(1)->Banners, &banners);

  TBanners otherBanners;
  otherBanners.Add(random);
  otherBanners.Assign(banners, ReadPictureSize);
  ASSERT_EQ(otherBanners.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(otherBanners.Items(i)->ID, banners.Items(i)->ID);
    EXPECT_EQ(otherBanners.Items(i)->Name, banners.Items(i)->Name);
    EXPECT_NE(otherBanners.Items(i), banners.Items(i));
  }

  TBannerContainerManager otherManager(&otherBanners);
  otherManager.Assign(manager, ReadPictureSize);
  ASSERT_EQ(otherManager.Count(), 2);
  TBannerContainer& copy = *otherManager.Items(0);
  EXPECT_EQ(copy.ID, c.ID);
  EXPECT_EQ(copy.Name, "c");
  EXPECT_EQ(copy.SkinID, 4u);
  EXPECT_EQ(copy.Banners, &otherBanners);
  EXPECT_EQ(IdsOf(copy), IdsOf(c));
  EXPECT_EQ(copy.Width(), 3);
  EXPECT_EQ(copy.Height(), 5);
  // The copy owns its banners: the source list can go.
  banners.Items(2)->Name = "changed";
  manager.Clear();
  banners.Clear();
  EXPECT_EQ(copy.Item(0)->Name, "b2");
  copy.Assign(copy, ReadPictureSize);
  EXPECT_EQ(copy.Count(), 2);
}
