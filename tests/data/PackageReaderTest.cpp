#include "PackageFixture.h"
#include "gui/uPictureConverters.h"

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uExecDataReader.h"
#include "data/uKVStreamFunc.h"

#include <gtest/gtest.h>

#include <set>
#include <zlib.h>

using namespace kv;
using kvtest::Bytes;
using kvtest::Record;
namespace T = kv::PackageTag;

namespace {

Bytes ScriptItemStream(int32_t id, std::string_view text = {}) {
  TScriptItem item;
  item.ID = id;
  if (!text.empty()) item.AddText(text);
  TMemoryStream s;
  item.SaveToStream(s);
  return Bytes().raw(s.Bytes());
}

Bytes ActionItemStream(const std::string& caption, std::initializer_list<int32_t> commands) {
  TActionItem action;
  action.Caption = caption;
  for (const int32_t c : commands) action.AddScript().ID = c;
  TMemoryStream s;
  action.SaveToStream(s);
  return Bytes().raw(s.Bytes());
}

// A menu node in the 7890 form (with a script) or the 7882 form.
Bytes MenuNode(uint32_t id, uint32_t parent, std::string_view caption, int32_t action, const Bytes& children,
               int32_t childCount, bool withScript = true, const Bytes& script = {}) {
  Bytes b;
  b.u32(id).u32(parent).u8(0).str(caption).str(caption).u8(1).i32(action);
  if (withScript) b.i32(static_cast<int32_t>(script.size())).raw(script.data());
  b.i32(0).i32(childCount).raw(children.data());
  return b;
}

Bytes Title(std::string_view title) {
  return Record(T::Title, Bytes().str(title).i32(0), static_cast<int32_t>(8 + title.size()));
}

void Load(TJigsawProject2& p, const Bytes& records) {
  kvtest::Load(p, kvtest::Package(records));
}

} // namespace

// ---- sections and framing

TEST(PackageReader, NullStreamDoesNothing) {
  TJigsawProject2 p;
  p.LoadFromStream(nullptr);
  EXPECT_EQ(p.EventSounds.size(), 10u);
}

TEST(PackageReader, PackageWithoutPreviewLoads) {
  TJigsawProject2 p;
  Load(p, Title("Plain"));
  EXPECT_EQ(p.Title, "Plain");
  EXPECT_TRUE(p.Thumbnail.Empty());
  EXPECT_EQ(p.ThumbnailColumns, 0);
}

TEST(PackageReader, PreviewThumbnailIsRead) {
  const std::vector<uint8_t> bmp = kvtest::TinyBmp(3, 2);
  Bytes preview;
  preview.raw(Record(999, Bytes().chars("abc")).data()); // unknown preview record
  preview.raw(kvtest::ThumbnailRecord(5, 4, bmp, 2).data());
  preview.raw(Record(T::PreviewEnd, {}).data());
  TJigsawProject2 p;
  kvtest::Load(p, kvtest::PackageWithPreview(preview, Title("With preview")));
  EXPECT_EQ(p.Title, "With preview");
  EXPECT_EQ(p.ThumbnailColumns, 5);
  EXPECT_EQ(p.ThumbnailRows, 4);
  EXPECT_EQ(p.Thumbnail.Bytes(), bmp);
}

TEST(PackageReader, PackageStartsAtTheStreamPosition) {
  Bytes all;
  all.chars("prefix");
  const TMemoryStream package = kvtest::Package(Title("Offset"));
  all.raw(package.Bytes());
  TMemoryStream s = all.stream();
  s.SetPosition(6);
  TJigsawProject2 p;
  p.LoadFromStream(&s);
  EXPECT_EQ(p.Title, "Offset");
}

TEST(PackageReader, DamagedPreviewIsAReadError) {
  struct Case {
    const char* what;
    Bytes preview;
  };
  const std::vector<uint8_t> bmp = kvtest::TinyBmp(1, 1);
  std::vector<Case> cases;
  cases.push_back({"no end record", Bytes().raw(kvtest::ThumbnailRecord(1, 1, bmp).data())});
  cases.push_back(
      {"thumbnail larger than the preview",
       Bytes().u16(T::Thumbnail).i32(16).i32(1).i32(1).i32(1000).raw(Record(T::PreviewEnd, {}).data())});
  cases.push_back(
      {"negative unknown length", Bytes().u16(999).i32(-6).raw(Record(T::PreviewEnd, {}).data())});
  for (const auto& c : cases) {
    TJigsawProject2 p;
    EXPECT_THROW(kvtest::Load(p, kvtest::PackageWithPreview(c.preview, Title("x"))), EReadError) << c.what;
  }
  // A preview size past the end, or negative.
  for (const int32_t size : {1000, -1}) {
    Bytes b;
    b.u16(0xDEAD).u16(0).i32(size).raw(kvtest::Compress(kvtest::DataSection(Title("x"))));
    TJigsawProject2 p;
    EXPECT_THROW(kvtest::Load(p, b.stream()), EReadError) << size;
  }
}

TEST(PackageReader, BadSignatureRaisesTheFormatErrorAndLeavesTheListsEmpty) {
  Bytes section;
  section.u8(3).chars("PZY").raw(Title("x").data()).raw(kvtest::EndRecord().data());
  TJigsawProject2 p;
  try {
    kvtest::Load(p, TMemoryStream(kvtest::Compress(section)));
    FAIL() << "no error";
  } catch (const EExecDataError& e) {
    EXPECT_STREQ(e.what(), "Stream data contains invalid project format.");
  }
  EXPECT_TRUE(p.EventSounds.empty());
  EXPECT_TRUE(p.Menus.empty());
}

TEST(PackageReader, BrokenDataIsAReadError) {
  struct Case {
    const char* what;
    TMemoryStream package;
  };
  std::vector<Case> cases;
  cases.push_back({"not zlib", Bytes().chars("this is no zlib stream at all").stream()});
  cases.push_back({"empty", TMemoryStream()});
  cases.push_back({"no end record", TMemoryStream(kvtest::Compress(kvtest::DataSection(Title("x"), false)))});
  cases.push_back({"record cut short", TMemoryStream(kvtest::Compress(kvtest::DataSection(
                                           Bytes().u16(T::Title).i32(20).str("abc"), false)))});
  cases.push_back({"signature only", TMemoryStream(kvtest::Compress(Bytes().u8(3).chars("PZZ")))});
  cases.push_back(
      {"tag without length", TMemoryStream(kvtest::Compress(Bytes().u8(3).chars("PZZ").u16(T::End)))});
  std::vector<uint8_t> truncated = kvtest::Package(Title("x")).Bytes();
  truncated.resize(truncated.size() - 3);
  cases.push_back({"truncated zlib", TMemoryStream(truncated)});
  for (auto& c : cases) {
    TJigsawProject2 p;
    EXPECT_THROW(kvtest::Load(p, std::move(c.package)), EReadError) << c.what;
  }
}

