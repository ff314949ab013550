// The games application: the application client with an input area, the root of the playing area's control
// tree, the game's sounds and a skinned OK/Cancel question.
//
// The input area is the graphic engine's paint box. SetClientArea takes over its seven input events by name
// and puts the previous handlers back when the area is replaced or the application goes; the application's
// own handlers turn platform input into routed tree events and then chain to the previous handler.
//
// Messages 1024 carry the state changes and the controls' requests:
//   p = 0 stopped (sounds stop), 1 running (the music, event 1, repeats), 2 paused (sounds pause),
//   3 cursor := q, 16 close the main window, 65534 play event q repeating, 65535 play event q once.
#pragma once

#include "gui/uKVApplicationClient.h"
#include "gui/uKVGUIObject.h"
#include "gui/uKVGUIWorkspace.h"
#include "gui/uKVGameEvents.h"
#include "gui/uKVPaintBox.h"
#include "sound/uKVSoundEngine.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

class TKVCustomGraphicEngine;
class TKVGUIForm;

// A pointer move in the client area, sent before the move reaches the controls: p = x, q = y.
inline constexpr int32_t kvmsgPointerMove = 512;

// Progress kinds.
inline constexpr int32_t kvpkBegin = 0;
inline constexpr int32_t kvpkStep = 1;
inline constexpr int32_t kvpkEnd = 2;

// Size of the question box.
inline constexpr int32_t kvQuestionWidth = 250;
inline constexpr int32_t kvQuestionHeight = 125;
// Space beside a question's text that is wider than the box.
inline constexpr int32_t kvQuestionMargin = 20;

class TKVCustomGamesApplication : public TKVCustomApplicationClient {
public:
  using TProgressEvent = std::function<void(int32_t kind, const std::string& text, int32_t value)>;

  // The playing area is drawn by engine, which must outlive the application.
  TKVCustomGamesApplication(const TPlatformServices& services, TKVCustomGraphicEngine& engine);
  // Gives the input area its handlers back and releases the sounds.
  ~TKVCustomGamesApplication() override;

  TKVCustomGraphicEngine& Engine() const { return FEngine; }
  TKVPaintBox* ClientArea() const { return FClientArea; }
  void SetClientArea(TKVPaintBox* control);

  TKVSoundEventCollection& SoundEvents() { return FSoundEvents; }
  TSoundHost MainWindow() const { return FMainWindow; }
  // The window that hosts the sound players.
  void SetMainWindow(TSoundHost window);
  bool SoundOn() const { return FSoundOn; }
  // On: the music event, when set and not already repeating, starts again.
  void SetSoundOn(bool on);
  int32_t MusicEventId() const { return FMusicEventId; }
  void SetMusicEventId(int32_t id) { FMusicEventId = id; }

  // The root of the playing area's controls; none until the descendant creates it.
  TKVGUIWorkspace* Root() const { return FRoot.get(); }
  // The question box once Confirm made it.
  TKVGUIForm* QuestionBox() const { return FQuestionBox; }

  TProgressEvent OnProgress;
  // The owner closes its main window when asked (message 1024 with 16, Escape in a skinned window).
  std::function<void()> OnCloseRequest;

  // Operations of the application client.
  void HandleEvent(int32_t message, int32_t& p, int32_t& q) override;
  void Prepare() override;
  void Start() override;
  void Pause() override;
  void Resume() override;
  void Stop() override;
  void Reset() override;
  void ProgressBegin(const std::string& text) override;
  void ProgressStep(const std::string& text, int32_t value) override;
  void ProgressEnd(const std::string& text) override;

  // The question box.
  virtual void ConfirmOk(TKVGUIControl* sender);
  virtual void ConfirmCancel();
  // Shows caption and text with OK and Cancel; OK calls method with the OK button. A box that exists is
  // only shown again, with its first question.
  virtual void Confirm(const std::string& caption, const std::string& text, TKVGUINotifyEvent method);

  // repeatCount -1 repeats without end, any other plays once. The number form takes an id as it arrives in a
  // message or as the owner registered it.
  void PlaySoundEvent(int32_t id, int32_t repeatCount);
  void PlaySoundEvent(TGameEvent event, int32_t repeatCount) {
    PlaySoundEvent(ToUnderlying(event), repeatCount);
  }
  void RegisterSoundEvent(uint16_t id, TStream& stream, TKVSoundFormat format);
  void StopAllSounds();

  // The input handlers attached to the client area.
  void ClientMouseDown(TKVPaintBox& sender, TKVInputEvent& event);
  void ClientMouseUp(TKVPaintBox& sender, TKVInputEvent& event);
  void ClientMouseMove(TKVPaintBox& sender, TKVInputEvent& event);
  void ClientMouseEnter(TKVPaintBox& sender, TKVInputEvent& event);
  void ClientMouseLeave(TKVPaintBox& sender, TKVInputEvent& event);
  void ClientKeyDown(TKVPaintBox& sender, TKVInputEvent& event);
  void ClientKeyPress(TKVPaintBox& sender, TKVInputEvent& event);

  // The seven events taken over, by their published names.
  static constexpr std::array<const char*, 7> InputEventNames{
      "OnMouseDown", "OnMouseUp", "OnMouseMove", "OnKeyPress", "OnKeyDown", "OnMouseLeave", "OnMouseEnter"};

protected:
  // The sound switch alone, without starting the music (for settings taken before the sounds are ready).
  void SetSoundSwitch(bool on);
  // Descendants create the root, drawn by Engine(); the application owns it from then on.
  void SetRoot(TKVGUIOwner<TKVGUIWorkspace> root);
  // Destroys the question box, if there is one.
  void ForgetQuestionBox();
  // Take children out of the root and destroy them. While input is being routed through the tree (a button
  // of the question box may reset the game) they leave the tree at once and are destroyed once the routing
  // has returned, so that no control is freed under its own event.
  void DestroyRootChild(TKVGUIObject* child);
  void DestroyRootChildren();
  bool Dispatching() const { return FDispatching > 0; }

private:
  // Counts the input handlers running; the last one out frees the retired controls.
  class TDispatchScope {
  public:
    explicit TDispatchScope(TKVCustomGamesApplication& app) : App(app) { ++App.FDispatching; }
    ~TDispatchScope();
    TDispatchScope(const TDispatchScope&) = delete;
    TDispatchScope& operator=(const TDispatchScope&) = delete;

  private:
    TKVCustomGamesApplication& App;
  };

  TKVInputHandler OwnHandler(std::size_t index);
  void CallRemembered(std::size_t index, TKVPaintBox& sender, TKVInputEvent& event);

  TKVCustomGraphicEngine& FEngine;
  TKVPaintBox* FClientArea = nullptr;
  // Expires with the application: work it posted to the dispatcher then does nothing.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  std::array<TKVInputHandler, InputEventNames.size()> FRemembered;
  TKVSoundEventCollection FSoundEvents;
  TSoundHost FMainWindow = nullptr;
  bool FSoundOn = true;
  int32_t FMusicEventId = -1;
  TKVGUIOwner<TKVGUIWorkspace> FRoot;
  TKVGUIForm* FQuestionBox = nullptr;
  TKVGUINotifyEvent FConfirmMethod;
  int32_t FDispatching = 0;
  std::vector<TKVGUIOwner<TKVGUIObject>> FRetired;
};

} // namespace kv
