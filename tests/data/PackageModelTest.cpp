#include "PackageFixture.h"

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "platform/uClipboard.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <set>
#include <stdexcept>

using namespace kv;

namespace {

void CollectIds(const TMenuList& list, std::vector<uint32_t>& ids) {
  for (const auto& node : list) {
    ids.push_back(node->ID);
    CollectIds(node->Children, ids);
  }
}

} // namespace

TEST(PackageModel, NewModelHasItsDefaults) {
  TJigsawProject2 p;
  ASSERT_EQ(p.EventSounds.size(), 10u);
  for (int32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(p.EventSounds[static_cast<std::size_t>(i)].Slot, i);
    EXPECT_TRUE(p.EventSounds[static_cast<std::size_t>(i)].SoundIds.empty());
  }
  EXPECT_EQ(p.Title, "Korvane Jigsaw");
  EXPECT_EQ(p.HighScoreFileName, "JigsawHighScore.dat");
  EXPECT_EQ(p.Options, (TProjectOptions{false, false, false, true}));
  EXPECT_EQ(p.PreviewScale, 3);
  EXPECT_EQ(p.BevelLevel, 0);
  EXPECT_EQ(p.PieceScale, 4);
  EXPECT_EQ(p.CutOption, 7);
  EXPECT_EQ(p.SoundOn, 1);
  EXPECT_EQ(p.WindowPosition, 4);
  EXPECT_EQ(p.UseStoredCuts, 1);
  EXPECT_EQ(p.GhostMode, 2);
  EXPECT_EQ(p.GhostAlpha, 255);
  EXPECT_EQ(p.GhostColor, static_cast<TColor>(0xFF00000C));
  EXPECT_EQ(p.OutlineColor, static_cast<TColor>(0xFF00000C));
  EXPECT_TRUE(p.Pictures.empty());
  EXPECT_TRUE(p.SoundFormats.empty());
  EXPECT_FALSE(p.SelectionStored);

  // "&File" with its child "E&xit" (action 3), then "&Help".
  ASSERT_EQ(p.Menus.size(), 2u);
  const TMenuExRec& file = *p.Menus[0];
  EXPECT_EQ(file.Name, "&File");
  EXPECT_EQ(file.Caption, "&File");
  EXPECT_EQ(file.MenuNumber, 0);
  EXPECT_EQ(file.Visible, 1);
  EXPECT_EQ(file.Script.ID, 0);
  EXPECT_EQ(file.ParentID, 0u);
  ASSERT_EQ(file.Children.size(), 1u);
  const TMenuExRec& exit = *file.Children[0];
  EXPECT_EQ(exit.Name, "E&xit");
  EXPECT_EQ(exit.Caption, "E&xit");
  EXPECT_EQ(exit.Script.ID, 3);
  EXPECT_EQ(exit.ParentID, file.ID);
  const TMenuExRec& help = *p.Menus[1];
  EXPECT_EQ(help.Name, "&Help");
  EXPECT_EQ(help.Caption, "&Help");
  EXPECT_EQ(help.Script.ID, 0);
  EXPECT_TRUE(help.Children.empty());

  std::vector<uint32_t> ids;
  CollectIds(p.Menus, ids);
  const std::set<uint32_t> distinct(ids.begin(), ids.end());
  EXPECT_EQ(distinct.size(), 3u);
  EXPECT_FALSE(distinct.contains(0u));
  for (const uint32_t id : ids) EXPECT_LT(id, 2147483647u);
}

