// jigsaw-pack create: a game author's manifest becomes a package, bad manifests are refused with the key
// that is wrong, and the demo game survives a load and a second save unchanged.
#include "Manifest.h"
#include "PackTool.h"
#include "SampleGame.h"
#include "Sha256.h"
#include "SoundFixtures.h"
#include "ToolRun.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "data/uKVStreamFunc.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <set>
#include <sstream>

using namespace kv;
using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

using kvtest::EngineSteps;
using kvtest::RunTool;
using kvtest::TToolRun;

void WriteText(const std::string& fileName, const std::string& text) {
  kvtest::WriteFileBytes(fileName, std::vector<uint8_t>(text.begin(), text.end()));
}

// The stream of one animation in the published-properties XML: its "Data" text, Base64-decoded and
// decompressed.
std::vector<uint8_t> AnimationStream(const TMemoryStream& xml, const char* name) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_buffer(xml.Memory(), static_cast<std::size_t>(xml.Size()), pugi::parse_default,
                                   pugi::encoding_latin1));
  const pugi::xml_node data = document.document_element().child(name).child("Data");
  EXPECT_TRUE(data) << name;
  TMemoryStream packed, plain;
  TKVStreamFunc::DecodeBase64(data.text().get(), packed);
  packed.SetPosition(0);
  TKVStreamFunc::DecompressStream(packed, plain);
  return plain.Bytes();
}

// A folder with the files the manifests below refer to.
class ManifestFolder {
public:
  ManifestFolder() {
    fs::create_directories(Dir.path() / "images");
    fs::create_directories(Dir.path() / "sounds");
    kvtest::WriteFileBytes(Dir.file("images/lake.jpg"), kvtest::MakeJpeg(160, 120));
    kvtest::WriteFileBytes(Dir.file("images/hill.jpg"), kvtest::MakeJpeg(120, 160));
    kvtest::WriteFileBytes(Dir.file("images/wood.bmp"), kvtest::MakeBmp(48, 32));
    kvtest::WriteFileBytes(Dir.file("sounds/snap.wav"), kvtest::TinyWav());
    kvtest::WriteFileBytes(Dir.file("sounds/tune.mid"), kvtest::MakeMidi());
    kvtest::WriteFileBytes(Dir.file("sounds/song.mp3"), kvtest::MakeMp3());
    kvtest::WriteFileBytes(Dir.file("sounds/voice.wma"), kvtest::MakeWma());
    WriteText(Dir.file("sounds/fake.wav"), "not a wave");
    // What a hostile author renames: a text, random bytes, a bare WAV header, a MIDI header without tracks.
    WriteText(Dir.file("sounds/notes.mp3"), "These are my notes, not a song.\n");
    kvtest::WriteFileBytes(Dir.file("sounds/noise.wma"),
                           {0x30, 0x26, 0x17, 0x9A, 0x00, 0xFF, 0x41, 0x07, 0xC3});
    WriteText(Dir.file("sounds/bare.wav"), std::string("RIFF\x04\0\0\0WAVE", 12));
    WriteText(Dir.file("sounds/header.mid"), std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14));
    // Names without a Windows-1252 form.
    kvtest::WriteFileBytes(Dir.file("images/\u6E56.jpg"), kvtest::MakeJpeg(40, 30));
    kvtest::WriteFileBytes(Dir.file("sounds/\u2603.wav"), kvtest::TinyWav());
    WriteText(Dir.file("sounds/tune.ogg"), "OggS");
    WriteText(Dir.file("notes.txt"), "hello");
    kvtest::WriteFileBytes(Dir.file("broken.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0x13});
    kvtest::WriteFileBytes(Dir.file("game.ico"), {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0});
  }
  std::string Manifest(const std::string& text) const {
    WriteText(Dir.file("game.json"), text);
    return Dir.file("game.json");
  }
  std::string File(const std::string& name) const { return Dir.file(name); }

private:
  kvtest::TempDir Dir;
};

// The smallest good manifest with one key replaced or added (a JSON text spliced in after "title").
std::string WithTwoPictures(const std::string& extra) {
  return R"({"title": "T", )" + extra +
         R"( "pictures": [{"file": "images/lake.jpg"}, {"file": "images/hill.jpg"}]})";
}

} // namespace

