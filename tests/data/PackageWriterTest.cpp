#include "PackageFixture.h"

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "gui/uPictureConverters.h"
#include "support/PackageModelFixtures.h"

#include <gtest/gtest.h>

using namespace kv;
using kvtest::Bytes;
namespace T = kv::PackageTag;

namespace {

TMemoryStream Blob(std::initializer_list<uint8_t> bytes) {
  return TMemoryStream(std::vector<uint8_t>(bytes));
}
TMemoryStream Blob(std::vector<uint8_t> bytes) {
  return TMemoryStream(std::move(bytes));
}

std::vector<uint8_t> Save(TJigsawProject2& p) {
  TMemoryStream s;
  p.SaveToStream(s);
  return s.Bytes();
}

void Reload(TJigsawProject2& from, TJigsawProject2& into) {
  kvtest::Load(into, TMemoryStream(Save(from)));
}

template <class T> const T& Held(const T& record) {
  return record;
}
template <class T> const T& Held(const std::unique_ptr<T>& record) {
  return *record;
}

// Record by record, so that a failure names the one that differs.
template <class List> void ExpectSameRecords(const List& a, const List& b, const char* what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(Held(a[i]) == Held(b[i])) << what << "[" << i << "]";
}

// Every field the package carries.
void ExpectSameModel(const TJigsawProject2& a, const TJigsawProject2& b) {
  EXPECT_EQ(a.Options, b.Options);
  EXPECT_EQ(a.BevelLevel, b.BevelLevel);
  EXPECT_EQ(a.PreviewScale, b.PreviewScale);
  EXPECT_EQ(a.PieceShapeData.Bytes(), b.PieceShapeData.Bytes());
  ExpectSameRecords(a.Pictures, b.Pictures, "Pictures");
  EXPECT_EQ(a.OutlineColor, b.OutlineColor);
  EXPECT_EQ(a.GhostMode, b.GhostMode);
  EXPECT_EQ(a.GhostAlpha, b.GhostAlpha);
  EXPECT_EQ(a.GhostColor, b.GhostColor);
  EXPECT_EQ(a.HighScoreFileName, b.HighScoreFileName);
  EXPECT_EQ(a.SkinData.Bytes(), b.SkinData.Bytes());
  EXPECT_EQ(a.PublishedXml.Bytes(), b.PublishedXml.Bytes());
  EXPECT_EQ(a.Language, b.Language);

  EXPECT_EQ(a.PieceScale, b.PieceScale);
  EXPECT_EQ(a.CutOption, b.CutOption);
  EXPECT_EQ(a.PreparedFlag, b.PreparedFlag);
  EXPECT_EQ(a.PreparedColor, b.PreparedColor);
  ExpectSameRecords(a.Sounds, b.Sounds, "Sounds");
  ExpectSameRecords(a.EventSounds, b.EventSounds, "EventSounds");
  EXPECT_TRUE(a.PreparedGame == b.PreparedGame) << "PreparedGame";
  // OldMenus is left out: the old menu form is read but never written.
  ExpectSameRecords(a.Menus, b.Menus, "Menus");
  ExpectSameRecords(a.PictureSettings, b.PictureSettings, "PictureSettings");
  ExpectSameRecords(a.PreparedGames, b.PreparedGames, "PreparedGames");
  EXPECT_EQ(a.PictureChoiceMode, b.PictureChoiceMode);
  EXPECT_EQ(a.Countdown, b.Countdown);
  EXPECT_EQ(a.CountdownSeconds, b.CountdownSeconds);
  EXPECT_EQ(a.ThumbnailColumns, b.ThumbnailColumns);
  EXPECT_EQ(a.ThumbnailRows, b.ThumbnailRows);
  EXPECT_EQ(a.Thumbnail.Bytes(), b.Thumbnail.Bytes());
  EXPECT_EQ(a.NumPiecesMin, b.NumPiecesMin);
  EXPECT_EQ(a.NumPiecesMax, b.NumPiecesMax);
  EXPECT_EQ(a.EmbedPreparedGame, b.EmbedPreparedGame);
  EXPECT_EQ(a.SkinMode, b.SkinMode);
  EXPECT_EQ(a.LegacySkinData.Bytes(), b.LegacySkinData.Bytes());
  EXPECT_EQ(a.LegacySkinExtension, b.LegacySkinExtension);
  ExpectSameRecords(a.Buttons, b.Buttons, "Buttons");
  ExpectSameRecords(a.Skins, b.Skins, "Skins");
  EXPECT_EQ(a.SkinIndex, b.SkinIndex);
  EXPECT_EQ(a.BoardArea, b.BoardArea);
  EXPECT_EQ(a.WallpaperParam, b.WallpaperParam);
  EXPECT_EQ(a.WallpaperParam2, b.WallpaperParam2);
  EXPECT_EQ(a.Title, b.Title);
  EXPECT_EQ(a.Icon.Bytes(), b.Icon.Bytes());
  EXPECT_EQ(a.SoundOn, b.SoundOn);
  EXPECT_EQ(a.WindowPosition, b.WindowPosition);
  ExpectSameRecords(a.Wallpapers, b.Wallpapers, "Wallpapers");
  ExpectSameRecords(a.ActionGroups, b.ActionGroups, "ActionGroups");
  ExpectSameRecords(a.PictureCuts, b.PictureCuts, "PictureCuts");
  EXPECT_EQ(a.UseStoredCuts, b.UseStoredCuts);
  EXPECT_EQ(a.NoRotation, b.NoRotation);
  EXPECT_EQ(a.PieceOption2, b.PieceOption2);
  EXPECT_EQ(a.OutlineOption, b.OutlineOption);
  ASSERT_EQ(a.Banners.Count(), b.Banners.Count());
  for (int32_t i = 0; i < a.Banners.Count(); ++i) {
    EXPECT_TRUE(*a.Banners.Items(i) == *b.Banners.Items(i)) << "Banners[" << i << "]";
  }
  ASSERT_EQ(a.BannerContainers.Count(), b.BannerContainers.Count());
  for (int32_t i = 0; i < a.BannerContainers.Count(); ++i) {
    const TBannerContainer& x = *a.BannerContainers.Items(i);
    const TBannerContainer& y = *b.BannerContainers.Items(i);
    EXPECT_EQ(x.ID, y.ID);
    EXPECT_EQ(x.Name, y.Name);
    EXPECT_EQ(x.SkinID, y.SkinID);
    EXPECT_EQ(x.Left, y.Left);
    EXPECT_EQ(x.Top, y.Top);
    ASSERT_EQ(x.Count(), y.Count());
    for (int32_t k = 0; k < x.Count(); ++k) EXPECT_EQ(x.Item(k)->ID, y.Item(k)->ID);
  }
  ExpectSameRecords(a.SoundFormats, b.SoundFormats, "SoundFormats");
  ExpectSameRecords(a.ClockDisplays, b.ClockDisplays, "ClockDisplays");
  EXPECT_EQ(a.StartWallpaperIndex, b.StartWallpaperIndex);
  EXPECT_EQ(a.StartSkinIndex, b.StartSkinIndex);
  EXPECT_EQ(a.SelectionStored, b.SelectionStored);
  EXPECT_EQ(a.HtmlNameEntry, b.HtmlNameEntry);
  EXPECT_EQ(a.ShowHighScoreTable, b.ShowHighScoreTable);
  EXPECT_EQ(a.NameEntryPage, b.NameEntryPage);
  EXPECT_EQ(a.NameEntryWidth, b.NameEntryWidth);
  EXPECT_EQ(a.NameEntryHeight, b.NameEntryHeight);
  ExpectSameRecords(a.ButtonScripts, b.ButtonScripts, "ButtonScripts");
  EXPECT_TRUE(a.StartActions == b.StartActions) << "StartActions";
  EXPECT_TRUE(a.ExitActions == b.ExitActions) << "ExitActions";
  EXPECT_TRUE(a.EndActions == b.EndActions) << "EndActions";
}

// Records whose presence depends on the model: the tags a package of `p` must carry, in order.
std::vector<uint16_t> ExpectedTags(const TJigsawProject2& p) {
  std::vector<uint16_t> tags;
  auto add = [&](uint16_t tag, std::size_t times = 1) { tags.insert(tags.end(), times, tag); };
  for (const auto& picture : p.Pictures)
    if (!picture->Data.Empty()) add(T::Picture);
  for (const auto& sound : p.Sounds)
    if (!sound->Data.Empty()) add(T::Sound);
  add(T::EventSounds, p.EventSounds.size());
  if (p.PreparedGame.Columns >= 1 && p.PreparedGame.Rows >= 1) add(T::PreparedGame);
  add(T::PreparedPictureGame, p.PreparedGames.size());
  add(T::CutDefaults);
  add(T::PieceRange);
  add(T::PictureSettings, p.PictureSettings.size());
  add(T::PictureChoice);
  add(T::Countdown);
  add(T::LegacySkin);
  add(T::ImageButton, p.Buttons.size());
  if (p.BoardArea[2] != 0 && p.BoardArea[3] != 0) add(T::BoardArea);
  add(T::LegacyStream);
  add(T::WallpaperDefaults);
  add(T::Skin, p.Skins.size());
  add(T::Title);
  add(T::Icon);
  add(T::SoundAndWindow);
  add(T::Wallpaper, p.Wallpapers.size());
  add(T::ActionGroup, p.ActionGroups.size());
  add(T::MenuTree);
  add(T::StartSelection);
  add(T::PictureCut, p.PictureCuts.size());
  add(T::CutUse);
  add(T::ClockDisplay, p.ClockDisplays.size());
  add(T::PieceOptions);
  add(T::Banner, static_cast<std::size_t>(p.Banners.Count()));
  add(T::BannerContainer, static_cast<std::size_t>(p.BannerContainers.Count()));
  add(T::SoundFormats);
  add(T::ButtonScript, p.ButtonScripts.size());
  if (p.StartActions.ScriptCount() > 0) add(T::StartActions);
  if (p.ExitActions.ScriptCount() > 0) add(T::ExitActions);
  if (p.EndActions.ScriptCount() > 0) add(T::EndActions);
  add(T::NameEntry);
  add(T::Flags);
  add(T::Ghost);
  add(T::HighScoreFile);
  if (!p.SkinData.Empty()) add(T::SkinBitmaps);
  if (!p.PieceShapeData.Empty()) add(T::PieceShapes);
  if (!p.PublishedXml.Empty()) add(T::PublishedProperties);
  add(T::End);
  return tags;
}

const kvtest::TWrittenRecord* Find(const kvtest::TWrittenPackage& package, uint16_t tag) {
  for (const auto& r : package.Records)
    if (r.Tag == tag) return &r;
  return nullptr;
}

} // namespace