TEST(PackageModel, AddPictureDrawsIdsOfItsClass) {
  TJigsawProject2 p;
  p.WallpaperParam = 7;
  p.WallpaperParam2 = 9;
  std::set<uint32_t> seen;
  for (int i = 0; i < 200; ++i) {
    const TBMPData& picture = p.AddPicture(0);
    EXPECT_GE(picture.ID, 1u);
    EXPECT_LE(picture.ID, 65535u);
    EXPECT_TRUE(seen.insert(picture.ID).second) << "repeated id " << picture.ID;
    EXPECT_TRUE(picture.Name.empty());
    EXPECT_TRUE(picture.Data.Empty());
    const TPictureSettings* settings = p.FindPictureSettings(picture.ID);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->NumPiecesMin, 0);
    EXPECT_EQ(settings->NumPiecesMax, 50);
    EXPECT_EQ(settings->PrepareGame, 0);
  }
  for (int i = 0; i < 50; ++i) {
    const TBMPData& wallpaper = p.AddPicture(1);
    EXPECT_TRUE(IsWallpaperId(wallpaper.ID));
    EXPECT_LT(wallpaper.ID, 0x80000000u);
    EXPECT_TRUE(seen.insert(wallpaper.ID).second);
    const TWallpaperEntry& entry = p.Wallpapers.back();
    EXPECT_EQ(entry.ID, wallpaper.ID);
    EXPECT_EQ(entry.Param, 7);
    EXPECT_EQ(entry.Param2, 9);
    EXPECT_EQ(p.FindPictureSettings(wallpaper.ID), nullptr);
  }
  EXPECT_EQ(p.PictureCount(), 200);
  EXPECT_EQ(p.WallpaperCount(), 50);
  EXPECT_EQ(p.PictureSettings.size(), 200u);
  EXPECT_EQ(p.Wallpapers.size(), 50u);

  // A given id is kept as it is.
  EXPECT_EQ(p.AddPicture(0, 70000).ID, 70000u);
  EXPECT_EQ(p.NewPictureId(2), 0u);
  EXPECT_EQ(p.NewPictureId(-1), 0u);
}

TEST(PackageModel, NewPictureIdFindsTheLastFreeIdAndRefusesAFullClass) {
  TJigsawProject2 p;
  for (uint32_t id = 1; id <= 65535; ++id)
    if (id != 4242) p.Pictures.push_back(std::make_unique<TBMPData>(TBMPData{id, {}, {}, 0}));
  EXPECT_EQ(p.NewPictureId(0), 4242u);
  p.Pictures.push_back(std::make_unique<TBMPData>(TBMPData{4242, {}, {}, 0}));
  EXPECT_THROW(p.NewPictureId(0), EExecDataError);
  // Wallpaper ids are another class: still free.
  EXPECT_TRUE(IsWallpaperId(p.NewPictureId(1)));
}

TEST(PackageModel, IdClasses) {
  struct Case {
    uint32_t id;
    bool picture, wallpaper;
  };
  for (const Case c : {Case{0, true, false}, Case{1, true, false}, Case{65535, true, false},
                       Case{65536, false, true}, Case{65537, false, false}, Case{0x7FFF0000, false, true}}) {
    EXPECT_EQ(IsPictureId(c.id), c.picture) << c.id;
    EXPECT_EQ(IsWallpaperId(c.id), c.wallpaper) << c.id;
  }
}

TEST(PackageModel, FindPictureSettingsReturnsTheFirstMatch) {
  TJigsawProject2 p;
  p.PictureSettings = {{5, 1, 2, 0, 0}, {6, 3, 4, 0, 0}, {5, 7, 8, 0, 0}};
  ASSERT_NE(p.FindPictureSettings(5), nullptr);
  EXPECT_EQ(p.FindPictureSettings(5)->NumPiecesMin, 1);
  EXPECT_EQ(p.FindPictureSettings(6)->NumPiecesMax, 4);
  EXPECT_EQ(p.FindPictureSettings(99), nullptr);
  const TJigsawProject2& constant = p;
  EXPECT_EQ(constant.FindPictureSettings(6), &p.PictureSettings[1]);
}