TEST(Manifest, BadManifestsNameTheKeyAndWriteNothing) {
  ManifestFolder folder;
  const std::string picture = R"({"file": "images/lake.jpg"})";
  struct Case {
    std::string Manifest;
    std::string Error; // after "jigsaw-pack: MANIFEST: "
  };
  const std::vector<Case> cases = {
      {R"([1, 2])", "(top level): must be an object"},
      {R"({"pictures": [)" + picture + "]}", "title: missing"},
      {R"({"titel": "T", "pictures": [)" + picture + "]}", "titel: unknown key"},
      {R"({"title": 5, "pictures": [)" + picture + "]}", "title: must be a string"},
      {R"({"title": "T", "title": "U", "pictures": [)" + picture + "]}", "title: given twice"},
      {R"({"title": "T\nU", "pictures": [)" + picture + "]}",
       "title: must be one line (no line breaks or NUL characters)"},
      {R"({"title": "T", "pictures": [)" + picture +
           R"(, {"file": "images/hill.jpg", "pieces": {"min": 1, "max": 3, "min": 2}}]})",
       "pictures[1].pieces.min: given twice"},
      {WithTwoPictures(
           R"("menus": {"menuBar": [{"caption": "G", "items": ["-", {"caption": "N", "command": 15, "command": 3}]}]},)"),
       "menus.menuBar[0].items[1].command: given twice"},
      {R"({"title": "日本", "pictures": [)" + picture + "]}",
       "title: has characters that Windows-1252 cannot hold"},
      {R"({"title": "T"})", "pictures: missing"},
      {R"({"title": "T", "pictures": {}})", "pictures: must be an array"},
      {R"({"title": "T", "pictures": []})", "pictures: must name at least one picture"},
      {R"({"title": "T", "pictures": [{"name": "x"}]})", "pictures[0].file: missing"},
      {R"({"title": "T", "pictures": [{"file": "images/lake.jpg", "piece": {}}]})",
       "pictures[0].piece: unknown key"},
      {R"({"title": "T", "pictures": [{"file": "nope.jpg"}]})",
       "pictures[0].file: file not found: \"nope.jpg\""},
      {R"({"title": "T", "pictures": [{"file": "images"}]})", "pictures[0].file: not a file: \"images\""},
      {R"({"title": "T", "pictures": [{"file": "notes.txt"}]})",
       "pictures[0].file: \"notes.txt\" is not a JPEG or BMP picture"},
      {R"({"title": "T", "pictures": [{"file": "broken.jpg"}]})",
       "pictures[0].file: \"broken.jpg\" is not a readable JPEG picture: the picture data is cut short"},
      {R"({"title": "T", "pictures": [)" + picture +
           R"(, {"file": "images/hill.jpg", "pieces": {"min": -3, "max": 10}}]})",
       "pictures[1].pieces.min: must be between 0 and 65535"},
      {R"({"title": "T", "pictures": [{"file": "images/lake.jpg", "pieces": {"min": 30, "max": 20}}]})",
       "pictures[0].pieces.max: must not be below min (30)"},
      {R"({"title": "T", "pictures": [{"file": "images/lake.jpg", "pieces": {"min": 3}}]})",
       "pictures[0].pieces.max: missing"},
      {R"({"title": "T", "pictures": [{"file": "images/lake.jpg", "id": 1.5}]})",
       "pictures[0].id: must be an integer"},
      {R"({"title": "T", "pictures": [{"file": "images/lake.jpg", "id": 70000}]})",
       "pictures[0].id: must be between 1 and 65535"},
      {R"({"title": "T", "pictures": [{"file": "images/lake.jpg", "id": 7}, {"file": "images/hill.jpg", "id": 7}]})",
       "pictures[1].id: 7 is already the id of pictures[0]"},
      {WithTwoPictures(R"("wallpapers": [{"file": "images/wood.bmp", "id": 65537}],)"),
       "wallpapers[0].id: must be a multiple of 65536"},
      {WithTwoPictures(R"("wallpapers": [{"file": "images/wood.bmp", "prepareGame": true}],)"),
       "wallpapers[0].prepareGame: unknown key"},
      {WithTwoPictures(R"("icon": "notes.txt",)"), "icon: \"notes.txt\" is not a Windows icon (.ico) file"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/tune.ogg"}],)"),
       "sounds[0].file: unknown sound format \".ogg\" (use .wav, .mid, .wma or .mp3)"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/fake.wav"}],)"),
       "sounds[0].file: \"sounds/fake.wav\" is not a WAV file (it does not begin with \"RIFF\" and "
       "\"WAVE\")"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/snap.wav"}, {"file": "sounds/notes.mp3"}],)"),
       "sounds[1].file: \"sounds/notes.mp3\" is not an MP3 file (no MPEG audio frames)"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/noise.wma"}],)"),
       "sounds[0].file: \"sounds/noise.wma\" is not a WMA file (it does not begin with an ASF header "
       "object)"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/bare.wav"}],)"),
       "sounds[0].file: \"sounds/bare.wav\" is not a WAV file (no \"fmt \" chunk)"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/header.mid"}],)"),
       "sounds[0].file: \"sounds/header.mid\" is not a MIDI file (cut short: the \"MThd\" chunk names 1 "
       "track(s), the file has 0)"},
      // A name taken from the file must have a Windows-1252 form like any text of the package.
      {R"({"title": "T", "pictures": [{"file": "images/\u6E56.jpg"}]})",
       "pictures[0].file: the name \"\u6E56\" taken from the file has characters that Windows-1252 cannot "
       "hold: give the entry a \"name\""},
      {WithTwoPictures(R"("wallpapers": [{"file": "images/wood.bmp"}, {"file": "images/\u6E56.jpg"}],)"),
       "wallpapers[1].file: the name \"\u6E56\" taken from the file has characters that Windows-1252 cannot "
       "hold: give the entry a \"name\""},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/\u2603.wav"}],)"),
       "sounds[0].file: the name \"\u2603.wav\" taken from the file has characters that Windows-1252 cannot "
       "hold: give the entry a \"name\""},
      {R"({"title": "T", "pictures": [{"file": "images/\u6E56.jpg", "name": "\u6E56"}]})",
       "pictures[0].name: has characters that Windows-1252 cannot hold"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/snap.wav", "events": ["snap", "snapp"]}],)"),
       "sounds[0].events[1]: unknown event \"snapp\" (music, pickUp, turn, snap, preview, timeUp, complete "
       "or a "
       "slot 0..9)"},
      {WithTwoPictures(R"("sounds": [{"file": "sounds/snap.wav", "events": [10]}],)"),
       "sounds[0].events[0]: must be between 0 and 9"},
      {WithTwoPictures(
           R"("sounds": [{"file": "sounds/snap.wav", "id": 4}, {"file": "sounds/tune.mid", "id": 4}],)"),
       "sounds[1].id: 4 is already the id of another sound"},
      {WithTwoPictures(
           R"("menus": {"menuBar": [{"caption": "&Game", "items": [{"caption": "New", "command": "newgame"}]}]},)"),
       "menus.menuBar[0].items[0].command: unknown command \"newgame\""},
      {WithTwoPictures(R"("menus": {"menuBar": [{"caption": "&Game"}]},)"),
       "menus.menuBar[0].command: missing (an item without submenu items needs a command)"},
      {WithTwoPictures(R"("menus": {"popup": ["--"]},)"),
       "menus.popup[0]: must be a menu item object or \"-\""},
      {WithTwoPictures(R"("menus": {"toolbar": []},)"), "menus.toolbar: unknown key"},
      {WithTwoPictures(R"("menus": {"popup": [{"caption": "Page", "command": "showPage"}]},)"),
       "menus.popup[0].parameters: must hold exactly one string"},
      {WithTwoPictures(R"("menus": {"popup": [{"caption": "Exit", "command": 3, "parameters": [1]}]},)"),
       "menus.popup[0].parameters: this command takes no parameters"},
      {WithTwoPictures(R"("menus": {"popup": [{"caption": "Exit", "command": 29}]},)"),
       "menus.popup[0].command: must be between 1 and 28"},
      {WithTwoPictures(R"("startActions": [{"command": "playPicture", "parameters": [2]}],)"),
       "startActions[0].parameters[0]: picture 2 does not exist (pictures are numbered 0 to 1)"},
      {WithTwoPictures(R"("endActions": [{"parameters": [2]}],)"), "endActions[0].command: missing"},
      {WithTwoPictures(R"("exitActions": {"caption": "Bye"},)"), "exitActions.scripts: missing"},
      {WithTwoPictures(R"("options": {"showGhost": "yes"},)"), "options.showGhost: must be true or false"},
      {WithTwoPictures(R"("settings": {"bevelLevel": 8},)"), "settings.bevelLevel: must be between 0 and 7"},
      {WithTwoPictures(R"("settings": {"countdown": true},)"),
       "settings.countdownSeconds: must be at least 1 when countdown is on"},
      {WithTwoPictures(R"("settings": {"highScoreFileName": "../scores.dat"},)"),
       "settings.highScoreFileName: must be a plain file name without folders"},
      {WithTwoPictures(R"("settings": {"ghostColor": "red"},)"),
       "settings.ghostColor: must be a colour \"#RRGGBB\" or \"system:N\" (N 0..30)"},
      {WithTwoPictures(R"("settings": {"numPiecesMin": -1, "numPiecesMax": 10},)"),
       "settings.numPiecesMax: must be -1 too: -1 for both means each picture's own range"},
      {WithTwoPictures(R"("settings": {"numPiecesMin": 40, "numPiecesMax": 10},)"),
       "settings.numPiecesMax: must not be below numPiecesMin (40)"},
      {WithTwoPictures(R"("settings": {"pictureChoiceMode": 1},)"),
       "settings.pictureChoiceMode: must be \"ask\", \"next\" or \"random\""},
      {WithTwoPictures(R"("settings": {"startWallpaper": 0},)"), "settings.startWallpaper: needs wallpapers"},
      {WithTwoPictures(R"("quitText": 7,)"), "quitText: must be a string"},
      {WithTwoPictures(R"("language": ["no value here"],)"), "language[0]: must be \"key=value\""},
      // A line break would add language lines of its own ("quit=", "author=").
      {WithTwoPictures(R"("author": "Ann\nquit=",)"),
       "author: must be one line (no line breaks or NUL characters)"},
      {WithTwoPictures(R"("quitText": "Stop?\r\nauthor=Eve",)"),
       "quitText: must be one line (no line breaks or NUL characters)"},
      {WithTwoPictures(R"("language": ["key=a\u0000b"],)"),
       "language[0]: must be one line (no line breaks or NUL characters)"},
  };
  const std::string output = folder.File("out.kvj");
  for (const Case& c : cases) {
    const std::string manifest = folder.Manifest(c.Manifest);
    const TToolRun run = RunTool({"create", manifest, "-o", output});
    EXPECT_EQ(run.Status, 1) << c.Manifest;
    EXPECT_EQ(run.Err, "jigsaw-pack: " + manifest + ": " + c.Error + "\n") << c.Manifest;
    EXPECT_FALSE(fs::exists(output)) << c.Manifest;
  }

  // A package already there stays as it was.
  WriteText(output, "old package");
  EXPECT_EQ(RunTool({"create", folder.Manifest(R"({"title": "T"})"), "-o", output}).Status, 1);
  EXPECT_EQ(kvtest::ReadFileBytes(output),
            std::vector<uint8_t>({'o', 'l', 'd', ' ', 'p', 'a', 'c', 'k', 'a', 'g', 'e'}));
}

