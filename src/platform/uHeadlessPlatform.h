// The desktop as tests see it: a clock and an event loop that move only when the test says so, message boxes
// that answer from a script, and a log of everything shown. Turn animations, automatic moves and the game
// clock therefore run at once and the same way on every run.
#pragma once

#include "platform/uDesktop.h"
#include "platform/uDispatcher.h"
#include "platform/uServices.h"
#include "platform/uSoundOutput.h"
#include "platform/uTimer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kv {

// Tasks posted from any thread wait until the test runs them on its own thread, the user-interface thread.
class THeadlessDispatcher : public IDispatcher {
public:
  THeadlessDispatcher();
  ~THeadlessDispatcher() override;
  void Post(std::function<void()> task) override;
  bool IsUIThread() const override;

  // Runs the tasks queued so far (not those they post); returns how many ran.
  int ProcessPending();
  // Runs tasks as they arrive until predicate holds or timeoutMs passes; true when the predicate held.
  bool ProcessUntil(const std::function<bool()>& predicate, int timeoutMs);
  std::size_t PendingCount() const;

private:
  mutable std::mutex Mutex;
  std::condition_variable Arrived;
  std::deque<std::function<void()>> Queue;
  std::thread::id UIThread;
};

// Answers come from the scripted queue (true = Yes); with the queue empty, DefaultAnswer.
class TScriptedMessageBoxes : public IMessageBoxes {
public:
  struct TShown {
    std::string Kind; // "error", "information", "confirmation", "warning"
    std::string Text;
    bool operator==(const TShown&) const = default;
  };
  void ShowError(const std::string& text) override;
  void ShowInformation(const std::string& text) override;
  bool AskConfirmation(const std::string& text) override;
  bool AskWarning(const std::string& text) override;

  std::deque<bool> Answers;
  bool DefaultAnswer = true;
  std::vector<TShown> Shown;
  // Runs while a question is open, as the program runs on under a modal box (timers, a new game).
  std::function<void()> WhileAsking;

private:
  bool Answer();
};

class THeadlessScreen : public IScreen {
public:
  TRect ScreenRect() const override { return Screen; }
  TRect WorkArea() const override { return Work; }
  TPoint CursorPos() const override { return Cursor; }
  TRect Screen{0, 0, 1280, 1024};
  TRect Work{0, 0, 1280, 984};
  TPoint Cursor;
};

// A pop-up menu that records where it was opened.
class TRecordingPopupMenu : public IPopupMenu {
public:
  void Popup(int32_t screenX, int32_t screenY) override { Opened.push_back(TPoint{screenX, screenY}); }
  std::vector<TPoint> Opened;
};

// One headless desktop. Message-loop timers and thread timers both tick on Clock, so that advancing the
// clock runs every tick that falls due, in time order, on the calling thread.
class THeadlessPlatform {
public:
  THeadlessPlatform();
  THeadlessPlatform(const THeadlessPlatform&) = delete;
  THeadlessPlatform& operator=(const THeadlessPlatform&) = delete;

  // The services, pointing into this object; each call hands out a fresh random source seeded with
  // RandomSeed.
  TPlatformServices Services();
  // Advances the clock by milliseconds and runs what was posted meanwhile.
  void Advance(int64_t milliseconds);

  TManualClock Clock;
  THeadlessDispatcher Dispatcher;
  TScriptedMessageBoxes Boxes;
  THeadlessScreen Screen;
  // Records what the game plays; its sounds end when the test finishes them.
  TSilentSoundOutput SilentSound{&Dispatcher};
  ISoundOutput* Sound = &SilentSound;
  uint64_t RandomSeed = 1;

private:
  std::shared_ptr<TRandomSource> RandomState;
};

} // namespace kv
