#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uKVStandardFunc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace kv;
using kvtest::Bytes;

namespace {

using ByteVec = std::vector<uint8_t>;

const ByteVec Jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 'J', 'F', 'I', 'F', 0xFF, 0xD9};
const ByteVec Bmp = {'B', 'M', 0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};

Bytes& PictureRecord(Bytes& b, uint32_t id, uint8_t type, uint8_t format, const ByteVec& data) {
  return b.u16(3242).i32(static_cast<int32_t>(data.size())).u32(id).u8(type).u8(format).raw(data);
}

// Package services that convert BMP pictures with converter.
TPackageServices Converting(TBmpToJpegConverter converter) {
  TPackageServices services;
  services.BmpToJpeg = std::move(converter);
  return services;
}

// Fake conversion that shows what it was given.
TMemoryStream TaggedConversion(const TMemoryStream& bmp) {
  ByteVec out = {'J', 'P', 'G', ':'};
  out.insert(out.end(), bmp.Bytes().begin(), bmp.Bytes().end());
  return TMemoryStream(out);
}

TExtJigsawImage& AddImage(TExtJigsawImages& images, uint32_t id, TExtJigsawImageType type,
                          TImageFormat format, const ByteVec& data) {
  TExtJigsawImage& image = images.Add();
  image.ImageID = id;
  image.ImgType = type;
  image.ImgFormat = format;
  image.Stream = TMemoryStream(data);
  return image;
}

void AddEntry(TJigsawProject2& project, uint32_t id, const std::string& name, int32_t min = 0,
              int32_t max = 50) {
  auto entry = std::make_unique<TBMPData>();
  entry->ID = id;
  entry->Name = name;
  entry->Data = TMemoryStream(ByteVec{1, 2, 3});
  project.Pictures.push_back(std::move(entry));
  if (IsPictureId(id)) project.PictureSettings.push_back({id, min, max, 0, 0});
}

std::vector<uint32_t> Ids(const TJigsawProject2& project) {
  std::vector<uint32_t> ids;
  for (const auto& p : project.Pictures) ids.push_back(p->ID);
  return ids;
}

constexpr auto itPicture = TExtJigsawImageType::itPicture;
constexpr auto itWallpaper = TExtJigsawImageType::itWallpaper;
constexpr auto ifBMP = TImageFormat::ifBMP;
constexpr auto ifJPEG = TImageFormat::ifJPEG;

} // namespace

// ---- reading and writing the block

TEST(ExtraPictures, ReadsPictureRecordsAndSkipsOthers) {
  Bytes b;
  b.u16(3240);
  PictureRecord(b, 7, 0, 1, Jpeg);
  b.u16(9999).i32(3).raw({1, 2, 3}); // unknown record, skipped by its length
  PictureRecord(b, 0x20000, 1, 0, Bmp);
  b.u16(3241).i32(0);
  b.raw({0xEE, 0xEE}); // after the end record nothing is read
  auto s = b.stream();
  s.SetPosition(5); // the reader starts at the block's first byte

  TExtJigsawImages images;
  images.LoadFromStream(s);
  ASSERT_EQ(images.Count(), 2);
  EXPECT_EQ(images[0].ImageID, 7u);
  EXPECT_EQ(images[0].ImgType, itPicture);
  EXPECT_EQ(images[0].ImgFormat, ifJPEG);
  EXPECT_EQ(images[0].Stream.Bytes(), Jpeg);
  EXPECT_EQ(images[1].ImageID, 0x20000u);
  EXPECT_EQ(images[1].ImgType, itWallpaper);
  EXPECT_EQ(images[1].ImgFormat, ifBMP);
  EXPECT_EQ(images[1].Stream.Bytes(), Bmp);
}

