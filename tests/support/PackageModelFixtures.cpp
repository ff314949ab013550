#include "support/PackageModelFixtures.h"

#include "data/PackageFixture.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "gui/uPictureConverters.h"

#include <array>
#include <memory>
#include <vector>

using namespace kv;

namespace kvtest {

namespace {

TMemoryStream Blob(std::vector<uint8_t> bytes) {
  return TMemoryStream(std::move(bytes));
}

std::vector<uint8_t> Pattern(std::size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

using TIdPair = std::array<uint32_t, 2>;

} // namespace

std::string PublishedXmlText(const std::string& line) {
  TMemoryStream plain(std::vector<uint8_t>(line.begin(), line.end()));
  TMemoryStream packed;
  TKVStreamFunc::CompressStream(plain, packed);
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><TJigsawProject2><Name>Game</Name><Tag>0</Tag>"
         "<Language>" +
         TKVStreamFunc::EncodeBase64(packed) + "</Language></TJigsawProject2>";
}

// Each field is given both its values, the varied one first. The pinned filling draws nothing before its
// grouped action takes its id from the seeded source; every other id it sets itself.
void FillEveryRecord(TJigsawProject2& p, TModelFilling filling) {
  const bool pinned = filling == TModelFilling::Pinned;
  const auto pick = [pinned](auto varied, auto fixed) { return pinned ? fixed : varied; };
  using TBytes = std::vector<uint8_t>;

  if (pinned) p.Random().Seed(20240611);
  p.Title = pick("Full \x80 Game", "Pinned \xE9t\xE9 \x80");

  const TIdPair pictureIds = pick(TIdPair{11, 12}, TIdPair{301, 302});
  const std::array<TBytes, 2> pictureData =
      pick(std::array<TBytes, 2>{TBytes{0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3}, TBytes{0xFF, 0xD8, 9}},
           std::array<TBytes, 2>{Pattern(100, 0), Pattern(137, 1)});
  for (std::size_t i = 0; i < 2; ++i) {
    TBMPData& picture = p.AddPicture(0, pictureIds[i]);
    picture.Name = pinned ? "Picture" + std::to_string(i) : i == 0 ? "Lake" : "Hills";
    picture.Data = Blob(pictureData[i]);
  }
  p.PictureSettings[1] = pick(TPictureSettings{12, 60, 120, 1, 0}, TPictureSettings{302, 0, 96, 1, 0});
  TBMPData& wallpaper = p.AddPicture(1, pick(0x00050000u, 0x00020000u));
  wallpaper.Name = "Wood";
  wallpaper.Data = Blob(pick(TBytes{0xFF, 0xD8, 7, 7}, Pattern(50, 9)));
  p.Wallpapers[0].Param = pick(3, 2);
  p.Wallpapers[0].Param2 = pick(4, 1);

  const TIdPair soundIds = pick(TIdPair{5, 512}, TIdPair{1, 768});
  for (const uint32_t id : soundIds) {
    auto sound = std::make_unique<TWaveData>();
    sound->ID = id;
    sound->Name = "sound" + std::to_string(id) + pick("", ".wav");
    sound->Data = Blob(pick(TBytes{'R', 'I', 'F', 'F', static_cast<uint8_t>(id)}, Pattern(40 + id % 7, 3)));
    p.Sounds.push_back(std::move(sound));
  }
  if (pinned) {
    p.EventSounds[2].SoundIds = {1, 768};
  } else {
    p.EventSounds[0].SoundIds = {512};
    p.EventSounds[9].SoundIds = {5, 512};
  }
  p.SoundFormats =
      pick(std::vector<TSoundFormat>{{5, 1}, {512, 2}, {9, 4}}, std::vector<TSoundFormat>{{1, 1}, {768, 2}});

  p.PreparedGame.Columns = pick(3, 2);
  p.PreparedGame.Rows = 2;
  p.PreparedGame.Pieces = Blob(pick(TBytes(6 * 40, 0x42), Pattern(4 * 40, 5)));
  auto prepared = std::make_unique<TPreparedPictureGame>();
  prepared->PictureID = pictureIds[1];
  prepared->Columns = pick(2, 3);
  prepared->Rows = 1;
  prepared->Pieces = Blob(pick(TBytes(2 * 40, 0x24), Pattern(3 * 40, 6)));
  p.PreparedGames.push_back(std::move(prepared));

  p.PieceScale = pick(6, 5);
  p.CutOption = pick(2, 1);
  p.PreparedFlag = 1;
  p.PreparedColor = pick(0x00C0FFEE, 0x00123456);
  p.NumPiecesMin = pick(20, 12);
  p.NumPiecesMax = pick(80, 70);
  p.PictureChoiceMode = pick(2, 1);
  p.Countdown = 1;
  p.CountdownSeconds = pick(600, 420);
  p.EmbedPreparedGame = pick(1, 0);
  p.SkinMode = pick(19, 17);
  p.LegacySkinData = Blob(pick(TBytes{'L', 'S'}, Pattern(12, 11)));
  p.ThumbnailColumns = pick(7, 4);
  p.ThumbnailRows = pick(5, 3);
  p.Thumbnail = Blob(pick(TinyBmp(4, 3), Pattern(60, 13)));

  const TIdPair buttonIds = pick(TIdPair{101, 102}, TIdPair{401, 402});
  for (const uint32_t id : buttonIds) {
    auto button = std::make_unique<TImageButton>();
    button->ID = id;
    button->Left = pick(10, 7);
    button->Top = pick(20, 8);
    button->Width = 1;
    button->Height = pick(1, 2);
    for (std::size_t i = 0; i < 4; ++i)
      button->Images[i] =
          Blob(pick(TBytes{static_cast<uint8_t>(i), 1, 2, 255}, Pattern(8, static_cast<uint8_t>(id + i))));
    button->Action = pick(14, 9);
    button->Reserved = pick(8, 1);

    auto script = std::make_unique<TButtonScript>();
    script->ID = pinned ? id + 100 : p.NewButtonScriptId();
    script->OwnerID = id;
    script->Script.ID = button->Action;
    script->Script.Parameter.AddInteger(pick(1, static_cast<int32_t>(id)));
    script->Reserved = pick(3, 2);
    p.Buttons.push_back(std::move(button));
    p.ButtonScripts.push_back(std::move(script));
  }
  for (int i = 0; i < pick(2, 1); ++i) {
    auto skin = std::make_unique<TSkinEntry>();
    skin->ID = pinned ? 601 : p.NewSkinId();
    skin->SkinMode = static_cast<int16_t>(pick(19 + i, 18));
    skin->Data = Blob(pick(TBytes{'s', static_cast<uint8_t>(i)}, Pattern(20, 17)));
    skin->Reserved = pick(2, 3);
    skin->ButtonIds = {buttonIds[0], buttonIds[1]};
    skin->Area = pick(std::array<int32_t, 5>{1, 2, 800, 600, 5}, std::array<int32_t, 5>{4, 5, 640, 480, 0});
    skin->Reserved2 = 6;
    p.Skins.push_back(std::move(skin));
  }
  p.BoardArea = pick(std::array<int32_t, 5>{1, 2, 640, 480, 0}, std::array<int32_t, 5>{10, 20, 600, 400, 0});
  p.WallpaperParam = pick(9, 4);
  p.Icon = Blob(pick(TBytes{0, 0, 1, 0, 1, 0}, Pattern(22, 19)));
  p.SoundOn = pick(0, 1);
  p.WindowPosition = pick(2, 1);

  for (int i = 0; i < pick(2, 1); ++i) {
    auto group = std::make_unique<TActionGroup>(p.Random());
    group->Caption = pinned ? std::string("Group") : "Group" + std::to_string(i);
    TActionItem& action = group->AddAction();
    action.Caption = pick("Action", "Open page");
    action.AddScript().ID = 13;
    action.Scripts(0).AddText(pick("page.htm,300,200", "page.htm,320,200"));
    p.ActionGroups.push_back(std::move(group));
  }

  uint32_t nextMenuId = 801;
  const auto addNode = [&](TMenuList& list, uint32_t parent, const std::string& caption,
                           int32_t action) -> TMenuExRec& {
    if (!pinned) return p.AddMenu(caption + "Name", caption, list, 0, action, parent, true);
    auto node = std::make_unique<TMenuExRec>();
    node->ID = nextMenuId++;
    node->ParentID = parent;
    node->Name = caption + "Name";
    node->Caption = caption;
    node->Script.ID = action;
    list.push_back(std::move(node));
    return *list.back();
  };
  p.Menus.clear();
  TMenuExRec& game = addNode(p.Menus, 0, "&Game", 0);
  TMenuExRec& play = addNode(game.Children, game.ID, "&Play", 14);
  play.Script.Parameter.AddInteger(2);
  play.Reserved = pick(77, 5);
  if (pinned) {
    addNode(game.Children, game.ID, "-", -1);
  } else {
    TMenuExRec& more = addNode(game.Children, game.ID, "More", -1);
    addNode(more.Children, more.ID, "-", -1);
  }
  TMenuExRec& popup = addNode(p.Menus, 0, pick("Popup", "Solve"), pick(21, 9));
  popup.MenuNumber = 1;
  popup.Visible = 0;

  p.StartWallpaperIndex = 2;
  p.StartSkinIndex = pick(1, 0);
  p.SelectionStored = !pinned;
  p.PictureCuts = {{pictureIds[0], {{0, 1, 2, 0}, {2, 0, 0, 1}}}, {pictureIds[1], {{3, 3, 3, 3}}}};
  p.UseStoredCuts = pick(0, 1);
  p.NoRotation = 1;
  p.PieceOption2 = pick(2, 0);
  p.OutlineOption = 1;

  auto clock = std::make_unique<TClockDisplay>();
  clock->ID = pick(201, 701);
  clock->SkinID = p.Skins[0]->ID;
  clock->Left = 1;
  clock->Top = 2;
  clock->Width = pick(80, 90);
  clock->Height = pick(20, 24);
  clock->Transparent = 1;
  clock->Reserved = pick(4, 0);
  clock->Background = 0x00FFEEDD;
  clock->FontColor = pick(static_cast<TColor>(0xFF000008), 0x00000080);
  clock->FontName = pick("Tahoma", "Verdana");
  clock->FontHeight = pick(-11, -12);
  clock->FontSize = pick(8, 9);
  clock->FontStyle = pick(3, 1);
  clock->Data = Blob(pick(TBytes{'c'}, Pattern(5, 23)));
  p.ClockDisplays.push_back(std::move(clock));

  for (int i = 0; i < pick(2, 1); ++i) {
    TBanner& banner = p.Banners.Add(p.Random());
    if (pinned) banner.ID = 901;
    banner.Name = pinned ? std::string("Visit") : "Banner" + std::to_string(i);
    banner.URL = pinned ? "https://example.org/" : i == 0 ? "http://example.org" : "";
    banner.Left = pick(3, 0);
    banner.Top = pick(4, 0);
    banner.Interval = pick(2000 + i, 2500);
    banner.TypeData = 1;
    banner.Data = Blob(pick(TinyBmp(5 + i, 2), Pattern(30, 29)));
    banner.SetEventID(i == 0 ? 11 : 3);
    // The pinned banner's bytes are no picture: its size stays 0.
    if (!pinned) banner.ComputeSize(ReadPictureSize);
  }
  TBannerContainer& container = p.BannerContainers.Add(p.Random());
  if (pinned) container.ID = 902;
  container.Name = "Top";
  container.SkinID = p.Skins[0]->ID;
  container.Left = pick(100, 0);
  container.Top = pick(5, 0);
  // Last banner first: the container's order is its own, not the list's.
  for (int32_t i = p.Banners.Count(); i-- > 0;) container.AddBanner(p.Banners.Items(i));

  p.StartActions.Caption = "Start";
  p.StartActions.AddScript().ID = pick(13, 14);
  p.ExitActions.AddScript().ID = 1;
  p.EndActions.AddScript().ID = pick(2, 5);
  p.EndActions.Scripts(0).AddText("bye");
  p.HtmlNameEntry = 1;
  p.ShowHighScoreTable = 1;
  p.NameEntryPage = pick("<html>ACT_CLOSE</html>", "<html>name</html>");
  p.NameEntryWidth = pick(320, 300);
  p.NameEntryHeight = pick(240, 200);

  p.Options = pick(TProjectOptions{true, true, true, false}, TProjectOptions{true, false, true, true});
  p.BevelLevel = pick(5, 4);
  p.PreviewScale = pick(6, 2);
  p.GhostMode = pick(3, 2);
  p.GhostAlpha = pick(128, 100);
  p.GhostColor = pick(0x102030, 0x00405060);
  p.HighScoreFileName = pick("Scores \xE9t\xE9.dat", "Pinned.dat");
  p.SkinData = Blob(pick(TBytes{'S', 'K', 1, 2}, Pattern(16, 31)));
  p.PieceShapeData = Blob({4, 0, 0, 0, 0x78, 0x9C, 0x03, 0x00});
  const std::string xml =
      pick(PublishedXmlText("quit=Really quit?"),
           std::string("<?xml version=\"1.0\"?><TJigsawProject2><Name>Pinned</Name></TJigsawProject2>"));
  p.PublishedXml = Blob(TBytes(xml.begin(), xml.end()));
  if (!pinned) p.ApplyPublishedXml();
}

} // namespace kvtest
