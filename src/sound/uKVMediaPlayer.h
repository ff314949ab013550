// One sound in a platform player, played once or repeated without end.
#pragma once

#include "platform/uKVSoundFormat.h"
#include "platform/uSoundOutput.h"
#include "platform/uTimer.h"
#include "sound/uKVThreadTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

// The window that hosts the players. The players never draw in it; what counts is that there is one.
using TSoundHost = const void*;

class TKVMediaPlayer {
public:
  // Without an output nothing ever opens. The end-of-sound check runs on a timer of threadTimers.
  TKVMediaPlayer(ISoundOutput* output, const TTimerFactory& threadTimers);
  ~TKVMediaPlayer();
  TKVMediaPlayer(const TKVMediaPlayer&) = delete;
  TKVMediaPlayer& operator=(const TKVMediaPlayer&) = delete;

  const std::string& Filename() const { return FFilename; }
  // Opens the file when it exists; raises the player's ESoundError when it cannot be played. A name that
  // does not exist neither opens nor raises.
  void SetFilename(const std::string& name);
  // Opens an encoded sound held in memory (outputs that play files only refuse); raises the player's
  // ESoundError when it cannot be played.
  void SetData(std::vector<uint8_t> bytes);

  // Set before the sound is given; decides whether position and length can be asked.
  TKVSoundFormat SoundFormat() const { return FSoundFormat; }
  void SetSoundFormat(TKVSoundFormat format) { FSoundFormat = format; }

  // Repeat without end; the end-of-sound check runs exactly while it is on.
  bool Continue() const { return FContinue; }
  void SetContinue(bool on);

  TSoundHost Parent() const { return FParent; }
  void SetParent(TSoundHost parent) { FParent = parent; }

  // Raised when a sound ends by itself, also before it starts again when repeating.
  std::function<void()> OnFinished;

  bool isPlaying() const { return FIsPlaying; }
  bool isOpen() const { return FIsOpen; }
  // Milliseconds for MIDI, MP3 and WMA; 0 for the other formats.
  uint32_t Position() const;
  uint32_t Length() const;

  // Opens the sound last given when it is closed and there is a parent.
  void EnsureOpen();
  // Plays from the start (or where a pause left it) after stopping what plays.
  void Play();
  void Stop();
  // Pauses when playing, resumes when paused.
  void Pause();
  void Resume();
  // Stops and lets go of the sound; EnsureOpen opens it again.
  void Close();

private:
  void OpenSource();
  void Notify();
  void CheckEnd();

  ISoundOutput* Output;
  std::unique_ptr<ISoundChannel> Channel;
  TKVThreadTimer CheckTimer;
  std::string FFilename;
  std::vector<uint8_t> FData;
  bool FFromMemory = false;
  TKVSoundFormat FSoundFormat = kvsfUnknown;
  bool FContinue = false;
  TSoundHost FParent = nullptr;
  bool FIsPlaying = false;
  bool FIsOpen = false;
  bool PlayRequested = false;
};

} // namespace kv
