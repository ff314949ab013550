#include "platform/uSdlSoundOutput.h"

#include "platform/uDispatcher.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>

namespace kv {

namespace {

// One play of a channel as the mixer's call-backs see it. Voice, Playing and Paused are written under the
// device's mutex (call-backs run on the audio thread); Serial is written on the user-interface thread under
// that mutex; OnEnd and Closed are touched on the user-interface thread only.
struct TPlayState {
  int Voice = -1;       // effects: the mixer channel while playing or paused
  bool Playing = false; // music: holds the music stream and has not ended
  bool Paused = false;
  uint64_t Serial = 0;
  bool Closed = false;
  std::function<void()> OnEnd;
};

struct TSourceCloser {
  void operator()(SDL_RWops* source) const { SDL_RWclose(source); }
};

std::string MixerMessage() {
  const char* message = Mix_GetError();
  return message && *message ? std::string(message) : std::string("The sound cannot be played");
}

} // namespace

struct TSdlSoundOutput::TDevice {
  explicit TDevice(IDispatcher& dispatcher);
  ~TDevice();

  IDispatcher& Dispatcher;
  bool IsOpen = false;
  std::string Failure;
  int Frequency = 0;
  int Channels = 0;

  // Guards Voices, Music and the play states' fields written by the call-backs. Never held while calling into
  // the mixer, which takes the audio lock that its call-backs hold when they come here.
  std::mutex Mutex;
  std::vector<std::shared_ptr<TPlayState>> Voices;
  std::shared_ptr<TPlayState> Music;

  // Hands the end of a play to the user-interface thread.
  void PostEnd(const std::shared_ptr<TPlayState>& state, uint64_t serial);
  int StartVoice(const std::shared_ptr<TPlayState>& state, Mix_Chunk* chunk);

  static void SDLCALL OnChannelFinished(int voice);
  static void SDLCALL OnMusicFinished();
};

namespace {

std::atomic<bool> Claimed{false};
std::atomic<TSdlSoundOutput::TDevice*> Current{nullptr};

constexpr int FirstVoices = 16;

void DeliverEnd(const std::weak_ptr<TPlayState>& weak, uint64_t serial) {
  const auto state = weak.lock();
  if (!state || state->Closed || state->Serial != serial) return;
  auto onEnd = std::move(state->OnEnd);
  state->OnEnd = nullptr;
  if (onEnd) onEnd();
}

} // namespace

TSdlSoundOutput::TDevice::TDevice(IDispatcher& dispatcher) : Dispatcher(dispatcher) {
  if (Claimed.exchange(true)) {
    Failure = "The sound device is in use by another output";
    return;
  }
  // The program's own handling of SIGINT and SIGTERM stays: SDL would otherwise turn them into quit events
  // that nobody reads, and the player could not be stopped.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    Failure = SDL_GetError();
    Claimed = false;
    return;
  }
  // Decoders that cannot be loaded show when a sound of theirs is opened.
  Mix_Init(MIX_INIT_MID | MIX_INIT_MP3);
  if (Mix_OpenAudioDevice(44100, AUDIO_S16SYS, 2, 1024, nullptr,
                          SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) != 0) {
    Failure = MixerMessage();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Claimed = false;
    return;
  }
  Uint16 format = 0;
  Mix_QuerySpec(&Frequency, &format, &Channels);
  Voices.resize(static_cast<std::size_t>(Mix_AllocateChannels(FirstVoices)));
  Current = this;
  Mix_ChannelFinished(OnChannelFinished);
  Mix_HookMusicFinished(OnMusicFinished);
  IsOpen = true;
}

TSdlSoundOutput::TDevice::~TDevice() {
  if (!IsOpen) return;
  // No call-back runs once these return: the mixer sets them under its audio lock.
  Mix_ChannelFinished(nullptr);
  Mix_HookMusicFinished(nullptr);
  Current = nullptr;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  Claimed = false;
}

