// Writes the seed corpus of every fuzz target (build/fuzz-corpus/<target>/) from the sample game, and
// checks that each seed is read without an error, so that the fuzzers start from inputs that go deep.
#include "SampleGame.h"
#include "data/PackageFixture.h"
#include "data/uAppendedData.h"
#include "data/uExtJigsawImages.h"
#include "data/uHighScore.h"
#include "data/uJigsawFile.h"
#include "data/uKVStreamFunc.h"
#include "support/ImageFixtures.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

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
}