namespace {

// A zlib stream of the content and then the tail, flushed but not finished, followed by bytes that no
// inflater accepts (a block of the reserved type).
std::vector<uint8_t> WithUninflatableTail(const Bytes& content, const std::vector<uint8_t>& tail) {
  z_stream z{};
  EXPECT_EQ(deflateInit(&z, Z_DEFAULT_COMPRESSION), Z_OK);
  std::vector<uint8_t> in = content.data();
  in.insert(in.end(), tail.begin(), tail.end());
  std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
  z.next_in = in.data();
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
  out.resize(z.total_out);
  deflateEnd(&z);
  out.push_back(0x07);
  out.push_back(0xFF);
  return out;
}

} // namespace

// The data section is inflated only as far as the end record and a short look past it: what follows is
// never inflated, so junk there, even junk that would not inflate at all, costs nothing.
TEST(PackageReader, DataAfterTheEndRecordIsNeverInflated) {
  std::vector<uint8_t> junk(8u << 20);
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7 / 1000);
  for (const bool inMemory : {true, false}) {
    TJigsawProject2 p;
    TMemoryStream package(WithUninflatableTail(kvtest::DataSection(Title("kept")), junk));
    if (inMemory) {
      p.LoadFromMemory(std::move(package));
    } else {
      const kvtest::TempDir dir;
      const std::string file = dir.file("junk.dat");
      package.SaveToFile(file);
      TFileStream stream(file, TFileMode::fmOpenRead);
      p.LoadFromStream(&stream);
    }
    EXPECT_EQ(p.Title, "kept") << inMemory;
  }
  // Without an end record the reader goes on into the junk and meets the damage.
  TJigsawProject2 q;
  EXPECT_THROW(
      kvtest::Load(q, TMemoryStream(WithUninflatableTail(kvtest::DataSection(Title("x"), false), junk))),
      EReadError);
}

// A record that claims more than its compressed data could ever inflate to is refused before any of it is
// inflated, and so is data that inflates past that bound.
TEST(PackageReader, RecordsLargerThanTheDataCouldHoldAreRefused) {
  const std::vector<uint8_t> zeros(1u << 20, 0);
  for (const uint16_t tag : {uint16_t{T::Picture}, uint16_t{T::SkinBitmaps}, uint16_t{9999}}) {
    Bytes record;
    record.u16(tag).i32(0x7FFF0000);
    if (tag == T::Picture) record.u32(1).str("p");
    record.raw(zeros);
    TJigsawProject2 p;
    EXPECT_THROW(kvtest::Load(p, TMemoryStream(kvtest::Compress(kvtest::DataSection(record, false)))),
                 EReadError)
        << tag;
    EXPECT_TRUE(p.Pictures.empty());
  }
}

TEST(PackageReader, LoadFromFileReadsThePackage) {
  kvtest::TempDir dir;
  const std::string file = dir.file("game.pkg");
  kvtest::WriteFileBytes(file, kvtest::Package(Title("From file")).Bytes());
  TJigsawProject2 p;
  p.LoadFromFile(file);
  EXPECT_EQ(p.Title, "From file");
  EXPECT_THROW(p.LoadFromFile(dir.file("missing.pkg")), EFOpenError);
}

// ---- tolerance rules

TEST(PackageReader, UnknownTagsAreSkippedByTheirLength) {
  Bytes records;
  records.raw(Title("First").data());
  records.raw(Record(7869, Bytes().chars("12345")).data());
  records.raw(Record(7874, Bytes().i32(0).i32(0)).data()); // written, never read
  records.raw(Record(0xFFFF, {}).data());
  records.raw(Record(T::CutUse, Bytes().u8(0)).data());
  TJigsawProject2 p;
  Load(p, records);
  EXPECT_EQ(p.Title, "First");
  EXPECT_EQ(p.UseStoredCuts, 0);

  TJigsawProject2 q;
  EXPECT_THROW(Load(q, Bytes().u16(7869).i32(-6).raw(Title("x").data())), EReadError);
  EXPECT_THROW(Load(q, Bytes().u16(7869).i32(100000).raw(Title("x").data())), EReadError);
}

TEST(PackageReader, RecordsInAnyOrderAndRepeatedKeepTheLastValue) {
  Bytes records;
  records.raw(Record(T::CutUse, Bytes().u8(0)).data());
  records.raw(Title("One").data());
  records.raw(kvtest::FileRecord(T::Picture, 3, "b", {2}).data());
  records.raw(Title("Two").data());
  records.raw(kvtest::FileRecord(T::Picture, 2, "a", {1}).data());
  TJigsawProject2 p;
  Load(p, records);
  EXPECT_EQ(p.Title, "Two");
  ASSERT_EQ(p.Pictures.size(), 2u);
  EXPECT_EQ(p.Pictures[0]->ID, 3u);
  EXPECT_EQ(p.Pictures[1]->Name, "a");
}

// A picture's prepared game gets its own entry and leaves the package's prepared game as it was.
TEST(PackageReader, PreparedPictureGameKeepsItsOwnEntry) {
  Bytes records;
  records.raw(
      Record(T::PreparedGame, Bytes().i32(3).i32(2).raw(std::vector<uint8_t>(40 * 6, 1)).i32(0)).data());
  records.raw(Record(T::PreparedPictureGame,
                     Bytes().u32(77).i32(4).i32(5).raw(std::vector<uint8_t>(40, 2)).i32(0), 16 + 40)
                  .data());
  TJigsawProject2 p;
  Load(p, records);
  EXPECT_EQ(p.PreparedGame.Columns, 3);
  EXPECT_EQ(p.PreparedGame.Rows, 2);
  EXPECT_EQ(p.PreparedGame.Pieces.Bytes(), std::vector<uint8_t>(240, 1));
  ASSERT_EQ(p.PreparedGames.size(), 1u);
  EXPECT_EQ(p.PreparedGames[0]->PictureID, 77u);
  EXPECT_EQ(p.PreparedGames[0]->Columns, 4);
  EXPECT_EQ(p.PreparedGames[0]->Rows, 5);
  EXPECT_EQ(p.PreparedGames[0]->Pieces.Bytes(), std::vector<uint8_t>(40, 2));

  // A record too short for its four fixed fields is a read error.
  Bytes shortRecord;
  shortRecord.raw(Record(T::PreparedPictureGame, Bytes().u32(77).i32(4).i32(5).i32(0), 12).data());
  TJigsawProject2 q;
  EXPECT_THROW(Load(q, shortRecord), kv::EReadError);
}

