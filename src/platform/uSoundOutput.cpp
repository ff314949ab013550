#include "platform/uSoundOutput.h"

#include "platform/uDispatcher.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kv {

const char* SoundFormatName(TKVSoundFormat format) {
  switch (format) {
  case kvsfWAV:
    return "WAV";
  case kvsfMIDI:
    return "MIDI";
  case kvsfWMA:
    return "WMA";
  case kvsfMP3:
    return "MP3";
  case kvsfUnknown:
    break;
  }
  return "unknown";
}

class TSilentSoundOutput::TChannel final : public ISoundChannel {
public:
  TChannel(TSilentSoundOutput& output, std::shared_ptr<TChannelRecord> record)
      : Output(output), Record(std::move(record)) {}

  ~TChannel() override {
    Cut();
    Record->Closed = true;
    Record->Mode = TSoundMode::NotReady;
    Note("close");
  }

  void Play(std::function<void()> onEnd) override {
    Cut();
    if (Record->Mode != TSoundMode::Paused) Record->Position = 0;
    Record->Mode = TSoundMode::Playing;
    Record->OnEnd = std::move(onEnd);
    ++Record->Plays;
    Note("play");
  }

  void Stop() override {
    Cut();
    Record->Mode = TSoundMode::Stopped;
    Record->Position = 0;
    ++Record->Stops;
    Note("stop");
  }

  void Pause() override {
    if (Record->Mode == TSoundMode::Playing)
      Record->Mode = TSoundMode::Paused;
    else if (Record->Mode == TSoundMode::Paused)
      Record->Mode = TSoundMode::Playing;
    Note("pause");
  }

  void Resume() override {
    if (Record->Mode == TSoundMode::Paused) Record->Mode = TSoundMode::Playing;
    Note("resume");
  }

  void Rewind() override {
    Record->Position = 0;
    Note("rewind");
  }

  TSoundMode Mode() const override { return Record->Mode; }
  uint32_t Position() const override { return Record->Position; }
  uint32_t Length() const override { return Record->Length; }

private:
  void Cut() {
    ++Record->PlaySerial;
    Record->OnEnd = nullptr;
  }
  void Note(const char* verb) { Output.Log.push_back(std::string(verb) + " " + std::to_string(Record->Id)); }

  TSilentSoundOutput& Output;
  std::shared_ptr<TChannelRecord> Record;
};

TSilentSoundOutput::TSilentSoundOutput(IDispatcher* dispatcher) : Dispatcher(dispatcher) {}

TSilentSoundOutput::~TSilentSoundOutput() = default;

std::unique_ptr<ISoundChannel> TSilentSoundOutput::Open(std::vector<uint8_t> bytes, TKVSoundFormat format) {
  if (!FromMemory) throw ESoundError("This player plays sound files only");
  return Make(std::move(bytes), {}, format);
}

std::unique_ptr<ISoundChannel> TSilentSoundOutput::OpenFile(const std::string& fileName,
                                                            TKVSoundFormat format) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw ESoundError("Cannot open the sound file \"" + fileName + "\"");
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  return Make(std::move(bytes), fileName, format);
}

std::unique_ptr<ISoundChannel> TSilentSoundOutput::Make(std::vector<uint8_t> bytes, std::string fileName,
                                                        TKVSoundFormat format) {
  if (Refuse) {
    const std::string message = Refuse(bytes, format);
    if (!message.empty()) throw ESoundError(message);
  }
  auto record = std::make_shared<TChannelRecord>();
  record->Id = static_cast<int>(Records.size()) + 1;
  record->Format = format;
  record->Bytes = std::move(bytes);
  record->FileName = std::move(fileName);
  Records.push_back(record);
  Log.push_back("open " + std::to_string(record->Id));
  return std::make_unique<TChannel>(*this, std::move(record));
}

TSilentSoundOutput::TChannelRecord& TSilentSoundOutput::Channel(int id) {
  if (id < 1 || id > static_cast<int>(Records.size()))
    throw std::out_of_range("no sound channel " + std::to_string(id));
  return *Records[static_cast<std::size_t>(id - 1)];
}

std::vector<int> TSilentSoundOutput::Playing() const {
  std::vector<int> ids;
  for (const auto& record : Records)
    if (!record->Closed && record->Mode == TSoundMode::Playing) ids.push_back(record->Id);
  return ids;
}

bool TSilentSoundOutput::Finish(int id) {
  auto record = Records.at(static_cast<std::size_t>(id - 1));
  if (record->Closed || record->Mode != TSoundMode::Playing) return false;
  record->Mode = TSoundMode::Stopped;
  record->Position = record->Length;
  auto onEnd = std::move(record->OnEnd);
  record->OnEnd = nullptr;
  if (!onEnd) return true;
  const uint64_t serial = record->PlaySerial;
  // Delivered only while no later command of the channel has cut this play.
  auto deliver = [record, serial, onEnd = std::move(onEnd)] {
    if (!record->Closed && record->PlaySerial == serial) onEnd();
  };
  if (Dispatcher)
    Dispatcher->Post(std::move(deliver));
  else
    deliver();
  return true;
}

int TSilentSoundOutput::FinishAll() {
  int count = 0;
  for (int id : Playing())
    if (Finish(id)) ++count;
  return count;
}

} // namespace kv
