#include "platform/uHeadlessPlatform.h"
#include "platform/uSdlSoundOutput.h"
#include "sound/uKVSoundEngine.h"
#include "sound/uKVThreadTimer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kv;

namespace {

constexpr int Patience = 20000; // ms; only reached when something hangs

std::vector<uint8_t> DemoSound(const std::string& name) {
  return kvtest::ReadFileBytes(std::string(JIGSAW_SOURCE_DIR) + "/assets/demo/sounds/" + name);
}

// The start of an ASF (WMA) file: its header object's id and size.
std::vector<uint8_t> WmaBytes() {
  return {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE,
          0x6C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x01, 0x02};
}

std::vector<uint8_t> Prefix(std::vector<uint8_t> bytes, std::size_t length) {
  bytes.resize(std::min(bytes.size(), length));
  return bytes;
}

// A standard MIDI file of one note of a quarter second on a wood block (a short fade after it).
std::vector<uint8_t> ShortTune() {
  const std::vector<uint8_t> track{0x00, 0xC0, 0x73,       // wood block
                                   0x00, 0x90, 0x3C, 0x64, // middle C on
                                   0x30, 0x80, 0x3C, 0x40, // off 48 ticks later
                                   0x00, 0xFF, 0x2F, 0x00};
  return kvtest::Bytes()
      .chars("MThd")
      .raw({0, 0, 0, 6, 0, 0, 0, 1, 0, 96})
      .chars("MTrk")
      .raw({0, 0, 0, static_cast<uint8_t>(track.size())})
      .raw(track)
      .data();
}

struct TLevels {
  std::size_t Samples = 0;
  int Peak = 0;
  double Rms = 0;
};

// Sets an environment variable for as long as it lives.
class TEnvironment {
public:
  TEnvironment(const char* name, const std::string& value) : Name(name) {
    if (const char* old = std::getenv(name)) Old = old;
    setenv(name, value.c_str(), 1);
  }
  ~TEnvironment() {
    if (Old)
      setenv(Name, Old->c_str(), 1);
    else
      unsetenv(Name);
  }
  TEnvironment(const TEnvironment&) = delete;
  TEnvironment& operator=(const TEnvironment&) = delete;

private:
  const char* Name;
  std::optional<std::string> Old;
};

// The mixer plays into a file (SDL's disk driver, in real time) that the test reads afterwards.
class SdlSound : public ::testing::Test {
protected:
  kvtest::TempDir Dir;
  std::string Raw = Dir.file("played.raw");
  TEnvironment Driver{"SDL_AUDIODRIVER", "disk"};
  TEnvironment File{"SDL_DISKAUDIOFILE", Raw};
  THeadlessDispatcher Dispatcher;
  TScriptedMessageBoxes Boxes;
  int Window = 0;

  TPlatformServices Services(ISoundOutput& output) {
    TPlatformServices services;
    services.Sound = &output;
    services.Boxes = &Boxes;
    services.Dispatcher = &Dispatcher;
    services.ThreadTimers = ThreadTimerFactory(Dispatcher);
    return services;
  }

  // Runs play with an output of its own and measures what the device was given (signed 16-bit samples).
  TLevels Record(const std::function<void(TSdlSoundOutput&)>& play) {
    {
      TSdlSoundOutput output(Dispatcher);
      EXPECT_TRUE(output.Available()) << output.Failure();
      if (!output.Available()) return {};
      play(output);
    }
    Dispatcher.ProcessPending();
    const auto bytes = kvtest::ReadFileBytes(Raw);
    TLevels levels;
    levels.Samples = bytes.size() / 2;
    double sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      int16_t sample;
      std::memcpy(&sample, &bytes[i], 2);
      levels.Peak = std::max(levels.Peak, std::abs(static_cast<int>(sample)));
      sum += static_cast<double>(sample) * sample;
    }
    if (levels.Samples > 0) levels.Rms = std::sqrt(sum / static_cast<double>(levels.Samples));
    return levels;
  }

  void Wait(int milliseconds) {
    Dispatcher.ProcessUntil([] { return false; }, milliseconds);
  }
};

} // namespace

TEST_F(SdlSound, TheDemosSnapIsHeard) {
  const TLevels levels = Record([&](TSdlSoundOutput& output) {
    TKVSoundEventCollection sounds(Services(output));
    sounds.SetOwner(&Window);
    TMemoryStream snap(DemoSound("snap_camera_click_cc0.wav"));
    sounds.RegisterEvent(102, snap, kvsfWAV);
    sounds.PrepareAll();
    ASSERT_TRUE(sounds.FindEvent(102)->Prepared());
    const auto* player = sounds.FindEvent(102)->Player();
    int finished = 0;
    sounds.FindEvent(102)->Player()->OnFinished = [&] { ++finished; };
    sounds.PlayEvent(102, 0);
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return finished == 1; }, Patience));
    EXPECT_FALSE(player->isPlaying());
  });
  EXPECT_GT(levels.Samples, 0u);
  EXPECT_GT(levels.Peak, 2000) << "rms " << levels.Rms;
  EXPECT_GT(levels.Rms, 20.0) << "peak " << levels.Peak;
}