TEST(Manifest, UnreadableManifestsAndUsage) {
  ManifestFolder folder;
  const std::string output = folder.File("out.kvj");
  const std::string missing = folder.File("missing.json");
  TToolRun run = RunTool({"create", missing, "-o", output});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "jigsaw-pack: " + missing + ": cannot open the manifest\n");

  const std::string manifest = folder.Manifest(R"({"title": "T", "pictures": [})");
  run = RunTool({"create", manifest, "-o", output});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(
      run.Err.rfind("jigsaw-pack: " + manifest + ": not valid JSON: parse error at line 1, column 29", 0), 0u)
      << run.Err;
  EXPECT_FALSE(fs::exists(output));

  // A number no type holds is bad JSON too, not an error of the library.
  const std::string overflow = folder.Manifest(R"({"title": "T", "settings": {"bevelLevel": 8e9477}})");
  run = RunTool({"create", overflow, "-o", output});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "jigsaw-pack: " + overflow + ": not valid JSON: number overflow parsing '8e9477'\n");
  TJigsawProject2 project;
  EXPECT_THROW(kvtools::LoadManifest(overflow, project), kvtools::EManifestError);

  // Nesting is bounded before key paths grow with it.
  const std::string deep = folder.Manifest(std::string(100000, '[') + std::string(100000, ']'));
  run = RunTool({"create", deep, "-o", output});
  EXPECT_EQ(run.Status, 1);
  std::string path;
  for (int i = 0; i < 99; ++i) path += "[0]";
  EXPECT_EQ(run.Err, "jigsaw-pack: " + deep + ": " + path + ": nests deeper than 100 levels\n");

  for (const std::vector<std::string>& args : {std::vector<std::string>{"create", manifest},
                                               {"create", "-o", output},
                                               {"create", manifest, "-o"},
                                               {"create", manifest, "-o", output, "extra"}}) {
    run = RunTool(args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("jigsaw-pack create MANIFEST.json -o GAME.kvj"), std::string::npos);
  }
}

