#include "gui/uKVApplicationClient.h"

#include "data/uKVStandardFunc.h"
#include "platform/uDesktop.h"

#include <system_error>

namespace kv {

TKVCustomApplicationClient::TKVCustomApplicationClient(const TPlatformServices& services)
    : FServices(services), FTickTimer(std::make_unique<TKVThreadTimer>(services.ThreadTimers)) {
  FTickTimer->SetInterval(kvApplicationTickInterval);
  FTickTimer->OnTimer = [this] { Tick(); };
}

TKVCustomApplicationClient::~TKVCustomApplicationClient() {
  FTickTimer->SetEnabled(false);
}

void TKVCustomApplicationClient::SetProject(TJigsawProject2* project) {
  FProject = project;
  PropertyChanged("Project", TKVVariant{});
}

void TKVCustomApplicationClient::Tick() {
  ++FTickCount;
}

std::string TKVCustomApplicationClient::ErrorCodeText(int32_t code) {
  return std::system_category().message(code);
}

void TKVCustomApplicationClient::Error(int32_t code, const std::string& text1, const std::string& text2) {
  const std::string message = "Error : " + ErrorCodeText(code) + "\n" + text1 + "\n" + text2;
  if (FServices.Boxes) FServices.Boxes->ShowError(message);
  if (OnTerminateRequest) OnTerminateRequest();
}

void TKVCustomApplicationClient::HandleEvent(int32_t message, int32_t& p, int32_t& q) {
  (void)message, (void)p, (void)q;
  FResultCode = 0;
}

void TKVCustomApplicationClient::Prepare() {
  TKVStandardFunc::TrimWorkingSet();
}

void TKVCustomApplicationClient::Start() {
  SetTickEnabled(true);
  ChangeState(TGameState::Running);
}

void TKVCustomApplicationClient::Pause() {
  SetTickEnabled(false);
  ChangeState(TGameState::Paused);
}

void TKVCustomApplicationClient::Resume() {
  SetTickEnabled(true);
  ChangeState(TGameState::Running);
}

void TKVCustomApplicationClient::Stop() {
  SetTickEnabled(false);
  ChangeState(TGameState::Stopped);
}

void TKVCustomApplicationClient::Reset() {
  Stop();
  FTickCount = 0;
}

void TKVCustomApplicationClient::PostEvent(int32_t message, int32_t& p, int32_t& q) {
  HandleEvent(message, p, q);
  if (FResultCode != 0) Error(FResultCode, "", "");
}

void TKVCustomApplicationClient::ChangeState(TGameState state) {
  if (state == FState) return;
  FState = state;
  int32_t p = ToUnderlying(StateCode(state)), q = 0;
  HandleEvent(kvmsgApplication, p, q);
}

void TKVCustomApplicationClient::SetTickEnabled(bool on) {
  FTickTimer->SetEnabled(on);
}

} // namespace kv