TEST(PackageReader, ExtensionCountsAreSkipped) {
  Bytes records;
  records.raw(kvtest::FileRecord(T::Picture, 9, "pic", {0xFF, 0xD8, 0xFF}, 3).data());
  records.raw(Record(T::Title, Bytes().str("T").i32(2).u8(0xAA).u8(0xBB), 9).data());
  records.raw(Record(T::CutDefaults, Bytes().u8(6).u8(5).u8(1).u8(0).i32(0x123456).i32(1), 12).data());
  records.raw(Bytes().u8(0x99).data());
  records.raw(Record(T::SoundAndWindow, Bytes().u8(0).u8(2).i32(0)).data());
  TJigsawProject2 p;
  Load(p, records);
  ASSERT_EQ(p.Pictures.size(), 1u);
  EXPECT_EQ(p.Pictures[0]->Extension, 3);
  EXPECT_EQ(p.Pictures[0]->Data.Bytes(), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF}));
  EXPECT_EQ(p.Title, "T");
  EXPECT_EQ(p.PieceScale, 6);
  EXPECT_EQ(p.CutOption, 5);
  EXPECT_EQ(p.PreparedFlag, 1);
  EXPECT_EQ(p.PreparedColor, 0x123456);
  EXPECT_EQ(p.SoundOn, 0);
  EXPECT_EQ(p.WindowPosition, 2);
}

TEST(PackageReader, NegativeCountsAndSizesAreReadErrors) {
  struct Case {
    const char* what;
    Bytes record;
  };
  const std::vector<Case> cases = {
      {"negative extension", Record(T::Title, Bytes().str("T").i32(-1))},
      {"extension past the end", Record(T::Title, Bytes().str("T").i32(1000))},
      {"negative event-sound length", Record(T::EventSounds, Bytes().i32(0).i32(0), -4)},
      {"event sounds past the end", Record(T::EventSounds, Bytes().i32(0).i32(0), 4000000)},
      {"prepared game shorter than 12", Record(T::PreparedGame, Bytes().i32(1).i32(1).i32(0), 8)},
      {"prepared game past the end", Record(T::PreparedGame, Bytes().i32(1).i32(1).i32(0), 100000)},
      {"negative picture cut count", Record(T::PictureCut, Bytes().u32(1).i32(-1))},
      {"huge picture cut count", Record(T::PictureCut, Bytes().u32(1).i32(0x7FFFFFFF))},
      {"negative skin button count",
       Record(T::Skin, Bytes().u32(1).i16(15).i32(0).i32(0).i32(-1).raw(std::vector<uint8_t>(24, 0)))},
      {"huge skin data", Record(T::Skin, Bytes().u32(1).i16(15).i32(0x40000000))},
      {"negative button image size", Record(T::ImageButton, Bytes().u32(1).i32(0).i32(0).i32(-4))},
      {"huge picture", Bytes().u16(T::Picture).i32(0x7FFFFFF0).u32(1).str("x")},
      {"negative wallpaper extension", Record(T::WallpaperDefaults, Bytes().i32(1).i32(-1))},
      {"negative board-area extension", Record(T::BoardArea, Bytes().i32(0).i32(0).i32(1).i32(1).i32(-8))},
      {"negative menu length", Record(T::OldMenuList, Bytes(), -1)},
      {"negative sound-format length", Record(T::SoundFormats, Bytes(), -1)},
      {"negative skin-bitmap length", Record(T::SkinBitmaps, Bytes(), -1)},
      {"negative XML length", Record(T::PublishedProperties, Bytes(), -1)},
      {"negative action length", Record(T::StartActions, Bytes(), -1)},
      {"negative ghost length", Record(T::Ghost, Bytes(), -1)},
      {"negative title length", Record(T::Title, Bytes().str("T").i32(0), -1)},
      {"negative script size", Record(T::ButtonScript, Bytes().u32(1).u32(2).i32(-1).i32(0))},
      {"piece shapes past the end", Record(T::PieceShapes, Bytes().raw({1, 2}), 50)},
      {"high-score name past its record", Record(T::HighScoreFile, Bytes().u8(10).chars("abc"))},
      {"empty high-score record", Record(T::HighScoreFile, Bytes())},
  };
  for (const auto& c : cases) {
    TJigsawProject2 p;
    EXPECT_THROW(Load(p, c.record), EReadError) << c.what;
  }
}

TEST(PackageReader, FixedSizeRecordWithOversizeLengthIsAReadError) {
  struct Case {
    uint16_t tag;
    Bytes payload;
  };
  const std::vector<Case> cases = {
      {T::CutDefaults, Bytes().u8(4).u8(7).u8(0).u8(0).i32(0).i32(0)},
      {T::PictureChoice, Bytes().u8(1).raw({0, 0, 0}).i32(0)},
      {T::Countdown, Bytes().u8(1).raw({0, 0, 0}).i32(60).i32(0)},
      {T::PieceRange, Bytes().i32(10).i32(20).i32(0).i32(0)},
      {T::BoardArea, Bytes().i32(0).i32(0).i32(640).i32(480).i32(0)},
      {T::WallpaperDefaults, Bytes().i32(1).i32(0)},
      {T::Wallpaper, Bytes().u32(0x10000).i32(1).i32(2).i32(0)},
  };
  for (const auto& c : cases) {
    const auto exact = static_cast<int32_t>(c.payload.size());
    TJigsawProject2 ok;
    EXPECT_NO_THROW(Load(ok, Record(c.tag, c.payload, exact))) << c.tag;
    // A shorter length still reads the whole payload field by field.
    EXPECT_NO_THROW(Load(ok, Record(c.tag, c.payload, exact - 1))) << c.tag;
    Bytes padded = c.payload;
    padded.u8(0);
    TJigsawProject2 bad;
    EXPECT_THROW(Load(bad, Record(c.tag, padded, exact + 1)), EReadError) << c.tag;
    EXPECT_THROW(Load(bad, Record(c.tag, c.payload, -1)), EReadError) << c.tag;
  }
}

TEST(PackageReader, EmptyPictureAndSettingsRecords) {
  Bytes records;
  records.raw(Bytes().u16(T::Picture).i32(0).data());
  records.raw(Bytes().u16(T::Sound).i32(-5).data());
  records.raw(Bytes().u16(T::PictureSettings).i32(0).data());
  TJigsawProject2 p;
  Load(p, records);
  EXPECT_TRUE(p.Pictures.empty());
  EXPECT_TRUE(p.Sounds.empty());
  ASSERT_EQ(p.PictureSettings.size(), 1u);
  EXPECT_EQ(p.PictureSettings[0].PictureID, 0u);
  EXPECT_EQ(p.PictureSettings[0].NumPiecesMax, 0);
}

