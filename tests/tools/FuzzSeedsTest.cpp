// Writes the seed corpus of every fuzz target (build/fuzz-corpus/<target>/) from the sample game, and
// checks that each seed is read without an error, so that the fuzzers start from inputs that go deep.
#include "Manifest.h"
#include "SampleGame.h"
#include "SoundCheck.h"
#include "SoundFixtures.h"
#include "data/PackageFixture.h"
#include "data/uAppendedData.h"
#include "data/uExtJigsawImages.h"
#include "data/uHighScore.h"
#include "data/uJigsawFile.h"
#include "data/uKVStreamFunc.h"
#include "gui/GifFixture.h"
#include "gui/ThemeFixtures.h"
#include "gui/uKVDefaultThemeBitmaps.h"
#include "gui/uPictureFormat.h"
#include "jigsaw/uKVJigsawPieceCollection.h"
#include "jigsaw/uRLE.h"
#include "sound/usound_id_fmt.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <tuple>
#include <zlib.h>

using namespace kv;
namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = fs::path(JIGSAW_BINARY_DIR) / "fuzz-corpus";

void WriteSeed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
  const fs::path folder = kCorpus / target;
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << (folder / name);
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<uint8_t> RecordBytes(const kvtest::TWrittenRecord& r) {
  kvtest::Bytes b;
  b.u16(r.Tag).i32(r.Length).raw(r.Payload);
  return b.data();
}

// Published properties as the package keeps them: a Language list with the quit text.
std::vector<uint8_t> PublishedXml() {
  TMemoryStream text(std::vector<uint8_t>{'q', 'u', 'i', 't', '=', 'Q', 'u', 'i', 't', '?'}), packed;
  TKVStreamFunc::CompressStream(text, packed);
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<TJigsawProject2><Name>Sample</Name>"
      "<Tag>0</Tag><Language>" +
      TKVStreamFunc::EncodeBase64(packed) + "</Language></TJigsawProject2>";
  return std::vector<uint8_t>(xml.begin(), xml.end());
}

// A 3 x 2 BMP with a BITMAPINFOHEADER, the given palette ($00RRGGBB) and pixel data as stored; masks follow
// the header for bit fields.
std::vector<uint8_t> InfoBmp(uint16_t bitCount, uint32_t compression, const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& pixels, const std::vector<uint32_t>& masks = {}) {
  kvtest::Bytes header;
  header.u32(40).i32(3).i32(2).u16(1).u16(bitCount).u32(compression);
  header.u32(static_cast<uint32_t>(pixels.size()))
      .i32(0)
      .i32(0)
      .u32(static_cast<uint32_t>(palette.size()))
      .u32(0);
  for (uint32_t m : masks) header.u32(m);
  for (uint32_t c : palette) header.u32(c);
  kvtest::Bytes file;
  file.chars("BM").u32(static_cast<uint32_t>(14 + header.size() + pixels.size())).u32(0);
  file.u32(static_cast<uint32_t>(14 + header.size())).raw(header.data()).raw(pixels);
  return file.data();
}

// The file names of the small assets fuzz_manifest puts beside its manifest.
std::string StandInAsset(const std::string& file) {
  const std::string extension = fs::path(file).extension().string();
  if (extension == ".mid") return "music.mid";
  if (extension == ".wav") return "sound.wav";
  if (extension == ".ico") return "game.ico";
  if (extension == ".bmp") return "picture.bmp";
  return "picture.jpg";
}

// Every "file" and the icon of a manifest pointed at the stand-in assets.
void UseStandInAssets(nlohmann::ordered_json& node) {
  if (node.is_object()) {
    for (auto& [key, value] : node.items()) {
      if ((key == "file" || key == "icon") && value.is_string())
        value = StandInAsset(value.get<std::string>());
      else
        UseStandInAssets(value);
    }
  } else if (node.is_array()) {
    for (auto& item : node) UseStandInAssets(item);
  }
}

} // namespace

