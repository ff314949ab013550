// The platform's sound player as the media player sees it: encoded sounds opened as channels that play, stop,
// pause and report their mode, position and length. A channel tells the end of a play on the user-interface
// thread.
//
// TSilentSoundOutput plays nothing: it records what was opened and done, and a test says when a sound ends.
#pragma once

#include "core/uKVErrors.h"
#include "platform/uKVSoundFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class IDispatcher;

// A channel's state as its player reports it.
enum class TSoundMode : uint8_t { NotReady, Stopped, Playing, Recording, Seeking, Paused, Open };

// A sound the player cannot open or play; the message is the player's own.
class ESoundError : public Exception {
public:
  using Exception::Exception;
};

class ISoundChannel {
public:
  virtual ~ISoundChannel() = default;
  // Plays from the start, or from where a pause left it. onEnd, when given, runs once on the user-interface
  // thread when this play reaches the end of the sound; it does not run for a play that is cut short (Stop,
  // another Play, destruction of the channel), also when the end was reached just before.
  virtual void Play(std::function<void()> onEnd) = 0;
  // Ends playing; the next Play starts from the beginning.
  virtual void Stop() = 0;
  // Pauses when playing, resumes when paused; otherwise nothing.
  virtual void Pause() = 0;
  // Resumes when paused; otherwise nothing.
  virtual void Resume() = 0;
  // Back to the beginning; a playing sound goes on playing from there, as the same play.
  virtual void Rewind() = 0;
  virtual TSoundMode Mode() const = 0;
  // Milliseconds; 0 where the player cannot tell.
  virtual uint32_t Position() const = 0;
  virtual uint32_t Length() const = 0;
};

// Channels are destroyed before their output.
class ISoundOutput {
public:
  virtual ~ISoundOutput() = default;
  // Whether Open can play from memory; otherwise the sound has to be given as a file.
  virtual bool OpensFromMemory() const = 0;
  // Opens encoded sound bytes (the whole file). Raises ESoundError when the sound cannot be played.
  virtual std::unique_ptr<ISoundChannel> Open(std::vector<uint8_t> bytes, TKVSoundFormat format) = 0;
  // Opens a sound file. Raises ESoundError when the file cannot be read or played.
  virtual std::unique_ptr<ISoundChannel> OpenFile(const std::string& fileName, TKVSoundFormat format) = 0;
};

// Plays nothing and remembers everything. Each opened channel gets a record, kept after the channel is gone.
class TSilentSoundOutput : public ISoundOutput {
public:
  struct TChannelRecord {
    int Id = 0; // 1, 2, ... in the order of opening
    TKVSoundFormat Format = kvsfUnknown;
    std::vector<uint8_t> Bytes; // the sound, also when opened from a file
    std::string FileName;       // empty when opened from memory
    TSoundMode Mode = TSoundMode::Stopped;
    uint32_t Position = 0;
    uint32_t Length = 1000;
    bool Closed = false;
    int Plays = 0;
    int Stops = 0;
    // The current play's end handler and its number; each play or cut renumbers.
    std::function<void()> OnEnd;
    uint64_t PlaySerial = 0;
  };

  // Ends of plays are posted to dispatcher; without one they run at once inside Finish.
  explicit TSilentSoundOutput(IDispatcher* dispatcher = nullptr);
  ~TSilentSoundOutput() override;

  bool OpensFromMemory() const override { return FromMemory; }
  std::unique_ptr<ISoundChannel> Open(std::vector<uint8_t> bytes, TKVSoundFormat format) override;
  std::unique_ptr<ISoundChannel> OpenFile(const std::string& fileName, TKVSoundFormat format) override;

  // False: Open refuses, as a player that plays files only.
  bool FromMemory = true;
  // A sound for which this gives a non-empty text fails to open with that text as the player's message.
  std::function<std::string(const std::vector<uint8_t>& bytes, TKVSoundFormat format)> Refuse;

  // One line per operation, "<verb> <id>": open, play, stop, pause, resume, rewind, close.
  std::vector<std::string> Log;
  const std::vector<std::shared_ptr<TChannelRecord>>& Channels() const { return Records; }
  // The record of channel id (1-based); raises std::out_of_range for an unknown id.
  TChannelRecord& Channel(int id);
  // Channels whose mode is Playing, in the order of opening.
  std::vector<int> Playing() const;

  // The play of channel id reaches its end: the mode becomes Stopped, the position the length, and the end
  // is reported. False when the channel is closed or not playing.
  bool Finish(int id);
  // Finishes every playing channel; returns how many.
  int FinishAll();

private:
  class TChannel;
  std::unique_ptr<ISoundChannel> Make(std::vector<uint8_t> bytes, std::string fileName,
                                      TKVSoundFormat format);

  IDispatcher* Dispatcher;
  std::vector<std::shared_ptr<TChannelRecord>> Records;
};

} // namespace kv
