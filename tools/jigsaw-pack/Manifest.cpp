#include "Manifest.h"

#include "SoundCheck.h"
#include "core/uKVErrors.h"
#include "data/uKVProjectReflection.h"
#include "gui/uJpegCodec.h"
#include "gui/uPictureConverters.h"
#include "platform/uCp1252.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <span>
#include <unordered_set>

namespace kvtools {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;
using namespace kv;

EManifestError::EManifestError(const std::string& key, const std::string& what)
    : kv::Exception(key.empty() ? what : key + ": " + what), FKey(key) {}

namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int kMaxMenuDepth = 16;
constexpr std::size_t kMaxNesting = 100;

[[noreturn]] void Fail(const std::string& key, const std::string& what) {
  throw EManifestError(key, what);
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Index(const std::string& key, std::size_t i) {
  return key + "[" + std::to_string(i) + "]";
}

// One JSON object of the manifest. Keys outside the allowed set are errors, so that a misspelt key is caught
// instead of silently giving a default.
class TObject {
public:
  TObject(const json& j, std::string path, std::initializer_list<const char*> allowed) : J(j), Path(path) {
    if (!j.is_object()) Fail(Path.empty() ? "(top level)" : Path, "must be an object");
    for (const char* key : allowed) Allowed.insert(key);
    for (const auto& item : j.items())
      if (!Allowed.contains(item.key())) Fail(Key(item.key()), "unknown key");
  }

  const json* Find(const std::string& key) const {
    const auto it = J.find(key);
    return it == J.end() ? nullptr : &*it;
  }
  const json& Need(const std::string& key) const {
    const json* value = Find(key);
    if (!value) Fail(Key(key), "missing");
    return *value;
  }
  std::string Key(const std::string& key) const { return Path.empty() ? key : Path + "." + key; }

private:
  const json& J;
  std::string Path;
  std::set<std::string> Allowed;
};

constexpr const char* kNotCp1252 = "has characters that Windows-1252 cannot hold";

// The Windows-1252 form of a text, if it has one. The conversion turns characters without a form into '?':
// only an exact way back is a text the package can hold.
std::optional<std::string> Cp1252Form(const std::string& utf8) {
  std::string ansi = Utf8ToCp1252(utf8);
  if (Cp1252ToUtf8(ansi) != utf8) return std::nullopt;
  return ansi;
}

std::string Ansi(const std::string& utf8, const std::string& key) {
  std::optional<std::string> ansi = Cp1252Form(utf8);
  if (!ansi) Fail(key, kNotCp1252);
  return std::move(*ansi);
}

// The name an entry takes from its file when the manifest gives none; key is the entry's "file".
std::string NameFromFile(const std::string& name, const std::string& key) {
  std::optional<std::string> ansi = Cp1252Form(name);
  if (!ansi)
    Fail(key,
         "the name " + Quoted(name) + " taken from the file " + kNotCp1252 + ": give the entry a \"name\"");
  return std::move(*ansi);
}

std::string Text(const json& v, const std::string& key) {
  if (!v.is_string()) Fail(key, "must be a string");
  return Ansi(v.get<std::string>(), key);
}

// A text the package keeps as one line (of the language list, or its title): a line break would split it
// into lines of its own, and a NUL would end it early.
std::string OneLine(const json& v, const std::string& key) {
  std::string text = Text(v, key);
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    Fail(key, "must be one line (no line breaks or NUL characters)");
  return text;
}

int64_t Integer(const json& v, const std::string& key, int64_t min, int64_t max) {
  if (!v.is_number_integer()) Fail(key, "must be an integer");
  if (v.is_number_unsigned() ? v.get<uint64_t>() > static_cast<uint64_t>(max) : v.get<int64_t>() > max)
    Fail(key, "must be between " + std::to_string(min) + " and " + std::to_string(max));
  const int64_t value = v.is_number_unsigned() ? static_cast<int64_t>(v.get<uint64_t>()) : v.get<int64_t>();
  if (value < min) Fail(key, "must be between " + std::to_string(min) + " and " + std::to_string(max));
  return value;
}

bool Flag(const json& v, const std::string& key) {
  if (!v.is_boolean()) Fail(key, "must be true or false");
  return v.get<bool>();
}

const json& Array(const json& v, const std::string& key) {
  if (!v.is_array()) Fail(key, "must be an array");
  return v;
}

// "#RRGGBB" or "system:N" as a platform colour ($00BBGGRR, or $FF0000nn for system colour n).
TColor Colour(const json& v, const std::string& key) {
  const std::string what = "must be a colour \"#RRGGBB\" or \"system:N\" (N 0..30)";
  if (!v.is_string()) Fail(key, what);
  const std::string text = v.get<std::string>();
  if (text.size() == 7 && text[0] == '#' && std::all_of(text.begin() + 1, text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
      })) {
    const auto rgb = static_cast<uint32_t>(std::stoul(text.substr(1), nullptr, 16));
    return static_cast<TColor>((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF));
  }
  if (text.starts_with("system:") && text.size() > 7 && text.size() <= 9 &&
      std::all_of(text.begin() + 7, text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int n = std::stoi(text.substr(7));
    if (n <= 30) return static_cast<TColor>(0xFF000000u | static_cast<uint32_t>(n));
  }
  Fail(key, what);
}

// ---- files

class TAssets {
public:
  TAssets(fs::path folder, std::vector<std::string>* files) : Folder(std::move(folder)), Files(files) {}

  // The bytes of the file a manifest path names, and the path as written.
  std::vector<uint8_t> Read(const json& v, const std::string& key, std::string* written = nullptr) const {
    if (!v.is_string()) Fail(key, "must be a file path (a string)");
    const std::string relative = v.get<std::string>();
    if (relative.empty()) Fail(key, "must be a file path, not empty");
    if (written) *written = relative;
    const fs::path path = Folder / fs::path(relative);
    std::error_code ec;
    if (!fs::exists(path, ec)) Fail(key, "file not found: " + Quoted(relative));
    if (!fs::is_regular_file(path, ec)) Fail(key, "not a file: " + Quoted(relative));
    if (Files) Files->push_back(path.string());
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) Fail(key, "cannot read " + Quoted(relative));
    if (bytes.empty()) Fail(key, "file is empty: " + Quoted(relative));
    return bytes;
  }

private:
  fs::path Folder;
  std::vector<std::string>* Files;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string FileStem(const std::string& relative) {
  return fs::path(relative).stem().string();
}
std::string FileName(const std::string& relative) {
  return fs::path(relative).filename().string();
}

// The decoder's reason without the prefix that names the format.
std::string Reason(const std::exception& e) {
  std::string text = e.what();
  for (const char* prefix : {"JPEG error: ", "Bitmap image is not valid: "})
    if (text.rfind(prefix, 0) == 0) return text.substr(std::char_traits<char>::length(prefix));
  return text;
}

// A picture stored turned upright is encoded anew; at this quality the loss does not show.
constexpr int UprightQuality = 95;

// A picture of the package is a JPEG file; a BMP file is converted. Every picture is decoded whole first: the
// player shows what it can of a damaged file, so a damaged file is refused here.
TMemoryStream PictureData(std::vector<uint8_t> bytes, const std::string& key, const std::string& file) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
    try {
      // The player shows pixels as stored, while every picture viewer turns a photo as its EXIF data says.
      if (CheckJpeg(bytes).Orientation != 1) return UprightJpeg(bytes, UprightQuality);
    } catch (const kv::Exception& e) {
      Fail(key, Quoted(file) + " is not a readable JPEG picture: " + Reason(e));
    }
    return TMemoryStream(std::move(bytes));
  }
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    try {
      return ConvertBmpToJpeg(TMemoryStream(std::move(bytes)));
    } catch (const kv::Exception& e) {
      Fail(key, Quoted(file) + " is not a readable BMP picture: " + Reason(e));
    }
  }
  Fail(key, Quoted(file) + " is not a JPEG or BMP picture");
}

