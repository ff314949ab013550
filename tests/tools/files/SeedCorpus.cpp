#include "SeedCorpus.h"

#include "SampleGame.h"
#include "data/PackageFixture.h"
#include "data/uAppendedData.h"
#include "data/uExtJigsawImages.h"
#include "data/uHighScore.h"
#include "data/uJigsawFile.h"
#include "data/uKVStreamFunc.h"
#include "gui/GifFixture.h"
#include "gui/ThemeFixtures.h"
#include "gui/uKVDefaultThemeBitmaps.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "jigsaw/uRLE.h"
#include "sound/usound_id_fmt.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"
#include "support/TestSupport.h"
#include "tools/SoundFixtures.h"

#include <nlohmann/json.hpp>
#include <span>
#include <stdexcept>
#include <utility>
#include <zlib.h>

namespace kvtest {

using namespace kv;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<uint8_t> RecordBytes(const TWrittenRecord& r) {
  Bytes b;
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

// A data section with records after its end record, flushed into the same zlib stream: the reader never
// inflates what follows the end.
std::vector<uint8_t> TrailingSection() {
  Bytes section;
  section.u8(3).chars("PZZ").raw(EndRecord().data()).raw(std::vector<uint8_t>(200000, 'j'));
  z_stream z{};
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) throw std::runtime_error("zlib cannot start a stream");
  std::vector<uint8_t> in = section.data(), out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
  z.next_in = in.data();
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int flushed = deflate(&z, Z_SYNC_FLUSH);
  deflateEnd(&z);
  if (flushed != Z_OK) throw std::runtime_error("zlib cannot flush the section");
  out.resize(z.total_out);
  return out;
}

// A 3 x 2 BMP with a BITMAPINFOHEADER, the given palette ($00RRGGBB) and pixel data as stored; masks follow
// the header for bit fields.
std::vector<uint8_t> InfoBmp(uint16_t bitCount, uint32_t compression, const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& pixels, const std::vector<uint32_t>& masks = {}) {
  Bytes header;
  header.u32(40).i32(3).i32(2).u16(1).u16(bitCount).u32(compression);
  header.u32(static_cast<uint32_t>(pixels.size()))
      .i32(0)
      .i32(0)
      .u32(static_cast<uint32_t>(palette.size()))
      .u32(0);
  for (uint32_t m : masks) header.u32(m);
  for (uint32_t c : palette) header.u32(c);
  Bytes file;
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

std::vector<TSeed> PackageSeeds() {
  std::vector<TSeed> seeds;
  TJigsawProject2 project;
  BuildSample(project);
  TActionGroup& group = *project.ActionGroups.emplace_back(std::make_unique<TActionGroup>(project.Random()));
  group.Caption = "Group";
  TActionItem& action = group.AddAction();
  action.Caption = "Open";
  action.AddScript().AddText("page.htm");
  project.PublishedXml = TMemoryStream(PublishedXml());
  TMemoryStream package;
  project.SaveToStream(package);
  seeds.push_back({"fuzz_package", "sample", package.Bytes()});
  seeds.push_back({"fuzz_package", "tail", TrailingSection()});
  seeds.push_back({"fuzz_player_load", "sample", package.Bytes()});

  // The preview and the data section apart, and the records that have a target of their own.
  const TWrittenPackage parts = SplitPackage(package.Bytes());
  std::vector<uint8_t> preview, records;
  for (const auto& r : parts.Preview) preview = Concat({preview, RecordBytes(r)});
  for (const auto& r : parts.Records)
    if (r.Tag != PackageTag::End) records = Concat({records, RecordBytes(r)});
  seeds.push_back({"fuzz_preview", "sample", preview});
  seeds.push_back({"fuzz_package_records", "sample", records});
  const std::pair<uint16_t, const char*> single[] = {{PackageTag::MenuTree, "fuzz_menu_tree"},
                                                     {PackageTag::SoundFormats, "fuzz_sound_formats"},
                                                     {PackageTag::Banner, "fuzz_banner"},
                                                     {PackageTag::BannerContainer, "fuzz_banner_container"},
                                                     {PackageTag::PublishedProperties, "fuzz_published_xml"}};
  for (const auto& [tag, target] : single) {
    bool found = false;
    for (const auto& r : parts.Records)
      if (r.Tag == tag) {
        seeds.push_back({target, "sample", r.Payload});
        found = true;
      }
    if (!found) throw std::runtime_error(std::string("the sample package has no record for ") + target);
  }

  // Script streams: the first byte picks the reader (0 parameters, 1 script item, 2 action, 3 group).
  TMemoryStream groupStream, actionStream, itemStream, paramStream;
  group.SaveToStream(groupStream);
  action.SaveToStream(actionStream);
  action.Scripts(0).SaveToStream(itemStream);
  action.Scripts(0).Parameter.SaveToStream(paramStream);
  seeds.push_back({"fuzz_script_streams", "parameters", Concat({{0}, paramStream.Bytes()})});
  seeds.push_back({"fuzz_script_streams", "item", Concat({{1}, itemStream.Bytes()})});
  seeds.push_back({"fuzz_script_streams", "action", Concat({{2}, actionStream.Bytes()})});
  seeds.push_back({"fuzz_script_streams", "group", Concat({{3}, groupStream.Bytes()})});

  TJigsawFile saved;
  saved.Columns = 3;
  saved.Rows = 2;
  saved.PieceStates.resize(6);
  saved.ProgramName = "sample";
  saved.Resaving = true;
  TMemoryStream jsw;
  saved.SaveToStream(jsw);
  seeds.push_back({"fuzz_saved_game", "version6", jsw.Bytes()});
  // Version 1: the 20-byte header, the states and a picture.
  Bytes v1;
  v1.i32(80303).i32(1).i32(1).i32(1).u32(0x40400000).raw(std::vector<uint8_t>(40, 0)).raw(MakeBmp(2, 2));
  seeds.push_back({"fuzz_saved_game", "version1", v1.data()});

  THighScore table;
  table.Add({"Ann", 75, 0});
  table.Add({"Cy", 400, 3});
  TMemoryStream scores;
  table.SaveToStream(scores);
  seeds.push_back({"fuzz_high_scores", "sample", scores.Bytes()});

  TExtJigsawImages extras;
  TExtJigsawImage& own = extras.Add();
  own.ImgFormat = TImageFormat::ifJPEG;
  own.Stream = TMemoryStream(MakeJpeg(16, 16));
  TMemoryStream block;
  extras.SaveToStream(block);
  seeds.push_back({"fuzz_extra_pictures", "sample", block.Bytes()});

  TMemoryStream player(std::vector<uint8_t>(64, 0x90)), game;
  package.SetPosition(0);
  block.SetPosition(0);
  AppendGameData(game, player, package, &block);
  seeds.push_back({"fuzz_appended_data", "game", game.Bytes()});
  seeds.push_back({"fuzz_game_layout", "game", game.Bytes()});
  return seeds;
}

// Picture files of every kind the decoders read.
std::vector<TSeed> PictureSeeds() {
  std::vector<TSeed> seeds;
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                         0x102030, 0xFFFFFF, 0x808080};
  const std::pair<const char*, std::vector<uint8_t>> bmps[] = {
      {"info24", MakeBmp(5, 3)},
      {"topdown24", MakeBmp(4, 2, true)},
      {"core24", MakeCoreBmp(3, 3)},
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
  for (const auto& [name, bytes] : bmps) seeds.push_back({"fuzz_bmp", name, bytes});

  // Every coding, and an EXIF orientation for the upright turn.
  const std::vector<uint8_t> rgb(24 * 16 * 3, 0x60);
  auto coded = [&](bool arithmetic, bool progressive, int orientation) {
    TJpegCoding coding;
    coding.Arithmetic = arithmetic;
    coding.Progressive = progressive;
    coding.ExifOrientation = orientation;
    return EncodeJpegWith(rgb, 24, 16, coding);
  };
  const std::pair<const char*, std::vector<uint8_t>> jpegs[] = {
      {"gradient", MakeJpeg(16, 16)},
      {"photo", MakePhotoJpeg(24, 16, 7, 75)},
      {"arithmetic", coded(true, false, 0)},
      {"progressive", coded(false, true, 0)},
      {"exif-sideways", coded(false, false, 6)},
  };
  for (const auto& [name, bytes] : jpegs) seeds.push_back({"fuzz_jpeg", name, bytes});

  GifLayout plain;
  plain.Indices = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};
  GifLayout framed = plain;
  framed.ScreenWidth = 6;
  framed.ScreenHeight = 5;
  framed.Left = 1;
  framed.Top = 2;
  framed.Interlace = true;
  framed.Transparent = 2;
  seeds.push_back({"fuzz_gif", "plain", MakeGif(plain)});
  seeds.push_back({"fuzz_gif", "framed", MakeGif(framed)});
  return seeds;
}

// The content (inflated) of the piece library a game with one small picture carries, and of a library
// reduced to its first layout.
std::vector<TSeed> PieceLibrarySeeds() {
  TKVJigsawPieceLibrary game = GeneratedGameLibrary(160, 120);
  if (game.Layouts.empty()) throw std::runtime_error("the generated piece library has no layout");
  TKVJigsawPieceLibrary single;
  single.Layouts = {game.Layouts[0]};
  for (const auto& t : game.Templates)
    if (t.LayoutIndex == 0 && single.Templates.size() < 4) single.Templates.push_back(t);
  std::vector<TSeed> seeds;
  for (const auto& [name, library] : {std::pair{"game", &game}, std::pair{"single", &single}}) {
    TMemoryStream stream;
    library->SaveToStream(stream);
    TMemoryStream content;
    TKVStreamFunc::DecompressBuffer(std::span(stream.Bytes()).subspan(4), content);
    seeds.push_back({"fuzz_piece_library", name, content.Bytes()});
  }
  return seeds;
}

// Coded piece pixels (zero runs, literal runs and tail bytes) after the four-byte length they decode to.
std::vector<TSeed> RleSeeds() {
  Bytes pixels;
  pixels.u32(0).u32(0).u32(0xFF102030).u32(0x80FFFFFF).u32(0).u32(0x01000000).u32(0x01000000).u16(0x0A0B);
  const std::vector<uint8_t>& source = pixels.data();
  Bytes seed;
  seed.u32(static_cast<uint32_t>(source.size())).raw(TRLE::Compress(source));
  return {{"fuzz_rle", "pixels", seed.data()}};
}

// The demo manifest as it is, and pointed at the small assets the fuzz target puts beside its input.
std::vector<TSeed> ManifestSeeds() {
  const std::vector<uint8_t> demo = ReadFileBytes(JIGSAW_SOURCE_DIR "/assets/demo/demo.json");
  nlohmann::ordered_json manifest = nlohmann::ordered_json::parse(demo);
  UseStandInAssets(manifest);
  const std::string text = manifest.dump(2);
  return {{"fuzz_manifest", "demo", demo},
          {"fuzz_manifest", "stand-ins", std::vector<uint8_t>(text.begin(), text.end())}};
}

// The smallest sound file of each format the package tool takes.
std::vector<TSeed> SoundCheckSeeds() {
  return {{"fuzz_sound_check", "pcm.wav", MakeWav({})},
          {"fuzz_sound_check", "extensible.wav",
           MakeWav({.Tag = 0xFFFE, .Align = 2, .Bits = 16, .FmtLength = 40})},
          {"fuzz_sound_check", "tracks.mid", MakeMidi(1, 2)},
          {"fuzz_sound_check", "frames.mp3", MakeMp3()},
          {"fuzz_sound_check", "tagged.mp3", Concat({Id3Tag(20), MakeMp3(1)})},
          {"fuzz_sound_check", "header.wma", MakeWma()}};
}

// The sound-format table alone: an empty one and one with every format.
std::vector<TSeed> SoundFormatTableSeeds() {
  TSoundIDFormatAssoc empty, full;
  for (uint8_t format = 0; format < 8; ++format) full.Add(static_cast<int32_t>(format) * 256 + 1, format);
  std::vector<TSeed> seeds;
  for (const auto& [name, table] : {std::pair<const char*, const TSoundIDFormatAssoc&>{"empty", empty},
                                    std::pair<const char*, const TSoundIDFormatAssoc&>{"formats", full}}) {
    TMemoryStream written;
    table.SaveToStream(written);
    seeds.push_back({"fuzz_sound_id_format", name, written.Bytes()});
  }
  return seeds;
}

// Theme streams: every split type with small pictures, and the built-in theme.
std::vector<TSeed> ThemeSeeds() {
  TKVThemeBitmapCollection builtIn;
  BuildDefaultTheme(builtIn);
  TMemoryStream defaults;
  builtIn.SaveThemeStream(defaults);
  return {{"fuzz_theme", "sample", ThemeStreamBytes(SampleThemeLayouts())},
          {"fuzz_theme", "default", defaults.Bytes()}};
}

std::vector<TSeed> SeedCorpus() {
  std::vector<TSeed> all;
  for (auto* group : {PackageSeeds, PictureSeeds, PieceLibrarySeeds, RleSeeds, ManifestSeeds, SoundCheckSeeds,
                      SoundFormatTableSeeds, ThemeSeeds}) {
    std::vector<TSeed> seeds = group();
    all.insert(all.end(), std::make_move_iterator(seeds.begin()), std::make_move_iterator(seeds.end()));
  }
  return all;
}

void WriteSeedCorpus(const fs::path& folder, const std::vector<TSeed>& seeds) {
  std::vector<TSampleFile> files;
  for (const TSeed& seed : seeds) files.push_back({seed.Target + "/" + seed.Name, seed.Bytes});
  WriteSampleFiles(folder, files);
}

} // namespace kvtest