void TSdlSoundOutput::TDevice::PostEnd(const std::shared_ptr<TPlayState>& state, uint64_t serial) {
  Dispatcher.Post([weak = std::weak_ptr<TPlayState>(state), serial] { DeliverEnd(weak, serial); });
}

void SDLCALL TSdlSoundOutput::TDevice::OnChannelFinished(int voice) {
  TDevice* device = Current;
  if (!device || voice < 0) return;
  std::shared_ptr<TPlayState> state;
  uint64_t serial = 0;
  {
    std::lock_guard lock(device->Mutex);
    if (static_cast<std::size_t>(voice) >= device->Voices.size()) return;
    state = std::move(device->Voices[static_cast<std::size_t>(voice)]);
    device->Voices[static_cast<std::size_t>(voice)].reset();
    if (!state) return;
    state->Voice = -1;
    state->Paused = false;
    serial = state->Serial;
  }
  device->PostEnd(state, serial);
}

void SDLCALL TSdlSoundOutput::TDevice::OnMusicFinished() {
  TDevice* device = Current;
  if (!device) return;
  std::shared_ptr<TPlayState> state;
  uint64_t serial = 0;
  {
    std::lock_guard lock(device->Mutex);
    state = std::move(device->Music);
    device->Music.reset();
    if (!state) return;
    state->Playing = false;
    state->Paused = false;
    serial = state->Serial;
  }
  device->PostEnd(state, serial);
}

// Only the user-interface thread starts voices, so a voice that is not playing stays free until it does.
int TSdlSoundOutput::TDevice::StartVoice(const std::shared_ptr<TPlayState>& state, Mix_Chunk* chunk) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::size_t count = 0;
    {
      std::lock_guard lock(Mutex);
      count = Voices.size();
    }
    for (std::size_t i = 0; i < count; ++i) {
      const int voice = static_cast<int>(i);
      if (Mix_Playing(voice)) continue;
      {
        std::lock_guard lock(Mutex);
        // Still listed: its end has not been taken yet.
        if (Voices[i]) continue;
        Voices[i] = state;
        state->Voice = voice;
        state->Paused = false;
      }
      if (Mix_PlayChannel(voice, chunk, 0) >= 0) return voice;
      std::lock_guard lock(Mutex);
      if (Voices[i] == state) Voices[i].reset();
      state->Voice = -1;
      return -1;
    }
    const int more = Mix_AllocateChannels(static_cast<int>(count) * 2);
    std::lock_guard lock(Mutex);
    Voices.resize(static_cast<std::size_t>(more));
  }
  return -1;
}

namespace {

using TDevice = TSdlSoundOutput::TDevice;

class TMixerChannel : public ISoundChannel {
public:
  explicit TMixerChannel(std::shared_ptr<TDevice> device)
      : Device(std::move(device)), State(std::make_shared<TPlayState>()) {}

protected:
  // Ends the current play: its end will not be told.
  void Cut() {
    {
      std::lock_guard lock(Device->Mutex);
      ++State->Serial;
    }
    State->OnEnd = nullptr;
  }

  std::shared_ptr<TDevice> Device;
  std::shared_ptr<TPlayState> State;
};

// An effect decoded into one sample buffer; any number play at once.
class TEffectChannel final : public TMixerChannel {
public:
  TEffectChannel(std::shared_ptr<TDevice> device, Mix_Chunk* chunk)
      : TMixerChannel(std::move(device)), Chunk(chunk) {}

  ~TEffectChannel() override {
    Cut();
    State->Closed = true;
    Halt();
    Mix_FreeChunk(Chunk);
  }

  void Play(std::function<void()> onEnd) override {
    const auto [voice, paused] = Voice();
    Cut();
    if (voice >= 0 && paused) {
      State->OnEnd = std::move(onEnd);
      Resume();
      return;
    }
    Halt();
    State->OnEnd = std::move(onEnd);
    Device->StartVoice(State, Chunk);
  }