TEST(FuzzSeeds, WriteCorpus) {
  TJigsawProject2 project;
  kvtest::BuildSample(project);
  TActionGroup& group = *project.ActionGroups.emplace_back(std::make_unique<TActionGroup>());
  group.Caption = "Group";
  TActionItem& action = group.AddAction();
  action.Caption = "Open";
  action.AddScript().AddText("page.htm");
  const std::vector<uint8_t> xml = PublishedXml();
  project.PublishedXml = TMemoryStream(xml);
  TMemoryStream package;
  project.SaveToStream(package);
  WriteSeed("fuzz_package", "sample", package.Bytes());
  {
    // Data after the end record, flushed into the same zlib stream: never inflated by the reader.
    kvtest::Bytes section;
    section.u8(3).chars("PZZ").raw(kvtest::EndRecord().data()).raw(std::vector<uint8_t>(200000, 'j'));
    z_stream z{};
    ASSERT_EQ(deflateInit(&z, Z_DEFAULT_COMPRESSION), Z_OK);
    std::vector<uint8_t> in = section.data(), out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    ASSERT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
    out.resize(z.total_out);
    deflateEnd(&z);
    WriteSeed("fuzz_package", "tail", out);
    TJigsawProject2 tailed;
    kvtest::Load(tailed, TMemoryStream(out));
  }

  // The package reads back, and carries the published properties.
  TJigsawProject2 loaded;
  package.SetPosition(0);
  loaded.LoadFromStream(&package);
  ASSERT_EQ(loaded.Language, std::vector<std::string>{"quit=Quit?"});

  const kvtest::TWrittenPackage parts = kvtest::SplitPackage(package.Bytes());
  std::vector<uint8_t> preview, records;
  for (const auto& r : parts.Preview) preview = Concat({preview, RecordBytes(r)});
  for (const auto& r : parts.Records)
    if (r.Tag != PackageTag::End) records = Concat({records, RecordBytes(r)});
  WriteSeed("fuzz_preview", "sample", preview);
  WriteSeed("fuzz_package_records", "sample", records);
  const std::pair<uint16_t, const char*> single[] = {{PackageTag::MenuTree, "fuzz_menu_tree"},
                                                     {PackageTag::SoundFormats, "fuzz_sound_formats"},
                                                     {PackageTag::Banner, "fuzz_banner"},
                                                     {PackageTag::BannerContainer, "fuzz_banner_container"},
                                                     {PackageTag::PublishedProperties, "fuzz_published_xml"}};
  for (const auto& [tag, target] : single) {
    bool found = false;
    for (const auto& r : parts.Records)
      if (r.Tag == tag) {
        WriteSeed(target, "sample", r.Payload);
        found = true;
      }
    EXPECT_TRUE(found) << target;
  }

  // Script streams: the first byte picks the reader (0 parameters, 1 script item, 2 action, 3 group).
  TMemoryStream groupStream, actionStream, itemStream, paramStream;
  group.SaveToStream(groupStream);
  action.SaveToStream(actionStream);
  action.Scripts(0).SaveToStream(itemStream);
  action.Scripts(0).Parameter.SaveToStream(paramStream);
  WriteSeed("fuzz_script_streams", "parameters", Concat({{0}, paramStream.Bytes()}));
  WriteSeed("fuzz_script_streams", "item", Concat({{1}, itemStream.Bytes()}));
  WriteSeed("fuzz_script_streams", "action", Concat({{2}, actionStream.Bytes()}));
  WriteSeed("fuzz_script_streams", "group", Concat({{3}, groupStream.Bytes()}));

  TJigsawFile saved;
  saved.Columns = 3;
  saved.Rows = 2;
  saved.PieceStates.resize(6);
  saved.ProgramName = "sample";
  saved.Resaving = true;
  TMemoryStream jsw;
  saved.SaveToStream(jsw);
  WriteSeed("fuzz_saved_game", "version6", jsw.Bytes());
  // Version 1: the 20-byte header, the states and a picture.
  kvtest::Bytes v1;
  v1.i32(80303)
      .i32(1)
      .i32(1)
      .i32(1)
      .u32(0x40400000)
      .raw(std::vector<uint8_t>(40, 0))
      .raw(kvtest::MakeBmp(2, 2));
  WriteSeed("fuzz_saved_game", "version1", v1.data());
  TJigsawFile old;
  TMemoryStream v1Stream = v1.stream();
  old.LoadFromStream(v1Stream);
  EXPECT_EQ(old.Version, 1);

  THighScore table;
  table.Add({"Ann", 75, 0});
  table.Add({"Cy", 400, 3});
  TMemoryStream scores;
  table.SaveToStream(scores);
  WriteSeed("fuzz_high_scores", "sample", scores.Bytes());

  TExtJigsawImages extras;
  TExtJigsawImage& own = extras.Add();
  own.ImgFormat = TImageFormat::ifJPEG;
  own.Stream = TMemoryStream(kvtest::MakeJpeg(16, 16));
  TMemoryStream block;
  extras.SaveToStream(block);
  WriteSeed("fuzz_extra_pictures", "sample", block.Bytes());

  TMemoryStream player(std::vector<uint8_t>(64, 0x90)), game;
  package.SetPosition(0);
  block.SetPosition(0);
  AppendGameData(game, player, package, &block);
  WriteSeed("fuzz_appended_data", "game", game.Bytes());
  WriteSeed("fuzz_game_layout", "game", game.Bytes());
}

