// The desktop's sound output through SDL_mixer: WAV (and whatever else the mixer decodes into a sample
// buffer) plays as effects on channels of their own, MIDI and MP3 stream as music. MIDI goes through the
// mixer's synthesiser and its General MIDI sound font (SDL_SOUNDFONTS, else the system's default-GM font).
//
// The mixer is one per process: one output at a time owns it. Only one music sound plays at a time; starting
// another cuts the one that played (without an end). Where the audio device cannot be opened the output is
// not available: it says why, and every Open raises that as an ESoundError, so that the game plays on
// silently.
#pragma once

#include "platform/uSoundOutput.h"

#include <memory>
#include <string>

namespace kv {

class IDispatcher;

class TSdlSoundOutput : public ISoundOutput {
public:
  // Ends of plays are handed to the user-interface thread through dispatcher, which must outlive the output
  // and its channels.
  explicit TSdlSoundOutput(IDispatcher& dispatcher);
  // The device closes when the output and all its channels are gone.
  ~TSdlSoundOutput() override;
  TSdlSoundOutput(const TSdlSoundOutput&) = delete;
  TSdlSoundOutput& operator=(const TSdlSoundOutput&) = delete;

  bool Available() const;
  // Why the device could not be opened; empty when available.
  const std::string& Failure() const;
  // The device's sample rate and channel count (samples are signed 16-bit); 0 when not available.
  int Frequency() const;
  int Channels() const;

  bool OpensFromMemory() const override { return true; }
  std::unique_ptr<ISoundChannel> Open(std::vector<uint8_t> bytes, TKVSoundFormat format) override;
  std::unique_ptr<ISoundChannel> OpenFile(const std::string& fileName, TKVSoundFormat format) override;

  struct TDevice;

private:
  std::shared_ptr<TDevice> Device;
};

} // namespace kv