  void Stop() override {
    Cut();
    Halt();
  }

  void Pause() override {
    const auto [voice, paused] = Voice();
    if (voice < 0) return;
    if (paused) {
      Resume();
      return;
    }
    Mix_Pause(voice);
    std::lock_guard lock(Device->Mutex);
    if (State->Voice == voice) State->Paused = true;
  }

  void Resume() override {
    const auto [voice, paused] = Voice();
    if (voice < 0 || !paused) return;
    Mix_Resume(voice);
    std::lock_guard lock(Device->Mutex);
    if (State->Voice == voice) State->Paused = false;
  }

  void Rewind() override {
    const auto [voice, paused] = Voice();
    if (voice < 0) return;
    // The same play from the start: a new voice, the same end.
    Halt();
    const int again = Device->StartVoice(State, Chunk);
    if (again >= 0 && paused) {
      Mix_Pause(again);
      std::lock_guard lock(Device->Mutex);
      if (State->Voice == again) State->Paused = true;
    }
  }

  TSoundMode Mode() const override {
    const auto [voice, paused] = Voice();
    if (voice < 0) return TSoundMode::Stopped;
    return paused ? TSoundMode::Paused : TSoundMode::Playing;
  }
  uint32_t Position() const override { return 0; }
  uint32_t Length() const override { return 0; }

private:
  std::pair<int, bool> Voice() const {
    std::lock_guard lock(Device->Mutex);
    return {State->Voice, State->Paused};
  }

  // Frees the voice without an end.
  void Halt() {
    int voice = -1;
    {
      std::lock_guard lock(Device->Mutex);
      voice = State->Voice;
      if (voice >= 0 && Device->Voices[static_cast<std::size_t>(voice)] == State)
        Device->Voices[static_cast<std::size_t>(voice)].reset();
      State->Voice = -1;
      State->Paused = false;
    }
    if (voice >= 0) Mix_HaltChannel(voice);
  }

  Mix_Chunk* Chunk;
};

// A sound streamed as the mixer's one music.
class TMusicChannel final : public TMixerChannel {
public:
  TMusicChannel(std::shared_ptr<TDevice> device, std::vector<uint8_t> bytes,
                std::unique_ptr<SDL_RWops, TSourceCloser> source, Mix_Music* music)
      : TMixerChannel(std::move(device)), Bytes(std::move(bytes)), Source(std::move(source)), Music(music) {}

  ~TMusicChannel() override {
    Cut();
    State->Closed = true;
    Halt();
    Mix_FreeMusic(Music);
  }

  void Play(std::function<void()> onEnd) override {
    const auto [playing, paused] = Status();
    Cut();
    if (playing && paused) {
      State->OnEnd = std::move(onEnd);
      Resume();
      return;
    }
    Halt();
    State->OnEnd = std::move(onEnd);
    Start();
  }

  void Stop() override {
    Cut();
    Halt();
  }

  void Pause() override {
    const auto [playing, paused] = Status();
    if (!playing) return;
    if (paused) {
      Resume();
      return;
    }
    Mix_PauseMusic();
    std::lock_guard lock(Device->Mutex);
    if (State->Playing) State->Paused = true;
  }

  void Resume() override {
    const auto [playing, paused] = Status();
    if (!playing || !paused) return;
    Mix_ResumeMusic();
    std::lock_guard lock(Device->Mutex);
    State->Paused = false;
  }

  void Rewind() override {
    const auto [playing, paused] = Status();
    if (!playing) return;
    // Not every decoder seeks; starting over works with all of them and keeps the play.
    Halt();
    if (Start() && paused) {
      Mix_PauseMusic();
      std::lock_guard lock(Device->Mutex);
      if (State->Playing) State->Paused = true;
    }
  }

  TSoundMode Mode() const override {
    const auto [playing, paused] = Status();
    if (!playing) return TSoundMode::Stopped;
    return paused ? TSoundMode::Paused : TSoundMode::Playing;
  }