// Picture files of every kind the decoders read; each seed decodes.
TEST(FuzzSeeds, PictureCorpus) {
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                         0x102030, 0xFFFFFF, 0x808080};
  const std::pair<const char*, std::vector<uint8_t>> bmps[] = {
      {"info24", kvtest::MakeBmp(5, 3)},
      {"topdown24", kvtest::MakeBmp(4, 2, true)},
      {"core24", kvtest::MakeCoreBmp(3, 3)},
      {"pal1", InfoBmp(1, 0, {0x000000, 0xFFFFFF}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0})},
      {"pal4", InfoBmp(4, 0, palette, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0})},
      {"pal8", InfoBmp(8, 0, palette, {1, 2, 3, 0, 4, 5, 6, 0})},
      {"rle4", InfoBmp(4, 2, palette, {3, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 0, 0, 1})},
      {"rle8", InfoBmp(8, 1, palette, {2, 1, 1, 3, 0, 0, 0, 3, 4, 5, 6, 0, 0, 0, 0, 1})},
      {"bitfields16",
       InfoBmp(16, 3, {},
               {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0, 0xFF, 0xFF, 0x00, 0x00, 0x10, 0x84, 0, 0},
               {0xF800, 0x07E0, 0x001F})},
      {"rgb32", InfoBmp(32, 0, {}, std::vector<uint8_t>(24, 0x7F))},
  };
  for (const auto& [name, bytes] : bmps) {
    WriteSeed("fuzz_bmp", name, bytes);
    EXPECT_NO_THROW(DecodePicture(bytes, pkBMP)) << name;
  }

  // Every coding, and an EXIF orientation for the upright turn.
  const std::vector<uint8_t> rgb(24 * 16 * 3, 0x60);
  auto coded = [&](bool arithmetic, bool progressive, int orientation) {
    kvtest::TJpegCoding coding;
    coding.Arithmetic = arithmetic;
    coding.Progressive = progressive;
    coding.ExifOrientation = orientation;
    return kvtest::EncodeJpegWith(rgb, 24, 16, coding);
  };
  const std::pair<const char*, std::vector<uint8_t>> jpegs[] = {
      {"gradient", kvtest::MakeJpeg(16, 16)},    {"photo", kvtest::MakePhotoJpeg(24, 16, 7, 75)},
      {"arithmetic", coded(true, false, 0)},     {"progressive", coded(false, true, 0)},
      {"exif-sideways", coded(false, false, 6)},
  };
  for (const auto& [name, bytes] : jpegs) {
    WriteSeed("fuzz_jpeg", name, bytes);
    EXPECT_EQ(DecodePicture(bytes, pkJPEG).Picture.Pixels.size(), bytes == jpegs[0].second ? 256u : 384u);
  }

  kvtest::GifLayout plain;
  plain.Indices = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};
  kvtest::GifLayout framed = plain;
  framed.ScreenWidth = 6;
  framed.ScreenHeight = 5;
  framed.Left = 1;
  framed.Top = 2;
  framed.Interlace = true;
  framed.Transparent = 2;
  for (const auto& [name, layout] : {std::pair{"plain", plain}, std::pair{"framed", framed}}) {
    const std::vector<uint8_t> bytes = kvtest::MakeGif(layout);
    WriteSeed("fuzz_gif", name, bytes);
    EXPECT_EQ(DecodePicture(bytes, pkGIF).HasTransparentColor, layout.Transparent == 2) << name;
  }
}

