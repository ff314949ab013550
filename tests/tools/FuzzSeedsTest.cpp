// The seed corpus fuzz-seeds writes: every fuzz target has seeds, and every seed is read without an error by
// the reader its target feeds, so that the fuzzers start from inputs that go deep. Checked in memory.
#include "Manifest.h"
#include "SampleGame.h"
#include "SeedCorpus.h"
#include "SoundCheck.h"
#include "SoundFixtures.h"
#include "data/PackageFixture.h"
#include "data/uAppendedData.h"
#include "data/uEGameExport.h"
#include "data/uExtJigsawImages.h"
#include "data/uGameData.h"
#include "data/uHighScore.h"
#include "data/uJigsawFile.h"
#include "data/uKVStreamFunc.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "gui/uKVThemeBitmaps.h"
#include "gui/uPictureConverters.h"
#include "gui/uPictureFormat.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "jigsaw/uRLE.h"
#include "platform/uHeadlessPlatform.h"
#include "sound/usound_id_fmt.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

using namespace kv;
using kvtest::TSeed;
namespace fs = std::filesystem;

namespace {

using TReader = std::function<void(const std::vector<uint8_t>&)>;

const std::vector<TSeed>& Corpus() {
  static const std::vector<TSeed> corpus = kvtest::SeedCorpus();
  return corpus;
}

const std::vector<uint8_t>& SeedBytes(const std::string& target, const std::string& name) {
  for (const TSeed& seed : Corpus())
    if (seed.Target == target && seed.Name == name) return seed.Bytes;
  throw std::runtime_error("no seed " + target + "/" + name);
}

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what);
}

void LoadPackage(TMemoryStream package, TJigsawProject2* into = nullptr) {
  TJigsawProject2 project(PictureConverterServices());
  kvtest::Load(into ? *into : project, std::move(package));
}

kvtest::Bytes AsBytes(const std::vector<uint8_t>& bytes) {
  return kvtest::Bytes().raw(bytes);
}

// A record payload as its target wraps it: the one record of a package.
TReader RecordReader(uint16_t tag) {
  return [tag](const std::vector<uint8_t>& bytes) {
    LoadPackage(kvtest::Package(kvtest::Record(tag, AsBytes(bytes))));
  };
}

// Reads the object from the bytes with its own stream reader.
template <class T> void ReadInto(T& object, const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  object.LoadFromStream(stream);
}

// An old saved game's picture is measured with the codecs.
void ReadInto(TJigsawFile& file, const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  file.LoadFromStream(stream, ReadPictureSize);
}

template <class T> void ReadAs(const std::vector<uint8_t>& bytes) {
  T object;
  ReadInto(object, bytes);
}

TReader PictureReader(TPictureKind kind) {
  return [kind](const std::vector<uint8_t>& bytes) { DecodePicture(bytes, kind); };
}

// The first byte picks the reader: 0 parameters, 1 script item, 2 action, 3 group.
void ReadScriptStream(const std::vector<uint8_t>& bytes) {
  Require(!bytes.empty() && bytes[0] < 4, "no reader byte");
  TMemoryStream stream(std::vector<uint8_t>(bytes.begin() + 1, bytes.end()));
  if (bytes[0] == 0) {
    TScriptParameter parameter;
    parameter.LoadFromStream(stream);
  } else if (bytes[0] == 1) {
    TScriptItem item;
    item.LoadFromStream(stream);
  } else if (bytes[0] == 2) {
    TActionItem action;
    action.LoadFromStream(stream);
  } else {
    TRandomSource random(1);
    TActionGroup group(random);
    group.LoadFromStream(stream);
  }
}

// A game executable as start-up reads it, from memory instead of a file.
void ReadAppended(const std::vector<uint8_t>& bytes) {
  TMemoryStream file(bytes), package, extra;
  const TExtraBlockInfo block = ReadExtraBlock(file, extra);
  Require(ReadPackageTrailer(file, package, block), "no package appended");
  LoadPackage(std::move(package));
}