TEST_F(SdlSound, TheDemosMusicIsHeard) {
  const TLevels levels = Record([&](TSdlSoundOutput& output) {
    TKVSoundEventCollection sounds(Services(output));
    sounds.SetOwner(&Window);
    TMemoryStream music(DemoSound("music_loop_own.mid"));
    sounds.RegisterEvent(1, music, kvsfMIDI);
    sounds.PrepareAll();
    ASSERT_TRUE(sounds.FindEvent(1)->Prepared());
    sounds.PlayEvent(1, -1);
    EXPECT_TRUE(sounds.FindEvent(1)->Repeating());
    Wait(1000);
    EXPECT_TRUE(sounds.FindEvent(1)->Player()->isPlaying());
    sounds.StopAll();
  });
  EXPECT_GT(levels.Peak, 2000) << "rms " << levels.Rms;
  EXPECT_GT(levels.Rms, 20.0) << "peak " << levels.Peak;
}

TEST_F(SdlSound, RepeatingSoundsStartAgainAtTheirEnd) {
  Record([&](TSdlSoundOutput& output) {
    TKVSoundEventCollection sounds(Services(output));
    sounds.SetOwner(&Window);
    TMemoryStream click(DemoSound("click.wav"));
    sounds.RegisterEvent(107, click, kvsfWAV);
    sounds.PrepareAll();
    auto* player = sounds.FindEvent(107)->Player();
    int ends = 0;
    player->OnFinished = [&] { ++ends; };
    sounds.PlayEvent(107, -1);
    ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return ends >= 3; }, Patience));
    EXPECT_TRUE(player->isPlaying());
    sounds.StopAll();
    const int atStop = ends;
    Wait(150);
    EXPECT_EQ(ends, atStop);
    EXPECT_FALSE(player->isPlaying());
  });
}

TEST_F(SdlSound, UnplayableSoundsAreSkippedAndTheOthersPlay) {
  const TLevels levels = Record([&](TSdlSoundOutput& output) {
    const struct {
      const char* Name;
      std::vector<uint8_t> Bytes;
      TKVSoundFormat Format;
    } bad[] = {{"garbage", {'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'u', 'n', 'd'}, kvsfWAV},
               {"wma", WmaBytes(), kvsfWMA},
               {"empty", {}, kvsfWAV},
               {"cut wav", Prefix(DemoSound("click.wav"), 30), kvsfWAV},
               {"mp3 garbage", std::vector<uint8_t>(64, 0xAB), kvsfMP3}};
    for (const auto& c : bad) {
      try {
        output.Open(c.Bytes, c.Format);
        ADD_FAILURE() << c.Name << " opened";
      } catch (const ESoundError& e) {
        EXPECT_STRNE(e.what(), "") << c.Name;
      }
    }
    EXPECT_THROW(output.OpenFile(Dir.file("missing.wav"), kvsfWAV), ESoundError);
    // A broken tune the synthesiser takes plays to an end all the same.
    for (const auto& tune : {Prefix(ShortTune(), 20), std::vector<uint8_t>{'M', 'T', 'h', 'd', 1, 2, 3}}) {
      std::unique_ptr<ISoundChannel> channel;
      try {
        channel = output.Open(tune, kvsfMIDI);
      } catch (const ESoundError&) {
        continue;
      }
      bool ended = false;
      channel->Play([&] { ended = true; });
      EXPECT_TRUE(
          Dispatcher.ProcessUntil([&] { return ended || channel->Mode() == TSoundMode::Stopped; }, Patience));
    }

    TKVSoundEventCollection sounds(Services(output));
    sounds.SetOwner(&Window);
    TMemoryStream wma(WmaBytes());
    TMemoryStream garbage(bad[0].Bytes);
    TMemoryStream snap(DemoSound("snap_camera_click_cc0.wav"));
    sounds.RegisterEvent(1, wma, kvsfWMA);
    sounds.RegisterEvent(100, garbage, kvsfWAV);
    sounds.RegisterEvent(102, snap, kvsfWAV);
    EXPECT_NO_THROW(sounds.PrepareAll());
    EXPECT_FALSE(sounds.FindEvent(1)->Prepared());
    EXPECT_FALSE(sounds.FindEvent(100)->Prepared());
    ASSERT_TRUE(sounds.FindEvent(102)->Prepared());
    EXPECT_NO_THROW(sounds.PlayEvent(1, -1));
    EXPECT_NO_THROW(sounds.PlayEvent(100, 0));
    int finished = 0;
    sounds.FindEvent(102)->Player()->OnFinished = [&] { ++finished; };
    sounds.PlayEvent(102, 0);
    ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return finished == 1; }, Patience));
  });
  EXPECT_GT(levels.Peak, 2000);
}