// ---- commands and scripts

struct TCommandName {
  const char* Name;
  int32_t Number;
};

constexpr TCommandName kCommands[] = {
    {"openGame", 1},
    {"saveGame", 2},
    {"exit", 3},
    {"help", 4},
    {"about", 5},
    {"showPreview", 6},
    {"autoSolve", 7},
    {"sound", 8},
    {"selectSkin", 9},
    {"solveOnePiece", 10},
    {"runFileHidden", 11},
    {"highScores", 12},
    {"showPage", 13},
    {"playPicture", 14},
    {"newGame", 15},
    {"exitNoConfirm", 16},
    {"runFile", 17},
    {"none", 18},
    {"autoSolveNoConfirm", 19},
    {"stop", 20},
    {"savePicture", 21},
    {"makeGame", 22},
    {"changeDifficulty", 23},
    {"pause", 24},
    {"selectAll", 25},
    {"deselectAll", 26},
    {"ghost", 27},
    {"edgesOnly", 28},
};

// The events a sound plays on, by the slot of the package's event-sound list.
constexpr std::pair<const char*, int32_t> kEvents[] = {
    {"music", 0}, {"preview", 3}, {"timeUp", 5}, {"complete", 6}, {"snap", 7}, {"turn", 8}, {"pickUp", 9},
};

struct TContext {
  int32_t PictureCount = 0;
};

