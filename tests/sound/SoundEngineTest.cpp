#include "core/uKVErrors.h"
#include "platform/uHeadlessPlatform.h"
#include "sound/uKVSoundEngine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kv;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> SoundBytes(uint8_t seed) {
  std::vector<uint8_t> bytes(64);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

// Points the platform's temporary folder at a private folder for as long as it lives.
class TTemporaryFolder {
public:
  TTemporaryFolder() {
    if (const char* old = std::getenv("TMPDIR")) Old = old;
    setenv("TMPDIR", Dir.path().c_str(), 1);
  }
  ~TTemporaryFolder() {
    if (Old)
      setenv("TMPDIR", Old->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir.path())) names.push_back(entry.path().string());
    return names;
  }
  kvtest::TempDir Dir;

private:
  std::optional<std::string> Old;
};

class SoundEngine : public ::testing::Test {
protected:
  THeadlessPlatform Platform;
  TSilentSoundOutput& Output = Platform.SilentSound;
  std::unique_ptr<TKVSoundEventCollection> Sounds =
      std::make_unique<TKVSoundEventCollection>(Platform.Services());
  int Window = 0;

  SoundEngine() { Sounds->SetOwner(&Window); }

  void Register(uint16_t id, TKVSoundFormat format, uint8_t seed) {
    TMemoryStream stream(SoundBytes(seed));
    Sounds->RegisterEvent(id, stream, format);
  }
  // The channel the entry of id opened last.
  TSilentSoundOutput::TChannelRecord* ChannelOf(uint16_t id) {
    const auto* item = Sounds->FindEvent(id);
    TSilentSoundOutput::TChannelRecord* found = nullptr;
    for (const auto& record : Output.Channels())
      if (item && record->Bytes == item->Data.Bytes()) found = record.get();
    return found;
  }
  // The music (1, MIDI, repeating), a click (100, WAV) and the win (107, WAV, repeating), prepared.
  void PrepareGame() {
    Register(1, kvsfMIDI, 10);
    Register(100, kvsfWAV, 20);
    Register(107, kvsfWAV, 30);
    Sounds->PrepareAll();
  }
};

} // namespace

TEST(SoundFormats, MapToThePlayersFormatsAndExtensions) {
  const struct {
    TKVSoundFormat Format;
    TKVSoundFormat Player;
    const char* Extension;
  } cases[] = {{kvsfUnknown, kvsfUnknown, ""}, {kvsfWAV, kvsfWAV, ".wav"},
               {kvsfMIDI, kvsfMIDI, ".mid"},   {kvsfWMA, kvsfWMA, ".wma"},
               {kvsfMP3, kvsfMP3, ".mp3"},     {static_cast<TKVSoundFormat>(9), kvsfUnknown, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(ValidSoundFormat(c.Format), c.Player) << int(c.Format);
    EXPECT_EQ(ExtensionOf(c.Format), c.Extension) << int(c.Format);
  }
  // The package's byte 3 is WMA and byte 4 MP3.
  EXPECT_EQ(ValidSoundFormat(3), kvsfWMA);
  EXPECT_EQ(ValidSoundFormat(4), kvsfMP3);
}

TEST_F(SoundEngine, RegisterKeepsTheFirstSoundOfAnEventAndCopiesTheWholeStream) {
  TMemoryStream stream(SoundBytes(1));
  stream.SetPosition(40);
  Sounds->RegisterEvent(102, stream, kvsfWAV);
  ASSERT_EQ(Sounds->Count(), 1);
  EXPECT_EQ(Sounds->Item(0).Data.Bytes(), SoundBytes(1));
  EXPECT_EQ(Sounds->Item(0).EventID, 102);
  EXPECT_EQ(Sounds->Item(0).SoundFormat, kvsfWAV);
  EXPECT_FALSE(Sounds->Item(0).Prepared());

  Register(102, kvsfMIDI, 2);
  Register(102, kvsfUnknown, 3); // an existing id is never checked further
  ASSERT_EQ(Sounds->Count(), 1);
  EXPECT_EQ(Sounds->Item(0).Data.Bytes(), SoundBytes(1));
  EXPECT_EQ(Sounds->Item(0).SoundFormat, kvsfWAV);
}

TEST_F(SoundEngine, PreconditionsFailWithTheirAssertions) {
  try {
    Register(5, kvsfUnknown, 1);
    FAIL() << "registered";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text, "Unknown media format");
    EXPECT_EQ(e.Unit, "Shared/Sound/uKVSoundEngine");
    EXPECT_STREQ(e.what(), "Unknown media format (Shared/Sound/uKVSoundEngine)");
  }
  EXPECT_EQ(Sounds->Count(), 0);

  Register(1, kvsfWAV, 1);
  Sounds->PrepareAll();
  Sounds->SetOwner(nullptr);
  try {
    Sounds->PlayEvent(1, 0);
    FAIL() << "played";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text, "Sound Engine Owner Control not defined");
    EXPECT_EQ(e.Unit, "Shared/Sound/uKVSoundEngine");
  }
  // Also while sound is off.
  Sounds->SetSoundOn(false);
  EXPECT_THROW(Sounds->PlayEvent(1, 0), EAssertionFailed);
  EXPECT_TRUE(Output.Playing().empty());
}

