#include "jigsaw/uKVJigsawPieceLibrary.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

kv::TKVPieceTemplate MakeTemplate(uint16_t w, uint16_t h, bool vertical, uint8_t layout,
                                  std::vector<uint8_t> mask0, std::vector<uint8_t> mask1) {
  kv::TKVPieceTemplate t;
  t.Width = w;
  t.Height = h;
  t.Vertical = vertical;
  t.LayoutIndex = layout;
  t.Masks = {std::move(mask0), std::move(mask1)};
  return t;
}

// The library stream around a hand-made content: int32 N, then N bytes of zlib data.
std::vector<uint8_t> Packed(const std::vector<uint8_t>& content) {
  kv::TMemoryStream plain(content), packed;
  kv::TKVStreamFunc::CompressStream(plain, packed);
  return kvtest::Bytes().i32(static_cast<int32_t>(packed.Size())).raw(packed.Bytes()).data();
}

kv::TKVJigsawPieceLibrary SampleLibrary() {
  kv::TKVJigsawPieceLibrary library;
  library.Layouts = {{20, 24}, {100, 90}};
  library.Templates.push_back(MakeTemplate(20, 12, false, 0, {20, 0}, {1, 2, 3}));
  library.Templates.push_back(MakeTemplate(255, 24, true, 127, {}, {9}));
  return library;
}

} // namespace

TEST(PieceLibraryStreamTest, WritesTheExactLayout) {
  kv::TMemoryStream stream;
  SampleLibrary().SaveToStream(stream);
  stream.SetPosition(0);
  const int32_t length = kv::TKVStreamFunc::ReadInteger(stream);
  ASSERT_EQ(length, stream.Size() - 4);
  kv::TMemoryStream content;
  kv::TKVStreamFunc::DecompressBuffer(std::span<const uint8_t>(stream.Memory() + 4, length), content);
  const auto expected = kvtest::Bytes()
                            .u8(2)
                            .raw({20, 24, 100, 90})
                            .u16(2)
                            .raw({20, 12})
                            .u16(2)
                            .raw({20, 0})
                            .u16(3)
                            .raw({1, 2, 3})
                            .u8(0x00)
                            .raw({255, 24})
                            .u16(0)
                            .u16(1)
                            .raw({9})
                            .u8(0x80 | 127)
                            .data();
  EXPECT_EQ(content.Bytes(), expected);
}