TKVJigsawPieceLibrary LoadPieceLibrary(const std::vector<uint8_t>& content) {
  TMemoryStream inflated(content), packed, stream;
  TKVStreamFunc::CompressStream(inflated, packed);
  TKVStreamFunc::WriteInteger(static_cast<int32_t>(packed.Size()), stream);
  stream.WriteBytes(packed.Bytes());
  stream.SetPosition(0);
  TKVJigsawPieceLibrary library;
  library.LoadFromStream(stream);
  return library;
}

// The length the pixels decode to, then the coded pixels; coded again they come out the same.
void ReadRle(const std::vector<uint8_t>& bytes) {
  Require(bytes.size() >= 4, "no length");
  const std::size_t length =
      bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::size_t>(bytes[3]) << 24;
  const std::span<const uint8_t> coded = std::span(bytes).subspan(4);
  Require(TRLE::Compress(TRLE::Decompress(coded, length)) == std::vector<uint8_t>(coded.begin(), coded.end()),
          "the pixels code differently");
}

void ReadSoundFile(const std::vector<uint8_t>& bytes, const std::string& name) {
  const std::map<std::string, std::string (*)(std::span<const uint8_t>)> checks = {
      {".wav", kvtools::WavProblem},
      {".mid", kvtools::MidiProblem},
      {".mp3", kvtools::Mp3Problem},
      {".wma", kvtools::WmaProblem}};
  const auto check = checks.find(fs::path(name).extension().string());
  Require(check != checks.end(), "no check for " + name);
  const std::string problem = check->second(bytes);
  Require(problem.empty(), problem);
}

// The player's way to its first frame: the package read with the program's services, a game of its first
// playable picture prepared, started and painted, or refused with the program's error.
void PlayFirstFrame(const std::vector<uint8_t>& bytes) {
  TMemoryStream package(bytes);
  TKVGamesSkin skin;
  TGameDataLocator locator("", {}, ProgramPackageServices());
  locator.OnLoadSkinTheme = [&skin](TMemoryStream& theme) { skin.LoadThemeOrDefault(theme); };
  locator.LoadProject(&package, "", nullptr, true);
  TJigsawProject2* project = locator.Project();
  Require(project && !locator.PlayablePictures.empty(), "no playable picture");
  THeadlessPlatform platform;
  const TPlatformServices services = platform.Services();
  TKVGR32GraphicEngine engine{skin};
  auto surface = std::make_unique<THeadlessPaintBox>();
  THeadlessPaintBox* box = surface.get();
  engine.CreateSurface(std::move(surface));
  engine.SetSize(320, 240);
  {
    // Preparing a game raises the program's own errors when the package's shapes do not serve its picture
    // (the sample's serve only some difficulties); what is prepared is painted.
    TKVJigsawApplication session(services, engine);
    session.SetClientArea(box);
    session.SetProject(project);
    const TBMPData& entry = *project->Pictures.at(static_cast<std::size_t>(locator.PlayablePictureIndex(0)));
    try {
      TKVGameSetup setup;
      setup.Difficulty = project->DifficultyIndex(entry.ID);
      session.LoadGamePicture(entry, setup.Difficulty, setup);
      session.Prepare(std::move(setup));
      session.Start();
      Require(box->Frame(), "no frame");
    } catch (const Exception&) {
      Require(session.Board() == nullptr, "a board after a failed preparation");
    }
  }
  engine.DestroySurface();
}