TEST_F(SoundEngine, PreparesEverySoundFromMemoryInItsFormat) {
  Register(1, kvsfMIDI, 1);
  Register(100, kvsfWAV, 2);
  Register(106, kvsfWMA, 3);
  Register(107, kvsfMP3, 4);
  Sounds->PrepareAll();
  ASSERT_EQ(Output.Channels().size(), 4u);
  const TKVSoundFormat formats[] = {kvsfMIDI, kvsfWAV, kvsfWMA, kvsfMP3};
  for (int i = 0; i < 4; ++i) {
    const auto& record = *Output.Channels()[static_cast<std::size_t>(i)];
    EXPECT_EQ(record.Format, formats[i]);
    EXPECT_EQ(record.Bytes, SoundBytes(static_cast<uint8_t>(i + 1)));
    EXPECT_TRUE(record.FileName.empty());
    EXPECT_TRUE(Sounds->Item(i).Prepared());
    EXPECT_EQ(Sounds->Item(i).Player()->Parent(), &Window);
    EXPECT_TRUE(Sounds->Item(i).TempFiles().DeleteList.empty());
  }
  Sounds->PrepareAll(); // once only
  EXPECT_EQ(Output.Channels().size(), 4u);
}

TEST_F(SoundEngine, AnUnplayableSoundStaysSilentAndTheOthersPlay) {
  Output.Refuse = [](const std::vector<uint8_t>& bytes, TKVSoundFormat format) {
    return format == kvsfWMA || bytes == SoundBytes(9) ? std::string("Unsupported sound") : std::string();
  };
  Register(1, kvsfWMA, 1);
  Register(100, kvsfWAV, 9); // broken data
  Register(101, kvsfWAV, 2);
  Register(102, kvsfMIDI, 3);
  EXPECT_NO_THROW(Sounds->PrepareAll());
  EXPECT_FALSE(Sounds->FindEvent(1)->Prepared());
  EXPECT_FALSE(Sounds->FindEvent(100)->Prepared());
  EXPECT_TRUE(Sounds->FindEvent(101)->Prepared());
  EXPECT_TRUE(Sounds->FindEvent(102)->Prepared());

  Sounds->PlayEvent(1, -1);
  Sounds->PlayEvent(100, 0);
  EXPECT_FALSE(Sounds->FindEvent(1)->Repeating());
  EXPECT_TRUE(Output.Playing().empty());
  Sounds->PlayEvent(101, 0);
  EXPECT_EQ(Output.Playing().size(), 1u);
}

TEST_F(SoundEngine, ASoundPlayedBeforeItIsPreparedOpensThenAndAnUnplayableOneIsTriedOnce) {
  int refusals = 0;
  Output.Refuse = [&](const std::vector<uint8_t>&, TKVSoundFormat format) {
    if (format != kvsfWMA) return std::string();
    ++refusals;
    return std::string("Unsupported sound");
  };
  Register(101, kvsfWAV, 2);
  Register(1, kvsfWMA, 1);
  Sounds->PlayEvent(101, 0);
  EXPECT_TRUE(Sounds->FindEvent(101)->Prepared());
  EXPECT_EQ(Output.Playing().size(), 1u);
  Sounds->PlayEvent(1, 0);
  Sounds->PlayEvent(1, 0);
  Sounds->PrepareAll();
  EXPECT_FALSE(Sounds->FindEvent(1)->Prepared());
  EXPECT_EQ(refusals, 1);
  // Released, it may be tried again (a new game opens its sounds anew).
  Sounds->FindEvent(1)->Release();
  Sounds->PlayEvent(1, 0);
  EXPECT_EQ(refusals, 2);
}