TEST(PackageModel, NewEntriesGetFreshIdsAndDefaults) {
  TJigsawProject2 p;
  for (int i = 0; i < 20; ++i) {
    std::unique_ptr<TSkinEntry> skin = p.NewSkin();
    EXPECT_NE(skin->ID, 0u);
    EXPECT_EQ(skin->SkinMode, 15);
    EXPECT_TRUE(skin->Data.Empty());
    EXPECT_EQ(skin->Reserved, 0);
    EXPECT_TRUE(skin->ButtonIds.empty());
    EXPECT_EQ(skin->Area, (std::array<int32_t, 5>{}));
    EXPECT_EQ(skin->Reserved2, 0);
    for (const auto& other : p.Skins) EXPECT_NE(other->ID, skin->ID);
    p.Skins.push_back(std::move(skin));

    std::unique_ptr<TButtonScript> script = p.NewButtonScript();
    EXPECT_NE(script->ID, 0u);
    EXPECT_EQ(script->OwnerID, 0u);
    EXPECT_EQ(script->Script.ID, 0);
    EXPECT_EQ(script->Reserved, 0);
    for (const auto& other : p.ButtonScripts) EXPECT_NE(other->ID, script->ID);
    p.ButtonScripts.push_back(std::move(script));
  }
  EXPECT_EQ(p.Skins.size(), 20u); // NewSkin does not add to the list by itself

  TMenuExRec& popup = p.AddMenu("Solve", "&Solve", p.Menus, 1, 21, 0, false);
  EXPECT_EQ(p.Menus.back().get(), &popup);
  EXPECT_EQ(popup.MenuNumber, 1);
  EXPECT_EQ(popup.Visible, 0);
  EXPECT_EQ(popup.Script.ID, 21);
  TMenuExRec& child = p.AddMenu("Sub", "Sub", popup.Children, 1, -1, popup.ID, true);
  EXPECT_EQ(child.ParentID, popup.ID);
  std::vector<uint32_t> ids;
  CollectIds(p.Menus, ids);
  EXPECT_EQ(std::set<uint32_t>(ids.begin(), ids.end()).size(), ids.size());
}

TEST(PackageModel, PictureCutScaleFollowsThePictureRange) {
  TJigsawProject2 p;
  p.PieceScale = 5;
  p.PictureSettings = {{1, 0, 50, 0, 0},  {2, 51, 100, 0, 0}, {3, 150, 300, 0, 0}, {4, 1, 40, 0, 0},
                       {5, 10, 40, 0, 0}, {6, 120, 1, 0, 0},  {7, 2, 2, 0, 0}};
  struct Case {
    uint32_t id;
    TPictureCutScale expected;
  };
  for (const Case& c :
       {Case{1, {false, 4.0, 0, 50}}, Case{2, {true, 3.0, 51, 100}}, Case{3, {true, 2.0, 150, 300}},
        Case{4, {false, 5.0, 1, 40}}, Case{5, {true, 5.0, 10, 40}}, Case{6, {false, 2.0, 120, 1}},
        Case{7, {true, 5.0, 2, 2}}, Case{99, {false, 5.0, 0, 0}}})
    EXPECT_EQ(p.PictureCutScale(c.id), c.expected) << c.id;
}

// The picture's own range decides; the package-wide range only when no picture has one.
TEST(PackageModel, DifficultyIndexFollowsTheRanges) {
  TJigsawProject2 p;
  p.PictureSettings = {{1, 0, 24, 0, 0},    {2, 25, 50, 0, 0},   {3, 51, 100, 0, 0}, {4, 101, 150, 0, 0},
                       {5, 151, 200, 0, 0}, {6, 201, 999, 0, 0}, {7, 0, 50, 0, 0},   {8, 101, 160, 0, 0}};
  const std::pair<uint32_t, int> byPicture[] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4},
                                                {6, 5}, {7, 0}, {8, 0}, {99, 0}};
  for (const auto& [id, difficulty] : byPicture) EXPECT_EQ(p.DifficultyIndex(id), difficulty) << id;

  TJigsawProject2 wide;
  const std::array<std::array<int32_t, 3>, 7> byPackage = {
      {{0, 24, 0}, {25, 50, 1}, {50, 100, 2}, {101, 150, 3}, {151, 200, 4}, {201, 500, 5}, {0, 50, 5}}};
  for (const auto& [min, max, difficulty] : byPackage) {
    wide.NumPiecesMin = min;
    wide.NumPiecesMax = max;
    EXPECT_EQ(wide.DifficultyIndex(1), difficulty) << min << "-" << max;
  }
}

