#include "PackageJson.h"

#include "Sha256.h"
#include "platform/uCp1252.h"

namespace kvtools {

using json = nlohmann::ordered_json;
using namespace kv;

json BlobJson(const TMemoryStream& blob) {
  return json{{"size", blob.Size()}, {"sha256", Sha256Hex(blob.Bytes())}};
}

json TextJson(const std::string& ansi) {
  return Cp1252ToUtf8(ansi);
}

namespace {

json ParameterJson(const TScriptParameter& parameter) {
  json list = json::array();
  for (int32_t i = 0; i < parameter.Count(); ++i) {
    const auto& entry = parameter.Entries(static_cast<std::size_t>(i));
    json e{{"kind", entry.Kind}, {"size", entry.Data.size()}};
    if (entry.Kind == kParamInteger && entry.Data.size() == 4)
      e["integer"] = entry.AsInteger();
    else if (entry.Kind == kParamText)
      e["text"] = TextJson(entry.AsText());
    else
      e["sha256"] = Sha256Hex(entry.Data);
    list.push_back(std::move(e));
  }
  return list;
}

json MenuJson(const TMenuList& menus) {
  json list = json::array();
  for (const auto& node : menus) {
    list.push_back(json{{"id", node->ID},
                        {"parentId", node->ParentID},
                        {"menuNumber", node->MenuNumber},
                        {"name", TextJson(node->Name)},
                        {"caption", TextJson(node->Caption)},
                        {"visible", node->Visible},
                        {"script", ScriptItemJson(node->Script)},
                        {"reserved", node->Reserved},
                        {"children", MenuJson(node->Children)}});
  }
  return list;
}

const char* PictureKind(uint32_t id) {
  if (IsPictureId(id)) return "picture";
  if (IsWallpaperId(id)) return "wallpaper";
  return "other";
}

json StringList(const std::vector<std::string>& lines) {
  json list = json::array();
  for (const auto& line : lines) list.push_back(TextJson(line));
  return list;
}

json BannerJson(const TBanner& banner) {
  return json{{"id", banner.ID},
              {"name", TextJson(banner.Name)},
              {"url", TextJson(banner.URL)},
              {"left", banner.Left},
              {"top", banner.Top},
              {"eventId", banner.EventID()},
              {"interval", banner.Interval},
              {"typeData", banner.TypeData},
              {"width", banner.Width()},
              {"height", banner.Height()},
              {"script", ScriptItemJson(banner.Script())},
              {"data", BlobJson(banner.Data)}};
}

} // namespace

json ScriptItemJson(const TScriptItem& item) {
  return json{{"id", item.ID}, {"parameters", ParameterJson(item.Parameter)}};
}

json ActionItemJson(const TActionItem& action) {
  json scripts = json::array();
  for (int32_t i = 0; i < action.ScriptCount(); ++i)
    scripts.push_back(ScriptItemJson(action.Scripts(static_cast<std::size_t>(i))));
  return json{{"id", action.ID()}, {"caption", TextJson(action.Caption)}, {"scripts", scripts}};
}

json ProjectJson(const TJigsawProject2& p) {
  json j;
  j["title"] = TextJson(p.Title);

  j["options"] = json{{"noHighScores", p.Options.NoHighScores},
                      {"noDragMode", p.Options.NoDragMode},
                      {"showGhost", p.Options.ShowGhost},
                      {"showPreview", p.Options.ShowPreview}};
  j["settings"] = json{{"bevelLevel", p.BevelLevel},
                       {"previewScale", p.PreviewScale},
                       {"outlineColor", p.OutlineColor},
                       {"ghostMode", p.GhostMode},
                       {"ghostAlpha", p.GhostAlpha},
                       {"ghostColor", p.GhostColor},
                       {"highScoreFileName", TextJson(p.HighScoreFileName)},
                       {"pieceScale", p.PieceScale},
                       {"cutOption", p.CutOption},
                       {"preparedFlag", p.PreparedFlag},
                       {"preparedColor", p.PreparedColor},
                       {"pictureChoiceMode", p.PictureChoiceMode},
                       {"countdown", p.Countdown},
                       {"countdownSeconds", p.CountdownSeconds},
                       {"numPiecesMin", p.NumPiecesMin},
                       {"numPiecesMax", p.NumPiecesMax},
                       {"embedPreparedGame", p.EmbedPreparedGame},
                       {"skinMode", p.SkinMode},
                       {"legacySkinExtension", p.LegacySkinExtension},
                       {"skinIndex", p.SkinIndex},
                       {"boardArea", p.BoardArea},
                       {"wallpaperParam", p.WallpaperParam},
                       {"wallpaperParam2", p.WallpaperParam2},
                       {"soundOn", p.SoundOn},
                       {"windowPosition", p.WindowPosition},
                       {"useStoredCuts", p.UseStoredCuts},
                       {"noRotation", p.NoRotation},
                       {"pieceOption2", p.PieceOption2},
                       {"outlineOption", p.OutlineOption},
                       {"startWallpaperIndex", p.StartWallpaperIndex},
                       {"startSkinIndex", p.StartSkinIndex},
                       {"selectionStored", p.SelectionStored},
                       {"htmlNameEntry", p.HtmlNameEntry},
                       {"showHighScoreTable", p.ShowHighScoreTable},
                       {"nameEntryPage", TextJson(p.NameEntryPage)},
                       {"nameEntryWidth", p.NameEntryWidth},
                       {"nameEntryHeight", p.NameEntryHeight},
                       {"pictureCount", p.PictureCount()},
                       {"wallpaperCount", p.WallpaperCount()}};

  j["thumbnail"] =
      json{{"columns", p.ThumbnailColumns}, {"rows", p.ThumbnailRows}, {"bitmap", BlobJson(p.Thumbnail)}};
  j["icon"] = BlobJson(p.Icon);
  j["pieceShapeData"] = BlobJson(p.PieceShapeData);
  j["skinData"] = BlobJson(p.SkinData);
  j["legacySkinData"] = BlobJson(p.LegacySkinData);

  json pictures = json::array();
  for (const auto& pic : p.Pictures)
    pictures.push_back(json{{"id", pic->ID},
                            {"kind", PictureKind(pic->ID)},
                            {"name", TextJson(pic->Name)},
                            {"data", BlobJson(pic->Data)},
                            {"extension", pic->Extension}});
  j["pictures"] = pictures;

  json settings = json::array();
  for (const auto& s : p.PictureSettings)
    settings.push_back(json{{"pictureId", s.PictureID},
                            {"numPiecesMin", s.NumPiecesMin},
                            {"numPiecesMax", s.NumPiecesMax},
                            {"prepareGame", s.PrepareGame},
                            {"extension", s.Extension}});
  j["pictureSettings"] = settings;

  json sounds = json::array();
  for (const auto& s : p.Sounds)
    sounds.push_back(json{{"id", s->ID},
                          {"name", TextJson(s->Name)},
                          {"data", BlobJson(s->Data)},
                          {"extension", s->Extension}});
  j["sounds"] = sounds;

  json slots = json::array();
  for (const auto& s : p.EventSounds)
    slots.push_back(json{{"slot", s.Slot}, {"soundIds", s.SoundIds}, {"extension", s.Extension}});
  j["eventSounds"] = slots;

  json formats = json::array();
  for (const auto& f : p.SoundFormats) formats.push_back(json{{"soundId", f.SoundID}, {"format", f.Format}});
  j["soundFormats"] = formats;

  j["preparedGame"] = json{{"columns", p.PreparedGame.Columns},
                           {"rows", p.PreparedGame.Rows},
                           {"pieces", BlobJson(p.PreparedGame.Pieces)}};
  json prepared = json::array();
  for (const auto& g : p.PreparedGames)
    prepared.push_back(json{{"pictureId", g->PictureID},
                            {"columns", g->Columns},
                            {"rows", g->Rows},
                            {"pieces", BlobJson(g->Pieces)},
                            {"extension", g->Extension}});
  j["preparedGames"] = prepared;

  json oldMenus = json::array();
  for (const auto& m : p.OldMenus)
    oldMenus.push_back(json{{"caption", TextJson(m.Caption)},
                            {"text2", TextJson(m.Text2)},
                            {"flag", m.Flag},
                            {"extension", m.Extension}});
  j["oldMenus"] = oldMenus;
  j["menus"] = MenuJson(p.Menus);

  json buttons = json::array();
  for (const auto& b : p.Buttons) {
    json images = json::array();
    for (const auto& image : b->Images) images.push_back(BlobJson(image));
    buttons.push_back(json{{"id", b->ID},
                           {"left", b->Left},
                           {"top", b->Top},
                           {"width", b->Width},
                           {"height", b->Height},
                           {"action", b->Action},
                           {"reserved", b->Reserved},
                           {"images", images}});
  }
  j["buttons"] = buttons;

  json skins = json::array();
  for (const auto& s : p.Skins)
    skins.push_back(json{{"id", s->ID},
                         {"skinMode", s->SkinMode},
                         {"data", BlobJson(s->Data)},
                         {"reserved", s->Reserved},
                         {"buttonIds", s->ButtonIds},
                         {"area", s->Area},
                         {"reserved2", s->Reserved2}});
  j["skins"] = skins;

  json wallpapers = json::array();
  for (const auto& w : p.Wallpapers)
    wallpapers.push_back(
        json{{"id", w.ID}, {"param", w.Param}, {"param2", w.Param2}, {"extension", w.Extension}});
  j["wallpapers"] = wallpapers;

  json groups = json::array();
  for (const auto& g : p.ActionGroups) {
    json actions = json::array();
    for (int32_t i = 0; i < g->ActionCount(); ++i)
      actions.push_back(ActionItemJson(g->Actions(static_cast<std::size_t>(i))));
    groups.push_back(json{{"caption", TextJson(g->Caption)}, {"actions", actions}});
  }
  j["actionGroups"] = groups;
  j["startActions"] = ActionItemJson(p.StartActions);
  j["exitActions"] = ActionItemJson(p.ExitActions);
  j["endActions"] = ActionItemJson(p.EndActions);

  json cuts = json::array();
  for (const auto& c : p.PictureCuts) {
    json pieces = json::array();
    for (const auto& e : c.Pieces) pieces.push_back(e);
    cuts.push_back(json{{"pictureId", c.PictureID}, {"pieces", pieces}});
  }
  j["pictureCuts"] = cuts;

  json clocks = json::array();
  for (const auto& c : p.ClockDisplays)
    clocks.push_back(json{{"id", c->ID},
                          {"skinId", c->SkinID},
                          {"left", c->Left},
                          {"top", c->Top},
                          {"width", c->Width},
                          {"height", c->Height},
                          {"transparent", c->Transparent},
                          {"reserved", c->Reserved},
                          {"background", c->Background},
                          {"fontColor", c->FontColor},
                          {"fontName", TextJson(c->FontName)},
                          {"fontHeight", c->FontHeight},
                          {"fontSize", c->FontSize},
                          {"fontStyle", c->FontStyle},
                          {"data", BlobJson(c->Data)}});
  j["clockDisplays"] = clocks;

  json buttonScripts = json::array();
  for (const auto& s : p.ButtonScripts)
    buttonScripts.push_back(json{{"id", s->ID},
                                 {"ownerId", s->OwnerID},
                                 {"script", ScriptItemJson(s->Script)},
                                 {"reserved", s->Reserved}});
  j["buttonScripts"] = buttonScripts;

  json banners = json::array();
  for (int32_t i = 0; i < p.Banners.Count(); ++i) banners.push_back(BannerJson(*p.Banners.Items(i)));
  j["banners"] = banners;
  json containers = json::array();
  for (int32_t i = 0; i < p.BannerContainers.Count(); ++i) {
    const TBannerContainer& c = *p.BannerContainers.Items(i);
    json ids = json::array();
    for (int32_t k = 0; k < c.Count(); ++k) ids.push_back(c.Item(k)->ID);
    containers.push_back(json{{"id", c.ID},
                              {"name", TextJson(c.Name)},
                              {"skinId", c.SkinID},
                              {"left", c.Left},
                              {"top", c.Top},
                              {"width", c.Width()},
                              {"height", c.Height()},
                              {"bannerIds", ids}});
  }
  j["bannerContainers"] = containers;

  j["published"] = json{{"name", TextJson(p.Name)},
                        {"tag", p.Tag},
                        {"splash2", BlobJson(p.Splash2.Bytes())},
                        {"about2", BlobJson(p.About2.Bytes())},
                        {"icon2", BlobJson(p.Icon2.Bytes())},
                        {"language", StringList(p.Language)},
                        {"xml", BlobJson(p.PublishedXml)}};
  return j;
}

} // namespace kvtools