TEST(Manifest, GoodManifestGivesThePackageItDescribes) {
  ManifestFolder folder;
  const std::string manifest = folder.Manifest(R"({
    "title": "Été au lac",
    "author": "Zoë",
    "quitText": "Stop?",
    "language": ["hello=Grüß Gott"],
    "icon": "game.ico",
    "pictures": [
      {"file": "images/lake.jpg", "name": "Lac d'été", "id": 12, "pieces": {"min": 25, "max": 50}, "prepareGame": true},
      {"file": "images/hill.jpg"},
      {"file": "images/wood.bmp", "id": 9}
    ],
    "wallpapers": [
      {"file": "images/wood.bmp", "name": "Wood", "param": 5, "param2": 6},
      {"file": "images/lake.jpg", "id": 196608}
    ],
    "sounds": [
      {"file": "sounds/snap.wav", "events": ["snap", "pickUp", 4]},
      {"file": "sounds/tune.mid", "name": "Tune", "events": ["music"]},
      {"file": "sounds/snap.wav", "id": 77, "events": ["snap"]}
    ],
    "menus": {
      "menuBar": [
        {"caption": "&Game", "items": [
          {"caption": "&New", "command": "newGame"},
          "-",
          {"caption": "Rules", "name": "RulesPage", "command": "showPage", "parameters": ["rules.htm,400,300"], "visible": false}
        ]}
      ],
      "popup": [{"caption": "Second picture", "command": 14, "parameters": [1]}]
    },
    "startActions": {"caption": "Welcome", "scripts": [{"command": "runFile", "parameters": ["readme.txt"]}]},
    "endActions": [{"command": "none"}],
    "exitActions": [{"command": "highScores"}, {"command": "about"}],
    "options": {"noHighScores": true, "noDragMode": true, "showGhost": true, "showPreview": false},
    "settings": {
      "bevelLevel": 5, "previewScale": 6, "ghostMode": 1, "ghostAlpha": 100, "ghostColor": "#102030",
      "highScoreFileName": "Lake.dat", "pieceScale": 3, "cutOption": 2, "preparedFlag": 1,
      "preparedColor": "system:15", "pictureChoiceMode": "random", "countdown": true, "countdownSeconds": 600,
      "numPiecesMin": 25, "numPiecesMax": 50, "embedPreparedGame": true, "skinMode": 20,
      "boardArea": {"width": 800, "height": 600}, "soundOn": false, "windowPosition": 2, "useStoredCuts": false,
      "noRotation": true, "pieceOption2": 9, "outlineOption": 1, "htmlNameEntry": true, "showHighScoreTable": true,
      "nameEntryPage": "name.htm", "nameEntryWidth": 320, "nameEntryHeight": 200, "wallpaperParam": 11,
      "startWallpaper": 1
    }
  })");
  const std::string output = folder.File("lake.kvj");
  const TToolRun run = RunTool({"create", manifest, "-o", output});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");

  TJigsawProject2 p;
  p.LoadFromFile(output);
  EXPECT_EQ(p.Title, "\xC9t\xE9 au lac");
  EXPECT_EQ(p.Language, (std::vector<std::string>{"author=Zo\xEB", "quit=Stop?", "hello=Gr\xFC\xDF Gott"}));
  EXPECT_EQ(p.QuitText(), "Stop?");
  // The animations the manifest does not give are stored as empty animations: version 1, size 0 x 0, the
  // third value 0 and no items, never as no bytes at all.
  const std::vector<uint8_t> emptyAnimation{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (const char* name : {"Splash2", "About2", "Icon2"})
    EXPECT_EQ(AnimationStream(p.PublishedXml, name), emptyAnimation) << name;
  EXPECT_EQ(p.Icon.Bytes(), kvtest::ReadFileBytes(folder.File("game.ico")));

  // Pictures first, then wallpapers, each in manifest order; names default to the file's stem.
  ASSERT_EQ(p.Pictures.size(), 5u);
  EXPECT_EQ(p.Pictures[0]->ID, 12u);
  EXPECT_EQ(p.Pictures[0]->Name, "Lac d'\xE9t\xE9");
  EXPECT_EQ(p.Pictures[0]->Data.Bytes(), kvtest::ReadFileBytes(folder.File("images/lake.jpg")));
  EXPECT_TRUE(IsPictureId(p.Pictures[1]->ID));
  EXPECT_NE(p.Pictures[1]->ID, 12u);
  EXPECT_NE(p.Pictures[1]->ID, 9u);
  EXPECT_EQ(p.Pictures[1]->Name, "hill");
  EXPECT_EQ(p.Pictures[2]->ID, 9u);
  EXPECT_EQ(p.Pictures[2]->Data.Bytes().at(0), 0xFF); // the BMP picture became a JPEG one
  EXPECT_EQ(p.Pictures[2]->Data.Bytes().at(1), 0xD8);
  EXPECT_TRUE(IsWallpaperId(p.Pictures[3]->ID));
  EXPECT_EQ(p.Pictures[3]->Name, "Wood");
  EXPECT_EQ(p.Pictures[4]->ID, 196608u);
  EXPECT_EQ(p.Pictures[4]->Name, "lake");
  EXPECT_EQ(p.StartWallpaperIndex, 4);

  ASSERT_EQ(p.PictureSettings.size(), 3u);
  EXPECT_EQ(p.PictureSettings[0].PictureID, 12u);
  EXPECT_EQ(p.PictureSettings[0].NumPiecesMin, 25);
  EXPECT_EQ(p.PictureSettings[0].NumPiecesMax, 50);
  EXPECT_EQ(p.PictureSettings[0].PrepareGame, 1);
  EXPECT_EQ(p.PictureSettings[1].NumPiecesMin, 0); // the range of a picture that names none
  EXPECT_EQ(p.PictureSettings[1].NumPiecesMax, 50);
  EXPECT_EQ(p.PictureSettings[1].PrepareGame, 0);
  ASSERT_EQ(p.Wallpapers.size(), 2u);
  EXPECT_EQ(p.Wallpapers[0].Param, 5);
  EXPECT_EQ(p.Wallpapers[0].Param2, 6);
  EXPECT_EQ(p.Wallpapers[1].Param, 11); // the package-wide default
  EXPECT_EQ(p.Wallpapers[1].Param2, 0);

  // Sound ids follow the format convention unless given; every event names its slot.
  ASSERT_EQ(p.Sounds.size(), 3u);
  EXPECT_EQ(p.Sounds[0]->ID, 1u);
  EXPECT_EQ(p.Sounds[0]->Name, "snap.wav");
  EXPECT_EQ(p.Sounds[1]->ID, 256u);
  EXPECT_EQ(p.Sounds[1]->Name, "Tune");
  EXPECT_EQ(p.Sounds[2]->ID, 77u);
  EXPECT_EQ(p.Sounds[0]->Data.Bytes(), kvtest::TinyWav());
  ASSERT_EQ(p.SoundFormats.size(), 3u);
  EXPECT_EQ(p.SoundFormats[0].Format, 1);
  EXPECT_EQ(p.SoundFormats[1].Format, 2);
  EXPECT_EQ(p.SoundFormats[2].SoundID, 77);
  ASSERT_EQ(p.EventSounds.size(), 10u);
  const std::vector<std::vector<uint32_t>> slots = {{256}, {}, {}, {}, {1}, {}, {}, {1, 77}, {}, {1}};
  for (std::size_t slot = 0; slot < 10; ++slot) EXPECT_EQ(p.EventSounds[slot].SoundIds, slots[slot]) << slot;

  // Menus replace the default tree; ids are given in manifest order.
  ASSERT_EQ(p.Menus.size(), 2u);
  const TMenuExRec& game = *p.Menus[0];
  EXPECT_EQ(game.Caption, "&Game");
  EXPECT_EQ(game.MenuNumber, 0);
  EXPECT_EQ(game.Script.ID, -1);
  ASSERT_EQ(game.Children.size(), 3u);
  EXPECT_EQ(game.Children[0]->Script.ID, 15);
  EXPECT_EQ(game.Children[0]->ParentID, game.ID);
  EXPECT_EQ(game.Children[1]->Caption, "-");
  EXPECT_EQ(game.Children[1]->Script.ID, -1);
  const TMenuExRec& rules = *game.Children[2];
  EXPECT_EQ(rules.Name, "RulesPage");
  EXPECT_EQ(rules.Visible, 0);
  EXPECT_EQ(rules.Script.ID, 13);
  ASSERT_EQ(rules.Script.Parameter.Count(), 1);
  EXPECT_EQ(rules.Script.Parameter.Entries(0).AsText(), "rules.htm,400,300");
  const TMenuExRec& popup = *p.Menus[1];
  EXPECT_EQ(popup.MenuNumber, 1);
  EXPECT_EQ(popup.ParentID, 0u);
  EXPECT_EQ(popup.Name, "Second picture");
  EXPECT_EQ(popup.Script.Parameter.Entries(0).Kind, kParamInteger);
  EXPECT_EQ(popup.Script.Parameter.Entries(0).AsInteger(), 1);
  std::set<uint32_t> ids{game.ID, popup.ID};
  for (const auto& child : game.Children) ids.insert(child->ID);
  EXPECT_EQ(ids.size(), 5u);
  EXPECT_FALSE(ids.contains(0u));

  EXPECT_EQ(p.StartActions.Caption, "Welcome");
  ASSERT_EQ(p.StartActions.ScriptCount(), 1);
  EXPECT_EQ(p.StartActions.Scripts(0).ID, 17);
  EXPECT_EQ(p.StartActions.Scripts(0).Parameter.Entries(0).AsText(), "readme.txt");
  ASSERT_EQ(p.EndActions.ScriptCount(), 1);
  EXPECT_EQ(p.EndActions.Scripts(0).ID, 18);
  ASSERT_EQ(p.ExitActions.ScriptCount(), 2);
  EXPECT_EQ(p.ExitActions.Scripts(1).ID, 5);

  EXPECT_EQ(p.Options, (TProjectOptions{true, true, true, false}));
  EXPECT_EQ(p.BevelLevel, 5);
  EXPECT_EQ(p.PreviewScale, 6);
  EXPECT_EQ(p.GhostMode, 1);
  EXPECT_EQ(p.GhostAlpha, 100);
  EXPECT_EQ(p.GhostColor, 0x302010); // $00BBGGRR
  EXPECT_EQ(p.HighScoreFileName, "Lake.dat");
  EXPECT_EQ(p.PieceScale, 3);
  EXPECT_EQ(p.CutOption, 2);
  EXPECT_EQ(p.PreparedFlag, 1);
  EXPECT_EQ(p.PreparedColor, static_cast<TColor>(0xFF00000F));
  EXPECT_EQ(p.PictureChoiceMode, 2);
  EXPECT_EQ(p.Countdown, 1);
  EXPECT_EQ(p.CountdownSeconds, 600);
  EXPECT_EQ(p.NumPiecesMin, 25);
  EXPECT_EQ(p.NumPiecesMax, 50);
  EXPECT_EQ(p.EmbedPreparedGame, 1);
  EXPECT_EQ(p.SkinMode, 20);
  EXPECT_EQ(p.BoardArea[2], 800);
  EXPECT_EQ(p.BoardArea[3], 600);
  EXPECT_EQ(p.SoundOn, 0);
  EXPECT_EQ(p.WindowPosition, 2);
  EXPECT_EQ(p.UseStoredCuts, 0);
  EXPECT_EQ(p.NoRotation, 1);
  EXPECT_EQ(p.PieceOption2, 9);
  EXPECT_EQ(p.OutlineOption, 1);
  EXPECT_EQ(p.HtmlNameEntry, 1);
  EXPECT_EQ(p.ShowHighScoreTable, 1);
  EXPECT_EQ(p.NameEntryPage, "name.htm");
  EXPECT_EQ(p.NameEntryWidth, 320);
  EXPECT_EQ(p.NameEntryHeight, 200);
  EXPECT_EQ(p.WallpaperParam, 11);
}

