#include "platform/uHeadlessPlatform.h"
#include "sound/uKVMediaPlayer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace kv;

namespace {

const std::vector<uint8_t> Tune{'M', 'T', 'h', 'd', 0, 0, 0, 6};

class MediaPlayer : public ::testing::Test {
protected:
  THeadlessPlatform Platform;
  TSilentSoundOutput& Output = Platform.SilentSound;
  std::unique_ptr<TKVMediaPlayer> Player =
      std::make_unique<TKVMediaPlayer>(&Output, Platform.Clock.Factory());
  int Finished = 0;
  int Host = 0;

  MediaPlayer() {
    Player->OnFinished = [this] { ++Finished; };
  }

  void Open(TKVSoundFormat format) {
    Player->SetSoundFormat(format);
    Player->SetData(Tune);
  }
  TSilentSoundOutput::TChannelRecord& Channel() {
    return Output.Channel(static_cast<int>(Output.Channels().size()));
  }
  // The sound reaches its end and the end is handled.
  void FinishSound() {
    ASSERT_TRUE(Output.Finish(Channel().Id));
    Platform.Dispatcher.ProcessPending();
  }
};

} // namespace

TEST_F(MediaPlayer, OpensSoundsFromMemoryInTheirEncoding) {
  const struct {
    TKVSoundFormat Format;
    TKVSoundFormat Opened;
  } cases[] = {{kvsfWAV, kvsfWAV},
               {kvsfMIDI, kvsfMIDI},
               {kvsfMP3, kvsfMP3},
               {kvsfWMA, kvsfWMA},
               {kvsfUnknown, kvsfUnknown}};
  for (const auto& c : cases) {
    Open(c.Format);
    EXPECT_TRUE(Player->isOpen());
    EXPECT_FALSE(Player->isPlaying());
    EXPECT_EQ(Channel().Format, c.Opened);
    EXPECT_EQ(Channel().Bytes, Tune);
    EXPECT_TRUE(Channel().FileName.empty());
  }
  // Each new sound closed the one before.
  for (std::size_t i = 0; i + 1 < Output.Channels().size(); ++i) EXPECT_TRUE(Output.Channels()[i]->Closed);
  EXPECT_FALSE(Channel().Closed);
}

TEST_F(MediaPlayer, FilenameOpensAnExistingFileOnly) {
  kvtest::TempDir dir;
  const std::string name = dir.file("tune.mid");
  kvtest::WriteFileBytes(name, Tune);

  Player->SetSoundFormat(kvsfMIDI);
  EXPECT_NO_THROW(Player->SetFilename(dir.file("missing.mid")));
  EXPECT_FALSE(Player->isOpen());
  EXPECT_TRUE(Output.Channels().empty());
  EXPECT_EQ(Player->Filename(), dir.file("missing.mid"));

  Player->SetFilename(name);
  EXPECT_TRUE(Player->isOpen());
  EXPECT_EQ(Channel().FileName, name);
  EXPECT_EQ(Channel().Bytes, Tune);
  EXPECT_EQ(Channel().Format, kvsfMIDI);

  // Naming a file that is gone lets go of the sound the player had.
  Player->SetFilename(dir.file("missing.mid"));
  EXPECT_FALSE(Player->isOpen());
  EXPECT_TRUE(Channel().Closed);
}

TEST_F(MediaPlayer, AnUnplayableSoundRaisesThePlayersError) {
  Output.Refuse = [](const std::vector<uint8_t>&, TKVSoundFormat format) {
    return format == kvsfWMA ? std::string("No decoder for this sound") : std::string();
  };
  Player->SetSoundFormat(kvsfWMA);
  try {
    Player->SetData(Tune);
    FAIL() << "opened";
  } catch (const ESoundError& e) {
    EXPECT_STREQ(e.what(), "No decoder for this sound");
  }
  EXPECT_FALSE(Player->isOpen());
  Player->Play(); // nothing to play
  EXPECT_FALSE(Player->isPlaying());
  EXPECT_TRUE(Output.Channels().empty());

  // An output that plays files only refuses sounds in memory.
  Output.FromMemory = false;
  Player->SetSoundFormat(kvsfWAV);
  EXPECT_THROW(Player->SetData(Tune), ESoundError);
}