TEST(PackageReader, GhostRecordIsTakenAtLengthSix) {
  TJigsawProject2 p;
  Load(p, Record(T::Ghost, Bytes().u8(3).u8(100).i32(0x00FF00)).raw(Title("after").data()));
  EXPECT_EQ(p.GhostMode, 3);
  EXPECT_EQ(p.GhostAlpha, 100);
  EXPECT_EQ(p.GhostColor, 0x00FF00);
  EXPECT_EQ(p.Title, "after");
}

TEST(PackageReader, GhostRecordOfAnotherLengthIsSkipped) {
  for (const int32_t length : {0, 5, 7}) {
    Bytes records;
    records.raw(
        Record(T::Ghost, Bytes().raw(std::vector<uint8_t>(static_cast<std::size_t>(length), 3))).data());
    records.raw(Title("next").data());
    TJigsawProject2 p;
    Load(p, records);
    EXPECT_EQ(p.GhostMode, 2) << length;
    EXPECT_EQ(p.GhostAlpha, 255) << length;
    EXPECT_EQ(p.GhostColor, static_cast<TColor>(0xFF00000C)) << length;
    EXPECT_EQ(p.Title, "next") << length;
  }
}

TEST(PackageReader, SettingsRecords) {
  Bytes records;
  records.raw(Record(T::PictureChoice, Bytes().u8(2).raw({0, 0, 0}).i32(0)).data());
  records.raw(Record(T::Countdown, Bytes().u8(1).raw({0, 0, 0}).i32(300).i32(0)).data());
  records.raw(Record(T::PieceRange, Bytes().i32(-1).i32(-1).i32(1).i32(0)).data());
  records.raw(Record(T::LegacySkin, Bytes().i16(19).i32(3).raw({7, 8, 9}).i32(0)).data());
  records.raw(
      Record(T::BoardArea, Bytes().i32(1).i32(2).i32(640).i32(480).i32(2).raw({0xEE, 0xEE}), 20).data());
  records.raw(Record(T::WallpaperDefaults, Bytes().i32(5).i32(1).u8(0xEE), 8).data());
  records.raw(Record(T::Icon, Bytes().i32(2).raw({0, 1}).i32(0)).data());
  records.raw(Record(T::StartSelection, Bytes().i32(3).i32(1)).data());
  records.raw(Record(T::PieceOptions, Bytes().raw({1, 2, 1})).data());
  records.raw(Record(T::NameEntry, Bytes().u8(1).u8(1).str("<html>").i32(300).i32(200)).data());
  records.raw(Record(T::HighScoreFile, Bytes().u8(5).chars("x.dat").chars("junk")).data());
  records.raw(Record(T::SkinBitmaps, Bytes().raw({4, 5, 6})).data());
  records.raw(Record(T::PieceShapes, Bytes().raw({0x78, 0x9C, 0x03})).data());
  records.raw(Record(T::PublishedProperties, Bytes().chars("<Project/>")).data());
  TJigsawProject2 p;
  Load(p, records);
  EXPECT_EQ(p.PictureChoiceMode, 2);
  EXPECT_EQ(p.Countdown, 1);
  EXPECT_EQ(p.CountdownSeconds, 300);
  EXPECT_EQ(p.NumPiecesMin, -1);
  EXPECT_EQ(p.NumPiecesMax, -1);
  EXPECT_EQ(p.EmbedPreparedGame, 1);
  EXPECT_EQ(p.SkinMode, 19);
  EXPECT_EQ(p.LegacySkinData.Bytes(), (std::vector<uint8_t>{7, 8, 9}));
  EXPECT_EQ(p.BoardArea, (std::array<int32_t, 5>{1, 2, 640, 480, 2}));
  EXPECT_EQ(p.WallpaperParam, 5);
  EXPECT_EQ(p.WallpaperParam2, 1);
  EXPECT_EQ(p.Icon.Bytes(), (std::vector<uint8_t>{0, 1}));
  EXPECT_EQ(p.StartWallpaperIndex, 3);
  EXPECT_EQ(p.StartSkinIndex, 1);
  EXPECT_TRUE(p.SelectionStored);
  EXPECT_EQ(p.NoRotation, 1);
  EXPECT_EQ(p.PieceOption2, 2);
  EXPECT_EQ(p.OutlineOption, 1);
  EXPECT_EQ(p.HtmlNameEntry, 1);
  EXPECT_EQ(p.ShowHighScoreTable, 1);
  EXPECT_EQ(p.NameEntryPage, "<html>");
  EXPECT_EQ(p.NameEntryWidth, 300);
  EXPECT_EQ(p.NameEntryHeight, 200);
  EXPECT_EQ(p.HighScoreFileName, "x.dat");
  EXPECT_EQ(p.SkinData.Bytes(), (std::vector<uint8_t>{4, 5, 6}));
  EXPECT_EQ(p.PieceShapeData.Bytes(), (std::vector<uint8_t>{3, 0, 0, 0, 0x78, 0x9C, 0x03}));
  EXPECT_EQ(std::string(p.PublishedXml.Bytes().begin(), p.PublishedXml.Bytes().end()), "<Project/>");
}

TEST(PackageReader, RecordsWithoutFurtherFieldsKeepTheirValues) {
  Bytes records;
  records.raw(Bytes().u16(T::LegacySkin).i32(0).data());
  records.raw(Bytes().u16(T::Flags).i32(0).data());
  records.raw(Bytes().u16(T::PieceShapes).i32(-1).data());
  records.raw(Bytes().u16(T::MenuTree).i32(0).data());
  records.raw(Bytes().u16(T::OldMenuTree).i32(-3).data());
  records.raw(Title("after").data());
  TJigsawProject2 p;
  p.SkinMode = 49;
  Load(p, records);
  EXPECT_EQ(p.SkinMode, 49);
  EXPECT_EQ(p.Options, (TProjectOptions{false, false, false, true}));
  EXPECT_TRUE(p.PieceShapeData.Empty());
  EXPECT_TRUE(p.Menus.empty());
  EXPECT_EQ(p.Title, "after");
}

TEST(PackageReader, FlagsWord) {
  struct Case {
    uint32_t flags;
    TProjectOptions options;
    uint8_t bevel, previewScale;
  };
  for (const Case& c :
       {Case{0, {false, false, false, false}, 0, 3}, Case{1, {true, false, false, false}, 0, 3},
        Case{2, {false, true, false, false}, 0, 3}, Case{4, {false, false, true, false}, 0, 3},
        Case{64, {false, false, false, true}, 0, 3}, Case{5u << 3, {false, false, false, false}, 5, 3},
        Case{7u << 7, {false, false, false, false}, 0, 7},
        Case{0xFFFFFFFFu, {true, true, true, true}, 7, 7}}) {
    TJigsawProject2 p;
    Load(p, Record(T::Flags, Bytes().u32(c.flags)));
    EXPECT_EQ(p.Options, c.options) << c.flags;
    EXPECT_EQ(p.BevelLevel, c.bevel) << c.flags;
    EXPECT_EQ(p.PreviewScale, c.previewScale) << c.flags;
  }
}