TEST(Manifest, SmallestManifestKeepsTheModelDefaults) {
  ManifestFolder folder;
  const std::string output = folder.File("small.kvj");
  ASSERT_EQ(RunTool({"create", folder.Manifest(WithTwoPictures("")), "-o", output}).Status, 0);
  TJigsawProject2 p;
  p.LoadFromFile(output);
  const TJigsawProject2 fresh;
  EXPECT_EQ(p.Title, "T");
  EXPECT_EQ(p.Options, fresh.Options);
  EXPECT_EQ(p.BevelLevel, fresh.BevelLevel);
  EXPECT_EQ(p.HighScoreFileName, fresh.HighScoreFileName);
  EXPECT_EQ(p.PieceScale, fresh.PieceScale);
  EXPECT_EQ(p.SoundOn, fresh.SoundOn);
  EXPECT_EQ(p.GhostMode, fresh.GhostMode);
  EXPECT_EQ(p.Menus.size(), fresh.Menus.size()); // the default "&File" and "&Help"
  EXPECT_TRUE(p.Language.empty());
  EXPECT_TRUE(p.PublishedXml.Empty());
  EXPECT_TRUE(p.Sounds.empty());
  // Without a package-wide range each picture's own range is in force.
  EXPECT_EQ(p.NumPiecesMin, -1);
  EXPECT_EQ(p.NumPiecesMax, -1);
  EXPECT_EQ(p.PictureCount(), 2);
}

