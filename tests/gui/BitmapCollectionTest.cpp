// Bitmap collections: background pictures sniffed as JPEG or BMP, picture files by extension, copies of
// items, and the notifications a change sends.
#include "gui/GifFixture.h"
#include "gui/ThemeFixtures.h"
#include "gui/uJpegCodec.h"
#include "gui/uKVBitmapCollection.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kv::TKVBitmapCollection;
using kv::TKVCustomBitmapCollection;
using kv::TKVCustomBitmapItem;
using kv::TMemoryStream;

std::vector<uint8_t> WithIdent(std::vector<uint8_t> jpeg, const char* ident) {
  std::copy(ident, ident + 4, jpeg.begin() + 6);
  return jpeg;
}

TEST(BitmapCollectionLoad, SniffsJpegByItsIdentifierAndReadsEverythingElseAsBmp) {
  const std::vector<uint8_t> jpeg = kvtest::MakeJpeg(12, 7);
  ASSERT_EQ(std::string(jpeg.begin() + 6, jpeg.begin() + 10), "JFIF");
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int32_t Width, Height;
  };
  const std::vector<TCase> cases = {
      {"JFIF", jpeg, 12, 7},
      {"jfif in lower case", WithIdent(jpeg, "jfif"), 12, 7},
      {"Exif", WithIdent(jpeg, "Exif"), 12, 7},
      {"BMP", kvtest::MakeBmp(5, 3), 5, 3},
      {"top-down BMP", kvtest::MakeBmp(4, 6, true), 4, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TKVBitmapCollection frames;
    frames.Items().Add();
    frames.Items().Add();
    TMemoryStream stream(c.Bytes);
    stream.SetPosition(9);
    frames.LoadFromStream(stream, true);
    ASSERT_EQ(frames.Count(), 1);
    const TKVCustomBitmapItem& item = frames.Items()[0];
    EXPECT_EQ(item.Duration, 100);
    EXPECT_EQ(item.Bitmap().Width(), c.Width);
    EXPECT_EQ(item.Bitmap().Height(), c.Height);
    EXPECT_EQ(frames.LogicalWidth(), c.Width);
    EXPECT_EQ(frames.LogicalHeight(), c.Height);
    EXPECT_EQ(kv::AlphaComponent(item.Bitmap().PixelAt(0, 0)), 255);
  }
}

TEST(BitmapCollectionLoad, WithoutTheFlagThePictureStartsWhereTheStreamStands) {
  const std::vector<uint8_t> prefix = {'x', 'y', 'z'};
  for (const auto& picture : {kvtest::MakeJpeg(6, 4), kvtest::MakeBmp(6, 4)}) {
    std::vector<uint8_t> bytes = prefix;
    bytes.insert(bytes.end(), picture.begin(), picture.end());
    TMemoryStream stream(bytes);
    stream.SetPosition(3);
    TKVBitmapCollection frames;
    frames.LoadFromStream(stream, false);
    EXPECT_EQ(frames.LogicalWidth(), 6);
    // The same stream read from its start with the flag holds no picture.
    TKVBitmapCollection again;
    EXPECT_THROW(again.LoadFromStream(stream, true), kv::EImageError);
  }
}

TEST(BitmapCollectionLoad, APictureThatCannotBeDecodedLeavesTheCollectionAsItWas) {
  const std::vector<uint8_t> jpeg = kvtest::MakeJpeg(8, 8);
  const std::vector<std::vector<uint8_t>> bad = {{},
                                                 {'B', 'M', 0, 0},
                                                 WithIdent(std::vector<uint8_t>(30, 0xFF), "JFIF"),
                                                 std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20)};
  for (const auto& bytes : bad) {
    TKVBitmapCollection frames;
    TMemoryStream good(kvtest::MakeBmp(3, 2));
    frames.LoadFromStream(good, true);
    int changes = 0;
    frames.AddChangeListener(&changes, [&changes](TKVCustomBitmapCollection&) { ++changes; });
    TMemoryStream stream(bytes);
    EXPECT_THROW(frames.LoadFromStream(stream, true), kv::Exception) << bytes.size();
    EXPECT_EQ(frames.Count(), 1);
    EXPECT_EQ(frames.Items()[0].Bitmap().Width(), 3);
    EXPECT_EQ(frames.LogicalWidth(), 3);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(frames.LockCount(), 0);
  }
}