TEST(PackageWriter, FullModelRoundTrips) {
  TJigsawProject2 source;
  kvtest::FillEveryRecord(source, kvtest::TModelFilling::Varied);
  ASSERT_EQ(source.Language, (std::vector<std::string>{"quit=Really quit?"}));
  const std::vector<uint8_t> first = Save(source);

  TJigsawProject2 copy(PictureConverterServices());
  kvtest::Load(copy, TMemoryStream(first));
  ExpectSameModel(source, copy);
  EXPECT_EQ(copy.QuitText(), "Really quit?");
  EXPECT_EQ(Save(copy), first);
}

// The player reads the package appended to it from memory and frees that memory once it is inflated.
TEST(PackageWriter, APackageReadFromMemoryItMayFreeGivesTheSameModel) {
  TJigsawProject2 source;
  kvtest::FillEveryRecord(source, kvtest::TModelFilling::Varied);
  const std::vector<uint8_t> bytes = Save(source);
  TMemoryStream package(bytes);
  TJigsawProject2 copy(PictureConverterServices());
  copy.LoadFromMemory(std::move(package));
  ExpectSameModel(source, copy);
  EXPECT_TRUE(package.Bytes().empty());
  EXPECT_EQ(package.Bytes().capacity(), 0u);
}

TEST(PackageWriter, NewModelRoundTrips) {
  TJigsawProject2 source;
  TJigsawProject2 copy;
  Reload(source, copy);
  // Every package carries its start selection.
  source.SelectionStored = true;
  ExpectSameModel(source, copy);
  EXPECT_EQ(Save(copy), Save(source));
}

