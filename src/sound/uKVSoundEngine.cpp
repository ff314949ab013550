#include "sound/uKVSoundEngine.h"

#include "core/uScopeGuard.h"
#include "platform/uDesktop.h"
#include "platform/uSoundOutput.h"

#include <algorithm>

namespace kv {

namespace {

const char* const UnitName = "Shared/Sound/uKVSoundEngine";

} // namespace

std::string ExtensionOf(TKVSoundFormat format) {
  switch (format) {
  case kvsfWAV:
    return ".wav";
  case kvsfMIDI:
    return ".mid";
  case kvsfWMA:
    return ".wma";
  case kvsfMP3:
    return ".mp3";
  case kvsfUnknown:
    break;
  }
  return {};
}

TKVSoundEventItem::TKVSoundEventItem(TKVSoundEventCollection& collection, uint16_t eventId,
                                     TKVSoundFormat format)
    : EventID(eventId), SoundFormat(format), Collection(collection),
      FTempFiles(collection.Boxes(), collection.Random()) {}

TKVSoundEventItem::~TKVSoundEventItem() {
  Release();
}

void TKVSoundEventItem::Prepare() {
  ISoundOutput* output = Collection.Output();
  if (FPrepared || FPrepareFailed || !output) return;
  // Setting the sound opens it: a sound that cannot be played fails there.
  {
    TScopeFail failed([this] { FPrepareFailed = true; });
    Data.SetPosition(0);
    if (!FPlayer) {
      FPlayer = std::make_unique<TKVMediaPlayer>(Collection.Output(), Collection.ThreadTimers());
      FPlayer->SetParent(Collection.Owner());
    }
    FPlayer->SetSoundFormat(ValidSoundFormat(SoundFormat));
    if (output->OpensFromMemory()) {
      FPlayer->SetData(Data.Bytes());
    } else {
      // The player plays files only: the sound goes to a temporary file that lives as long as this entry.
      FTempFiles.CleanUp();
      FPlayer->SetFilename(FTempFiles.CreateTempFile(ExtensionOf(SoundFormat), Data.Memory(),
                                                     static_cast<std::size_t>(Data.Size())));
    }
    FPlayer->EnsureOpen();
  }
  FPrepared = FPlayer->isOpen();
  FPrepareFailed = !FPrepared;
}

void TKVSoundEventItem::Start(int32_t repeat) {
  if (!FPrepared) {
    try {
      Prepare();
    } catch (const std::exception&) {
      // Unplayable: this sound stays silent, the game goes on.
    }
  }
  if (!FPrepared) return;
  FPlayer->SetContinue(repeat == -1);
  FPlayer->Play();
  FRepeating = FPlayer->Continue();
}

void TKVSoundEventItem::Pause() {
  if (FPrepared && FRepeating) FPlayer->Pause();
}

void TKVSoundEventItem::Resume() {
  if (FPrepared && FRepeating) FPlayer->Resume();
}

void TKVSoundEventItem::Stop() {
  if (!FPrepared || !FRepeating) return;
  FPlayer->Stop();
  FRepeating = false;
}

void TKVSoundEventItem::Release() {
  FPrepared = false;
  FPrepareFailed = false;
  FRepeating = false;
  if (FPlayer) {
    FPlayer->Stop();
    FPlayer->Close();
    FPlayer.reset();
  }
  FTempFiles.CleanUp();
}

TKVSoundEventCollection::TKVSoundEventCollection(const TPlatformServices& services) {
  SetServices(services);
}

TKVSoundEventCollection::~TKVSoundEventCollection() {
  Clear();
}

void TKVSoundEventCollection::SetServices(const TPlatformServices& services) {
  FOutput = services.Sound;
  FBoxes = services.Boxes;
  FThreadTimers = services.ThreadTimers;
  FRandom = services.Random;
}

void TKVSoundEventCollection::Clear() {
  // One by one from the back, so that an entry's release sees the others intact.
  while (!Items.empty()) Items.pop_back();
}

void TKVSoundEventCollection::RegisterEvent(uint16_t id, TStream& stream, TKVSoundFormat format) {
  if (FindEvent(id)) return;
  if (format == kvsfUnknown) throw EAssertionFailed("Unknown media format", UnitName);
  auto item = std::make_unique<TKVSoundEventItem>(*this, id, format);
  item->Data.CopyFrom(stream, 0);
  Items.push_back(std::move(item));
}

void TKVSoundEventCollection::PrepareAll() {
  for (auto& item : Items) {
    try {
      item->Prepare();
    } catch (const std::exception&) {
      // That sound stays silent; the game goes on with the others.
    }
  }
}

void TKVSoundEventCollection::PlayEvent(int32_t id, int32_t repeat) {
  if (!FOwner) throw EAssertionFailed("Sound Engine Owner Control not defined", UnitName);
  if (!FSoundOn) return;
  for (auto& item : Items)
    if (item->EventID == id) item->Start(repeat);
}

void TKVSoundEventCollection::PauseAll() {
  for (auto& item : Items) {
    if (!item->Repeating()) continue;
    if (FSoundOn)
      item->Pause();
    else
      item->Stop();
  }
}

void TKVSoundEventCollection::ResumeAll() {
  if (!FSoundOn) return;
  for (auto& item : Items)
    if (item->Repeating()) item->Resume();
}

void TKVSoundEventCollection::StopAll() {
  for (auto& item : Items)
    if (item->Repeating()) item->Stop();
}

void TKVSoundEventCollection::SetSoundOn(bool on) {
  FSoundOn = on;
  if (on)
    ResumeAll();
  else
    StopAll();
}

TKVSoundEventItem* TKVSoundEventCollection::FindEvent(int32_t id) {
  for (auto it = Items.rbegin(); it != Items.rend(); ++it)
    if (id == -1 || (*it)->EventID == id) return it->get();
  return nullptr;
}

} // namespace kv