TEST(BitmapItem, LoadsPictureFilesByTheirExtension) {
  kvtest::TempDir dir;
  kvtest::GifLayout gif;
  gif.Indices = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};
  gif.Transparent = 2;
  const std::vector<uint8_t> jpeg = kvtest::MakeJpeg(5, 5), bmp = kvtest::MakeBmp(6, 2),
                             gifBytes = kvtest::MakeGif(gif);
  struct TCase {
    const char* File;
    const std::vector<uint8_t>* Bytes;
    kv::TPictureKind Kind;
    int32_t Width; // 1: the picture stayed as it was
  };
  const std::vector<uint8_t> text = {'t', 'e', 'x', 't'};
  const std::vector<TCase> cases = {
      {"a.jpg", &jpeg, kv::pkJPEG, 5}, {"b.JPEG", &jpeg, kv::pkJPEG, 5},
      {"c.bmp", &bmp, kv::pkBMP, 6},   {"d.gif", &gifBytes, kv::pkGIF, 4},
      {"e.png", &text, kv::pkPNG, 1},  {"f.txt", &text, kv::pkUnknown, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    kvtest::WriteFileBytes(dir.file(c.File), *c.Bytes);
    TKVBitmapCollection owner;
    TKVCustomBitmapItem& item = owner.Items().Add();
    item.Bitmap().SetSize(1, 1);
    int changes = 0;
    owner.AddChangeListener(&changes, [&changes](TKVCustomBitmapCollection&) { ++changes; });
    item.LoadFromFile(dir.file(c.File));
    EXPECT_EQ(item.RawKind(), c.Kind);
    EXPECT_EQ(item.RawData().Bytes(), *c.Bytes);
    EXPECT_EQ(item.Bitmap().Width(), c.Width);
    EXPECT_EQ(changes, c.Width == 1 ? 0 : 1);
  }
  // The GIF's transparent colour (index 2, green) is cleared.
  TKVCustomBitmapItem item;
  item.LoadFromFile(dir.file("d.gif"));
  EXPECT_EQ(item.Bitmap().PixelAt(2, 0), 0u);
  EXPECT_EQ(item.Bitmap().PixelAt(1, 0), 0xFFFF0000u);

  // A missing file, a folder and a picture that cannot be decoded change nothing.
  kvtest::WriteFileBytes(dir.file("broken.bmp"), text);
  std::filesystem::create_directory(dir.file("folder.bmp"));
  TKVCustomBitmapItem kept;
  kept.LoadFromFile(dir.file("c.bmp"));
  kept.LoadFromFile(dir.file("missing.bmp"));
  kept.LoadFromFile(dir.file("folder.bmp"));
  EXPECT_THROW(kept.LoadFromFile(dir.file("broken.bmp")), kv::EImageError);
  EXPECT_EQ(kept.RawKind(), kv::pkBMP);
  EXPECT_EQ(kept.RawData().Bytes(), bmp);
  EXPECT_EQ(kept.Bitmap().Width(), 6);
}

TEST(BitmapItem, AssignCopiesThePictureAndEverySetting) {
  kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("p.bmp"), kvtest::MakeBmp(4, 3));
  TKVCustomBitmapItem source;
  source.LoadFromFile(dir.file("p.bmp"));
  source.SetStyle(kv::kvdsTile);
  source.Disposal = 2;
  source.Duration = 40;
  source.Offset = {3, -4};
  source.TransparentColor = 0x00FF00;
  source.Name = "frame";
  TKVBitmapCollection owner;
  TKVCustomBitmapItem& copy = owner.Items().Add();
  int changes = 0;
  owner.AddChangeListener(&changes, [&changes](TKVCustomBitmapCollection&) { ++changes; });
  copy.Assign(source);
  EXPECT_EQ(copy.Bitmap().Width(), 4);
  EXPECT_EQ(copy.Bitmap().PixelAt(1, 1), source.Bitmap().PixelAt(1, 1));
  EXPECT_EQ(copy.RawData().Bytes(), source.RawData().Bytes());
  EXPECT_EQ(copy.RawKind(), kv::pkBMP);
  EXPECT_EQ(copy.Style(), kv::kvdsTile);
  EXPECT_EQ(copy.Disposal, 2);
  EXPECT_EQ(copy.Duration, 40);
  EXPECT_EQ(copy.Offset, (kv::TPoint{3, -4}));
  EXPECT_EQ(copy.TransparentColor, 0x00FF00);
  EXPECT_EQ(copy.Name, "frame");
  EXPECT_GE(changes, 1);
}