TEST(PackageWriter, RecordsComeInTheirOrderWithTheirLengths) {
  TJigsawProject2 p;
  kvtest::FillEveryRecord(p, kvtest::TModelFilling::Varied);
  const kvtest::TWrittenPackage package = kvtest::SplitPackage(Save(p));
  // The walker follows what each length field means; reaching the end record exactly proves the lengths.
  EXPECT_EQ(kvtest::TagsOf(package.Records), ExpectedTags(p));

  const auto& r = package.Records;
  EXPECT_EQ(r[0].Length, 7); // picture: the image bytes only
  const auto* button = Find(package, T::ImageButton);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->Length, static_cast<int32_t>(button->Payload.size()) + 16);
  const auto* events = Find(package, T::EventSounds);
  EXPECT_EQ(events->Length, 4);
  const auto* clock = Find(package, T::ClockDisplay);
  EXPECT_EQ(clock->Length, 51 + 6 + 1); // exactly its payload
  const auto* banner = Find(package, T::Banner);
  EXPECT_EQ(banner->Length, 25 + 7 + static_cast<int32_t>(kvtest::TinyBmp(5, 2).size()));
  const auto* legacy = Find(package, T::LegacyStream);
  EXPECT_EQ(legacy->Payload, (std::vector<uint8_t>(8, 0)));
  const auto* flags = Find(package, T::Flags);
  EXPECT_EQ(flags->Payload, (std::vector<uint8_t>{1 | 2 | 4 | (5 << 3), 6 >> 1, 0, 0}));
  const auto* ghost = Find(package, T::Ghost);
  EXPECT_EQ(ghost->Payload, (std::vector<uint8_t>{3, 128, 0x30, 0x20, 0x10, 0}));
  const auto* score = Find(package, T::HighScoreFile);
  EXPECT_EQ(score->Payload[0], p.HighScoreFileName.size());
  const auto* shapes = Find(package, T::PieceShapes);
  EXPECT_EQ(shapes->Length, 4);
  EXPECT_EQ(shapes->Payload, (std::vector<uint8_t>{0x78, 0x9C, 0x03, 0x00}));
  // Values that double as extension counts are written as 0.
  const auto* area = Find(package, T::BoardArea);
  EXPECT_EQ(std::vector<uint8_t>(area->Payload.end() - 4, area->Payload.end()), (std::vector<uint8_t>(4, 0)));
}