int32_t Command(const json& v, const std::string& key) {
  if (v.is_number_integer()) return static_cast<int32_t>(Integer(v, key, 1, 28));
  if (!v.is_string()) Fail(key, "must be a command name or number");
  const int32_t number = CommandNumber(v.get<std::string>());
  if (number == 0) Fail(key, "unknown command " + Quoted(v.get<std::string>()));
  return number;
}

// A script item: "command" and its "parameters" (integers and texts), checked against what the command reads.
void ReadScript(const TObject& o, TScriptItem& item, bool commandRequired, const TContext& context) {
  const json* command = commandRequired ? &o.Need("command") : o.Find("command");
  item.ID = command ? Command(*command, o.Key("command")) : -1;
  item.Parameter.Clear();
  const std::string key = o.Key("parameters");
  const json* parameters = o.Find("parameters");
  std::size_t count = 0;
  if (parameters) {
    Array(*parameters, key);
    count = parameters->size();
    for (std::size_t i = 0; i < count; ++i) {
      const json& p = (*parameters)[i];
      if (p.is_number_integer())
        item.Parameter.AddInteger(static_cast<int32_t>(Integer(p, Index(key, i), kInt32Min, kInt32Max)));
      else if (p.is_string())
        item.Parameter.AddText(Text(p, Index(key, i)));
      else
        Fail(Index(key, i), "must be an integer or a string");
    }
  }
  if (parameters && !command) Fail(key, "needs a command");
  switch (item.ID) {
  case 11:
  case 13:
  case 17:
    if (count != 1 || item.Parameter.Entries(0).Kind != kParamText) Fail(key, "must hold exactly one string");
    break;
  case 14: {
    if (count < 1 || item.Parameter.Entries(0).Kind != kParamInteger)
      Fail(key, "must begin with the number of the picture to play");
    const int32_t n = item.Parameter.Entries(0).AsInteger();
    if (n < 0 || n >= context.PictureCount)
      Fail(Index(key, 0), "picture " + std::to_string(n) + " does not exist (pictures are numbered 0 to " +
                              std::to_string(context.PictureCount - 1) + ")");
    break;
  }
  default:
    if (count != 0) Fail(key, "this command takes no parameters");
  }
}

// Start, end and exit actions: a list of script items, or {"caption", "scripts"}.
void ReadActions(const json& v, const std::string& key, TActionItem& action, const TContext& context) {
  const json* scripts = &v;
  std::string scriptsKey = key;
  if (v.is_object()) {
    const TObject o(v, key, {"caption", "scripts"});
    if (const json* caption = o.Find("caption")) action.Caption = Text(*caption, o.Key("caption"));
    scripts = &o.Need("scripts");
    scriptsKey = o.Key("scripts");
  } else if (!v.is_array()) {
    Fail(key, "must be an array of commands or an object with \"scripts\"");
  }
  Array(*scripts, scriptsKey);
  action.ClearScripts();
  for (std::size_t i = 0; i < scripts->size(); ++i) {
    const TObject o((*scripts)[i], Index(scriptsKey, i), {"command", "parameters"});
    ReadScript(o, action.AddScript(), true, context);
  }
}

// ---- menus

struct TMenuBuilder {
  const TContext& Context;
  uint32_t NextId = 1; // ids in manifest order: the same manifest gives the same package

  void ReadList(const json& v, const std::string& key, TMenuList& list, uint8_t menuNumber, uint32_t parentId,
                int depth) {
    Array(v, key);
    if (depth > kMaxMenuDepth)
      Fail(key, "submenus nest more than " + std::to_string(kMaxMenuDepth) + " deep");
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string itemKey = Index(key, i);
      auto node = std::make_unique<TMenuExRec>();
      node->ID = NextId++;
      node->ParentID = parentId;
      node->MenuNumber = menuNumber;
      node->Visible = 1;
      node->Script.ID = -1;
      const json& item = v[i];
      if (item.is_string()) {
        if (item.get<std::string>() != "-") Fail(itemKey, "must be a menu item object or \"-\"");
        node->Name = node->Caption = "-";
      } else {
        const TObject o(item, itemKey, {"caption", "name", "command", "parameters", "visible", "items"});
        node->Caption = Text(o.Need("caption"), o.Key("caption"));
        node->Name = node->Caption;
        if (const json* name = o.Find("name")) node->Name = Text(*name, o.Key("name"));
        if (const json* visible = o.Find("visible")) node->Visible = Flag(*visible, o.Key("visible")) ? 1 : 0;
        ReadScript(o, node->Script, false, Context);
        if (const json* items = o.Find("items"))
          ReadList(*items, o.Key("items"), node->Children, menuNumber, node->ID, depth + 1);
        else if (node->Script.ID == -1 && node->Caption != "-")
          Fail(o.Key("command"), "missing (an item without submenu items needs a command)");
      }
      list.push_back(std::move(node));
    }
  }
};

