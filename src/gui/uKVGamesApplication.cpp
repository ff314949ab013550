#include "gui/uKVGamesApplication.h"

#include <algorithm>

#include "core/uKVErrors.h"
#include "gui/uKVAppControlLayer.h"
#include "gui/uKVGUIButton.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUILabel.h"
#include "gui/uKVGraphicEngine.h"
#include "platform/uDispatcher.h"

namespace kv {

namespace {

constexpr const char* kUnit = "gui/uKVGamesApplication";

// Indexes into InputEventNames.
enum : std::size_t { kMouseDown, kMouseUp, kMouseMove, kKeyPress, kKeyDown, kMouseLeave, kMouseEnter };

int32_t TreeButton(TMouseButton button) {
  return button == mbLeft ? kvmbLeft : kvmbOther;
}

} // namespace

TKVCustomGamesApplication::TKVCustomGamesApplication(const TPlatformServices& services,
                                                     TKVCustomGraphicEngine& engine)
    : TKVCustomApplicationClient(services), FEngine(engine), FSoundEvents(services) {}

TKVCustomGamesApplication::~TKVCustomGamesApplication() {
  // The handlers attached to the input area call into this object.
  SetClientArea(nullptr);
  FQuestionBox = nullptr;
  FRetired.clear();
  FRoot.reset();
  FSoundEvents.Clear();
}

TKVCustomGamesApplication::TDispatchScope::~TDispatchScope() {
  if (--App.FDispatching == 0) App.FRetired.clear();
}

void TKVCustomGamesApplication::DestroyRootChild(TKVGUIObject* child) {
  if (!FRoot || !child || FRoot->IndexOfChild(child) < 0) return;
  if (child == FQuestionBox) {
    FQuestionBox = nullptr;
    FConfirmMethod = nullptr;
  }
  if (Dispatching()) {
    std::unique_ptr<TKVGUIObject> removed = FRoot->RemoveChild(child);
    FRetired.emplace_back(removed.release());
  } else {
    FRoot->DestroyChild(child);
  }
}

void TKVCustomGamesApplication::DestroyRootChildren() {
  if (!FRoot) return;
  while (FRoot->ChildCount() > 0) DestroyRootChild(FRoot->Children(FRoot->ChildCount() - 1));
}

void TKVCustomGamesApplication::SetRoot(TKVGUIOwner<TKVGUIWorkspace> root) {
  FQuestionBox = nullptr;
  FRoot = std::move(root);
}

// ---- input area

TKVInputHandler TKVCustomGamesApplication::OwnHandler(std::size_t index) {
  using THandler = void (TKVCustomGamesApplication::*)(TKVPaintBox&, TKVInputEvent&);
  static constexpr std::array<THandler, InputEventNames.size()> Handlers{
      &TKVCustomGamesApplication::ClientMouseDown, &TKVCustomGamesApplication::ClientMouseUp,
      &TKVCustomGamesApplication::ClientMouseMove, &TKVCustomGamesApplication::ClientKeyPress,
      &TKVCustomGamesApplication::ClientKeyDown,   &TKVCustomGamesApplication::ClientMouseLeave,
      &TKVCustomGamesApplication::ClientMouseEnter};
  const THandler handler = Handlers[index];
  return [this, handler](TKVPaintBox& sender, TKVInputEvent& event) { (this->*handler)(sender, event); };
}

void TKVCustomGamesApplication::SetClientArea(TKVPaintBox* control) {
  if (control == FClientArea) return;
  if (FClientArea) {
    for (std::size_t i = 0; i < InputEventNames.size(); ++i)
      if (TKVInputHandler* event = FClientArea->FindEvent(InputEventNames[i])) *event = FRemembered[i];
  }
  FClientArea = control;
  FRemembered = {};
  if (FClientArea) {
    for (std::size_t i = 0; i < InputEventNames.size(); ++i)
      if (TKVInputHandler* event = FClientArea->FindEvent(InputEventNames[i])) {
        FRemembered[i] = *event;
        *event = OwnHandler(i);
      }
  }
  PropertyChanged("ClientArea", TKVVariant{});
}

void TKVCustomGamesApplication::CallRemembered(std::size_t index, TKVPaintBox& sender, TKVInputEvent& event) {
  // A copy: the handler may replace the client area meanwhile.
  if (TKVInputHandler handler = FRemembered[index]) handler(sender, event);
}

void TKVCustomGamesApplication::ClientMouseDown(TKVPaintBox& sender, TKVInputEvent& event) {
  TDispatchScope scope(*this);
  if (FRoot)
    FRoot->DispatchMouse(TPoint{event.X, event.Y}, kvmkDown, event.Shift & ssModifiers,
                         TreeButton(event.Button));
  CallRemembered(kMouseDown, sender, event);
}

void TKVCustomGamesApplication::ClientMouseUp(TKVPaintBox& sender, TKVInputEvent& event) {
  TDispatchScope scope(*this);
  if (FRoot)
    FRoot->DispatchMouse(TPoint{event.X, event.Y}, kvmkUp, event.Shift & ssModifiers,
                         TreeButton(event.Button));
  CallRemembered(kMouseUp, sender, event);
}

void TKVCustomGamesApplication::ClientMouseMove(TKVPaintBox& sender, TKVInputEvent& event) {
  TDispatchScope scope(*this);
  int32_t x = event.X, y = event.Y;
  HandleEvent(kvmsgPointerMove, x, y);
  if (x == event.X && FRoot) {
    const int32_t button = (event.Shift & ssRight) ? kvmbOther : (event.Shift & ssLeft) ? kvmbLeft : kvmbNone;
    FRoot->DispatchMouse(TPoint{event.X, event.Y}, kvmkMove, event.Shift & ssModifiers, button);
  }
  CallRemembered(kMouseMove, sender, event);
}

void TKVCustomGamesApplication::ClientMouseEnter(TKVPaintBox&, TKVInputEvent&) {
  TDispatchScope scope(*this);
  if (FRoot) FRoot->DispatchMouse(TPoint{-1, -1}, kvmkEnter, 0, kvmbNone);
}

void TKVCustomGamesApplication::ClientMouseLeave(TKVPaintBox&, TKVInputEvent&) {
  TDispatchScope scope(*this);
  if (FRoot) FRoot->DispatchMouse(TPoint{-1, -1}, kvmkLeave, 0, kvmbNone);
}

void TKVCustomGamesApplication::ClientKeyDown(TKVPaintBox& sender, TKVInputEvent& event) {
  TDispatchScope scope(*this);
  if (FRoot) FRoot->DispatchKey(event.Key, kvkkKeyDown, event.Shift & ssModifiers);
  CallRemembered(kKeyDown, sender, event);
}

void TKVCustomGamesApplication::ClientKeyPress(TKVPaintBox& sender, TKVInputEvent& event) {
  TDispatchScope scope(*this);
  if (FRoot) FRoot->DispatchKey(static_cast<uint8_t>(event.KeyChar), kvkkChar, 0);
  CallRemembered(kKeyPress, sender, event);
}

// ---- sounds

void TKVCustomGamesApplication::SetMainWindow(TSoundHost window) {
  FMainWindow = window;
  FSoundEvents.SetOwner(window);
}

void TKVCustomGamesApplication::SetSoundSwitch(bool on) {
  FSoundOn = on;
  FSoundEvents.SetSoundOn(on);
}

void TKVCustomGamesApplication::SetSoundOn(bool on) {
  SetSoundSwitch(on);
  if (on && FMusicEventId != -1) {
    const TKVSoundEventItem* music = FSoundEvents.FindEvent(FMusicEventId);
    if (music && !music->Repeating()) PlaySoundEvent(FMusicEventId, -1);
  }
}

void TKVCustomGamesApplication::PlaySoundEvent(int32_t id, int32_t repeatCount) {
  FSoundEvents.PlayEvent(id, repeatCount);
}

void TKVCustomGamesApplication::RegisterSoundEvent(uint16_t id, TStream& stream, TKVSoundFormat format) {
  FSoundEvents.RegisterEvent(id, stream, format);
}

void TKVCustomGamesApplication::StopAllSounds() {
  FSoundEvents.StopAll();
}

// ---- lifecycle and messages

void TKVCustomGamesApplication::HandleEvent(int32_t message, int32_t& p, int32_t& q) {
  TKVCustomApplicationClient::HandleEvent(message, p, q);
  if (message != kvmsgApplication) return;
  // p arrives as a number from any control.
  switch (static_cast<TAppCode>(p)) {
  case TAppCode::Stopped:
    StopAllSounds();
    break;
  case TAppCode::Running:
    // Like the sounds' opening, the music (a MIDI synthesiser loading its instruments) waits for the work
    // already queued, the game's first frame among it.
    if (IDispatcher* dispatcher = Services().Dispatcher)
      dispatcher->Post([this, alive = std::weak_ptr<bool>(FAlive)] {
        if (!alive.expired() && State() == TGameState::Running) PlaySoundEvent(TGameEvent::Music, -1);
      });
    else
      PlaySoundEvent(TGameEvent::Music, -1);
    break;
  case TAppCode::Paused:
    FSoundEvents.PauseAll();
    break;
  case TAppCode::SetCursor:
    if (FClientArea) FClientArea->SetCursor(static_cast<TCursor>(q));
    break;
  case TAppCode::Close:
    if (OnCloseRequest) OnCloseRequest();
    break;
  case TAppCode::PlayRepeating:
    PlaySoundEvent(q, -1);
    break;
  case TAppCode::PlayOnce:
    PlaySoundEvent(q, 0);
    break;
  default:
    break;
  }
}

void TKVCustomGamesApplication::Prepare() {
  TKVCustomApplicationClient::Prepare();
  if (!FClientArea) throw EAssertionFailed("ClientArea not defined", kUnit);
  if (FRoot) {
    for (int32_t i = 0; i < FRoot->ChildCount(); ++i) {
      TKVGUIControl* child = FRoot->ChildControl(i);
      if (!child) continue;
      child->Application = this;
      if (auto* layer = dynamic_cast<TKVAppControlLayerItem*>(child)) layer->Prepare();
    }
  }
  // Opening sounds (decoding them, loading a MIDI synthesiser's instruments) waits until the events already
  // queued, the first frame of the game among them, have been handled; a sound played before is opened then.
  if (IDispatcher* dispatcher = Services().Dispatcher)
    dispatcher->Post([this, alive = std::weak_ptr<bool>(FAlive)] {
      if (!alive.expired()) FSoundEvents.PrepareAll();
    });
  else
    FSoundEvents.PrepareAll();
}

void TKVCustomGamesApplication::Start() {
  TKVCustomApplicationClient::Start();
  if (FClientArea) FClientArea->SetFocus();
  if (FRoot) {
    for (int32_t i = 0; i < FRoot->ChildCount(); ++i)
      if (auto* layer = dynamic_cast<TKVAppControlLayerItem*>(FRoot->Children(i))) layer->Start();
  }
}

void TKVCustomGamesApplication::Pause() {
  TKVCustomApplicationClient::Pause();
}

void TKVCustomGamesApplication::Resume() {
  TKVCustomApplicationClient::Resume();
  FSoundEvents.ResumeAll();
}

void TKVCustomGamesApplication::Stop() {
  TKVCustomApplicationClient::Stop();
  StopAllSounds();
}

void TKVCustomGamesApplication::Reset() {
  TKVCustomApplicationClient::Reset();
  FSoundEvents.Clear();
  FSoundOn = true;
  FSoundEvents.SetSoundOn(true);
  FMusicEventId = -1;
  ForgetQuestionBox();
}

void TKVCustomGamesApplication::ForgetQuestionBox() {
  // Forgetting the box also takes it out of the tree: a box left there would stay on the playing area with
  // nothing to answer it.
  TKVGUIForm* box = FQuestionBox;
  FQuestionBox = nullptr;
  FConfirmMethod = nullptr;
  DestroyRootChild(box);
}

void TKVCustomGamesApplication::ProgressBegin(const std::string& text) {
  if (OnProgress) OnProgress(kvpkBegin, text, 0);
}

void TKVCustomGamesApplication::ProgressStep(const std::string& text, int32_t value) {
  if (OnProgress) OnProgress(kvpkStep, text, value);
}

void TKVCustomGamesApplication::ProgressEnd(const std::string& text) {
  if (OnProgress) OnProgress(kvpkEnd, text, 100);
}

// ---- question box

void TKVCustomGamesApplication::ConfirmOk(TKVGUIControl* sender) {
  if (FQuestionBox) FQuestionBox->SetVisible(false);
  // A copy: the method may ask a new question or reset the application.
  if (TKVGUINotifyEvent method = FConfirmMethod) method(sender);
}

void TKVCustomGamesApplication::ConfirmCancel() {
  if (FQuestionBox) FQuestionBox->SetVisible(false);
}

void TKVCustomGamesApplication::Confirm(const std::string& caption, const std::string& text,
                                        TKVGUINotifyEvent method) {
  if (FQuestionBox) {
    FQuestionBox->ShowAndFocus();
    return;
  }
  if (!FRoot) return;
  const int32_t clientWidth = FClientArea ? FClientArea->ClientWidth() : 0;
  const int32_t clientHeight = FClientArea ? FClientArea->ClientHeight() : 0;

  TKVGUIForm& box = NewChild<TKVGUIForm>(*FRoot);
  box.Application = this;
  box.BringToFront();
  box.SetCaption(caption);

  TKVGUILabel& label = NewChild<TKVGUILabel>(box);
  label.Application = this;
  label.SetCaption(text);
  TKVCustomGraphicEngine& engine = *label.Engine();
  const int32_t textWidth = engine.TextWidth(text);
  // A text wider than the box widens it, with a margin on each side; the buttons stay in the middle.
  const int32_t width = std::max(kvQuestionWidth, textWidth + 2 * kvQuestionMargin);
  const int32_t shift = (width - kvQuestionWidth) / 2;
  box.SetPosition((clientWidth - width) / 2, (clientHeight - kvQuestionHeight) / 2);
  label.SetSize(textWidth, engine.TextHeight(text));
  label.SetPosition((width - textWidth) / 2, 40);

  TKVGUIButton& ok = NewChild<TKVGUIButton>(box);
  ok.Application = this;
  ok.SetCaption("OK");
  ok.SetPosition(50 + shift, 70);
  ok.OnClick = [this](TKVGUIControl* sender) { ConfirmOk(sender); };

  TKVGUIButton& cancel = NewChild<TKVGUIButton>(box);
  cancel.Application = this;
  cancel.SetCaption("Cancel");
  cancel.SetPosition(130 + shift, 70);
  cancel.OnClick = [this](TKVGUIControl*) { ConfirmCancel(); };

  box.SetSize(width, kvQuestionHeight);
  box.ShowAndFocus();
  FQuestionBox = &box;
  FConfirmMethod = std::move(method);
}

} // namespace kv