// The content (inflated) of the piece library a game with one small picture carries, and of a library
// reduced to its first layout; each loads again once compressed.
TEST(FuzzSeeds, PieceLibraryCorpus) {
  TKVJigsawPieceCollection game = kvtest::GeneratedGameLibrary(160, 120);
  ASSERT_FALSE(game.Layouts.empty());
  TKVJigsawPieceCollection single;
  single.Layouts = {game.Layouts[0]};
  for (const auto& t : game.Templates)
    if (t.LayoutIndex == 0 && single.Templates.size() < 4) single.Templates.push_back(t);
  for (const auto& [name, library] : {std::pair{"game", &game}, std::pair{"single", &single}}) {
    TMemoryStream stream;
    library->SaveToStream(stream);
    TMemoryStream content;
    TKVStreamFunc::DecompressBuffer(std::span(stream.Bytes()).subspan(4), content);
    WriteSeed("fuzz_piece_library", name, content.Bytes());

    TMemoryStream packed, again;
    TKVStreamFunc::CompressStream(content, packed);
    TKVStreamFunc::WriteInteger(static_cast<int32_t>(packed.Size()), again);
    again.WriteBytes(packed.Bytes());
    again.SetPosition(0);
    TKVJigsawPieceCollection loaded;
    loaded.LoadFromStream(again);
    EXPECT_EQ(loaded.TemplateCount(), library->TemplateCount()) << name;
  }
}

// Coded piece pixels (zero runs, literal runs and tail bytes) after the four-byte length they decode to.
TEST(FuzzSeeds, RleCorpus) {
  kvtest::Bytes pixels;
  pixels.u32(0).u32(0).u32(0xFF102030).u32(0x80FFFFFF).u32(0).u32(0x01000000).u32(0x01000000).u16(0x0A0B);
  const std::vector<uint8_t>& source = pixels.data();
  const std::vector<uint8_t> coded = TRLE::Compress(source);
  kvtest::Bytes seed;
  seed.u32(static_cast<uint32_t>(source.size())).raw(coded);
  WriteSeed("fuzz_rle", "pixels", seed.data());
  EXPECT_EQ(TRLE::Decompress(coded, source.size()), source);
}