TEST(PackageModel, SkinModeAreaPicksTheAreaOfTheLayout) {
  TJigsawProject2 p;
  p.BoardArea = {1, 2, 640, 480, 0};
  auto skin = p.NewSkin();
  skin->Area = {0, 0, 800, 600, 0};
  p.Skins.push_back(std::move(skin));
  struct Case {
    int16_t mode;
    int32_t index;
    TAreaSize expected;
  };
  for (const Case& c :
       {Case{15, 0, {640, 480}}, Case{20, 0, {640, 480}}, Case{49, 0, {640, 480}}, Case{19, 0, {800, 600}},
        Case{19, 1, {}}, Case{19, -1, {}}, Case{0, 0, {}}, Case{50, 0, {}}}) {
    p.SkinMode = c.mode;
    p.SkinIndex = c.index;
    EXPECT_EQ(p.SkinModeArea(), c.expected) << c.mode << " " << c.index;
  }
}

TEST(PackageModel, AssignKeepsTheDestinationsPicturesFirst) {
  TJigsawProject2 source;
  source.Title = "Source";
  TBMPData& a = source.AddPicture(0, 11);
  a.Data = TMemoryStream({1, 2, 3});
  TBMPData& b = source.AddPicture(1, 0x20000);
  b.Data = TMemoryStream({4});

  TJigsawProject2 destination;
  TBMPData& old = destination.AddPicture(0, 99);
  old.Name = "old";
  old.Data = TMemoryStream({9});
  destination.Assign(source);

  ASSERT_EQ(destination.Pictures.size(), 3u);
  EXPECT_EQ(destination.Pictures[0]->ID, 99u);
  EXPECT_EQ(destination.Pictures[0]->Name, "old");
  EXPECT_EQ(destination.Pictures[1]->ID, 11u);
  EXPECT_EQ(destination.Pictures[1]->Data.Bytes(), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(destination.Pictures[2]->ID, 0x20000u);
  EXPECT_EQ(destination.Title, "Source");
  // The lists come from the source only.
  ASSERT_EQ(destination.PictureSettings.size(), 1u);
  EXPECT_EQ(destination.PictureSettings[0].PictureID, 11u);
  EXPECT_EQ(destination.PictureCount(), 2);
  EXPECT_EQ(destination.WallpaperCount(), 1);

  // Assigning a model to itself changes nothing.
  source.Assign(source);
  EXPECT_EQ(source.Pictures.size(), 2u);
}

namespace {

class PackageClipboard : public ::testing::Test {
protected:
  void SetUp() override {
    auto clipboard = std::make_unique<THeadlessClipboard>();
    Board = clipboard.get();
    SetClipboard(std::move(clipboard));
  }
  void TearDown() override { SetClipboard(nullptr); }
  THeadlessClipboard* Board = nullptr;
};

} // namespace

TEST_F(PackageClipboard, CopyAndPasteCarryThePackage) {
  TJigsawProject2 source;
  source.Title = "On the clipboard";
  source.AddPicture(0, 7).Data = TMemoryStream({0xFF, 0xD8});
  source.CopyToClipboard();
  ASSERT_TRUE(Board->HasFormat("KorvanePRJX"));

  TJigsawProject2 copy;
  copy.PasteFromClipboard();
  EXPECT_EQ(copy.Title, "On the clipboard");
  ASSERT_EQ(copy.Pictures.size(), 1u);
  EXPECT_EQ(copy.Pictures[0]->ID, 7u);
  EXPECT_EQ(copy.Pictures[0]->Data.Bytes(), (std::vector<uint8_t>{0xFF, 0xD8}));
}

TEST_F(PackageClipboard, PasteWithoutThePackageFormatChangesNothing) {
  Board->SetData("text/plain", {'h', 'i'});
  TJigsawProject2 p;
  p.Title = "Unchanged";
  p.PasteFromClipboard();
  EXPECT_EQ(p.Title, "Unchanged");
  EXPECT_EQ(p.EventSounds.size(), 10u);
  EXPECT_EQ(p.Menus.size(), 2u);
}

TEST_F(PackageClipboard, AFailedCopyRaisesTheClipboardError) {
  Board->FailNextSet = true;
  TJigsawProject2 p;
  try {
    p.CopyToClipboard();
    FAIL() << "no error";
  } catch (const EExecDataError& e) {
    EXPECT_STREQ(e.what(), "Unable to copy data to clipboard");
  }
  EXPECT_FALSE(Board->HasFormat("KorvanePRJX"));
}

// A clipboard that raises instead of answering false: the player's message, with the cause kept behind it.
TEST(PackageClipboardError, ARaisingClipboardKeepsItsCause) {
  struct TRaisingClipboard : THeadlessClipboard {
    bool SetData(const std::string&, const std::vector<uint8_t>&) override {
      throw std::runtime_error("display connection lost");
    }
  };
  SetClipboard(std::make_unique<TRaisingClipboard>());
  TJigsawProject2 p;
  std::string message, cause;
  try {
    p.CopyToClipboard();
  } catch (const EExecDataError& e) {
    message = e.what();
    try {
      std::rethrow_if_nested(e);
    } catch (const std::runtime_error& inner) {
      cause = inner.what();
    }
  }
  SetClipboard(nullptr);
  EXPECT_EQ(message, "Unable to copy data to clipboard");
  EXPECT_EQ(cause, "display connection lost");
}

TEST_F(PackageClipboard, PastingADamagedPackageRaisesTheReadError) {
  Board->SetData("KorvanePRJX", {1, 2, 3, 4, 5, 6, 7, 8, 9});
  TJigsawProject2 p;
  EXPECT_THROW(p.PasteFromClipboard(), EReadError);
}

namespace {

std::unique_ptr<TMenuExRec> MenuNode(uint32_t id, const std::string& caption) {
  auto node = std::make_unique<TMenuExRec>();
  node->ID = id;
  node->Caption = caption;
  return node;
}

// Game > Play > Level, each node a fresh object.
TMenuList MenuTree() {
  auto level = MenuNode(3, "Level");
  level->Script.ID = 14;
  level->Script.Parameter.AddInteger(2);
  auto play = MenuNode(2, "Play");
  play->Children.push_back(std::move(level));
  TMenuList tree;
  tree.push_back(MenuNode(1, "Game"));
  tree[0]->Children.push_back(std::move(play));
  return tree;
}

} // namespace

TEST(PackageModel, MenuTreesAreEqualNodeByNodeDownToTheLeaves) {
  const TMenuList a = MenuTree();
  EXPECT_TRUE(EqualItems(a, MenuTree()));

  const std::vector<std::pair<const char*, std::function<void(TMenuExRec & leaf)>>> changes = {
      {"Reserved", [](TMenuExRec& leaf) { leaf.Reserved = 1; }},
      {"Visible", [](TMenuExRec& leaf) { leaf.Visible = 0; }},
      {"script parameter", [](TMenuExRec& leaf) { leaf.Script.Parameter.AddInteger(0); }},
      {"one more child", [](TMenuExRec& leaf) { leaf.Children.push_back(MenuNode(4, "Extra")); }},
  };
  for (const auto& [what, change] : changes) {
    TMenuList b = MenuTree();
    change(*b[0]->Children[0]->Children[0]);
    EXPECT_FALSE(EqualItems(a, b)) << what;
    EXPECT_FALSE(*a[0] == *b[0]) << what;
  }

  // A missing entry equals only a missing entry.
  TMenuList holes = MenuTree();
  holes.push_back(nullptr);
  TMenuList filled = MenuTree();
  filled.push_back(MenuNode(5, "Help"));
  EXPECT_FALSE(EqualItems(holes, filled));
  EXPECT_FALSE(EqualItems(filled, holes));
  TMenuList alsoHoles = MenuTree();
  alsoHoles.push_back(nullptr);
  EXPECT_TRUE(EqualItems(holes, alsoHoles));
}

TEST(PackageModel, RecordsWithStreamsCompareTheirBytes) {
  TImageButton a;
  for (std::size_t i = 0; i < 4; ++i) a.Images[i] = TMemoryStream(std::vector<uint8_t>{uint8_t(i), 9});
  TImageButton b = a;
  b.Images[3].Seek(0, TSeekOrigin::soEnd);
  EXPECT_TRUE(a == b);
  b.Images[3].Bytes()[1] = 8;
  EXPECT_FALSE(a == b);

  TPreparedGame game{2, 1, TMemoryStream(std::vector<uint8_t>(80, 1))};
  TPreparedGame other = game;
  EXPECT_TRUE(game == other);
  other.Pieces.Bytes()[79] = 0;
  EXPECT_FALSE(game == other);
}