// Sounds of every format go in as they are; a file whose name has no Windows-1252 form is taken when the
// manifest names the entry.
TEST(Manifest, SoundsOfEveryFormatAndFilesNamedByTheManifest) {
  ManifestFolder folder;
  const std::string output = folder.File("out.kvj");
  const TToolRun run = RunTool({"create", folder.Manifest(R"({"title": "T",
    "pictures": [{"file": "images/\u6E56.jpg", "name": "Lake"}],
    "sounds": [{"file": "sounds/song.mp3"}, {"file": "sounds/voice.wma"}, {"file": "sounds/tune.mid"},
               {"file": "sounds/\u2603.wav", "name": "Snow"}]})"),
                                "-o", output});
  ASSERT_EQ(run.Status, 0) << run.Err;
  TJigsawProject2 p;
  p.LoadFromFile(output);
  ASSERT_EQ(p.Pictures.size(), 1u);
  EXPECT_EQ(p.Pictures[0]->Name, "Lake");
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> sounds = {{"song.mp3", kvtest::MakeMp3()},
                                                                            {"voice.wma", kvtest::MakeWma()},
                                                                            {"tune.mid", kvtest::MakeMidi()},
                                                                            {"Snow", kvtest::TinyWav()}};
  const std::vector<uint8_t> formats = {4, 3, 2, 1};
  ASSERT_EQ(p.Sounds.size(), sounds.size());
  ASSERT_EQ(p.SoundFormats.size(), sounds.size());
  for (std::size_t i = 0; i < sounds.size(); ++i) {
    EXPECT_EQ(p.Sounds[i]->Name, sounds[i].first);
    EXPECT_EQ(p.Sounds[i]->Data.Bytes(), sounds[i].second) << i;
    EXPECT_EQ(p.SoundFormats[i].SoundID, static_cast<int32_t>(p.Sounds[i]->ID));
    EXPECT_EQ(p.SoundFormats[i].Format, formats[i]) << i;
  }
}