TEST_F(SdlSound, ChannelsReportTheirModesAndEnds) {
  Record([&](TSdlSoundOutput& output) {
    EXPECT_GT(output.Frequency(), 0);
    EXPECT_GT(output.Channels(), 0);
    // An effect from a file.
    const std::string click = Dir.file("click.wav");
    kvtest::WriteFileBytes(click, DemoSound("click.wav"));
    auto effect = output.OpenFile(click, kvsfWAV);
    EXPECT_EQ(effect->Mode(), TSoundMode::Stopped);
    EXPECT_EQ(effect->Length(), 0u); // an effect cannot tell
    int ends = 0;
    effect->Play([&] { ++ends; });
    effect->Pause();
    EXPECT_EQ(effect->Mode(), TSoundMode::Paused);
    effect->Pause();
    EXPECT_EQ(effect->Mode(), TSoundMode::Playing);
    ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return ends == 1; }, Patience));
    EXPECT_EQ(effect->Mode(), TSoundMode::Stopped);

    // Stopped, a play tells no end; many plays of one sound at once are fine.
    effect->Play([&] { ++ends; });
    effect->Stop();
    EXPECT_EQ(effect->Mode(), TSoundMode::Stopped);
    std::vector<std::unique_ptr<ISoundChannel>> many;
    for (int i = 0; i < 40; ++i) {
      many.push_back(output.Open(DemoSound("click.wav"), kvsfWAV));
      many.back()->Play([&] { ++ends; });
    }
    ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return ends == 41; }, Patience));
    Wait(50);
    EXPECT_EQ(ends, 41);

    // Music: one at a time; a second cuts the first without an end.
    auto first = output.Open(DemoSound("music_loop_own.mid"), kvsfMIDI);
    auto second = output.Open(ShortTune(), kvsfMIDI);
    int firstEnds = 0, secondEnds = 0;
    first->Play([&] { ++firstEnds; });
    EXPECT_EQ(first->Mode(), TSoundMode::Playing);
    first->Pause();
    EXPECT_EQ(first->Mode(), TSoundMode::Paused);
    first->Resume();
    EXPECT_EQ(first->Mode(), TSoundMode::Playing);
    first->Rewind();
    EXPECT_EQ(first->Mode(), TSoundMode::Playing);
    second->Play([&] { ++secondEnds; });
    EXPECT_EQ(first->Mode(), TSoundMode::Stopped);
    EXPECT_EQ(second->Mode(), TSoundMode::Playing);
    ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return secondEnds == 1; }, Patience));
    EXPECT_EQ(firstEnds, 0);
    // Freed while playing, or with its end on the way.
    first->Play({});
    first.reset();
    second->Play([&] { ++secondEnds; });
    second.reset();
    effect->Play([&] { ++ends; });
    effect.reset();
    Wait(100);
    EXPECT_EQ(secondEnds, 1);
    EXPECT_EQ(ends, 41);
  });
}

TEST(SdlSoundDevice, WithoutADeviceTheGamePlaysOnSilently) {
  TEnvironment driver("SDL_AUDIODRIVER", "no-such-driver");
  THeadlessDispatcher dispatcher;
  TSdlSoundOutput output(dispatcher);
  EXPECT_FALSE(output.Available());
  EXPECT_FALSE(output.Failure().empty());
  EXPECT_EQ(output.Frequency(), 0);
  try {
    output.Open(DemoSound("click.wav"), kvsfWAV);
    FAIL() << "opened";
  } catch (const ESoundError& e) {
    EXPECT_EQ(std::string(e.what()), output.Failure());
  }
  TPlatformServices services;
  services.Sound = &output;
  TKVSoundEventCollection sounds(services);
  int window = 0;
  sounds.SetOwner(&window);
  TMemoryStream click(DemoSound("click.wav"));
  sounds.RegisterEvent(100, click, kvsfWAV);
  EXPECT_NO_THROW(sounds.PrepareAll());
  EXPECT_NO_THROW(sounds.PlayEvent(100, 0));
  EXPECT_FALSE(sounds.FindEvent(100)->Prepared());
}

TEST_F(SdlSound, OneOutputHoldsTheMixerAtATime) {
  TSdlSoundOutput first(Dispatcher);
  ASSERT_TRUE(first.Available()) << first.Failure();
  {
    TSdlSoundOutput second(Dispatcher);
    EXPECT_FALSE(second.Available());
    EXPECT_EQ(second.Failure(), "The sound device is in use by another output");
    EXPECT_THROW(second.Open(DemoSound("click.wav"), kvsfWAV), ESoundError);
  }
  // The second one going leaves the first one working.
  auto channel = first.Open(DemoSound("click.wav"), kvsfWAV);
  int ends = 0;
  channel->Play([&] { ++ends; });
  ASSERT_TRUE(Dispatcher.ProcessUntil([&] { return ends == 1; }, Patience));
}