TEST(PackageWriter, PreviewSectionHoldsTheStoredThumbnail) {
  TJigsawProject2 p;
  p.ThumbnailColumns = 6;
  p.ThumbnailRows = 4;
  p.Thumbnail = Blob(kvtest::TinyBmp(2, 2));
  const kvtest::TWrittenPackage package = kvtest::SplitPackage(Save(p));
  const auto bmpSize = static_cast<int32_t>(p.Thumbnail.Size());
  const int32_t previewSize = 6 + 16 + bmpSize + 6;
  EXPECT_EQ(package.PreviewHeader, (std::vector<uint8_t>{0xAD, 0xDE, 0, 0, static_cast<uint8_t>(previewSize),
                                                         static_cast<uint8_t>(previewSize >> 8), 0, 0}));
  ASSERT_EQ(kvtest::TagsOf(package.Preview), (std::vector<uint16_t>{T::Thumbnail, T::PreviewEnd}));
  EXPECT_EQ(package.Preview[0].Length, 16 + bmpSize);
  EXPECT_EQ(package.Preview[0].Payload,
            Bytes().i32(6).i32(4).i32(bmpSize).raw(p.Thumbnail.Bytes()).i32(0).data());

  // A model without a thumbnail still writes the preview with an empty one.
  TJigsawProject2 empty;
  const kvtest::TWrittenPackage bare = kvtest::SplitPackage(Save(empty));
  EXPECT_EQ(bare.Preview[0].Length, 16);
}

TEST(PackageWriter, WritesAtTheStreamPosition) {
  TJigsawProject2 p;
  p.Title = "Appended";
  TMemoryStream s(std::vector<uint8_t>{'E', 'X', 'E'});
  s.Seek(0, TSeekOrigin::soEnd);
  p.SaveToStream(s);
  EXPECT_EQ(std::vector<uint8_t>(s.Bytes().begin(), s.Bytes().begin() + 3),
            (std::vector<uint8_t>{'E', 'X', 'E'}));
  s.SetPosition(3);
  TJigsawProject2 q;
  q.LoadFromStream(&s);
  EXPECT_EQ(q.Title, "Appended");
}

TEST(PackageWriter, OptionalRecordsAreLeftOutWhenEmpty) {
  TJigsawProject2 p;
  p.AddPicture(0, 5);         // no data yet: a length of 0 could carry no fields
  p.PreparedGame.Columns = 3; // rows 0
  p.BoardArea = {0, 0, 640, 0, 0};
  const kvtest::TWrittenPackage package = kvtest::SplitPackage(Save(p));
  EXPECT_EQ(kvtest::TagsOf(package.Records), ExpectedTags(p));
  for (const uint16_t tag :
       {T::Picture, T::PreparedGame, T::BoardArea, T::StartActions, T::ExitActions, T::EndActions,
        T::SkinBitmaps, T::PieceShapes, T::PublishedProperties, T::OldMenuList, T::OldMenuTree})
    EXPECT_EQ(Find(package, tag), nullptr) << tag;

  // An action with only a caption is still written.
  p.ExitActions.Caption = "bye";
  EXPECT_NE(Find(kvtest::SplitPackage(Save(p)), T::ExitActions), nullptr);
}