TEST(Manifest, DemoGameLoadsAndSavesAgainUnchanged) {
  const EngineSteps steps;
  const fs::path demo = fs::path(JIGSAW_SOURCE_DIR) / "assets" / "demo";
  kvtest::TempDir dir;
  const std::string first = dir.file("demo.kvj");
  const TToolRun created = RunTool({"create", (demo / "demo.json").string(), "-o", first});
  ASSERT_EQ(created.Status, 0) << created.Err;
  const TToolRun info = RunTool({"info", "--json", first});
  ASSERT_EQ(info.Status, 0) << info.Err;

  TJigsawProject2 project;
  project.LoadFromFile(first);
  TMemoryStream again;
  project.SaveToStream(again);
  const std::string second = dir.file("again.kvj");
  again.SaveToFile(second);
  const TToolRun infoAgain = RunTool({"info", "--json", second});
  ASSERT_EQ(infoAgain.Status, 0) << infoAgain.Err;
  EXPECT_EQ(infoAgain.Out, info.Out);

  // Every picture and sound of the manifest is in the package, byte for byte.
  const json manifest = json::parse(kvtest::ReadFileBytes((demo / "demo.json").string()));
  const json package = json::parse(info.Out)["package"];
  auto sha = [&](const std::string& file) {
    return kvtools::Sha256Hex(kvtest::ReadFileBytes((demo / file).string()));
  };
  ASSERT_EQ(package["pictures"].size(), manifest["pictures"].size());
  for (std::size_t i = 0; i < manifest["pictures"].size(); ++i) {
    const json& picture = package["pictures"][i];
    EXPECT_EQ(picture["kind"], "picture");
    EXPECT_EQ(picture["name"], manifest["pictures"][i]["name"]);
    EXPECT_EQ(picture["data"]["sha256"], sha(manifest["pictures"][i]["file"])) << i;
  }
  ASSERT_EQ(package["sounds"].size(), manifest["sounds"].size());
  for (std::size_t i = 0; i < manifest["sounds"].size(); ++i)
    EXPECT_EQ(package["sounds"][i]["data"]["sha256"], sha(manifest["sounds"][i]["file"])) << i;

  // Every picture is playable; music, pick-up, snap and completion have their sounds.
  EXPECT_EQ(package["settings"]["pictureCount"], 6);
  for (const json& s : package["pictureSettings"]) EXPECT_GE(s["numPiecesMax"].get<int>(), 2);
  for (const int slot : {0, 6, 7, 9}) EXPECT_FALSE(package["eventSounds"][slot]["soundIds"].empty()) << slot;
  EXPECT_EQ(package["settings"]["highScoreFileName"], manifest["settings"]["highScoreFileName"]);

  // The package is complete: thumbnail, piece shapes and the stored cut of every picture.
  EXPECT_GT(package["thumbnail"]["bitmap"]["size"].get<int>(), 0);
  EXPECT_GT(package["pieceShapeData"]["size"].get<int>(), 0);
  EXPECT_EQ(package["pictureCuts"].size(), 6u);
}