TEST(ExtraPictures, ReadingEndsAtTheEndOfTheData) {
  Bytes b;
  b.u16(3240);
  PictureRecord(b, 1, 0, 1, Jpeg); // no end record
  auto s = b.stream();
  TExtJigsawImages images;
  images.LoadFromStream(s);
  EXPECT_EQ(images.Count(), 1);
}

TEST(ExtraPictures, EmptyPictureRecordStillCarriesItsFields) {
  Bytes b;
  b.u16(3240);
  PictureRecord(b, 5, 0, 1, {}); // id, type and format, then no data
  PictureRecord(b, 9, 0, 1, Jpeg);
  b.u16(3241).i32(0);
  auto s = b.stream();
  TExtJigsawImages images;
  images.LoadFromStream(s);
  // A picture without data has nothing to show and adds no item; the record after it is read whole.
  ASSERT_EQ(images.Count(), 1);
  EXPECT_EQ(images[0].ImageID, 9u);
  EXPECT_EQ(images[0].ImgFormat, TImageFormat::ifJPEG);
}

TEST(ExtraPictures, WithoutTheMarkerTheCollectionStaysEmpty) {
  Bytes valid;
  PictureRecord(valid, 1, 0, 1, Jpeg);
  for (const ByteVec& data : {ByteVec{}, ByteVec{0xA8}, Bytes().u16(3241).i32(0).data(),
                              Bytes().u16(3241).raw(valid.data()).data()}) {
    TExtJigsawImages images;
    AddImage(images, 1, itPicture, ifJPEG, Jpeg);
    TMemoryStream s(data);
    images.LoadFromStream(s);
    EXPECT_EQ(images.Count(), 0) << data.size();
  }
}

TEST(ExtraPictures, HostileLengthsRaiseAndKeepTheCollection) {
  const auto block = [](auto&& fill) {
    Bytes b;
    b.u16(3240);
    fill(b);
    return b.data();
  };
  struct Case {
    const char* Name;
    ByteVec Data;
  };
  const std::vector<Case> cases = {
      {"picture longer than the data", block([](Bytes& b) {
         b.u16(3242).i32(static_cast<int32_t>(Jpeg.size()) + 1).u32(1).u8(0).u8(1).raw(Jpeg);
       })},
      {"picture length huge",
       block([](Bytes& b) { b.u16(3242).i32(INT32_MAX).u32(1).u8(0).u8(1).raw(Jpeg); })},
      {"picture fields cut short", block([](Bytes& b) { b.u16(3242).i32(1).u32(1); })},
      {"negative picture length", block([](Bytes& b) { b.u16(3242).i32(-6).u32(1).u8(0).u8(1); })},
      {"negative length of another record", block([](Bytes& b) {
         b.u16(7).i32(-6).raw({1, 2, 3, 4, 5, 6});
       })},
      {"other record longer than the data", block([](Bytes& b) {
         b.u16(7).i32(5).raw({1, 2});
       })},
      {"record header cut short", block([](Bytes& b) {
         b.u16(3242).raw({1, 0});
       })},
      {"single stray byte", block([](Bytes& b) { b.u8(0x42); })},
  };
  for (const Case& c : cases) {
    TExtJigsawImages images;
    AddImage(images, 5, itPicture, ifJPEG, Jpeg);
    TMemoryStream s(c.Data);
    EXPECT_THROW(images.LoadFromStream(s), EReadError) << c.Name;
    ASSERT_EQ(images.Count(), 1) << c.Name;
    EXPECT_EQ(images[0].ImageID, 5u) << c.Name;
  }
}

