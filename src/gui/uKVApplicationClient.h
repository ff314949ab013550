// The application a game session runs in, apart from any window: its running state (stopped, running,
// paused) with a 10 ms tick, a small message protocol between the controls, the session and the owner, and
// the reporting of errors that a message handler leaves behind.
//
// Every state change goes through one step, which tells HandleEvent(1024, new state, 0), so that whatever
// follows the state (the music) hears of each change exactly once.
#pragma once

#include "data/uKVComponent.h"
#include "gui/uKVGUIControl.h"
#include "gui/uKVGameEvents.h"
#include "gui/uKVGameState.h"
#include "platform/uServices.h"
#include "sound/uKVThreadTimer.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kv {

class TJigsawProject2;

// Milliseconds between two ticks of the application.
inline constexpr uint32_t kvApplicationTickInterval = 10;

class TKVCustomApplicationClient : public TKVComponent, public IKVApplication {
public:
  // The services stay with the creator and must outlive the application.
  explicit TKVCustomApplicationClient(const TPlatformServices& services);
  ~TKVCustomApplicationClient() override;
  TKVCustomApplicationClient(const TKVCustomApplicationClient&) = delete;
  TKVCustomApplicationClient& operator=(const TKVCustomApplicationClient&) = delete;

  const TPlatformServices& Services() const { return FServices; }

  TJigsawProject2* Project() const { return FProject; }
  // Not owned.
  virtual void SetProject(TJigsawProject2* project);

  // Ticks since the last Reset.
  int32_t TickCount() const { return FTickCount; }
  TGameState State() const { return FState; }
  // Set by message handlers to report an error; 0 = none.
  int32_t ResultCode() const { return FResultCode; }
  void SetResultCode(int32_t code) { FResultCode = code; }
  const TKVThreadTimer& TickTimer() const { return *FTickTimer; }

  // Operations in their order.
  virtual void Tick();
  // Shows "Error : " with the code's text and the two texts in an error box and asks the owner to end the
  // program (OnTerminateRequest); the program is not ended from here.
  virtual void Error(int32_t code, const std::string& text1, const std::string& text2);
  // message, p and q as the controls send them; p and q may be changed.
  virtual void HandleEvent(int32_t message, int32_t& p, int32_t& q);
  virtual void Prepare();
  virtual void Start();
  virtual void Pause();
  virtual void Resume();
  virtual void Stop();
  virtual void Reset();
  // HandleEvent, then Error when the handler left a non-zero result code.
  void PostEvent(int32_t message, int32_t& p, int32_t& q) override;
  // The same with values the caller does not need back.
  void PostValues(int32_t message, int32_t p, int32_t q) { PostEvent(message, p, q); }
  // Message 1024 with a code and its value.
  void PostCode(TAppCode code, int32_t value) { PostValues(kvmsgApplication, ToUnderlying(code), value); }

  virtual void ProgressBegin(const std::string& text) { (void)text; }
  virtual void ProgressStep(const std::string& text, int32_t value) { (void)text, (void)value; }
  virtual void ProgressEnd(const std::string& text) { (void)text; }

  // The owner ends the program when asked (after an error box).
  std::function<void()> OnTerminateRequest;

  // The system's text of an error code.
  static std::string ErrorCodeText(int32_t code);

protected:
  // The single state-change step.
  void ChangeState(TGameState state);
  void SetTickEnabled(bool on);

private:
  TPlatformServices FServices;
  TJigsawProject2* FProject = nullptr;
  std::unique_ptr<TKVThreadTimer> FTickTimer;
  int32_t FTickCount = 0;
  int32_t FResultCode = 0;
  TGameState FState = TGameState::Stopped;
};

} // namespace kv