TEST(PackageWriter, EmptyIconIsWrittenWithSizeZeroAndLoadsEmpty) {
  TJigsawProject2 p;
  const kvtest::TWrittenPackage package = kvtest::SplitPackage(Save(p));
  const auto* icon = Find(package, T::Icon);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->Length, 8);
  EXPECT_EQ(icon->Payload, (std::vector<uint8_t>(8, 0)));
  TJigsawProject2 q;
  q.Icon = Blob({1, 2, 3});
  Reload(p, q);
  EXPECT_TRUE(q.Icon.Empty());
}

TEST(PackageWriter, GhostHighScoreFileAndSkinBitmapsSurviveARoundTrip) {
  struct Case {
    const char* what;
    uint8_t mode, alpha;
    TColor color;
    std::string fileName;
    std::vector<uint8_t> skin;
  };
  const std::vector<Case> cases = {
      {"defaults", 2, 255, static_cast<TColor>(0xFF00000C), "JigsawHighScore.dat", {}},
      {"changed", 3, 40, 0x00FF8800, "Other.dat", {1, 2, 3}},
      {"no high-score file", 1, 0, 0, "", {9}},
      {"longest name", 2, 255, 0, std::string(255, 'n'), {}},
  };
  for (const auto& c : cases) {
    TJigsawProject2 p;
    p.GhostMode = c.mode;
    p.GhostAlpha = c.alpha;
    p.GhostColor = c.color;
    p.HighScoreFileName = c.fileName;
    p.SkinData = Blob(c.skin);
    TJigsawProject2 q;
    Reload(p, q);
    EXPECT_EQ(q.GhostMode, c.mode) << c.what;
    EXPECT_EQ(q.GhostAlpha, c.alpha) << c.what;
    EXPECT_EQ(q.GhostColor, c.color) << c.what;
    EXPECT_EQ(q.HighScoreFileName, c.fileName) << c.what;
    EXPECT_EQ(q.SkinData.Bytes(), c.skin) << c.what;
  }
  // A name the short-string record cannot hold is refused rather than cut.
  TJigsawProject2 p;
  p.HighScoreFileName = std::string(256, 'n');
  TMemoryStream s;
  EXPECT_THROW(p.SaveToStream(s), EWriteError);
}

TEST(PackageWriter, WhatThePackageDoesNotCarry) {
  TJigsawProject2 p;
  p.OldMenus.push_back({"Old", "O", 1, 0});
  auto game = std::make_unique<TPreparedPictureGame>();
  game->PictureID = 11;
  game->Columns = 3;
  game->Rows = 2;
  game->Pieces = Blob(std::vector<uint8_t>(240, 1));
  p.PreparedGames.push_back(std::move(game));
  p.WallpaperParam2 = 5;
  p.BoardArea = {1, 2, 3, 4, 5};
  p.OutlineColor = 0x123;
  p.SkinIndex = 1;
  p.AddPicture(0, 7).Data = Blob({1});
  p.Pictures.back()->Extension = 4;

  TJigsawProject2 q;
  Reload(p, q);
  // The old menu form is read but never written.
  EXPECT_TRUE(q.OldMenus.empty());
  // Prepared picture games come back as they were written.
  ASSERT_EQ(q.PreparedGames.size(), 1u);
  EXPECT_EQ(q.PreparedGames[0]->PictureID, 11u);
  EXPECT_EQ(q.PreparedGames[0]->Columns, 3);
  EXPECT_EQ(q.PreparedGames[0]->Rows, 2);
  EXPECT_EQ(q.PreparedGames[0]->Pieces.Size(), 240);
  EXPECT_EQ(q.PreparedGame.Columns, 0);
  // Values that double as extension counts, and extension counts themselves, are written as 0.
  EXPECT_EQ(q.WallpaperParam2, 0);
  EXPECT_EQ(q.BoardArea, (std::array<int32_t, 5>{1, 2, 3, 4, 0}));
  EXPECT_EQ(q.Pictures[0]->Extension, 0);
  // No record stores these.
  EXPECT_EQ(q.OutlineColor, static_cast<TColor>(0xFF00000C));
  EXPECT_EQ(q.SkinIndex, 0);
}

