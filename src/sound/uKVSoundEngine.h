// The game's sounds by event: each event id has its encoded sound, played once or repeated without end.
// Repeating sounds (the music, the win) can be paused, resumed and stopped; one-shot sounds run out by
// themselves. A global switch silences everything.
#pragma once

#include "core/uKVErrors.h"
#include "data/uKVStream.h"
#include "platform/uKVSoundFormat.h"
#include "platform/uServices.h"
#include "sound/uKVMediaPlayer.h"
#include "sound/uKVTemporaryFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class IMessageBoxes;
class ISoundOutput;

// ".wav", ".mid", ".wma", ".mp3"; "" for kvsfUnknown and any value out of range.
std::string ExtensionOf(TKVSoundFormat format);

class TKVSoundEventCollection;

class TKVSoundEventItem {
public:
  TKVSoundEventItem(TKVSoundEventCollection& collection, uint16_t eventId, TKVSoundFormat format);
  // Releases.
  ~TKVSoundEventItem();
  TKVSoundEventItem(const TKVSoundEventItem&) = delete;
  TKVSoundEventItem& operator=(const TKVSoundEventItem&) = delete;

  uint16_t EventID = 0;
  TKVSoundFormat SoundFormat = kvsfUnknown;
  // The encoded sound file.
  TMemoryStream Data;

  bool Prepared() const { return FPrepared; }
  bool Repeating() const { return FRepeating; }
  // None until prepared.
  TKVMediaPlayer* Player() const { return FPlayer.get(); }
  const TKVTemporaryFiles& TempFiles() const { return FTempFiles; }

  // Once: opens the sound in a player, from memory where the output allows, else from a temporary file.
  // Raises the player's ESoundError when the sound cannot be played; it is not tried again until released.
  void Prepare();
  // Plays once, or without end for repeat = -1. An entry not prepared yet is prepared first; one that cannot
  // be played stays silent and is not tried again until it is released.
  void Start(int32_t repeat);
  // Pause toggles; both only for a prepared, repeating entry.
  void Pause();
  void Resume();
  void Stop();
  // Stops and frees the player and deletes the temporary file.
  void Release();

private:
  TKVSoundEventCollection& Collection;
  std::unique_ptr<TKVMediaPlayer> FPlayer;
  TKVTemporaryFiles FTempFiles;
  bool FPrepared = false;
  bool FPrepareFailed = false;
  bool FRepeating = false;
};

class TKVSoundEventCollection {
public:
  TKVSoundEventCollection() = default;
  // Takes Sound, Boxes, ThreadTimers and Random; they must outlive the collection.
  explicit TKVSoundEventCollection(const TPlatformServices& services);
  ~TKVSoundEventCollection();
  TKVSoundEventCollection(const TKVSoundEventCollection&) = delete;
  TKVSoundEventCollection& operator=(const TKVSoundEventCollection&) = delete;

  void SetServices(const TPlatformServices& services);
  ISoundOutput* Output() const { return FOutput; }
  IMessageBoxes* Boxes() const { return FBoxes; }
  const TTimerFactory& ThreadTimers() const { return FThreadTimers; }
  const std::shared_ptr<TRandomSource>& Random() const { return FRandom; }

  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  TKVSoundEventItem& Item(int32_t index) { return *Items.at(static_cast<std::size_t>(index)); }
  // Releases and removes every entry.
  void Clear();

  // Adds an entry with a copy of the whole stream, unless one with that id exists. A format of 0 fails with
  // EAssertionFailed "Unknown media format".
  void RegisterEvent(uint16_t id, TStream& stream, TKVSoundFormat format);
  // Prepares every entry in order. An entry whose sound cannot be played stays unprepared and silent; the
  // others are prepared all the same.
  void PrepareAll();
  // Starts every entry of id: repeat = -1 without end, otherwise once. Fails with EAssertionFailed "Sound
  // Engine Owner Control not defined" without an owner; plays nothing while sound is off.
  void PlayEvent(int32_t id, int32_t repeat);
  // Pauses every repeating entry; stops them while sound is off.
  void PauseAll();
  // Resumes every repeating entry while sound is on.
  void ResumeAll();
  void StopAll();
  bool SoundOn() const { return FSoundOn; }
  // On resumes the repeating entries; off stops them.
  void SetSoundOn(bool on);
  // The last entry of id (any entry for -1), or none.
  TKVSoundEventItem* FindEvent(int32_t id);

  TSoundHost Owner() const { return FOwner; }
  // Players created from now on get owner as their parent.
  void SetOwner(TSoundHost owner) { FOwner = owner; }

private:
  std::vector<std::unique_ptr<TKVSoundEventItem>> Items;
  ISoundOutput* FOutput = nullptr;
  IMessageBoxes* FBoxes = nullptr;
  TTimerFactory FThreadTimers;
  std::shared_ptr<TRandomSource> FRandom;
  TSoundHost FOwner = nullptr;
  bool FSoundOn = true;
};

} // namespace kv