TEST(PieceLibraryStreamTest, RoundTripReplacesLayoutsAndAppendsTemplates) {
  kv::TMemoryStream stream;
  SampleLibrary().SaveToStream(stream);
  kv::TKVJigsawPieceLibrary loaded;
  loaded.Layouts = {{1, 1}};
  loaded.Templates.push_back(MakeTemplate(5, 5, false, 0, {}, {}));
  stream.SetPosition(0);
  loaded.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), stream.Size());
  ASSERT_EQ(loaded.Layouts.size(), 2u);
  EXPECT_EQ(loaded.Layout(1).CellWidth, 100);
  EXPECT_EQ(loaded.Layout(1).CellHeight, 90);
  ASSERT_EQ(loaded.TemplateCount(), 3);
  const auto& a = loaded.Template(1);
  EXPECT_EQ(a.Width, 20);
  EXPECT_EQ(a.Height, 12);
  EXPECT_FALSE(a.Vertical);
  EXPECT_EQ(a.LayoutIndex, 0);
  EXPECT_EQ(a.Masks[0], (std::vector<uint8_t>{20, 0}));
  EXPECT_EQ(a.Masks[1], (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(a.Bitmap.DrawMode(), kv::dmBlend);
  const auto& b = loaded.Template(2);
  EXPECT_EQ(b.Width, 255);
  EXPECT_TRUE(b.Vertical);
  EXPECT_EQ(b.LayoutIndex, 127);
  EXPECT_TRUE(b.Masks[0].empty());
}

TEST(PieceLibraryStreamTest, FileRoundTripAndMissingFile) {
  kvtest::TempDir dir;
  SampleLibrary().SaveToFile(dir.file("all.kvjc"));
  kv::TKVJigsawPieceLibrary loaded;
  loaded.LoadFromFile(dir.file("all.kvjc"));
  EXPECT_EQ(loaded.TemplateCount(), 2);
  EXPECT_THROW(loaded.LoadFromFile(dir.file("missing.kvjc")), kv::EFOpenError);
}

TEST(PieceLibraryStreamTest, ValuesTheFormatCannotHoldAreRefused) {
  struct Case {
    const char* name;
    void (*spoil)(kv::TKVJigsawPieceLibrary&);
  };
  const Case cases[] = {
      {"wide template", [](kv::TKVJigsawPieceLibrary& c) { c.Templates[0].Width = 256; }},
      {"tall template", [](kv::TKVJigsawPieceLibrary& c) { c.Templates[0].Height = 300; }},
      {"layout index", [](kv::TKVJigsawPieceLibrary& c) { c.Templates[0].LayoutIndex = 128; }},
      {"long mask", [](kv::TKVJigsawPieceLibrary& c) { c.Templates[0].Masks[1].resize(65536); }},
      {"many layouts", [](kv::TKVJigsawPieceLibrary& c) { c.Layouts.resize(256); }},
  };
  for (const auto& c : cases) {
    auto library = SampleLibrary();
    c.spoil(library);
    kv::TMemoryStream stream;
    EXPECT_THROW(library.SaveToStream(stream), kv::EWriteError) << c.name;
  }
}

TEST(PieceLibraryStreamTest, EmptyLengthReadsNothing) {
  auto stream = kvtest::Bytes().i32(0).stream();
  auto library = SampleLibrary();
  library.LoadFromStream(stream);
  EXPECT_EQ(library.TemplateCount(), 2);
  EXPECT_EQ(stream.Position(), 4);
}

// The smallest template is its size, two empty masks and the flags: a count the content holds that way
// loads.
TEST(PieceLibraryStreamTest, TemplatesWithEmptyMasksLoad) {
  const std::vector<uint8_t> bytes = Packed(
      kvtest::Bytes().u8(0).u16(2).raw({4, 6}).u16(0).u16(0).u8(0x81).raw({8, 2}).u16(0).u16(0).u8(0).data());
  kv::TMemoryStream stream(bytes);
  kv::TKVJigsawPieceLibrary library;
  library.LoadFromStream(stream);
  ASSERT_EQ(library.TemplateCount(), 2);
  EXPECT_TRUE(library.Template(0).Vertical);
  EXPECT_EQ(library.Template(0).LayoutIndex, 1);
  EXPECT_EQ(library.Template(1).Width, 8);
  EXPECT_TRUE(library.Template(1).Masks[0].empty());
}

TEST(PieceLibraryStreamTest, HostileStreamsRaiseReadErrorAndChangeNothing) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases{
      {"no length", {1, 2}},
      {"negative length", kvtest::Bytes().i32(-5).raw({1, 2, 3}).data()},
      {"length past the end", kvtest::Bytes().i32(1000).raw({1, 2, 3}).data()},
      {"not zlib", kvtest::Bytes().i32(4).raw({1, 2, 3, 4}).data()},
      {"mask longer than the content",
       Packed(kvtest::Bytes().u8(0).u16(1).raw({4, 4}).u16(60000).u8(1).data())},
      {"huge template count", Packed(kvtest::Bytes().u8(1).raw({20, 20}).u16(65535).data())},
      {"one template more than the content holds", Packed(kvtest::Bytes()
                                                              .u8(0)
                                                              .u16(3)
                                                              .raw({4, 4})
                                                              .u16(0)
                                                              .u16(0)
                                                              .u8(0)
                                                              .raw({4, 4})
                                                              .u16(0)
                                                              .u16(0)
                                                              .u8(0)
                                                              .data())},
  };
  // Every cut of a valid content is malformed too.
  kv::TMemoryStream valid;
  SampleLibrary().SaveToStream(valid);
  kv::TMemoryStream content;
  kv::TKVStreamFunc::DecompressBuffer(std::span<const uint8_t>(valid.Memory() + 4, valid.Size() - 4),
                                      content);
  for (std::size_t cut = 0; cut < content.Bytes().size(); ++cut)
    cases.push_back({"cut at " + std::to_string(cut),
                     Packed(std::vector<uint8_t>(content.Bytes().begin(), content.Bytes().begin() + cut))});

  for (const auto& [name, bytes] : cases) {
    kv::TKVJigsawPieceLibrary library = SampleLibrary();
    kv::TMemoryStream stream(bytes);
    EXPECT_THROW(library.LoadFromStream(stream), kv::EReadError) << name;
    EXPECT_EQ(library.Layouts.size(), 2u) << name;
    EXPECT_EQ(library.TemplateCount(), 2) << name;
  }
}