TEST(ExtraPictures, WriterLayoutReadsBack) {
  TExtJigsawImages images;
  AddImage(images, 7, itPicture, ifJPEG, Jpeg);
  AddImage(images, 1, itPicture, ifJPEG, {}); // no data: left out
  AddImage(images, 0x30000, itWallpaper, ifBMP, Bmp);
  TMemoryStream block;
  images.SaveToStream(block);

  Bytes expected;
  expected.u16(3240);
  PictureRecord(expected, 7, 0, 1, Jpeg);
  PictureRecord(expected, 0x30000, 1, 0, Bmp);
  expected.u16(3241).i32(0);
  EXPECT_EQ(block.Bytes(), expected.data());

  TExtJigsawImages back;
  back.LoadFromStream(block);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back[1].ImageID, 0x30000u);
  EXPECT_EQ(back[1].ImgType, itWallpaper);
  EXPECT_EQ(back[1].ImgFormat, ifBMP);
  EXPECT_EQ(back[1].Stream.Bytes(), Bmp);
}

TEST(ExtraPictures, AssignCopiesTheItems) {
  TExtJigsawImages source;
  AddImage(source, 3, itWallpaper, ifBMP, Bmp);
  TExtJigsawImages copy;
  AddImage(copy, 9, itPicture, ifJPEG, Jpeg);
  copy.Assign(source);
  source[0].Stream.Clear();
  source[0].ImageID = 4;
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy[0].ImageID, 3u);
  EXPECT_EQ(copy[0].ImgType, itWallpaper);
  EXPECT_EQ(copy[0].Stream.Bytes(), Bmp);
}

// ---- the merge into the package

TEST(ExtraPictures, MergeReplacesPlayablePicturesAndKeepsTheWallpaper) {
  TJigsawProject2 project;
  AddEntry(project, 11, "one", 51, 100);
  AddEntry(project, 12, "two");
  AddEntry(project, 0x10000, "wall");
  AddEntry(project, 13, "three");
  project.StartWallpaperIndex = 2;

  TExtJigsawImages images;
  AddImage(images, 12, itPicture, ifJPEG, Jpeg);
  images.AssignTo(project);

  ASSERT_EQ(project.Pictures.size(), 2u);
  EXPECT_EQ(project.Pictures[0]->ID, 0x10000u);
  EXPECT_EQ(project.Pictures[0]->Name, "wall");
  EXPECT_EQ(project.StartWallpaperIndex, 0); // still the same wallpaper
  const TBMPData& added = *project.Pictures[1];
  EXPECT_EQ(added.ID, 12u);
  EXPECT_EQ(added.Name, "Image#0");
  EXPECT_EQ(added.Data.Bytes(), Jpeg);
  EXPECT_EQ(added.Data.Position(), 0);
  const TPictureSettings* settings = project.FindPictureSettings(12);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(settings->NumPiecesMin, 0);
  EXPECT_EQ(settings->NumPiecesMax, 24);
  EXPECT_EQ(project.PictureCount(), 1);
  EXPECT_EQ(project.WallpaperCount(), 1);
}

TEST(ExtraPictures, FreshIdsForPicturesWithoutOne) {
  for (uint64_t seed : {1u, 2u, 3u, 4u, 5u}) {
    TJigsawProject2 project;
    project.Random().Seed(seed);
    AddEntry(project, 0x10000, "wall");
    AddEntry(project, 40, "old");
    TExtJigsawImages images;
    for (int i = 0; i < 3; ++i) AddImage(images, 0, itPicture, ifJPEG, Jpeg);
    images.AssignTo(project);

    ASSERT_EQ(project.Pictures.size(), 4u);
    std::set<uint32_t> ids;
    for (std::size_t p = 0; p < 3; ++p) {
      const TBMPData& entry = *project.Pictures[p + 1];
      EXPECT_GE(entry.ID, 1u);
      EXPECT_LE(entry.ID, 65535u);
      EXPECT_EQ(entry.Name, "Image#" + std::to_string(p));
      ids.insert(entry.ID);
      const TPictureSettings* settings = project.FindPictureSettings(entry.ID);
      ASSERT_NE(settings, nullptr);
      EXPECT_EQ(settings->NumPiecesMax, 24);
    }
    EXPECT_EQ(ids.size(), 3u) << "ids must be distinct";
  }
}