// ---- lists

TEST(PackageReader, LoadingEmptiesTheListsButNotThePictures) {
  TJigsawProject2 p;
  p.AddPicture(0, 5).Data = TMemoryStream({1});
  p.Sounds.push_back(std::make_unique<TWaveData>());
  p.SoundFormats.push_back({1, 1});
  p.Skins.push_back(p.NewSkin());
  p.ActionGroups.push_back(std::make_unique<TActionGroup>(p.Random()));
  p.PictureCuts.push_back({5, {}});
  p.Banners.Add(p.Random());
  p.BannerContainers.Add(p.Random());
  p.Title = "kept";
  p.SelectionStored = true;
  Load(p, Record(T::CutUse, Bytes().u8(1)));
  EXPECT_EQ(p.Pictures.size(), 1u);
  EXPECT_TRUE(p.EventSounds.empty());
  EXPECT_TRUE(p.Sounds.empty());
  EXPECT_TRUE(p.SoundFormats.empty());
  EXPECT_TRUE(p.Menus.empty());
  EXPECT_TRUE(p.PictureSettings.empty());
  EXPECT_TRUE(p.Skins.empty());
  EXPECT_TRUE(p.ActionGroups.empty());
  EXPECT_TRUE(p.PictureCuts.empty());
  EXPECT_EQ(p.Banners.Count(), 0);
  EXPECT_EQ(p.BannerContainers.Count(), 0);
  EXPECT_FALSE(p.SelectionStored);
  EXPECT_EQ(p.Title, "kept");
}