// Each target's reader as the target reaches it, raising what the reader raises; the name picks the check of
// a sound file.
void ReadSeed(const TSeed& seed) {
  const std::map<std::string, TReader> readers = {
      {"fuzz_package", [](const auto& b) { LoadPackage(TMemoryStream(b)); }},
      {"fuzz_player_load", PlayFirstFrame},
      {"fuzz_preview", [](const auto& b) { LoadPackage(kvtest::PackageWithPreview(AsBytes(b), {})); }},
      {"fuzz_package_records", [](const auto& b) { LoadPackage(kvtest::Package(AsBytes(b))); }},
      {"fuzz_menu_tree", RecordReader(PackageTag::MenuTree)},
      {"fuzz_sound_formats", RecordReader(PackageTag::SoundFormats)},
      {"fuzz_banner", RecordReader(PackageTag::Banner)},
      {"fuzz_banner_container", RecordReader(PackageTag::BannerContainer)},
      {"fuzz_published_xml", RecordReader(PackageTag::PublishedProperties)},
      {"fuzz_script_streams", ReadScriptStream},
      {"fuzz_saved_game", ReadAs<TJigsawFile>},
      {"fuzz_high_scores", ReadAs<THighScore>},
      {"fuzz_extra_pictures",
       [](const auto& b) {
         TExtJigsawImages images;
         ReadInto(images, b);
         Require(images.Count() > 0, "no picture");
       }},
      {"fuzz_appended_data", ReadAppended},
      {"fuzz_game_layout",
       [](const auto& b) { Require(ReadAppendedLayout(b).HasPackage, "no package trailer"); }},
      {"fuzz_bmp", PictureReader(pkBMP)},
      {"fuzz_jpeg", PictureReader(pkJPEG)},
      {"fuzz_gif", PictureReader(pkGIF)},
      {"fuzz_piece_library",
       [](const auto& b) { Require(LoadPieceLibrary(b).TemplateCount() > 0, "no template"); }},
      {"fuzz_rle", ReadRle},
      {"fuzz_manifest",
       [](const auto& b) { Require(nlohmann::ordered_json::parse(b).is_object(), "no object"); }},
      {"fuzz_sound_check", [&seed](const auto& b) { ReadSoundFile(b, seed.Name); }},
      {"fuzz_sound_id_format", ReadAs<TSoundIDFormatAssoc>},
      {"fuzz_theme",
       [](const auto& b) {
         TMemoryStream stream(b);
         TKVThemeBitmapCollection theme;
         theme.LoadThemeStream(stream);
         Require(theme.Count() >= 7, "a theme of " + std::to_string(theme.Count()) + " items");
       }},
  };
  const auto reader = readers.find(seed.Target);
  if (reader == readers.end()) throw std::runtime_error("no reader for the target");
  reader->second(seed.Bytes);
}

} // namespace

// A fuzz target without seeds starts from nothing; a seed without a target is never used; two seeds of one
// name would be one file.
TEST(FuzzSeeds, EveryTargetHasSeedsOfDistinctNames) {
  std::set<std::string> targets;
  for (const auto& entry : fs::directory_iterator(JIGSAW_SOURCE_DIR "/fuzz")) {
    const std::string name = entry.path().stem().string();
    if (entry.path().extension() == ".cpp" && name.starts_with("fuzz_")) targets.insert(name);
  }
  ASSERT_FALSE(targets.empty());
  std::map<std::string, std::set<std::string>> names;
  for (const TSeed& seed : Corpus()) {
    EXPECT_TRUE(targets.contains(seed.Target)) << seed.Target;
    EXPECT_TRUE(names[seed.Target].insert(seed.Name).second) << seed.Target << "/" << seed.Name;
    EXPECT_FALSE(seed.Bytes.empty()) << seed.Target << "/" << seed.Name;
  }
  for (const std::string& target : targets) EXPECT_TRUE(names.contains(target)) << target;
}

TEST(FuzzSeeds, EverySeedReads) {
  for (const TSeed& seed : Corpus()) {
    try {
      ReadSeed(seed);
    } catch (const std::exception& e) {
      ADD_FAILURE() << seed.Target << "/" << seed.Name << ": " << e.what();
    }
  }
}