TEST_F(SoundEngine, OneShotSoundsRunToTheirEnd) {
  PrepareGame();
  Sounds->PlayEvent(100, 0);
  auto* click = ChannelOf(100);
  ASSERT_NE(click, nullptr);
  EXPECT_EQ(click->Mode, TSoundMode::Playing);
  EXPECT_FALSE(Sounds->FindEvent(100)->Repeating());

  Sounds->PauseAll();
  Sounds->StopAll();
  Sounds->FindEvent(100)->Pause();
  Sounds->FindEvent(100)->Stop();
  EXPECT_EQ(click->Mode, TSoundMode::Playing);

  ASSERT_TRUE(Output.Finish(click->Id));
  Platform.Advance(100);
  EXPECT_EQ(click->Mode, TSoundMode::Stopped);
  EXPECT_EQ(click->Plays, 1);

  // Any repeat count other than -1 plays once.
  for (int32_t repeat : {1, 2, 0x7FFFFFFF, -2}) {
    Sounds->PlayEvent(100, repeat);
    EXPECT_FALSE(Sounds->FindEvent(100)->Repeating()) << repeat;
    ASSERT_TRUE(Output.Finish(click->Id));
    Platform.Advance(100);
    EXPECT_EQ(click->Mode, TSoundMode::Stopped) << repeat;
  }
}

TEST_F(SoundEngine, RepeatingSoundsPauseResumeAndStop) {
  PrepareGame();
  Sounds->PlayEvent(1, -1);
  auto* music = ChannelOf(1);
  ASSERT_NE(music, nullptr);
  EXPECT_TRUE(Sounds->FindEvent(1)->Repeating());

  // The end starts it again.
  for (int round = 2; round <= 3; ++round) {
    ASSERT_TRUE(Output.Finish(music->Id));
    Platform.Advance(10);
    EXPECT_EQ(music->Mode, TSoundMode::Playing);
    EXPECT_EQ(music->Plays, round);
  }

  Sounds->PauseAll();
  EXPECT_EQ(music->Mode, TSoundMode::Paused);
  Sounds->ResumeAll();
  EXPECT_EQ(music->Mode, TSoundMode::Playing);
  Sounds->PauseAll();
  Sounds->PauseAll(); // pausing toggles
  EXPECT_EQ(music->Mode, TSoundMode::Playing);

  Sounds->StopAll();
  EXPECT_EQ(music->Mode, TSoundMode::Stopped);
  EXPECT_FALSE(Sounds->FindEvent(1)->Repeating());
  Sounds->ResumeAll();
  Platform.Advance(100);
  EXPECT_EQ(music->Mode, TSoundMode::Stopped);

  // The win: all sounds stop, then it repeats.
  Sounds->PlayEvent(1, -1);
  Sounds->StopAll();
  Sounds->PlayEvent(107, -1);
  EXPECT_EQ(Output.Playing(), (std::vector<int>{ChannelOf(107)->Id}));
}

TEST_F(SoundEngine, SoundOffSilencesAndSoundOnResumes) {
  PrepareGame();
  Sounds->PlayEvent(1, -1);
  auto* music = ChannelOf(1);
  Sounds->PauseAll();
  EXPECT_EQ(music->Mode, TSoundMode::Paused);
  Sounds->SetSoundOn(true); // resumes what is paused
  EXPECT_EQ(music->Mode, TSoundMode::Playing);

  Sounds->SetSoundOn(false);
  EXPECT_FALSE(Sounds->SoundOn());
  EXPECT_EQ(music->Mode, TSoundMode::Stopped);
  EXPECT_FALSE(Sounds->FindEvent(1)->Repeating());
  Sounds->PlayEvent(100, 0);
  Sounds->PlayEvent(1, -1);
  EXPECT_TRUE(Output.Playing().empty());

  Sounds->SetSoundOn(true);
  EXPECT_TRUE(Output.Playing().empty()); // the stopped music is the session's to restart
  Sounds->PlayEvent(1, -1);
  EXPECT_EQ(music->Mode, TSoundMode::Playing);

  // Pausing while sound is off stops the repeating sounds.
  Sounds->SetSoundOn(false);
  Sounds->SetSoundOn(true);
  Sounds->PlayEvent(107, -1);
  Sounds->SetSoundOn(false);
  Sounds->PauseAll();
  EXPECT_TRUE(Output.Playing().empty());
}

TEST_F(SoundEngine, FindEventGivesTheLastEntryOfAnId) {
  EXPECT_EQ(Sounds->FindEvent(-1), nullptr);
  PrepareGame();
  EXPECT_EQ(Sounds->FindEvent(100), &Sounds->Item(1));
  EXPECT_EQ(Sounds->FindEvent(-1), &Sounds->Item(2));
  EXPECT_EQ(Sounds->FindEvent(104), nullptr);
  Sounds->PlayEvent(104, 0); // no entry: nothing
  EXPECT_TRUE(Output.Playing().empty());
}