TEST_F(MediaPlayer, PlaysOnceAndTellsTheEnd) {
  Open(kvsfWAV);
  Player->Play();
  EXPECT_TRUE(Player->isPlaying());
  EXPECT_EQ(Channel().Mode, TSoundMode::Playing);
  EXPECT_EQ(Output.Log, (std::vector<std::string>{"open 1", "stop 1", "play 1"}));

  FinishSound();
  EXPECT_EQ(Finished, 1);
  EXPECT_FALSE(Player->isPlaying());
  EXPECT_EQ(Channel().Plays, 1);
  Platform.Advance(1000);
  EXPECT_EQ(Channel().Plays, 1);

  // Playing again starts over.
  Player->Play();
  FinishSound();
  EXPECT_EQ(Finished, 2);
  EXPECT_EQ(Channel().Plays, 2);
}

TEST_F(MediaPlayer, WavRepeatsThroughTheEndNotPosition) {
  Open(kvsfWAV);
  Player->SetContinue(true);
  Player->Play();
  // A WAV's position and length read 0, so the end-of-sound check never rewinds it.
  Channel().Position = Channel().Length;
  EXPECT_EQ(Player->Position(), 0u);
  EXPECT_EQ(Player->Length(), 0u);
  Platform.Advance(100);
  EXPECT_EQ(std::count(Output.Log.begin(), Output.Log.end(), "rewind 1"), 0);

  for (int round = 1; round <= 3; ++round) {
    FinishSound();
    EXPECT_EQ(Channel().Mode, TSoundMode::Playing) << round;
    EXPECT_EQ(Channel().Plays, round + 1);
    EXPECT_TRUE(Player->isPlaying());
    EXPECT_EQ(Finished, round);
  }
  // Stopped, it stays stopped.
  Player->Stop();
  EXPECT_FALSE(Output.Finish(1));
  Platform.Advance(100);
  EXPECT_EQ(Channel().Mode, TSoundMode::Stopped);
  EXPECT_EQ(Channel().Plays, 4);
}

TEST_F(MediaPlayer, EndOfSoundCheckRewindsOtherFormatsWhileRepeating) {
  for (auto format : {kvsfMIDI, kvsfMP3, kvsfWMA}) {
    Open(format);
    const std::string rewind = "rewind " + std::to_string(Channel().Id);
    Player->Play();
    Channel().Position = Channel().Length;
    EXPECT_EQ(Player->Position(), 1000u);
    EXPECT_EQ(Player->Length(), 1000u);
    Platform.Advance(50); // not repeating: no check
    EXPECT_EQ(std::count(Output.Log.begin(), Output.Log.end(), rewind), 0);

    Player->SetContinue(true);
    Platform.Advance(9);
    EXPECT_EQ(std::count(Output.Log.begin(), Output.Log.end(), rewind), 0);
    Platform.Advance(1); // every 10 ms
    EXPECT_EQ(std::count(Output.Log.begin(), Output.Log.end(), rewind), 1);
    EXPECT_EQ(Channel().Position, 0u);
    EXPECT_EQ(Channel().Mode, TSoundMode::Playing);

    Channel().Position = 400;
    Platform.Advance(100);
    EXPECT_EQ(std::count(Output.Log.begin(), Output.Log.end(), rewind), 1);

    // A player that cannot tell the length is never at the end.
    Channel().Position = 0;
    Channel().Length = 0;
    Platform.Advance(100);
    EXPECT_EQ(std::count(Output.Log.begin(), Output.Log.end(), rewind), 1);
    Player->SetContinue(false);
  }
}

