// The bytes a package is written as are pinned: a model with something in every record, built without a
// clock or a picture encoder, must always give the same preview and data section. Any change to a record's
// framing, field order or length shows here even when a round trip would still agree.
#include "Sha256.h"
#include "data/PackageFixture.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kv;

namespace {

TMemoryStream Blob(std::vector<uint8_t> bytes) {
  return TMemoryStream(std::move(bytes));
}

std::vector<uint8_t> Pattern(std::size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

std::unique_ptr<TMenuExRec> Node(uint32_t id, uint32_t parent, const std::string& caption, int32_t action) {
  auto node = std::make_unique<TMenuExRec>();
  node->ID = id;
  node->ParentID = parent;
  node->Name = caption + "Name";
  node->Caption = caption;
  node->Script.ID = action;
  return node;
}

// Every record of the data section, with fixed ids; the only drawn ids (those of grouped actions) come from
// a seeded source.
void BuildPinnedModel(TJigsawProject2& p) {
  TKVStandardFunc::Instance().Seed(20240611);
  p.Title = "Pinned \xE9t\xE9 \x80";
  for (uint32_t i = 0; i < 2; ++i) {
    TBMPData& picture = p.AddPicture(0, 301 + i);
    picture.Name = "Picture" + std::to_string(i);
    picture.Data = Blob(Pattern(100 + 37 * i, static_cast<uint8_t>(i)));
  }
  p.PictureSettings[1].NumPiecesMax = 96;
  p.PictureSettings[1].PrepareGame = 1;
  TBMPData& wallpaper = p.AddPicture(1, 0x00020000);
  wallpaper.Name = "Wood";
  wallpaper.Data = Blob(Pattern(50, 9));
  p.Wallpapers[0].Param = 2;
  p.Wallpapers[0].Param2 = 1;
  for (const uint32_t id : {1u, 768u}) {
    auto sound = std::make_unique<TWaveData>();
    sound->ID = id;
    sound->Name = "sound" + std::to_string(id) + ".wav";
    sound->Data = Blob(Pattern(40 + id % 7, 3));
    p.Sounds.push_back(std::move(sound));
  }
  p.EventSounds[2].SoundIds = {1, 768};
  p.SoundFormats = {{1, 1}, {768, 2}};

  p.PreparedGame.Columns = 2;
  p.PreparedGame.Rows = 2;
  p.PreparedGame.Pieces = Blob(Pattern(4 * 40, 5));
  auto prepared = std::make_unique<TPreparedPictureGame>();
  prepared->PictureID = 302;
  prepared->Columns = 3;
  prepared->Rows = 1;
  prepared->Pieces = Blob(Pattern(3 * 40, 6));
  p.PreparedGames.push_back(std::move(prepared));

  p.PieceScale = 5;
  p.CutOption = 1;
  p.PreparedFlag = 1;
  p.PreparedColor = 0x00123456;
  p.NumPiecesMin = 12;
  p.NumPiecesMax = 70;
  p.PictureChoiceMode = 1;
  p.Countdown = 1;
  p.CountdownSeconds = 420;
  p.SkinMode = 17;
  p.LegacySkinData = Blob(Pattern(12, 11));
  p.ThumbnailColumns = 4;
  p.ThumbnailRows = 3;
  p.Thumbnail = Blob(Pattern(60, 13));

  for (const uint32_t id : {401u, 402u}) {
    auto button = std::make_unique<TImageButton>();
    button->ID = id;
    button->Left = 7;
    button->Top = 8;
    button->Width = 1;
    button->Height = 2;
    for (std::size_t i = 0; i < 4; ++i) button->Images[i] = Blob(Pattern(8, static_cast<uint8_t>(id + i)));
    button->Action = 9;
    button->Reserved = 1;
    p.Buttons.push_back(std::move(button));

    auto script = std::make_unique<TButtonScript>();
    script->ID = id + 100;
    script->OwnerID = id;
    script->Script.ID = 9;
    script->Script.Parameter.AddInteger(static_cast<int32_t>(id));
    script->Reserved = 2;
    p.ButtonScripts.push_back(std::move(script));
  }
  auto skin = std::make_unique<TSkinEntry>();
  skin->ID = 601;
  skin->SkinMode = 18;
  skin->Data = Blob(Pattern(20, 17));
  skin->Reserved = 3;
  skin->ButtonIds = {401, 402};
  skin->Area = {4, 5, 640, 480, 0};
  skin->Reserved2 = 6;
  p.Skins.push_back(std::move(skin));
  p.BoardArea = {10, 20, 600, 400, 0};
  p.WallpaperParam = 4;
  p.Icon = Blob(Pattern(22, 19));
  p.SoundOn = 1;
  p.WindowPosition = 1;

  auto group = std::make_unique<TActionGroup>();
  group->Caption = "Group";
  TActionItem& action = group->AddAction();
  action.Caption = "Open page";
  action.AddScript().ID = 13;
  action.Scripts(0).AddText("page.htm,320,200");
  p.ActionGroups.push_back(std::move(group));

  p.Menus.clear();
  auto game = Node(801, 0, "&Game", 0);
  auto play = Node(802, 801, "&Play", 14);
  play->Script.Parameter.AddInteger(2);
  play->Reserved = 5;
  game->Children.push_back(std::move(play));
  game->Children.push_back(Node(803, 801, "-", -1));
  p.Menus.push_back(std::move(game));
  auto popup = Node(804, 0, "Solve", 9);
  popup->MenuNumber = 1;
  popup->Visible = 0;
  p.Menus.push_back(std::move(popup));

  p.StartWallpaperIndex = 2;
  p.StartSkinIndex = 0;
  p.PictureCuts = {{301, {{0, 1, 2, 0}, {2, 0, 0, 1}}}, {302, {{3, 3, 3, 3}}}};
  p.UseStoredCuts = 1;

  auto clock = std::make_unique<TClockDisplay>();
  clock->ID = 701;
  clock->SkinID = 601;
  clock->Left = 1;
  clock->Top = 2;
  clock->Width = 90;
  clock->Height = 24;
  clock->Transparent = 1;
  clock->Background = 0x00FFEEDD;
  clock->FontColor = 0x00000080;
  clock->FontName = "Verdana";
  clock->FontHeight = -12;
  clock->FontSize = 9;
  clock->FontStyle = 1;
  clock->Data = Blob(Pattern(5, 23));
  p.ClockDisplays.push_back(std::move(clock));
  p.NoRotation = 1;
  p.PieceOption2 = 0;
  p.OutlineOption = 1;

  p.Banners.Add();
  TBanner& banner = *p.Banners.Items(0);
  banner.ID = 901;
  banner.Name = "Visit";
  banner.URL = "https://example.org/";
  banner.Interval = 2500;
  banner.TypeData = 1;
  banner.Data = Blob(Pattern(30, 29));
  banner.SetEventID(11);
  p.BannerContainers.Add();
  TBannerContainer& container = *p.BannerContainers.Items(0);
  container.ID = 902;
  container.Name = "Top";
  container.SkinID = 601;
  container.AddBanner(&banner);

  p.StartActions.Caption = "Start";
  p.StartActions.AddScript().ID = 14;
  p.ExitActions.AddScript().ID = 1;
  p.EndActions.AddScript().ID = 5;
  p.EndActions.Scripts(0).AddText("bye");
  p.HtmlNameEntry = 1;
  p.ShowHighScoreTable = 1;
  p.NameEntryPage = "<html>name</html>";
  p.NameEntryWidth = 300;
  p.NameEntryHeight = 200;
  p.Options.NoHighScores = true;
  p.Options.ShowGhost = true;
  p.Options.ShowPreview = true;
  p.BevelLevel = 4;
  p.PreviewScale = 2;
  p.GhostMode = 2;
  p.GhostAlpha = 100;
  p.GhostColor = 0x00405060;
  p.HighScoreFileName = "Pinned.dat";
  p.SkinData = Blob(Pattern(16, 31));
  p.PieceShapeData = Blob({4, 0, 0, 0, 0x78, 0x9C, 0x03, 0x00});
  const std::string xml = "<?xml version=\"1.0\"?><TJigsawProject2><Name>Pinned</Name></TJigsawProject2>";
  p.PublishedXml = Blob(std::vector<uint8_t>(xml.begin(), xml.end()));
}

} // namespace

TEST(PackageBytes, AModelWithEveryRecordIsWrittenAsPinned) {
  TExecDataWriter::SetPictureSteps(nullptr);
  TJigsawProject2 project;
  BuildPinnedModel(project);
  TMemoryStream package;
  project.SaveToStream(package);
  const std::vector<uint8_t>& bytes = package.Bytes();
  std::filesystem::create_directories(std::filesystem::path(JIGSAW_BINARY_DIR) / "sample");
  package.SaveToFile((std::filesystem::path(JIGSAW_BINARY_DIR) / "sample" / "pinned.kvj").string());

  // The compressed form depends on the zlib build; the preview and the inflated data section do not.
  ASSERT_GE(bytes.size(), 8u);
  const std::size_t previewEnd = 8 + (bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24);
  ASSERT_LE(previewEnd, bytes.size());
  TMemoryStream packed(
      std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(previewEnd), bytes.end()));
  TMemoryStream data;
  TKVStreamFunc::DecompressStream(packed, data);