// ---- the parts of the manifest

struct TPictureEntry {
  uint32_t Id = 0; // 0: draw one
  std::string Key;
  std::string Name;
  TMemoryStream Data;
  TPictureSettings Settings;
  std::optional<int32_t> WallpaperParam; // the package-wide default when not given
  int32_t WallpaperParam2 = 0;
};

class TManifestReader {
public:
  TManifestReader(const fs::path& folder, TJigsawProject2& project, std::vector<std::string>* files,
                  const std::function<void(int32_t done, int32_t total)>& onPicture)
      : Assets(folder, files), P(project), OnPicture(onPicture) {}

  void Read(const json& root) {
    const TObject o(root, "",
                    {"title", "author", "quitText", "language", "icon", "pictures", "wallpapers", "sounds",
                     "menus", "startActions", "endActions", "exitActions", "options", "settings"});
    P.Title = OneLine(o.Need("title"), "title");
    if (P.Title.empty()) Fail("title", "must not be empty");
    if (const json* icon = o.Find("icon")) ReadIcon(*icon, "icon");

    for (const char* list : {"pictures", "wallpapers"})
      if (const json* v = o.Find(list); v && v->is_array()) PictureTotal += static_cast<int32_t>(v->size());
    ReadPictures(o.Need("pictures"), "pictures", false);
    if (Pictures.empty()) Fail("pictures", "must name at least one picture");
    const std::size_t pictureCount = Pictures.size();
    if (const json* wallpapers = o.Find("wallpapers")) ReadPictures(*wallpapers, "wallpapers", true);
    Context.PictureCount = static_cast<int32_t>(pictureCount);

    // Without a package-wide range each picture's own range is the one in force.
    P.NumPiecesMin = P.NumPiecesMax = -1;
    if (const json* options = o.Find("options")) ReadOptions(*options);
    if (const json* settings = o.Find("settings")) ReadSettings(*settings);
    StorePictures(pictureCount);

    if (const json* sounds = o.Find("sounds")) ReadSounds(*sounds);
    if (const json* menus = o.Find("menus")) ReadMenus(*menus);
    if (const json* a = o.Find("startActions")) ReadActions(*a, "startActions", P.StartActions, Context);
    if (const json* a = o.Find("endActions")) ReadActions(*a, "endActions", P.EndActions, Context);
    if (const json* a = o.Find("exitActions")) ReadActions(*a, "exitActions", P.ExitActions, Context);
    ReadLanguage(o);
  }

private:
  void ReadIcon(const json& v, const std::string& key) {
    std::string file;
    std::vector<uint8_t> bytes = Assets.Read(v, key, &file);
    // A Windows ICO file begins with reserved 0 and type 1.
    if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0)
      Fail(key, Quoted(file) + " is not a Windows icon (.ico) file");
    P.Icon = TMemoryStream(std::move(bytes));
  }

  void ReadPictures(const json& v, const std::string& key, bool wallpapers) {
    Array(v, key);
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string itemKey = Index(key, i);
      const TObject o = wallpapers ? TObject(v[i], itemKey, {"file", "name", "id", "param", "param2"})
                                   : TObject(v[i], itemKey, {"file", "name", "id", "pieces", "prepareGame"});
      TPictureEntry entry;
      entry.Key = itemKey;
      std::string file;
      entry.Data = PictureData(Assets.Read(o.Need("file"), o.Key("file"), &file), o.Key("file"), file);
      if (OnPicture) OnPicture(++PicturesRead, PictureTotal);
      if (const json* name = o.Find("name"))
        entry.Name = Text(*name, o.Key("name"));
      else
        entry.Name = NameFromFile(FileStem(file), o.Key("file"));
      if (const json* id = o.Find("id")) {
        const std::string idKey = o.Key("id");
        entry.Id = static_cast<uint32_t>(wallpapers ? Integer(*id, idKey, 65536, kInt32Max)
                                                    : Integer(*id, idKey, 1, 65535));
        if (wallpapers && !IsWallpaperId(entry.Id)) Fail(idKey, "must be a multiple of 65536");
        const auto used = UsedIds.find(entry.Id);
        if (used != UsedIds.end())
          Fail(idKey, std::to_string(entry.Id) + " is already the id of " + used->second);
        UsedIds.emplace(entry.Id, itemKey);
      }
      if (wallpapers) {
        if (const json* param = o.Find("param"))
          entry.WallpaperParam = static_cast<int32_t>(Integer(*param, o.Key("param"), kInt32Min, kInt32Max));
        if (const json* param2 = o.Find("param2"))
          entry.WallpaperParam2 =
              static_cast<int32_t>(Integer(*param2, o.Key("param2"), kInt32Min, kInt32Max));
      } else {
        entry.Settings = {0, 0, 50, 0, 0};
        if (const json* pieces = o.Find("pieces")) ReadRange(*pieces, o.Key("pieces"), entry.Settings);
        if (const json* prepare = o.Find("prepareGame"))
          entry.Settings.PrepareGame = Flag(*prepare, o.Key("prepareGame")) ? 1 : 0;
      }
      Pictures.push_back(std::move(entry));
    }
  }

  static void ReadRange(const json& v, const std::string& key, TPictureSettings& settings) {
    const TObject o(v, key, {"min", "max"});
    settings.NumPiecesMin = static_cast<int32_t>(Integer(o.Need("min"), o.Key("min"), 0, 65535));
    settings.NumPiecesMax = static_cast<int32_t>(Integer(o.Need("max"), o.Key("max"), 0, 65535));
    if (settings.NumPiecesMax < settings.NumPiecesMin)
      Fail(o.Key("max"), "must not be below min (" + std::to_string(settings.NumPiecesMin) + ")");
  }

  // Pictures first, then wallpapers, each in manifest order; ids not given are drawn among the unused ones.
  void StorePictures(std::size_t pictureCount) {
    TRandomSource& random = P.Random();
    for (std::size_t i = 0; i < Pictures.size(); ++i) {
      TPictureEntry& entry = Pictures[i];
      const bool wallpaper = i >= pictureCount;
      while (entry.Id == 0) {
        const auto n = static_cast<uint32_t>(random.RandomBelow(wallpaper ? 32767 : 65535)) + 1;
        const uint32_t id = wallpaper ? n << 16 : n;
        if (UsedIds.emplace(id, entry.Key).second) entry.Id = id;
      }
      TBMPData& picture = P.AddPicture(wallpaper ? 1 : 0, entry.Id);
      picture.Name = entry.Name;
      picture.Data = std::move(entry.Data);
      if (wallpaper) {
        TWallpaperEntry& w = P.Wallpapers.back();
        if (entry.WallpaperParam) w.Param = *entry.WallpaperParam;
        w.Param2 = entry.WallpaperParam2;
      } else {
        TPictureSettings& settings = *P.FindPictureSettings(entry.Id);
        settings.NumPiecesMin = entry.Settings.NumPiecesMin;
        settings.NumPiecesMax = entry.Settings.NumPiecesMax;
        settings.PrepareGame = entry.Settings.PrepareGame;
      }
    }
    const std::size_t wallpapers = Pictures.size() - pictureCount;
    if (StartWallpaper >= 0) {
      if (static_cast<std::size_t>(StartWallpaper) >= wallpapers)
        Fail("settings.startWallpaper", wallpapers == 0
                                            ? "needs wallpapers"
                                            : "must be between 0 and " + std::to_string(wallpapers - 1));
      P.StartWallpaperIndex = static_cast<int32_t>(pictureCount) + StartWallpaper;
    } else if (wallpapers > 0) {
      P.StartWallpaperIndex = static_cast<int32_t>(pictureCount);
    }
    Pictures.clear();
  }

  void ReadOptions(const json& v) {
    const TObject o(v, "options", {"noHighScores", "noDragMode", "showGhost", "showPreview"});
    auto flag = [&](const char* key, bool& field) {
      if (const json* value = o.Find(key)) field = Flag(*value, o.Key(key));
    };
    flag("noHighScores", P.Options.NoHighScores);
    flag("noDragMode", P.Options.NoDragMode);
    flag("showGhost", P.Options.ShowGhost);
    flag("showPreview", P.Options.ShowPreview);
  }

  void ReadSettings(const json& v) {
    const TObject o(v, "settings",
                    {"bevelLevel",       "previewScale",       "ghostMode",         "ghostAlpha",
                     "ghostColor",       "highScoreFileName",  "pieceScale",        "cutOption",
                     "preparedFlag",     "preparedColor",      "pictureChoiceMode", "countdown",
                     "countdownSeconds", "numPiecesMin",       "numPiecesMax",      "embedPreparedGame",
                     "skinMode",         "boardArea",          "soundOn",           "windowPosition",
                     "useStoredCuts",    "noRotation",         "pieceOption2",      "outlineOption",
                     "htmlNameEntry",    "showHighScoreTable", "nameEntryPage",     "nameEntryWidth",
                     "nameEntryHeight",  "wallpaperParam",     "startWallpaper"});
    auto byte = [&](const char* key, uint8_t& field, int64_t min, int64_t max) {
      if (const json* value = o.Find(key))
        field = static_cast<uint8_t>(Integer(*value, o.Key(key), min, max));
    };
    auto int32 = [&](const char* key, int32_t& field, int64_t min, int64_t max) {
      if (const json* value = o.Find(key))
        field = static_cast<int32_t>(Integer(*value, o.Key(key), min, max));
    };
    auto flag = [&](const char* key, auto& field) {
      if (const json* value = o.Find(key)) field = Flag(*value, o.Key(key)) ? 1 : 0;
    };
    auto colour = [&](const char* key, TColor& field) {
      if (const json* value = o.Find(key)) field = Colour(*value, o.Key(key));
    };

    byte("bevelLevel", P.BevelLevel, 0, 7);
    byte("previewScale", P.PreviewScale, 1, 7);
    byte("ghostMode", P.GhostMode, 1, 3);
    byte("ghostAlpha", P.GhostAlpha, 0, 255);
    colour("ghostColor", P.GhostColor);
    if (const json* name = o.Find("highScoreFileName")) {
      const std::string key = o.Key("highScoreFileName");
      P.HighScoreFileName = Text(*name, key);
      if (P.HighScoreFileName.size() > 255) Fail(key, "must be at most 255 characters");
      if (P.HighScoreFileName.find_first_of("/\\:") != std::string::npos || P.HighScoreFileName == "." ||
          P.HighScoreFileName == "..")
        Fail(key, "must be a plain file name without folders");
    }
    byte("pieceScale", P.PieceScale, 1, 255);
    byte("cutOption", P.CutOption, 0, 255);
    byte("preparedFlag", P.PreparedFlag, 0, 255);
    colour("preparedColor", P.PreparedColor);
    if (const json* mode = o.Find("pictureChoiceMode")) {
      static const std::map<std::string, uint8_t> modes{{"ask", 0}, {"next", 1}, {"random", 2}};
      const auto it = mode->is_string() ? modes.find(mode->get<std::string>()) : modes.end();
      if (it == modes.end()) Fail(o.Key("pictureChoiceMode"), "must be \"ask\", \"next\" or \"random\"");
      P.PictureChoiceMode = it->second;
    }
    flag("countdown", P.Countdown);
    int32("countdownSeconds", P.CountdownSeconds, 0, kInt32Max);
    if (P.Countdown && P.CountdownSeconds < 1)
      Fail(o.Key("countdownSeconds"), "must be at least 1 when countdown is on");

    int32("numPiecesMin", P.NumPiecesMin, -1, 65535);
    int32("numPiecesMax", P.NumPiecesMax, -1, 65535);
    if ((P.NumPiecesMin == -1) != (P.NumPiecesMax == -1))
      Fail(o.Key(P.NumPiecesMin == -1 ? "numPiecesMax" : "numPiecesMin"),
           "must be -1 too: -1 for both means each picture's own range");
    if (P.NumPiecesMax < P.NumPiecesMin)
      Fail(o.Key("numPiecesMax"), "must not be below numPiecesMin (" + std::to_string(P.NumPiecesMin) + ")");
    flag("embedPreparedGame", P.EmbedPreparedGame);
    if (const json* mode = o.Find("skinMode"))
      P.SkinMode = static_cast<int16_t>(Integer(*mode, o.Key("skinMode"), -32768, 32767));
    if (const json* area = o.Find("boardArea")) {
      const TObject a(*area, o.Key("boardArea"), {"width", "height"});
      P.BoardArea[2] = static_cast<int32_t>(Integer(a.Need("width"), a.Key("width"), 1, 65535));
      P.BoardArea[3] = static_cast<int32_t>(Integer(a.Need("height"), a.Key("height"), 1, 65535));
    }
    flag("soundOn", P.SoundOn);
    byte("windowPosition", P.WindowPosition, 0, 255);
    flag("useStoredCuts", P.UseStoredCuts);
    flag("noRotation", P.NoRotation);
    byte("pieceOption2", P.PieceOption2, 0, 255);
    byte("outlineOption", P.OutlineOption, 0, 255);
    flag("htmlNameEntry", P.HtmlNameEntry);
    flag("showHighScoreTable", P.ShowHighScoreTable);
    // The page is a file the player opens beside the game at play time, so only its name is stored.
    if (const json* page = o.Find("nameEntryPage")) P.NameEntryPage = Text(*page, o.Key("nameEntryPage"));
    int32("nameEntryWidth", P.NameEntryWidth, 0, 65535);
    int32("nameEntryHeight", P.NameEntryHeight, 0, 65535);
    if (P.HtmlNameEntry && P.NameEntryPage.empty())
      Fail(o.Key("nameEntryPage"), "missing (htmlNameEntry is on)");
    int32("wallpaperParam", P.WallpaperParam, kInt32Min, kInt32Max);
    if (const json* start = o.Find("startWallpaper"))
      StartWallpaper = static_cast<int32_t>(Integer(*start, o.Key("startWallpaper"), 0, 65535));
  }

  void ReadSounds(const json& v) {
    Array(v, "sounds");
    // Ids follow the package's convention (WAV below 256, MIDI multiples of 256), which is also what a
    // package without a sound-format table is read with.
    std::unordered_set<uint32_t> used;
    std::vector<std::pair<uint32_t, std::string>> given;
    for (std::size_t i = 0; i < v.size(); ++i)
      if (v[i].is_object() && v[i].contains("id")) {
        const std::string key = Index("sounds", i) + ".id";
        const auto id = static_cast<uint32_t>(Integer(v[i]["id"], key, 1, kInt32Max));
        if (!used.insert(id).second) Fail(key, std::to_string(id) + " is already the id of another sound");
      }
    uint32_t nextWav = 1, nextMidi = 256, nextOther = 65536;
    auto draw = [&](uint32_t& next, uint32_t step) {
      while (used.contains(next)) next += step;
      used.insert(next);
      return next;
    };
    for (auto& slot : P.EventSounds) slot.SoundIds.clear();
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string key = Index("sounds", i);
      const TObject o(v[i], key, {"file", "name", "id", "events"});
      std::string file;
      std::vector<uint8_t> bytes = Assets.Read(o.Need("file"), o.Key("file"), &file);
      const uint8_t format = SoundFormat(file, bytes, o.Key("file"));
      auto sound = std::make_unique<TWaveData>();
      if (const json* name = o.Find("name"))
        sound->Name = Text(*name, o.Key("name"));
      else
        sound->Name = NameFromFile(FileName(file), o.Key("file"));
      if (const json* id = o.Find("id"))
        sound->ID = static_cast<uint32_t>(Integer(*id, o.Key("id"), 1, kInt32Max));
      else
        sound->ID = format == 1 ? draw(nextWav, 1) : format == 2 ? draw(nextMidi, 256) : draw(nextOther, 1);
      sound->Data = TMemoryStream(std::move(bytes));
      if (const json* events = o.Find("events")) ReadEvents(*events, o.Key("events"), sound->ID);
      P.SoundFormats.push_back({static_cast<int32_t>(sound->ID), format});
      P.Sounds.push_back(std::move(sound));
    }
  }

  // 1 WAV, 2 MIDI, 3 WMA, 4 MP3, from the file's extension; the bytes must be a sound of that format.
  static uint8_t SoundFormat(const std::string& file, const std::vector<uint8_t>& bytes,
                             const std::string& key) {
    struct TFormat {
      const char* Extension;
      uint8_t Number;
      const char* Name;
      std::string (*Problem)(std::span<const uint8_t>);
    };
    static const TFormat formats[] = {{".wav", 1, "a WAV", WavProblem},
                                      {".mid", 2, "a MIDI", MidiProblem},
                                      {".midi", 2, "a MIDI", MidiProblem},
                                      {".wma", 3, "a WMA", WmaProblem},
                                      {".mp3", 4, "an MP3", Mp3Problem}};
    const std::string extension = Lower(fs::path(file).extension().string());
    for (const TFormat& format : formats) {
      if (extension != format.Extension) continue;
      if (const std::string problem = format.Problem(bytes); !problem.empty())
        Fail(key, Quoted(file) + " is not " + format.Name + " file (" + problem + ")");
      return format.Number;
    }
    Fail(key, "unknown sound format " + Quoted(extension) + " (use .wav, .mid, .wma or .mp3)");
  }

  void ReadEvents(const json& v, const std::string& key, uint32_t soundId) {
    Array(v, key);
    std::set<int32_t> seen;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string itemKey = Index(key, i);
      int32_t slot = -1;
      if (v[i].is_number_integer()) {
        slot = static_cast<int32_t>(Integer(v[i], itemKey, 0, 9));
      } else if (v[i].is_string()) {
        for (const auto& [name, number] : kEvents)
          if (v[i].get<std::string>() == name) slot = number;
        if (slot < 0)
          Fail(itemKey, "unknown event " + Quoted(v[i].get<std::string>()) +
                            " (music, pickUp, turn, snap, preview, timeUp, complete or a slot 0..9)");
      } else {
        Fail(itemKey, "must be an event name or a slot number");
      }
      if (!seen.insert(slot).second) Fail(itemKey, "names the same event twice");
      for (auto& entry : P.EventSounds)
        if (entry.Slot == slot) entry.SoundIds.push_back(soundId);
    }
  }

  void ReadMenus(const json& v) {
    const TObject o(v, "menus", {"menuBar", "popup"});
    P.Menus.clear();
    TMenuBuilder builder{Context};
    if (const json* bar = o.Find("menuBar")) builder.ReadList(*bar, o.Key("menuBar"), P.Menus, 0, 0, 1);
    if (const json* popup = o.Find("popup")) builder.ReadList(*popup, o.Key("popup"), P.Menus, 1, 0, 1);
  }

  // The author, the quit question and other language lines go into the package's published properties.
  void ReadLanguage(const TObject& o) {
    std::vector<std::string> lines;
    if (const json* author = o.Find("author")) lines.push_back("author=" + OneLine(*author, "author"));
    if (const json* quit = o.Find("quitText")) {
      const std::string text = OneLine(*quit, "quitText");
      if (text.size() > 255) Fail("quitText", "must be at most 255 characters");
      lines.push_back("quit=" + text);
    }
    if (const json* language = o.Find("language")) {
      Array(*language, "language");
      for (std::size_t i = 0; i < language->size(); ++i) {
        const std::string line = OneLine((*language)[i], Index("language", i));
        if (line.find('=') == std::string::npos || line.front() == '=')
          Fail(Index("language", i), "must be \"key=value\"");
        lines.push_back(line);
      }
    }
    if (lines.empty()) return;
    P.Language = std::move(lines);
    TKVProjectReflection reflection;
    TMemoryStream xml;
    reflection.SaveToStream(xml, P);
    P.PublishedXml = std::move(xml);
  }

  TAssets Assets;
  TJigsawProject2& P;
  const std::function<void(int32_t done, int32_t total)>& OnPicture;
  int32_t PictureTotal = 0;
  int32_t PicturesRead = 0;
  TContext Context;
  std::vector<TPictureEntry> Pictures;
  std::map<uint32_t, std::string> UsedIds; // picture and wallpaper ids -> the manifest entry that holds it
  int32_t StartWallpaper = -1;
};