TEST_F(MediaPlayer, EndsOfCutPlaysAreNotTold) {
  Open(kvsfMIDI);
  Player->Play();
  ASSERT_TRUE(Output.Finish(1)); // the end is on its way ...
  Player->Play();                // ... when the sound is started again
  Platform.Dispatcher.ProcessPending();
  EXPECT_EQ(Finished, 0);
  EXPECT_TRUE(Player->isPlaying());

  ASSERT_TRUE(Output.Finish(1));
  Player->Stop();
  Platform.Dispatcher.ProcessPending();
  EXPECT_EQ(Finished, 0);
  EXPECT_FALSE(Player->isPlaying());

  // A rewind does not cut the play: its end is told, and the repeat follows.
  Player->Play();
  Player->SetContinue(true);
  Channel().Position = Channel().Length;
  Platform.Advance(10);
  EXPECT_EQ(Output.Log.back(), "rewind 1");
  FinishSound();
  EXPECT_EQ(Finished, 1);
  EXPECT_EQ(Channel().Mode, TSoundMode::Playing);
  EXPECT_EQ(Channel().Plays, 4);
}

TEST_F(MediaPlayer, PauseTogglesAndResumeResumes) {
  Open(kvsfMIDI);
  Player->Pause(); // not playing: nothing
  EXPECT_EQ(Channel().Mode, TSoundMode::Stopped);
  Player->Play();
  Player->Pause();
  EXPECT_EQ(Channel().Mode, TSoundMode::Paused);
  EXPECT_FALSE(Player->isPlaying());
  Player->Pause();
  EXPECT_EQ(Channel().Mode, TSoundMode::Playing);
  EXPECT_TRUE(Player->isPlaying());
  Player->Pause();
  Player->Resume();
  EXPECT_EQ(Channel().Mode, TSoundMode::Playing);
  Player->Resume();
  EXPECT_EQ(Channel().Mode, TSoundMode::Playing);
}

TEST_F(MediaPlayer, CloseAndEnsureOpen) {
  Open(kvsfWAV);
  Player->Play();
  Player->Close();
  EXPECT_FALSE(Player->isOpen());
  EXPECT_FALSE(Player->isPlaying());
  EXPECT_TRUE(Output.Channel(1).Closed);
  EXPECT_EQ(Output.Log.back(), "close 1");

  Player->EnsureOpen(); // no parent: stays closed
  EXPECT_FALSE(Player->isOpen());
  Player->SetParent(&Host);
  Player->EnsureOpen();
  EXPECT_TRUE(Player->isOpen());
  EXPECT_EQ(Output.Channels().size(), 2u);
  EXPECT_EQ(Output.Channel(2).Bytes, Tune);
  Player->EnsureOpen(); // already open
  EXPECT_EQ(Output.Channels().size(), 2u);
}

TEST_F(MediaPlayer, MayGoWhileItsEndIsOnTheWayOrFromItsOwnEnd) {
  Open(kvsfWAV);
  Player->Play();
  ASSERT_TRUE(Output.Finish(1));
  Player.reset();
  EXPECT_TRUE(Output.Channel(1).Closed);
  Platform.Dispatcher.ProcessPending();
  EXPECT_EQ(Finished, 0);

  Player = std::make_unique<TKVMediaPlayer>(&Output, Platform.Clock.Factory());
  Player->SetSoundFormat(kvsfWAV);
  Player->SetData(Tune);
  Player->SetContinue(true);
  Player->OnFinished = [this] {
    ++Finished;
    Player.reset();
  };
  Player->Play();
  FinishSound();
  EXPECT_EQ(Player, nullptr);
  EXPECT_EQ(Finished, 1);
  Platform.Advance(100);
}

TEST_F(MediaPlayer, WithoutOutputNothingOpens) {
  TKVMediaPlayer silent(nullptr, Platform.Clock.Factory());
  silent.SetSoundFormat(kvsfWAV);
  silent.SetData(Tune);
  silent.SetParent(&Host);
  silent.EnsureOpen();
  silent.Play();
  silent.SetContinue(true);
  Platform.Advance(100);
  EXPECT_FALSE(silent.isOpen());
  EXPECT_FALSE(silent.isPlaying());
  EXPECT_EQ(silent.Position(), 0u);
}