namespace {

struct RecordingSteps : TPackagePictureSteps {
  std::vector<std::string> Calls;
  void MakeThumbnail(TJigsawProject2& project) override {
    Calls.push_back("thumbnail");
    project.ThumbnailColumns = 9;
    project.Thumbnail = Blob({'B', 'M'});
  }
  void MakePreparedGame(TJigsawProject2& project) override {
    Calls.push_back("game");
    project.PreparedGame.Columns = 2;
    project.PreparedGame.Rows = 1;
    project.PreparedGame.Pieces = Blob(std::vector<uint8_t>(80, 3));
  }
  void MakePreparedGames(TJigsawProject2& project) override {
    Calls.push_back("games");
    auto game = std::make_unique<TPreparedPictureGame>();
    game->PictureID = 5;
    game->Columns = 1;
    game->Rows = 1;
    game->Pieces = Blob(std::vector<uint8_t>(40, 4));
    project.PreparedGames.push_back(std::move(game));
  }
  TMemoryStream PieceShapes(const TJigsawProject2&) override {
    Calls.push_back("shapes");
    return Blob({2, 0, 0, 0, 0xAB, 0xCD});
  }
};

class PictureStepsSeam : public ::testing::Test {
protected:
  void SetUp() override {
    Steps = std::make_shared<RecordingSteps>();
    TExecDataWriter::SetPictureSteps(Steps);
  }
  void TearDown() override { TExecDataWriter::SetPictureSteps(nullptr); }
  std::shared_ptr<RecordingSteps> Steps;
};

} // namespace

TEST_F(PictureStepsSeam, InstalledStepsComputeWhatTheWriterWrites) {
  TJigsawProject2 p;
  p.EmbedPreparedGame = 1;
  const kvtest::TWrittenPackage package = kvtest::SplitPackage(Save(p));
  EXPECT_EQ(Steps->Calls, (std::vector<std::string>{"thumbnail", "game", "games", "shapes"}));
  EXPECT_EQ(package.Preview[0].Payload, Bytes().i32(9).i32(0).i32(2).chars("BM").i32(0).data());
  ASSERT_NE(Find(package, T::PreparedGame), nullptr);
  EXPECT_EQ(Find(package, T::PreparedGame)->Length, 12 + 80);
  ASSERT_NE(Find(package, T::PreparedPictureGame), nullptr);
  EXPECT_EQ(Find(package, T::PieceShapes)->Payload, (std::vector<uint8_t>{0xAB, 0xCD}));
  // The model keeps what the writer computed.
  EXPECT_EQ(p.PreparedGame.Columns, 2);
  EXPECT_EQ(p.PreparedGames.size(), 1u);
  EXPECT_EQ(p.ThumbnailColumns, 9);
}

TEST_F(PictureStepsSeam, PreparedGamesAreComputedOnlyWhenAsked) {
  TJigsawProject2 p; // EmbedPreparedGame 0
  auto game = std::make_unique<TPreparedPictureGame>();
  game->PictureID = 8;
  p.PreparedGames.push_back(std::move(game));
  Save(p);
  EXPECT_EQ(Steps->Calls, (std::vector<std::string>{"thumbnail", "shapes"}));
}

TEST(PackageWriter, DefaultStepsKeepWhatIsStored) {
  TJigsawProject2 p;
  p.EmbedPreparedGame = 1;
  p.Thumbnail = Blob({'B', 'M', 1});
  TPackagePictureSteps& steps = TExecDataWriter::PictureSteps();
  steps.MakeThumbnail(p);
  steps.MakePreparedGame(p);
  steps.MakePreparedGames(p);
  EXPECT_EQ(p.Thumbnail.Bytes(), (std::vector<uint8_t>{'B', 'M', 1}));
  EXPECT_EQ(p.PreparedGame.Columns, 0);
  EXPECT_TRUE(p.PreparedGames.empty());
  EXPECT_TRUE(steps.PieceShapes(p).Empty());
  p.PieceShapeData = Blob({1, 0, 0, 0, 7});
  EXPECT_EQ(steps.PieceShapes(p).Bytes(), p.PieceShapeData.Bytes());
}
