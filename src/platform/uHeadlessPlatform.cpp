#include "platform/uHeadlessPlatform.h"

#include <chrono>

namespace kv {

THeadlessDispatcher::THeadlessDispatcher() : UIThread(std::this_thread::get_id()) {}

THeadlessDispatcher::~THeadlessDispatcher() = default;

void THeadlessDispatcher::Post(std::function<void()> task) {
  {
    std::lock_guard lock(Mutex);
    Queue.push_back(std::move(task));
  }
  Arrived.notify_all();
}

bool THeadlessDispatcher::IsUIThread() const {
  return std::this_thread::get_id() == UIThread;
}

int THeadlessDispatcher::ProcessPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(Mutex);
    batch.swap(Queue);
  }
  int count = 0;
  for (auto& task : batch) {
    if (task) task();
    ++count;
  }
  return count;
}

bool THeadlessDispatcher::ProcessUntil(const std::function<bool()>& predicate, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    ProcessPending();
    if (predicate()) return true;
    std::unique_lock lock(Mutex);
    if (Queue.empty() && Arrived.wait_until(lock, deadline) == std::cv_status::timeout && Queue.empty())
      return predicate();
  }
}

std::size_t THeadlessDispatcher::PendingCount() const {
  std::lock_guard lock(Mutex);
  return Queue.size();
}

bool TScriptedMessageBoxes::Answer() {
  if (WhileAsking) WhileAsking();
  if (Answers.empty()) return DefaultAnswer;
  const bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}

void TScriptedMessageBoxes::ShowError(const std::string& text) {
  Shown.push_back({"error", text});
}

void TScriptedMessageBoxes::ShowInformation(const std::string& text) {
  Shown.push_back({"information", text});
}

bool TScriptedMessageBoxes::AskConfirmation(const std::string& text) {
  Shown.push_back({"confirmation", text});
  return Answer();
}

bool TScriptedMessageBoxes::AskWarning(const std::string& text) {
  Shown.push_back({"warning", text});
  return Answer();
}

THeadlessPlatform::THeadlessPlatform() = default;

TPlatformServices THeadlessPlatform::Services() {
  RandomState = std::make_shared<TRandomSource>(RandomSeed);
  TPlatformServices services;
  services.Timers = Clock.Factory();
  services.ThreadTimers = Clock.Factory();
  services.Dispatcher = &Dispatcher;
  services.Sound = Sound;
  services.Boxes = &Boxes;
  services.Screen = &Screen;
  services.Random = RandomState;
  return services;
}

void THeadlessPlatform::Advance(int64_t milliseconds) {
  Dispatcher.ProcessPending();
  Clock.Advance(milliseconds);
  Dispatcher.ProcessPending();
}

} // namespace kv