// One typo must not destroy the only copy of a game or a photo: an output that is one of the command's own
// inputs, by any name (the same path, another spelling, a symbolic or a hard link), is refused before
// anything is written, and the input keeps its bytes.
TEST(PackTool, AnOutputThatIsOneOfTheInputsIsRefused) {
  EngineSteps steps;
  ManifestFolder folder;
  const std::string manifest = folder.Manifest(WithTwoPictures(""));
  const std::string package = folder.File("game.kvj");
  ASSERT_EQ(RunTool({"create", manifest, "-o", package}).Status, 0);
  fs::create_symlink(package, folder.File("link.kvj"));
  fs::create_hard_link(folder.File("images/lake.jpg"), folder.File("lake-again.jpg"));
  const std::string spelt = folder.File("images/../game.kvj");
  struct Case {
    std::vector<std::string> Args;
    std::string Input;
  };
  const std::vector<Case> cases = {
      {{"create", manifest, "-o", manifest}, manifest},
      {{"create", manifest, "-o", folder.File("images/lake.jpg")}, folder.File("images/lake.jpg")},
      {{"create", manifest, "-o", folder.File("lake-again.jpg")}, folder.File("images/lake.jpg")},
      {{"cut", package, "--picture", "1", "--difficulty", "0", "-o", spelt}, package},
      {{"cut", package, "--picture", "1", "--difficulty", "0", "-o", folder.File("link.kvj")}, package},
      {{"play", package, "--picture", "1", "--difficulty", "0", "-o", package}, package},
      {{"export", package, "-o", folder.File("link.kvj")}, package},
  };
  for (const Case& c : cases) {
    const std::string output = c.Args[c.Args.size() - 1];
    const std::vector<uint8_t> before = kvtest::ReadFileBytes(c.Input);
    const TToolRun run = RunTool(c.Args);
    EXPECT_EQ(run.Status, 1) << output;
    EXPECT_NE(run.Err.find(output + ": is the input "), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("name another output file"), std::string::npos) << run.Err;
    EXPECT_EQ(kvtest::ReadFileBytes(c.Input), before) << c.Input;
  }
  EXPECT_TRUE(fs::is_symlink(folder.File("link.kvj")));
}

// An output that cannot be written is named with the system's reason; the input is not blamed.
TEST(PackTool, WriteFailuresNameTheOutputAndTheCause) {
  EngineSteps steps;
  ManifestFolder folder;
  const std::string manifest =
      folder.Manifest(R"({"title": "T", "pictures": [{"file": "images/lake.jpg", "id": 1}]})");
  const std::string package = folder.File("game.kvj");
  ASSERT_EQ(RunTool({"create", manifest, "-o", package}).Status, 0);
  const std::string missing = folder.File("no-folder/out.png");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"cut", package, "--picture", "1", "--difficulty", "0", "-o", "/dev/full"},
       "jigsaw-pack: Cannot write file \"/dev/full\". No space left on device\n"},
      {{"play", package, "--picture", "1", "--difficulty", "0", "-o", missing},
       "jigsaw-pack: Cannot create file \"" + missing + "\". No such file or directory\n"},
      {{"create", manifest, "-o", "/dev/full"},
       "jigsaw-pack: Cannot write file \"/dev/full\". No space left on device\n"},
  };
  for (const auto& [args, message] : cases) {
    const TToolRun run = RunTool(args);
    EXPECT_EQ(run.Status, 1) << args[0];
    EXPECT_EQ(run.Err, message);
  }
}