TEST(ExtraPictures, StoredIdsOfTheWrongClassOrInUseAreReplaced) {
  struct Case {
    uint32_t Id;
    TExtJigsawImageType Type;
    bool Kept;
  };
  const std::vector<Case> cases = {
      {5, itPicture, true},          {0x50000, itWallpaper, true},
      {0x10000, itPicture, false},   // a wallpaper id for a picture
      {0x10005, itPicture, false},   // neither class
      {5, itWallpaper, false},       // a picture id for a wallpaper
      {0x10000, itWallpaper, false}, // the package's own wallpaper has it
  };
  for (const Case& c : cases) {
    TJigsawProject2 project;
    AddEntry(project, 0x10000, "wall");
    AddEntry(project, 5, "old");
    TExtJigsawImages images;
    AddImage(images, c.Id, c.Type, ifJPEG, Jpeg);
    images.AssignTo(project);
    ASSERT_EQ(project.Pictures.size(), 2u) << c.Id;
    const uint32_t id = project.Pictures[1]->ID;
    if (c.Kept)
      EXPECT_EQ(id, c.Id);
    else
      EXPECT_NE(id, c.Id);
    EXPECT_TRUE(c.Type == itWallpaper ? IsWallpaperId(id) : IsPictureId(id) && id != 0) << c.Id;
    EXPECT_NE(id, project.Pictures[0]->ID);
  }
  // Two extra pictures with one stored id get two ids.
  TJigsawProject2 project;
  TExtJigsawImages images;
  AddImage(images, 8, itPicture, ifJPEG, Jpeg);
  AddImage(images, 8, itPicture, ifJPEG, Jpeg);
  images.AssignTo(project);
  ASSERT_EQ(project.Pictures.size(), 2u);
  EXPECT_EQ(project.Pictures[0]->ID, 8u);
  EXPECT_NE(project.Pictures[1]->ID, 8u);
}

TEST(ExtraPictures, ExtraWallpaperIsAddedBesideTheOthers) {
  TJigsawProject2 project;
  AddEntry(project, 0x10000, "wall");
  AddEntry(project, 3, "pic");
  TExtJigsawImages images;
  AddImage(images, 0, itWallpaper, ifJPEG, Jpeg);
  AddImage(images, 0, itPicture, ifJPEG, Jpeg);
  images.AssignTo(project);
  ASSERT_EQ(project.Pictures.size(), 3u);
  const TBMPData& wall = *project.Pictures[1];
  EXPECT_TRUE(IsWallpaperId(wall.ID));
  EXPECT_NE(wall.ID, 0x10000u);
  EXPECT_EQ(wall.Name, "Image#0");
  EXPECT_EQ(project.FindPictureSettings(wall.ID), nullptr);
  EXPECT_TRUE(std::any_of(project.Wallpapers.begin(), project.Wallpapers.end(),
                          [&](const TWallpaperEntry& w) { return w.ID == wall.ID; }));
  EXPECT_EQ(project.Pictures[2]->Name, "Image#1");
  EXPECT_EQ(project.WallpaperCount(), 2);
}

TEST(ExtraPictures, StartWallpaperIndexThatPointsNowhereIsLeftAlone) {
  for (int32_t start : {-1, 4, 1}) { // 1 points at a picture that the merge removes
    TJigsawProject2 project;
    AddEntry(project, 0x10000, "wall");
    AddEntry(project, 3, "pic");
    AddEntry(project, 0x20000, "wall2");
    project.StartWallpaperIndex = start;
    TExtJigsawImages images;
    AddImage(images, 0, itPicture, ifJPEG, Jpeg);
    images.AssignTo(project);
    EXPECT_EQ(project.StartWallpaperIndex, start);
  }
  TJigsawProject2 project;
  AddEntry(project, 3, "pic");
  AddEntry(project, 4, "pic");
  AddEntry(project, 0x20000, "wall2");
  project.StartWallpaperIndex = 2;
  TExtJigsawImages images;
  AddImage(images, 0, itPicture, ifJPEG, Jpeg);
  images.AssignTo(project);
  EXPECT_EQ(project.StartWallpaperIndex, 0);
}