  uint32_t Position() const override {
    if (!Status().first) return 0;
    return Milliseconds(Mix_GetMusicPosition(Music));
  }
  uint32_t Length() const override { return Milliseconds(Mix_MusicDuration(Music)); }

private:
  static uint32_t Milliseconds(double seconds) {
    return seconds > 0 && seconds < 4e6 ? static_cast<uint32_t>(seconds * 1000.0 + 0.5) : 0;
  }

  std::pair<bool, bool> Status() const {
    std::lock_guard lock(Device->Mutex);
    return {State->Playing, State->Paused};
  }

  // Takes the music stream over from whoever holds it; the one cut hears no end.
  bool Start() {
    {
      std::lock_guard lock(Device->Mutex);
      if (Device->Music) {
        Device->Music->Playing = false;
        Device->Music->Paused = false;
        Device->Music.reset();
      }
    }
    Mix_HaltMusic();
    {
      std::lock_guard lock(Device->Mutex);
      Device->Music = State;
      State->Playing = true;
      State->Paused = false;
    }
    if (Mix_PlayMusic(Music, 0) == 0) return true;
    std::lock_guard lock(Device->Mutex);
    if (Device->Music == State) Device->Music.reset();
    State->Playing = false;
    return false;
  }

  void Halt() {
    bool mine = false;
    {
      std::lock_guard lock(Device->Mutex);
      mine = Device->Music == State;
      if (mine) Device->Music.reset();
      State->Playing = false;
      State->Paused = false;
    }
    if (mine) Mix_HaltMusic();
  }

  // The music reads from them while it plays; freed after it.
  std::vector<uint8_t> Bytes;
  std::unique_ptr<SDL_RWops, TSourceCloser> Source;
  Mix_Music* Music;
};

} // namespace

TSdlSoundOutput::TSdlSoundOutput(IDispatcher& dispatcher) : Device(std::make_shared<TDevice>(dispatcher)) {}

TSdlSoundOutput::~TSdlSoundOutput() = default;

bool TSdlSoundOutput::Available() const {
  return Device->IsOpen;
}

const std::string& TSdlSoundOutput::Failure() const {
  return Device->Failure;
}

int TSdlSoundOutput::Frequency() const {
  return Device->Frequency;
}

int TSdlSoundOutput::Channels() const {
  return Device->Channels;
}

std::unique_ptr<ISoundChannel> TSdlSoundOutput::Open(std::vector<uint8_t> bytes, TKVSoundFormat format) {
  if (!Device->IsOpen) throw ESoundError(Device->Failure);
  if (bytes.empty()) throw ESoundError("The sound is empty");
  const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX));

  // The sources are closed here, not by the mixer, which leaves some of them open when a load fails.
  std::unique_ptr<SDL_RWops, TSourceCloser> source(SDL_RWFromConstMem(bytes.data(), size));
  if (!source) throw ESoundError(MixerMessage());

  if (format == kvsfMIDI || format == kvsfMP3) {
    Mix_Music* music = Mix_LoadMUSType_RW(source.get(), format == kvsfMIDI ? MUS_MID : MUS_MP3, 0);
    if (!music) throw ESoundError(MixerMessage());
    return std::make_unique<TMusicChannel>(Device, std::move(bytes), std::move(source), music);
  }

  // WAV, and whatever else the mixer recognises by its content; a WMA sound it cannot decode.
  Mix_Chunk* chunk = Mix_LoadWAV_RW(source.get(), 0);
  if (!chunk) throw ESoundError(MixerMessage());
  return std::make_unique<TEffectChannel>(Device, chunk);
}

std::unique_ptr<ISoundChannel> TSdlSoundOutput::OpenFile(const std::string& fileName, TKVSoundFormat format) {
  if (!Device->IsOpen) throw ESoundError(Device->Failure);
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw ESoundError("Cannot open the sound file \"" + fileName + "\"");
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  return Open(std::move(bytes), format);
}

} // namespace kv