// The demo manifest as it is, and pointed at the small assets the fuzz target puts beside its input; that
// one loads in a folder with the same assets.
TEST(FuzzSeeds, ManifestCorpus) {
  const std::vector<uint8_t> demo = kvtest::ReadFileBytes(JIGSAW_SOURCE_DIR "/assets/demo/demo.json");
  WriteSeed("fuzz_manifest", "demo", demo);
  nlohmann::ordered_json manifest = nlohmann::ordered_json::parse(demo);
  UseStandInAssets(manifest);
  const std::string text = manifest.dump(2);
  WriteSeed("fuzz_manifest", "stand-ins", std::vector<uint8_t>(text.begin(), text.end()));

  kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("picture.jpg"), kvtest::MakeJpeg(8, 6));
  kvtest::WriteFileBytes(dir.file("picture.bmp"), kvtest::MakeBmp(8, 6));
  kvtest::WriteFileBytes(dir.file("sound.wav"), kvtest::TinyWav());
  kvtest::WriteFileBytes(dir.file("music.mid"), kvtest::MakeMidi());
  kvtest::WriteFileBytes(dir.file("game.ico"), {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0});
  kvtest::WriteFileBytes(dir.file("game.json"), std::vector<uint8_t>(text.begin(), text.end()));
  TJigsawProject2 project;
  kvtools::LoadManifest(dir.file("game.json"), project);
  EXPECT_FALSE(project.Sounds.empty());
}

// The smallest sound file of each format the package tool takes; each passes its own check.
TEST(FuzzSeeds, SoundCheckCorpus) {
  using Check = std::string (*)(std::span<const uint8_t>);
  const std::tuple<const char*, Check, std::vector<uint8_t>> seeds[] = {
      {"pcm.wav", kvtools::WavProblem, kvtest::MakeWav({})},
      {"extensible.wav", kvtools::WavProblem,
       kvtest::MakeWav({.Tag = 0xFFFE, .Align = 2, .Bits = 16, .FmtLength = 40})},
      {"tracks.mid", kvtools::MidiProblem, kvtest::MakeMidi(1, 2)},
      {"frames.mp3", kvtools::Mp3Problem, kvtest::MakeMp3()},
      {"tagged.mp3", kvtools::Mp3Problem, Concat({kvtest::Id3Tag(20), kvtest::MakeMp3(1)})},
      {"header.wma", kvtools::WmaProblem, kvtest::MakeWma()}};
  for (const auto& [name, check, bytes] : seeds) {
    WriteSeed("fuzz_sound_check", name, bytes);
    EXPECT_EQ(check(bytes), "") << name;
  }
}

// The sound-format table alone: an empty one and one with every format; each loads again.
TEST(FuzzSeeds, SoundFormatTableCorpus) {
  TSoundIDFormatAssoc empty, full;
  for (uint8_t format = 0; format < 8; ++format) full.Add(static_cast<int32_t>(format) * 256 + 1, format);
  for (const auto& [name, table] : {std::pair<const char*, const TSoundIDFormatAssoc&>{"empty", empty},
                                    std::pair<const char*, const TSoundIDFormatAssoc&>{"formats", full}}) {
    TMemoryStream written;
    table.SaveToStream(written);
    WriteSeed("fuzz_sound_id_format", name, written.Bytes());
    TMemoryStream stream(written.Bytes());
    TSoundIDFormatAssoc again;
    again.LoadFromStream(stream);
    EXPECT_EQ(again.Items.size(), table.Items.size()) << name;
  }
}

// Theme streams: every split type with small pictures, and the built-in theme; each loads again.
TEST(FuzzSeeds, ThemeCorpus) {
  TKVThemeBitmapCollection builtIn;
  BuildDefaultTheme(builtIn);
  TMemoryStream defaults;
  builtIn.SaveThemeStream(defaults);
  const std::pair<const char*, std::vector<uint8_t>> seeds[] = {
      {"sample", kvtest::ThemeStreamBytes(kvtest::SampleThemeLayouts())}, {"default", defaults.Bytes()}};
  for (const auto& [name, bytes] : seeds) {
    WriteSeed("fuzz_theme", name, bytes);
    TMemoryStream stream(bytes);
    TKVThemeBitmapCollection theme;
    theme.LoadThemeStream(stream);
    EXPECT_GE(theme.Count(), 7) << name;
  }
}