TEST(ExtraPictures, EmptyCollectionChangesNothing) {
  TJigsawProject2 project;
  AddEntry(project, 3, "pic");
  AddEntry(project, 0x10000, "wall");
  TExtJigsawImages images;
  images.AssignTo(project);
  EXPECT_EQ(Ids(project), (std::vector<uint32_t>{3, 0x10000}));
  EXPECT_EQ(project.Pictures[0]->Name, "pic");
}

TEST(ExtraPictures, BmpNeedsAConverterAndIsStoredAsJpeg) {
  TExtJigsawImages images;
  AddImage(images, 0, itPicture, ifJPEG, Jpeg);
  AddImage(images, 0, itPicture, ifBMP, Bmp);
  // Without a converter the merge fails before touching the package.
  TJigsawProject2 bare;
  AddEntry(bare, 3, "pic");
  EXPECT_THROW(images.AssignTo(bare), EImageError);
  EXPECT_EQ(Ids(bare), std::vector<uint32_t>{3});

  TJigsawProject2 project(Converting(TaggedConversion));
  AddEntry(project, 3, "pic");
  images.AssignTo(project);
  ASSERT_EQ(project.Pictures.size(), 2u);
  ByteVec expected = {'J', 'P', 'G', ':'};
  expected.insert(expected.end(), Bmp.begin(), Bmp.end());
  EXPECT_EQ(project.Pictures[1]->Data.Bytes(), expected);
  EXPECT_EQ(project.Pictures[0]->Data.Bytes(), Jpeg);

  // A converter that fails, or gives nothing, fails the merge too.
  for (TBmpToJpegConverter bad :
       {TBmpToJpegConverter([](const TMemoryStream&) -> TMemoryStream { throw EImageError("bad BMP"); }),
        TBmpToJpegConverter([](const TMemoryStream&) { return TMemoryStream(); })}) {
    TJigsawProject2 other(Converting(bad));
    AddEntry(other, 3, "pic");
    EXPECT_THROW(images.AssignTo(other), EImageError);
    EXPECT_EQ(Ids(other), std::vector<uint32_t>{3});
  }
}

TEST(ExtraPictures, CopyToReplacesTheEntryData) {
  TBMPData entry;
  entry.Data = TMemoryStream(ByteVec(100, 7));
  TExtJigsawImage image;
  image.ImgFormat = ifJPEG;
  image.Stream = TMemoryStream(Jpeg);
  image.Stream.SetPosition(3);
  image.CopyTo(entry, TaggedConversion);
  EXPECT_EQ(entry.Data.Bytes(), Jpeg);
  EXPECT_EQ(entry.Data.Position(), 0);

  image.ImgFormat = static_cast<TImageFormat>(7);
  EXPECT_THROW(image.CopyTo(entry, TaggedConversion), EImageError);
  image.ImgFormat = ifBMP;
  EXPECT_THROW(image.CopyTo(entry, {}), EImageError);
}

TEST(ExtraPictures, LoadExtraPicturesMergesABlock) {
  TJigsawProject2 project;
  AddEntry(project, 3, "pic");
  TMemoryStream empty;
  LoadExtraPictures(empty, project);
  EXPECT_EQ(Ids(project), std::vector<uint32_t>{3});

  Bytes b;
  b.u16(3240);
  PictureRecord(b, 21, 0, 1, Jpeg).u16(3241).i32(0);
  auto block = b.stream();
  block.Seek(0, TSeekOrigin::soEnd);
  LoadExtraPictures(block, project);
  EXPECT_EQ(Ids(project), std::vector<uint32_t>{21});
  EXPECT_EQ(project.Pictures[0]->Name, "Image#0");
}