// Follows the parser through the document, so that a key given twice in one object (JSON keeps only the
// last) is an error with its key path, like a misspelt key.
class TDuplicateKeys {
public:
  bool operator()(int /*depth*/, json::parse_event_t event, json& parsed) {
    switch (event) {
    case json::parse_event_t::object_start:
    case json::parse_event_t::array_start:
      // Key paths grow with the nesting; a manifest needs a few dozen levels at most.
      if (Frames.size() >= kMaxNesting)
        Fail(Path(), "nests deeper than " + std::to_string(kMaxNesting) + " levels");
      Frames.push_back({event == json::parse_event_t::object_start, Path() + ElementLabel(), {}, {}, 0});
      break;
    case json::parse_event_t::key: {
      Frame& frame = Frames.back();
      frame.Key = parsed.get<std::string>();
      if (!frame.Keys.insert(frame.Key).second)
        Fail(frame.Path.empty() ? frame.Key : frame.Path + "." + frame.Key, "given twice");
      break;
    }
    case json::parse_event_t::object_end:
    case json::parse_event_t::array_end:
      Frames.pop_back();
      Next();
      break;
    case json::parse_event_t::value:
      Next();
      break;
    }
    return true;
  }

private:
  struct Frame {
    bool Object = false;
    std::string Path;
    std::set<std::string> Keys;
    std::string Key;
    std::size_t Count = 0; // elements of an array seen so far
  };
  std::string Path() const { return Frames.empty() ? std::string() : Frames.back().Path; }
  // The label of the element that begins now inside the innermost container.
  std::string ElementLabel() const {
    if (Frames.empty()) return {};
    const Frame& parent = Frames.back();
    if (!parent.Object) return "[" + std::to_string(parent.Count) + "]";
    return parent.Path.empty() ? parent.Key : "." + parent.Key;
  }
  void Next() {
    if (!Frames.empty() && !Frames.back().Object) ++Frames.back().Count;
  }
  std::vector<Frame> Frames;
};

} // namespace

int32_t CommandNumber(const std::string& name) {
  for (const auto& command : kCommands)
    if (name == command.Name) return command.Number;
  return 0;
}

void LoadManifest(const std::string& fileName, TJigsawProject2& project, std::vector<std::string>* files,
                  const std::function<void(int32_t done, int32_t total)>& onPicture) {
  const fs::path path = fs::path(fileName);
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!fs::is_regular_file(path, ec) || !in) Fail("", "cannot open the manifest");
  json root;
  try {
    root = json::parse(in, TDuplicateKeys());
  } catch (const json::exception& e) {
    // Syntax errors and numbers too large for any type ("8e9477") alike. The library's message begins
    // with its own error code in brackets; the author needs only the rest.
    std::string what = e.what();
    if (const auto end = what.find("] "); what.starts_with("[") && end != std::string::npos)
      what = what.substr(end + 2);
    Fail("", "not valid JSON: " + what);
  }
  if (files) files->push_back(fileName);
  TManifestReader(path.parent_path(), project, files, onPicture).Read(root);
}

} // namespace kvtools
