#include "SampleGame.h"

#include "data/uAppendedData.h"
#include "data/uExtJigsawImages.h"
#include "data/uHighScore.h"
#include "data/uJigsawFile.h"
#include "data/uKVStreamFunc.h"
#include "gui/uPictureConverters.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

namespace kvtest {

using namespace kv;

TMemoryStream Stream(const std::vector<uint8_t>& bytes) {
  return TMemoryStream(bytes);
}

std::vector<uint8_t> TinyWav() {
  TMemoryStream s;
  using SF = TKVStreamFunc;
  const int32_t samples = 400;
  s.WriteBuffer("RIFF", 4);
  SF::WriteInteger(36 + samples, s);
  s.WriteBuffer("WAVEfmt ", 8);
  SF::WriteInteger(16, s);
  SF::WriteWord(1, s);
  SF::WriteWord(1, s);
  SF::WriteInteger(8000, s);
  SF::WriteInteger(8000, s);
  SF::WriteWord(1, s);
  SF::WriteWord(8, s);
  s.WriteBuffer("data", 4);
  SF::WriteInteger(samples, s);
  s.WriteBytes(std::vector<uint8_t>(samples, 0x80));
  return s.Bytes();
}

void BuildSample(TJigsawProject2& p) {
  p.Title = "Sample Jigsaw \xE9t\xE9"; // Windows-1252 text: "été"
  const char* names[] = {"Mountains", "Lake", "Forest"};
  for (int i = 0; i < 3; ++i) {
    TBMPData& picture = p.AddPicture(0, static_cast<uint32_t>(101 + i));
    picture.Name = names[i];
    picture.Data = Stream(kvtest::MakeJpeg(320 + 40 * i, 240));
    p.FindPictureSettings(picture.ID)->NumPiecesMax = 24 * (i + 1);
  }
  TBMPData& wallpaper = p.AddPicture(1, 0x00030000);
  wallpaper.Name = "Wood";
  wallpaper.Data = Stream(kvtest::MakeJpeg(64, 64));

  auto sound = std::make_unique<TWaveData>();
  sound->ID = 1;
  sound->Name = "snap.wav";
  sound->Data = Stream(TinyWav());
  p.Sounds.push_back(std::move(sound));
  p.EventSounds[0].SoundIds = {1};
  p.SoundFormats.push_back({1, 1});

  p.Options.ShowGhost = true;
  p.BevelLevel = 3;
  p.PictureChoiceMode = 1;
  p.Countdown = 1;
  p.CountdownSeconds = 900;
  p.NumPiecesMin = 10;
  p.NumPiecesMax = 60;

  TMenuExRec& game = p.AddMenu("&Game", "&Game", p.Menus, 0, 0, 0, true);
  p.AddMenu("New", "&New game", game.Children, 0, 1, game.ID, true);
  p.AddMenu("Sep", "-", game.Children, 0, -1, game.ID, true);
  TMenuExRec& page = p.AddMenu("About", "&About page", game.Children, 0, 13, game.ID, true);
  page.Script.AddText("about.htm,400,300");
  p.AddMenu("Solve", "Solve", p.Menus, 1, 9, 0, true);

  TScriptItem& start = p.StartActions.AddScript();
  start.ID = 14;
  start.Parameter.AddInteger(1);
  p.EndActions.AddScript().ID = 5;

  TBanner& banner = p.Banners.Add(p.Random());
  banner.Name = "Visit";
  banner.Data = Stream(kvtest::MakeJpeg(120, 30));
  banner.URL = "https://example.org/";
  banner.Interval = 3000;
  banner.SetEventID(11);
  banner.ComputeSize(ReadPictureSize);
  TBannerContainer& container = p.BannerContainers.Add(p.Random());
  container.Name = "Top";
  container.AddBanner(&banner);
  p.Language = {"quit=Quit the sample jigsaw?"};
}

TSampleGameFiles MakeSampleGameFiles() {
  TSampleGameFiles sample;
  TJigsawProject2 project(PictureConverterServices());
  BuildSample(project);
  project.SaveToStream(sample.Package);
  sample.Files.push_back({"sample.kvj", sample.Package.Bytes()});

  TExtJigsawImages extras;
  TExtJigsawImage& own = extras.Add();
  own.ImageID = 4242;
  own.ImgFormat = TImageFormat::ifJPEG;
  own.Stream = Stream(kvtest::MakeJpeg(200, 150));
  extras.SaveToStream(sample.ExtraPictures);
  TMemoryStream player(std::vector<uint8_t>(4096, 0x90)), game;
  sample.Package.SetPosition(0);
  sample.ExtraPictures.SetPosition(0);
  AppendGameData(game, player, sample.Package, &sample.ExtraPictures);
  sample.Files.push_back({"sample-game", game.Bytes()});

  TJigsawFile saved;
  saved.Columns = 2;
  saved.Rows = 2;
  saved.Scale = 3.0f;
  saved.ElapsedSeconds = 75;
  saved.ProgramName = "/usr/games/sample-game";
  saved.PictureId = 101;
  saved.Difficulty = 1;
  saved.PieceStates.resize(4);
  for (int i = 0; i < 4; ++i) saved.PieceStates[static_cast<std::size_t>(i)].X = 10 * i;
  saved.Resaving = true;
  TMemoryStream jsw;
  saved.SaveToStream(jsw);
  sample.Files.push_back({"sample.jsw", jsw.Bytes()});

  THighScore scores;
  scores.Add({"Ann", 75, 0});
  scores.Add({"Bob", 130, 0});
  scores.Add({"Cy", 400, 2});
  TMemoryStream table;
  scores.SaveToStream(table);
  sample.Files.push_back({"JigsawHighScore.dat", table.Bytes()});
  return sample;
}

void WriteSampleFiles(const std::filesystem::path& folder, const std::vector<TSampleFile>& files) {
  for (const TSampleFile& file : files) {
    const std::filesystem::path path = folder / file.Name;
    std::filesystem::create_directories(path.parent_path());
    WriteFileBytes(path.string(), file.Bytes);
  }
}

} // namespace kvtest