TEST_F(SoundEngine, PlayersCreatedAfterTheOwnerIsSetGetIt) {
  Sounds->SetOwner(nullptr);
  Register(1, kvsfWAV, 1);
  Sounds->PrepareAll();
  EXPECT_TRUE(Sounds->Item(0).Prepared()); // the sound opens all the same
  EXPECT_EQ(Sounds->Item(0).Player()->Parent(), nullptr);
  int other = 0;
  Sounds->SetOwner(&other);
  Register(2, kvsfWAV, 2);
  Sounds->PrepareAll();
  EXPECT_EQ(Sounds->Item(1).Player()->Parent(), &other);
}

TEST_F(SoundEngine, ClearReleasesEverything) {
  PrepareGame();
  Sounds->PlayEvent(1, -1);
  Sounds->PlayEvent(100, 0);
  Sounds->Clear();
  EXPECT_EQ(Sounds->Count(), 0);
  for (const auto& record : Output.Channels()) EXPECT_TRUE(record->Closed);
  EXPECT_TRUE(Output.Playing().empty());
  Platform.Advance(100);
}

TEST_F(SoundEngine, WithoutOutputNothingSounds) {
  TKVSoundEventCollection silent;
  silent.SetOwner(&Window);
  TMemoryStream stream(SoundBytes(1));
  silent.RegisterEvent(1, stream, kvsfWAV);
  silent.PrepareAll();
  EXPECT_FALSE(silent.Item(0).Prepared());
  silent.PlayEvent(1, -1);
  EXPECT_FALSE(silent.Item(0).Repeating());
}

// An output that plays files only: every sound goes through a temporary file of its format.
class SoundEngineFiles : public SoundEngine {
protected:
  TTemporaryFolder Temp;
  SoundEngineFiles() { Output.FromMemory = false; }
};

TEST_F(SoundEngineFiles, WritesEachSoundToATemporaryFileWithItsExtension) {
  Register(1, kvsfMIDI, 1);
  Register(100, kvsfWAV, 2);
  Register(106, kvsfWMA, 3);
  Register(107, kvsfMP3, 4);
  Sounds->PrepareAll();
  const char* extensions[] = {".mid", ".wav", ".wma", ".mp3"};
  const std::string folder = Temp.Dir.path().string() + "/";
  ASSERT_EQ(Output.Channels().size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const auto& item = Sounds->Item(i);
    const auto& record = *Output.Channels()[static_cast<std::size_t>(i)];
    EXPECT_TRUE(item.Prepared());
    ASSERT_EQ(item.TempFiles().DeleteList.size(), 1u);
    const std::string name = item.TempFiles().DeleteList[0];
    EXPECT_EQ(record.FileName, name);
    EXPECT_EQ(item.Player()->Filename(), name);
    EXPECT_TRUE(name.starts_with(folder + "0_")) << name;
    EXPECT_TRUE(name.ends_with(extensions[i])) << name;
    EXPECT_EQ(kvtest::ReadFileBytes(name), SoundBytes(static_cast<uint8_t>(i + 1)));
  }
  EXPECT_EQ(Temp.Files().size(), 4u);

  // No temporary file outlives its entry.
  Sounds->FindEvent(100)->Release();
  EXPECT_FALSE(Sounds->FindEvent(100)->Prepared());
  EXPECT_EQ(Temp.Files().size(), 3u);
  Sounds->Clear();
  EXPECT_TRUE(Temp.Files().empty());

  PrepareGame();
  EXPECT_EQ(Temp.Files().size(), 3u);
  Sounds.reset();
  EXPECT_TRUE(Temp.Files().empty());
}

TEST_F(SoundEngineFiles, AFileThatCannotBeWrittenIsReportedAndLeavesTheEntrySilent) {
  Register(1, kvsfWAV, 1);
  // Every name the random source can give is taken: by folders, which a file cannot replace.
  auto services = Platform.Services();
  services.Random = std::make_shared<kvtest::ScriptedRandom>([](int32_t) { return 7; });
  Sounds->SetServices(services);
  fs::create_directory(Temp.Dir.path() / "0_7.wav");
  Register(2, kvsfWAV, 2);
  Sounds->PrepareAll();
  EXPECT_TRUE(Sounds->FindEvent(1)->Prepared());
  EXPECT_FALSE(Sounds->FindEvent(2)->Prepared());
  ASSERT_EQ(Platform.Boxes.Shown.size(), 1u);
  EXPECT_EQ(Platform.Boxes.Shown[0],
            (TScriptedMessageBoxes::TShown{"error", "Error creating temporary file"}));
  Sounds->PlayEvent(2, 0);
  EXPECT_EQ(Output.Playing().size(), 0u);
}