  const std::span<const uint8_t> preview(bytes.data(), previewEnd);
  EXPECT_EQ(previewEnd, 8u + 6 + 16 + 60 + 6);
  EXPECT_EQ(kvtools::Sha256Hex(preview), "86d7c4371784f4c9b1218ebfed493052bd145151d820430c41d8ac8a978697e4");
  EXPECT_EQ(data.Size(), 3016);
  EXPECT_EQ(kvtools::Sha256Hex(data.Bytes()),
            "1dc8e04576e0927b87b685ab46800edaefa6680d5e9e97068014a33fa746cd8e");

  // The pin covers every record the writer knows.
  const std::vector<uint16_t> tags = kvtest::TagsOf(kvtest::SplitPackage(bytes).Records);
  namespace T = PackageTag;
  for (const uint16_t tag : {T::Picture,
                             T::Sound,
                             T::EventSounds,
                             T::PreparedGame,
                             T::PreparedPictureGame,
                             T::CutDefaults,
                             T::PieceRange,
                             T::PictureSettings,
                             T::PictureChoice,
                             T::Countdown,
                             T::LegacySkin,
                             T::ImageButton,
                             T::BoardArea,
                             T::LegacyStream,
                             T::WallpaperDefaults,
                             T::Skin,
                             T::Title,
                             T::Icon,
                             T::SoundAndWindow,
                             T::Wallpaper,
                             T::ActionGroup,
                             T::MenuTree,
                             T::StartSelection,
                             T::PictureCut,
                             T::CutUse,
                             T::ClockDisplay,
                             T::PieceOptions,
                             T::Banner,
                             T::BannerContainer,
                             T::SoundFormats,
                             T::ButtonScript,
                             T::StartActions,
                             T::ExitActions,
                             T::EndActions,
                             T::NameEntry,
                             T::Flags,
                             T::Ghost,
                             T::HighScoreFile,
                             T::SkinBitmaps,
                             T::PieceShapes,
                             T::PublishedProperties,
                             T::End})
    EXPECT_NE(std::find(tags.begin(), tags.end(), tag), tags.end()) << tag;
}