TEST(PackageReader, ListRecords) {
  Bytes records;
  records.raw(kvtest::FileRecord(T::Sound, 300, "boing.wav", {'R', 'I', 'F', 'F'}).data());
  records.raw(Record(T::EventSounds, Bytes().i32(7).u32(300).u32(301).i32(0), 8).data());
  records.raw(Record(T::EventSounds, Bytes().i32(3).i32(0), 0).data());
  records.raw(Record(T::PictureSettings, Bytes().u32(4).i32(10).i32(30).u8(1).i32(0)).data());
  records.raw(Record(T::ImageButton,
                     Bytes()
                         .u32(8)
                         .i32(10)
                         .i32(20)
                         .i32(4)
                         .raw({1, 2, 3, 4})
                         .i32(0)
                         .i32(4)
                         .raw({5, 6, 7, 8})
                         .i32(0)
                         .i32(1)
                         .i32(1)
                         .i32(14)
                         .i32(9),
                     60 + 8)
                  .data());
  records.raw(Record(T::Skin, Bytes()
                                  .u32(21)
                                  .i16(19)
                                  .i32(2)
                                  .raw({1, 2})
                                  .i32(3)
                                  .i32(2)
                                  .u32(8)
                                  .u32(9)
                                  .i32(1)
                                  .i32(2)
                                  .i32(800)
                                  .i32(600)
                                  .i32(5)
                                  .i32(6))
                  .data());
  records.raw(Record(T::Wallpaper, Bytes().u32(0x30000).i32(4).i32(5).i32(0)).data());
  records.raw(Record(T::PictureCut, Bytes().u32(4).i32(2).raw({0, 1, 2, 3, 4, 5, 6, 7})).data());
  records.raw(Record(T::ClockDisplay,
                     Bytes()
                         .u32(31)
                         .u32(21)
                         .i32(1)
                         .i32(2)
                         .i32(3)
                         .i32(4)
                         .u8(1)
                         .u8(0)
                         .i32(0xFF)
                         .i32(0xAA)
                         .str("Arial")
                         .i32(-12)
                         .i32(9)
                         .u8(5)
                         .i32(2)
                         .raw({9, 9}),
                     51 + 5 + 2)
                  .data());
  const Bytes script = ScriptItemStream(14, "7");
  records.raw(
      Record(T::ButtonScript,
             Bytes().u32(41).u32(8).i32(static_cast<int32_t>(script.size())).raw(script.data()).i32(0))
          .data());
  TMemoryStream group;
  {
    TRandomSource random;
    TActionGroup g(random);
    g.Caption = "Group";
    g.AddAction().AddScript().ID = 4;
    g.SaveToStream(group);
  }
  records.raw(
      Record(T::ActionGroup, Bytes().i32(static_cast<int32_t>(group.Size())).raw(group.Bytes())).data());
  Bytes oldMenus;
  oldMenus.str("Open").str("O").u8(1).i32(2).raw({0xEE, 0xEE}).str("Close").str("").u8(0).i32(0);
  records.raw(Record(T::OldMenuList, oldMenus).data());
  const Bytes start = ActionItemStream("start", {5, 6});
  records.raw(Record(T::StartActions, start).data());
  records.raw(Record(T::EndActions, ActionItemStream("end", {1})).data());
  records.raw(Record(T::EndActions, ActionItemStream("end again", {2})).data());

  TJigsawProject2 p;
  Load(p, records);
  ASSERT_EQ(p.Sounds.size(), 1u);
  EXPECT_EQ(p.Sounds[0]->Name, "boing.wav");
  ASSERT_EQ(p.EventSounds.size(), 2u);
  EXPECT_EQ(p.EventSounds[0].Slot, 7);
  EXPECT_EQ(p.EventSounds[0].SoundIds, (std::vector<uint32_t>{300, 301}));
  EXPECT_EQ(p.EventSounds[1].Slot, 3);
  EXPECT_TRUE(p.EventSounds[1].SoundIds.empty());
  ASSERT_EQ(p.PictureSettings.size(), 1u);
  EXPECT_EQ(p.PictureSettings[0].PrepareGame, 1);
  ASSERT_EQ(p.Buttons.size(), 1u);
  EXPECT_EQ(p.Buttons[0]->Images[0].Bytes(), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_TRUE(p.Buttons[0]->Images[1].Empty());
  EXPECT_EQ(p.Buttons[0]->Images[2].Bytes(), (std::vector<uint8_t>{5, 6, 7, 8}));
  EXPECT_EQ(p.Buttons[0]->Action, 14);
  EXPECT_EQ(p.Buttons[0]->Reserved, 9);
  ASSERT_EQ(p.Skins.size(), 1u);
  EXPECT_EQ(p.Skins[0]->SkinMode, 19);
  EXPECT_EQ(p.Skins[0]->ButtonIds, (std::vector<uint32_t>{8, 9}));
  EXPECT_EQ(p.Skins[0]->Area, (std::array<int32_t, 5>{1, 2, 800, 600, 5}));
  EXPECT_EQ(p.Skins[0]->Reserved, 3);
  EXPECT_EQ(p.Skins[0]->Reserved2, 6);
  ASSERT_EQ(p.Wallpapers.size(), 1u);
  EXPECT_EQ(p.Wallpapers[0].Param2, 5);
  ASSERT_EQ(p.PictureCuts.size(), 1u);
  EXPECT_EQ(p.PictureCuts[0].Pieces[1], (TEdgeShapes{4, 5, 6, 7}));
  ASSERT_EQ(p.ClockDisplays.size(), 1u);
  EXPECT_EQ(p.ClockDisplays[0]->FontName, "Arial");
  EXPECT_EQ(p.ClockDisplays[0]->FontHeight, -12);
  EXPECT_EQ(p.ClockDisplays[0]->FontStyle, 5);
  EXPECT_EQ(p.ClockDisplays[0]->Data.Bytes(), (std::vector<uint8_t>{9, 9}));
  ASSERT_EQ(p.ButtonScripts.size(), 1u);
  EXPECT_EQ(p.ButtonScripts[0]->Script.ID, 14);
  EXPECT_EQ(p.ButtonScripts[0]->Script.Parameter.Entries(0).AsText(), "7");
  ASSERT_EQ(p.ActionGroups.size(), 1u);
  EXPECT_EQ(p.ActionGroups[0]->Caption, "Group");
  ASSERT_EQ(p.OldMenus.size(), 2u);
  EXPECT_EQ(p.OldMenus[0].Caption, "Open");
  EXPECT_EQ(p.OldMenus[0].Extension, 2);
  EXPECT_EQ(p.OldMenus[1].Caption, "Close");
  EXPECT_EQ(p.StartActions.ScriptCount(), 2);
  EXPECT_EQ(p.StartActions.Caption, "start");
  // A repeated action record replaces the earlier one.
  ASSERT_EQ(p.EndActions.ScriptCount(), 1);
  EXPECT_EQ(p.EndActions.Scripts(0).ID, 2);
  EXPECT_EQ(p.EndActions.Caption, "end again");
}

TEST(PackageReader, MenuTreeWithScriptsAndTheOldFormWithout) {
  const Bytes exit = MenuNode(12, 11, "E&xit", 3, {}, 0, true, ScriptItemStream(99, "param"));
  const Bytes file = MenuNode(11, 0, "&File", 0, exit, 1);
  const Bytes help = MenuNode(13, 0, "&Help", -1, {}, 0);
  Bytes content;
  content.i32(2).raw(file.data()).raw(help.data());
  Bytes old;
  old.i32(1).raw(MenuNode(14, 0, "Old", 5, {}, 0, false).data());
  TJigsawProject2 p;
  Load(p, Record(T::MenuTree, content).raw(Record(T::OldMenuTree, old).data()));
  ASSERT_EQ(p.Menus.size(), 3u);
  EXPECT_EQ(p.Menus[0]->Caption, "&File");
  ASSERT_EQ(p.Menus[0]->Children.size(), 1u);
  const TMenuExRec& x = *p.Menus[0]->Children[0];
  EXPECT_EQ(x.ID, 12u);
  EXPECT_EQ(x.ParentID, 11u);
  // The node's action number is its script's command; the parameters come from the script stream.
  EXPECT_EQ(x.Script.ID, 3);
  ASSERT_EQ(x.Script.Parameter.Count(), 1);
  EXPECT_EQ(x.Script.Parameter.Entries(0).AsText(), "param");
  EXPECT_EQ(p.Menus[1]->Script.ID, -1);
  EXPECT_EQ(p.Menus[2]->Caption, "Old");
  EXPECT_EQ(p.Menus[2]->Script.ID, 5);
}

TEST(PackageReader, MenuTreeDepthIsBounded) {
  // Each node's child list follows its fields, so a chain is the nodes one after another, then an empty list.
  auto chain = [](int depth) {
    Bytes b;
    for (int level = 1; level <= depth; ++level)
      b.i32(1).u32(static_cast<uint32_t>(level)).u32(0).u8(0).str("m").str("m").u8(1).i32(0).i32(0).i32(0);
    b.i32(0);
    return b;
  };
  TJigsawProject2 ok;
  Load(ok, Record(T::MenuTree, chain(TExecDataReader::kMaxMenuDepth - 1)));
  int depth = 0;
  for (const TMenuList* list = &ok.Menus; !list->empty(); list = &(*list)[0]->Children) ++depth;
  EXPECT_EQ(depth, TExecDataReader::kMaxMenuDepth - 1);

  TJigsawProject2 bad;
  EXPECT_THROW(Load(bad, Record(T::MenuTree, chain(TExecDataReader::kMaxMenuDepth + 1))), EReadError);
  EXPECT_THROW(Load(bad, Record(T::MenuTree, chain(100000))), EReadError);
}

TEST(PackageReader, MenuTreeCannotRunPastItsRecord) {
  // The node list claims two nodes but the record holds one; the next record's bytes must not be taken.
  Bytes content;
  content.i32(2).raw(MenuNode(1, 0, "a", 0, {}, 0).data());
  TJigsawProject2 p;
  EXPECT_THROW(Load(p, Record(T::MenuTree, content).raw(MenuNode(2, 0, "b", 0, {}, 0).data())), EReadError);
  EXPECT_THROW(Load(p, Record(T::MenuTree, Bytes().i32(-1))), EReadError);
  EXPECT_THROW(Load(p, Record(T::MenuTree, Bytes().i32(0x7FFFFFFF))), EReadError);
}

TEST(PackageReader, SoundFormatTable) {
  Bytes table;
  table.i32(44449).i32(8).i32(300).u8(2).raw({0, 0, 0});
  table.i32(12345).i32(3).raw({1, 2, 3});
  table.i32(44449).i32(8).i32(7).u8(4).raw({0, 0, 0});
  table.i32(44448).i32(0);
  TJigsawProject2 p;
  Load(p, Record(T::SoundFormats, table).raw(Title("after").data()));
  ASSERT_EQ(p.SoundFormats.size(), 2u);
  EXPECT_EQ(p.SoundFormats[0].SoundID, 300);
  EXPECT_EQ(p.SoundFormats[0].Format, 2);
  EXPECT_EQ(p.SoundFormats[1].SoundID, 7);
  EXPECT_EQ(p.SoundFormats[1].Format, 4);
  EXPECT_EQ(p.Title, "after");

  struct Case {
    const char* what;
    Bytes table;
  };
  const std::vector<Case> bad = {
      {"no end entry", Bytes().i32(44449).i32(8).i32(1).u8(1).raw({0, 0, 0})},
      {"association too short", Bytes().i32(44449).i32(3).raw({1, 0, 0}).i32(44448).i32(0)},
      {"entry past the table", Bytes().i32(12345).i32(100).i32(44448).i32(0)},
      {"negative entry size", Bytes().i32(12345).i32(-8).i32(44448).i32(0)},
  };
  for (const auto& c : bad) {
    TJigsawProject2 q;
    EXPECT_THROW(Load(q, Record(T::SoundFormats, c.table).raw(Title("x").data())), EReadError) << c.what;
  }
}

TEST(PackageReader, BannerRecordsGoToTheBannerLists) {
  const std::vector<uint8_t> bmp = kvtest::TinyBmp(4, 3);
  TBanner banner;
  banner.ID = 500;
  banner.Name = "ad";
  banner.URL = "http://example.org";
  banner.TypeData = 1;
  banner.Interval = 2000;
  banner.Data = TMemoryStream(bmp);
  banner.SetEventID(11);
  TMemoryStream records;
  TBanners::WriteRecord(banner, records);
  TRandomSource random;
  TBanners list;
  TBannerContainer container(&list);
  container.ID = 600;
  container.SkinID = 21;
  TBanner& inList = list.Add(random);
  inList.ID = 500;
  container.AddBanner(&inList);
  TBannerContainerManager::WriteRecord(container, records);

  TJigsawProject2 p(PictureConverterServices());
  Load(p, Bytes().raw(records.Bytes()));
  ASSERT_EQ(p.Banners.Count(), 1);
  EXPECT_EQ(p.Banners.Items(0)->URL, "http://example.org");
  EXPECT_EQ(p.Banners.Items(0)->Width(), 4);
  ASSERT_EQ(p.BannerContainers.Count(), 1);
  ASSERT_EQ(p.BannerContainers.Items(0)->Count(), 1);
  EXPECT_EQ(p.BannerContainers.Items(0)->Item(0), p.Banners.Items(0));

  // A model made without a size reader cannot measure the banner.
  TJigsawProject2 bare;
  EXPECT_THROW(Load(bare, Bytes().raw(records.Bytes())), EImageError);
}

// ---- completion after loading

TEST(PackageReader, LegacySkinBecomesTheFirstSkin) {
  Bytes records;
  records.raw(Record(T::LegacySkin, Bytes().i16(19).i32(2).raw({5, 6}).i32(0)).data());
  records.raw(Record(T::BoardArea, Bytes().i32(1).i32(2).i32(3).i32(4).i32(0)).data());
  for (const uint32_t id : {70u, 71u})
    records.raw(Record(T::ImageButton,
                       Bytes().u32(id).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0),
                       60)
                    .data());
  TJigsawProject2 p;
  Load(p, records);
  ASSERT_EQ(p.Skins.size(), 1u);
  const TSkinEntry& skin = *p.Skins[0];
  EXPECT_NE(skin.ID, 0u);
  EXPECT_EQ(skin.SkinMode, 19);
  EXPECT_EQ(skin.Data.Bytes(), (std::vector<uint8_t>{5, 6}));
  EXPECT_EQ(skin.Area, (std::array<int32_t, 5>{1, 2, 3, 4, 0}));
  EXPECT_EQ(skin.ButtonIds, (std::vector<uint32_t>{70, 71}));
  // The buttons had no scripts: each gets one that runs its action.
  ASSERT_EQ(p.ButtonScripts.size(), 2u);
  EXPECT_EQ(p.ButtonScripts[0]->OwnerID, 70u);
  EXPECT_EQ(p.ButtonScripts[1]->OwnerID, 71u);
  EXPECT_NE(p.ButtonScripts[0]->ID, p.ButtonScripts[1]->ID);
  EXPECT_NE(p.ButtonScripts[0]->ID, 0u);

  // With skins present the legacy data is left alone.
  Bytes withSkin = records;
  withSkin.raw(
      Record(T::Skin, Bytes().u32(21).i16(15).i32(0).i32(0).i32(0).raw(std::vector<uint8_t>(24, 0))).data());
  TJigsawProject2 q;
  Load(q, withSkin);
  ASSERT_EQ(q.Skins.size(), 1u);
  EXPECT_EQ(q.Skins[0]->ID, 21u);
}