TEST(BitmapCollectionNotify, EveryChangeTellsListenersAndComponentsUnlessLocked) {
  TKVBitmapCollection frames;
  EXPECT_EQ(frames.BackgroundColor(), kv::clAppWorkSpace);
  TKVCustomBitmapItem& item = frames.Items().Add();
  int heard = 0, told = 0;
  frames.AddChangeListener(&heard, [&heard, &frames](TKVCustomBitmapCollection& c) {
    EXPECT_EQ(&c, &frames);
    ++heard;
  });
  kv::TKVComponent watcher;
  watcher.OnPropertiesChanged = [&told, &frames](kv::TPersistent* sender) {
    EXPECT_EQ(sender, &frames);
    ++told;
  };
  frames.RegisterComponent(&watcher);
  struct TChange {
    const char* Name;
    std::function<void()> Make;
    int Notes;
  };
  const std::vector<TChange> changes = {
      {"background colour", [&] { frames.SetBackgroundColor(0x123456); }, 1},
      {"logical size", [&] { frames.SetLogicalSize(20, 10); }, 1},
      {"the same logical size", [&] { frames.SetLogicalSize(20, 10); }, 0},
      {"style", [&] { item.SetStyle(kv::kvdsCenter); }, 1},
      {"the same style", [&] { item.SetStyle(kv::kvdsCenter); }, 0},
      {"picture", [&] { item.Bitmap().SetSize(3, 3); }, 1},
      {"pixels", [&] { item.Bitmap().Clear(0xFF00FF00u); }, 1},
  };
  for (const bool locked : {false, true}) {
    for (const auto& c : changes) {
      SCOPED_TRACE(std::string(c.Name) + (locked ? " (locked)" : ""));
      if (locked) frames.Lock();
      heard = told = 0;
      c.Make();
      EXPECT_EQ(heard, locked ? 0 : c.Notes);
      EXPECT_EQ(told, locked ? 0 : c.Notes);
      if (locked) frames.Unlock();
    }
    frames.SetLogicalSize(0, 0);
    item.SetStyle(kv::kvdsStretch);
  }
  heard = told = 0;
  frames.Lock();
  frames.Items().Clear();
  frames.Unlock();
  EXPECT_EQ(heard, 0);
  frames.Items().Add();
  frames.Items().Clear();
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(told, 1);

  frames.RemoveChangeListeners(&heard);
  heard = told = 0;
  frames.SetBackgroundColor(0);
  EXPECT_EQ(heard, 0);
  EXPECT_EQ(told, 1);
}

TEST(BitmapCollectionNotify, AComponentThatGoesIsForgottenWithItsListeners) {
  TKVBitmapCollection frames;
  int heard = 0, others = 0;
  {
    kv::TKVComponent viewer;
    frames.RegisterComponent(&viewer);
    frames.AddChangeListener(&viewer, [&heard](TKVCustomBitmapCollection&) { ++heard; });
    frames.AddChangeListener(&others, [&others](TKVCustomBitmapCollection&) { ++others; });
    frames.SetBackgroundColor(1);
    EXPECT_EQ(heard, 1);
  }
  frames.SetBackgroundColor(2);
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(others, 2);
  // A collection that goes first leaves its components free of it.
  kv::TKVComponent viewer;
  {
    TKVBitmapCollection shortLived;
    shortLived.RegisterComponent(&viewer);
  }
  SUCCEED();
}

} // namespace