// What the seeds hold beyond being readable.
TEST(FuzzSeeds, SeedsCarryWhatTheyAreFor) {
  // The package carries the published properties.
  TJigsawProject2 package(PictureConverterServices());
  LoadPackage(TMemoryStream(SeedBytes("fuzz_package", "sample")), &package);
  EXPECT_EQ(package.Language, std::vector<std::string>{"quit=Quit?"});

  TJigsawFile old;
  ReadInto(old, SeedBytes("fuzz_saved_game", "version1"));
  EXPECT_EQ(old.Version, 1);

  for (const char* name : {"gradient", "photo", "arithmetic", "progressive", "exif-sideways"})
    EXPECT_EQ(DecodePicture(SeedBytes("fuzz_jpeg", name), pkJPEG).Picture.Pixels.size(),
              std::string(name) == "gradient" ? 256u : 384u)
        << name;
  EXPECT_FALSE(DecodePicture(SeedBytes("fuzz_gif", "plain"), pkGIF).HasTransparentColor);
  EXPECT_TRUE(DecodePicture(SeedBytes("fuzz_gif", "framed"), pkGIF).HasTransparentColor);

  // The libraries load whole: written again they come out as they were. The reduced one keeps a few
  // templates of one layout of the game's.
  int32_t templates[2] = {};
  for (int i = 0; i < 2; ++i) {
    const std::vector<uint8_t>& content = SeedBytes("fuzz_piece_library", i == 0 ? "game" : "single");
    const TKVJigsawPieceLibrary library = LoadPieceLibrary(content);
    templates[i] = library.TemplateCount();
    TMemoryStream written, again;
    library.SaveToStream(written);
    TKVStreamFunc::DecompressBuffer(std::span(written.Bytes()).subspan(4), again);
    EXPECT_EQ(again.Bytes(), content) << i;
    if (i == 1) {
      EXPECT_EQ(library.Layouts.size(), 1u);
    }
  }
  EXPECT_GT(templates[1], 0);
  EXPECT_LE(templates[1], 4);
  EXPECT_GT(templates[0], templates[1]);

  for (const auto& [name, count] : {std::pair{"empty", 0u}, std::pair{"formats", 8u}}) {
    TSoundIDFormatAssoc table;
    ReadInto(table, SeedBytes("fuzz_sound_id_format", name));
    EXPECT_EQ(table.Items.size(), count) << name;
  }
}

// The manifest pointed at the stand-in assets loads in a folder that holds them, as the fuzz target has it.
TEST(FuzzSeeds, StandInManifestLoadsBesideItsAssets) {
  kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("picture.jpg"), kvtest::MakeJpeg(8, 6));
  kvtest::WriteFileBytes(dir.file("picture.bmp"), kvtest::MakeBmp(8, 6));
  kvtest::WriteFileBytes(dir.file("sound.wav"), kvtest::TinyWav());
  kvtest::WriteFileBytes(dir.file("music.mid"), kvtest::MakeMidi());
  kvtest::WriteFileBytes(dir.file("game.ico"), {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0});
  kvtest::WriteFileBytes(dir.file("game.json"), SeedBytes("fuzz_manifest", "stand-ins"));
  TJigsawProject2 project;
  kvtools::LoadManifest(dir.file("game.json"), project);
  EXPECT_FALSE(project.Sounds.empty());
  EXPECT_EQ(nlohmann::ordered_json::parse(SeedBytes("fuzz_manifest", "demo")),
            nlohmann::ordered_json::parse(kvtest::ReadFileBytes(JIGSAW_SOURCE_DIR "/assets/demo/demo.json")));
}

// The folder fuzz-seeds writes is the one scripts/fuzz takes: <target>/<name>, the bytes as they are.
TEST(FuzzSeeds, CorpusFolderHoldsOneFilePerSeed) {
  kvtest::TempDir dir;
  const std::vector<TSeed> seeds = {
      {"fuzz_rle", "pixels", {1, 2, 3}}, {"fuzz_rle", "more", {}}, {"fuzz_bmp", "info24", {4}}};
  kvtest::WriteSeedCorpus(dir.path(), seeds);
  for (const TSeed& seed : seeds)
    EXPECT_EQ(kvtest::ReadFileBytes((fs::path(dir.path()) / seed.Target / seed.Name).string()), seed.Bytes)
        << seed.Name;
}
