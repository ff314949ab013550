#include "sound/uKVMediaPlayer.h"

#include <filesystem>
#include <system_error>

namespace kv {

TKVMediaPlayer::TKVMediaPlayer(ISoundOutput* output, const TTimerFactory& threadTimers)
    : Output(output), CheckTimer(threadTimers) {
  CheckTimer.SetInterval(10);
  CheckTimer.OnTimer = [this] { CheckEnd(); };
}

TKVMediaPlayer::~TKVMediaPlayer() {
  CheckTimer.SetEnabled(false);
  Channel.reset();
}

void TKVMediaPlayer::SetFilename(const std::string& name) {
  FFilename = name;
  FFromMemory = false;
  FData.clear();
  std::error_code error;
  if (!name.empty() && std::filesystem::is_regular_file(name, error)) {
    OpenSource();
    return;
  }
  // The sound the player had is not the one named any more.
  Close();
}

void TKVMediaPlayer::SetData(std::vector<uint8_t> bytes) {
  FFilename.clear();
  FData = std::move(bytes);
  FFromMemory = true;
  OpenSource();
}

void TKVMediaPlayer::OpenSource() {
  Close();
  if (!Output) return;
  if (FFromMemory)
    Channel = Output->Open(FData, FSoundFormat);
  else
    Channel = Output->OpenFile(FFilename, FSoundFormat);
  FIsOpen = true;
}

void TKVMediaPlayer::EnsureOpen() {
  if (FIsOpen || !FParent) return;
  std::error_code error;
  if (FFromMemory || (!FFilename.empty() && std::filesystem::is_regular_file(FFilename, error))) OpenSource();
}

void TKVMediaPlayer::SetContinue(bool on) {
  FContinue = on;
  CheckTimer.SetEnabled(on);
}

uint32_t TKVMediaPlayer::Position() const {
  if (!Channel || !FIsOpen || FSoundFormat == kvsfWAV || FSoundFormat == kvsfUnknown) return 0;
  return Channel->Position();
}

uint32_t TKVMediaPlayer::Length() const {
  if (!Channel || !FIsOpen || FSoundFormat == kvsfWAV || FSoundFormat == kvsfUnknown) return 0;
  return Channel->Length();
}

void TKVMediaPlayer::Stop() {
  PlayRequested = false;
  if (Channel && FIsOpen) Channel->Stop();
  FIsPlaying = false;
}

void TKVMediaPlayer::Play() {
  Stop();
  if (Channel && FIsOpen) {
    Channel->Play([this] { Notify(); });
    FIsPlaying = true;
  }
  PlayRequested = true;
}

void TKVMediaPlayer::Pause() {
  if (!Channel || !FIsOpen) return;
  Channel->Pause();
  FIsPlaying = Channel->Mode() == TSoundMode::Playing;
}

void TKVMediaPlayer::Resume() {
  if (!Channel || !FIsOpen) return;
  Channel->Resume();
  FIsPlaying = Channel->Mode() == TSoundMode::Playing;
}

void TKVMediaPlayer::Close() {
  Stop();
  Channel.reset();
  FIsOpen = false;
}

void TKVMediaPlayer::CheckEnd() {
  // A player that cannot tell the length reads 0 for both; that is no end.
  if (!Channel || !FIsOpen || FSoundFormat == kvsfWAV) return;
  const uint32_t length = Length();
  if (length > 0 && Position() == length) Channel->Rewind();
}

void TKVMediaPlayer::Notify() {
  bool finished = false;
  switch (Channel ? Channel->Mode() : TSoundMode::NotReady) {
  case TSoundMode::NotReady:
    FIsOpen = false;
    break;
  case TSoundMode::Stopped:
    FIsPlaying = false;
    if (PlayRequested && FContinue) {
      Channel->Rewind();
      Channel->Play([this] { Notify(); });
      FIsPlaying = true;
      PlayRequested = true;
    }
    finished = true;
    break;
  case TSoundMode::Playing:
    if (FIsPlaying) {
      FIsPlaying = Position() < Length();
      if (!FIsPlaying) {
        if (FContinue) {
          Play();
        } else {
          finished = true;
        }
      }
    } else {
      FIsPlaying = true;
    }
    break;
  case TSoundMode::Paused:
    FIsPlaying = false;
    break;
  case TSoundMode::Open:
    FIsOpen = true;
    break;
  case TSoundMode::Recording:
  case TSoundMode::Seeking:
    break;
  }
  if (!finished) return;
  // Last, because the handler may free this player.
  const auto handler = OnFinished;
  if (handler) handler();
}

} // namespace kv