TEST(PackageReader, ButtonScriptsAreKeptWhenThePackageHasThem) {
  Bytes records;
  records.raw(Record(T::ImageButton, Bytes().u32(70).raw(std::vector<uint8_t>(40, 0)), 60).data());
  const Bytes script = ScriptItemStream(2);
  records.raw(
      Record(T::ButtonScript,
             Bytes().u32(5).u32(99).i32(static_cast<int32_t>(script.size())).raw(script.data()).i32(0))
          .data());
  TJigsawProject2 p;
  Load(p, records);
  ASSERT_EQ(p.ButtonScripts.size(), 1u);
  EXPECT_EQ(p.ButtonScripts[0]->OwnerID, 99u);
}

TEST(PackageReader, WallpaperEntriesAreCompletedWhenTheCountsDiffer) {
  Bytes records;
  records.raw(Record(T::WallpaperDefaults, Bytes().i32(8).i32(0)).data());
  records.raw(kvtest::FileRecord(T::Picture, 5, "p", {1}).data());
  records.raw(kvtest::FileRecord(T::Picture, 0x10000, "w1", {1}).data());
  records.raw(kvtest::FileRecord(T::Picture, 0x20000, "w2", {1}).data());
  records.raw(Record(T::Wallpaper, Bytes().u32(0x10000).i32(1).i32(2).i32(0)).data());
  TJigsawProject2 p;
  Load(p, records);
  // Step b appends an entry for every wallpaper, after the entry the package already had.
  ASSERT_EQ(p.Wallpapers.size(), 3u);
  EXPECT_EQ(p.Wallpapers[0].Param, 1);
  EXPECT_EQ(p.Wallpapers[1].ID, 0x10000u);
  EXPECT_EQ(p.Wallpapers[1].Param, 8);
  EXPECT_EQ(p.Wallpapers[2].ID, 0x20000u);
  // No start selection stored: the first wallpaper and the first skin are used.
  EXPECT_FALSE(p.SelectionStored);
  EXPECT_EQ(p.StartWallpaperIndex, 1);
  EXPECT_EQ(p.StartSkinIndex, 0);
  EXPECT_EQ(p.PictureCount(), 1);
  EXPECT_EQ(p.WallpaperCount(), 2);

  Bytes matching;
  matching.raw(kvtest::FileRecord(T::Picture, 0x10000, "w1", {1}).data());
  matching.raw(Record(T::Wallpaper, Bytes().u32(0x10000).i32(1).i32(2).i32(0)).data());
  matching.raw(Record(T::StartSelection, Bytes().i32(7).i32(8)).data());
  TJigsawProject2 q;
  Load(q, matching);
  EXPECT_EQ(q.Wallpapers.size(), 1u);
  EXPECT_EQ(q.StartWallpaperIndex, 7);
  EXPECT_EQ(q.StartSkinIndex, 8);
}

TEST(PackageReader, MenuNodesWithoutIdGetFreshOnes) {
  const Bytes grandchild = MenuNode(0, 0, "deep", 0, {}, 0);
  const Bytes child = MenuNode(0, 0, "child", 0, grandchild, 1);
  const Bytes unvisited = MenuNode(0, 55, "under a node with an id", 0, {}, 0);
  Bytes content;
  content.i32(3);
  content.raw(MenuNode(0, 0, "top", 0, child, 1).data());
  content.raw(MenuNode(40, 0, "has id", 0, unvisited, 1).data());
  content.raw(MenuNode(0, 9, "second", 0, {}, 0).data());
  TJigsawProject2 p;
  Load(p, Record(T::MenuTree, content));
  const TMenuExRec& top = *p.Menus[0];
  const TMenuExRec& c = *top.Children[0];
  const TMenuExRec& g = *c.Children[0];
  EXPECT_NE(top.ID, 0u);
  EXPECT_EQ(top.ParentID, 0u);
  EXPECT_NE(c.ID, 0u);
  EXPECT_EQ(c.ParentID, top.ID);
  EXPECT_EQ(g.ParentID, c.ID);
  EXPECT_EQ(p.Menus[1]->ID, 40u);
  // Children of a node that already has an id are not visited.
  EXPECT_EQ(p.Menus[1]->Children[0]->ID, 0u);
  EXPECT_EQ(p.Menus[1]->Children[0]->ParentID, 55u);
  EXPECT_EQ(p.Menus[2]->ParentID, 0u);
  const std::set<uint32_t> ids{top.ID, c.ID, g.ID, 40u, p.Menus[2]->ID};
  EXPECT_EQ(ids.size(), 5u);
}

TEST(PackageReader, SoundFormatsFollowTheIdRangesWithoutATable) {
  Bytes records;
  for (const uint32_t id : {0u, 5u, 255u, 256u, 300u, 512u, 65280u, 65536u, 70000u})
    records.raw(kvtest::FileRecord(T::Sound, id, "s", {1}).data());
  TJigsawProject2 p;
  Load(p, records);
  std::vector<std::pair<int32_t, int>> got;
  for (const auto& f : p.SoundFormats) got.emplace_back(f.SoundID, f.Format);
  EXPECT_EQ(got,
            (std::vector<std::pair<int32_t, int>>{{0, 1}, {5, 1}, {255, 1}, {256, 2}, {512, 2}, {65280, 2}}));

  // With a table, no formats are derived.
  Bytes withTable = records;
  withTable.raw(
      Record(T::SoundFormats, Bytes().i32(44449).i32(8).i32(300).u8(1).raw({0, 0, 0}).i32(44448).i32(0))
          .data());
  TJigsawProject2 q;
  Load(q, withTable);
  ASSERT_EQ(q.SoundFormats.size(), 1u);
  EXPECT_EQ(q.SoundFormats[0].SoundID, 300);
}

namespace {

class PictureCutCompletion : public ::testing::Test {
protected:
  void TearDown() override { TJigsawProject2::SetPictureCutBuilder(nullptr); }
};

} // namespace

TEST_F(PictureCutCompletion, WithoutABuilderTheStoredCutsStay) {
  Bytes records;
  records.raw(kvtest::FileRecord(T::Picture, 5, "p", {1}).data());
  records.raw(kvtest::FileRecord(T::Picture, 6, "q", {1}).data());
  records.raw(Record(T::PictureCut, Bytes().u32(5).i32(1).raw({1, 2, 3, 4})).data());
  TJigsawProject2 p;
  Load(p, records);
  ASSERT_EQ(p.PictureCuts.size(), 1u);
  EXPECT_EQ(p.PictureCuts[0].PictureID, 5u);
}

TEST_F(PictureCutCompletion, TheBuilderCutsEveryPictureWhenTheCountsDiffer) {
  std::vector<std::pair<uint32_t, TPictureCutScale>> calls;
  TJigsawProject2::SetPictureCutBuilder(
      [&](const TJigsawProject2&, const TBMPData& picture,
          const TPictureCutScale& scale) -> std::optional<std::vector<TEdgeShapes>> {
        calls.emplace_back(picture.ID, scale);
        if (picture.ID == 6) return std::nullopt;
        return std::vector<TEdgeShapes>{{static_cast<uint8_t>(picture.ID), 0, 0, 0}};
      });
  Bytes records;
  records.raw(Record(T::CutDefaults, Bytes().u8(6).u8(7).u8(0).u8(0).i32(0).i32(0)).data());
  records.raw(kvtest::FileRecord(T::Picture, 5, "p", {1}).data());
  records.raw(kvtest::FileRecord(T::Picture, 0x10000, "w", {1}).data());
  records.raw(kvtest::FileRecord(T::Picture, 6, "q", {1}).data());
  records.raw(kvtest::FileRecord(T::Picture, 7, "r", {1}).data());
  records.raw(Record(T::PictureSettings, Bytes().u32(5).i32(0).i32(50).u8(0).i32(0)).data());
  records.raw(Record(T::PictureSettings, Bytes().u32(6).i32(20).i32(40).u8(0).i32(0)).data());
  records.raw(Record(T::PictureCut, Bytes().u32(5).i32(1).raw({1, 2, 3, 4})).data());
  TJigsawProject2 p;
  Load(p, records);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], (std::pair<uint32_t, TPictureCutScale>{5, {false, 4.0, 0, 50}}));
  EXPECT_EQ(calls[1], (std::pair<uint32_t, TPictureCutScale>{6, {true, 6.0, 20, 40}}));
  EXPECT_EQ(calls[2], (std::pair<uint32_t, TPictureCutScale>{7, {false, 6.0, 0, 0}}));
  ASSERT_EQ(p.PictureCuts.size(), 2u);
  EXPECT_EQ(p.PictureCuts[0].PictureID, 5u);
  EXPECT_EQ(p.PictureCuts[0].Pieces[0][0], 5);
  EXPECT_EQ(p.PictureCuts[1].PictureID, 7u);

  // Counts that match leave the stored cuts alone.
  calls.clear();
  Bytes matching;
  matching.raw(kvtest::FileRecord(T::Picture, 5, "p", {1}).data());
  matching.raw(Record(T::PictureCut, Bytes().u32(5).i32(1).raw({1, 2, 3, 4})).data());
  TJigsawProject2 q;
  Load(q, matching);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(q.PictureCuts[0].Pieces[0], (TEdgeShapes{1, 2, 3, 4}));
}
