#include "gui/uKVGamesApplication.h"

#include "core/uKVErrors.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVAppControlLayer.h"
#include "gui/uKVGUIButton.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUILabel.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "platform/uHeadlessPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using kv::TPoint;

// A control that records the routed events it receives.
class RecordingControl : public kv::TKVGUIControl {
public:
  struct Mouse {
    TPoint Point;
    int32_t Kind, Shift, Button;
    bool operator==(const Mouse&) const = default;
  };
  struct Key {
    int32_t Code, Kind, Shift;
    bool operator==(const Key&) const = default;
  };
  void MouseEvent(const TPoint& point, int32_t kind, int32_t shift, int32_t button) override {
    Mice.push_back({point, kind, shift, button});
    if (kind == kv::kvmkEnter) MouseEnter();
    if (kind == kv::kvmkLeave) MouseLeave();
  }
  void KeyEvent(int32_t key, int32_t kind, int32_t shift) override { Keys.push_back({key, kind, shift}); }
  std::vector<Mouse> Mice;
  std::vector<Key> Keys;
};

class RecordingLayer : public kv::TKVAppControlLayerItem {
public:
  void Prepare() override {
    kv::TKVAppControlLayerItem::Prepare();
    Calls.push_back("Prepare");
  }
  void Start() override {
    kv::TKVAppControlLayerItem::Start();
    Calls.push_back("Start");
  }
  std::vector<std::string> Calls;
};

// The application with a root, recording the messages it handles.
class TestApplication : public kv::TKVCustomGamesApplication {
public:
  TestApplication(const kv::TPlatformServices& services, kv::TKVCustomGraphicEngine& engine)
      : TKVCustomGamesApplication(services, engine) {
    SetRoot(kv::NewRootOn<kv::TKVGUIWorkspace>(engine));
  }
  void HandleEvent(int32_t message, int32_t& p, int32_t& q) override {
    Messages.emplace_back(message, p, q);
    if (message == kv::kvmsgPointerMove && KeepMovesFromControls) p = -1;
    TKVCustomGamesApplication::HandleEvent(message, p, q);
    if (message == FailingMessage) SetResultCode(FailingCode);
  }
  void Tick() override {
    TKVCustomGamesApplication::Tick();
    ++Ticks;
  }
  using TKVCustomGamesApplication::DestroyRootChildren;

  std::vector<std::tuple<int32_t, int32_t, int32_t>> Messages;
  std::vector<std::tuple<int32_t, int32_t, int32_t>> StateMessages() const {
    std::vector<std::tuple<int32_t, int32_t, int32_t>> result;
    for (const auto& m : Messages)
      if (std::get<0>(m) == kv::kvmsgApplication && std::get<1>(m) <= kv::ToUnderlying(kv::TAppCode::Paused))
        result.push_back(m);
    return result;
  }
  bool KeepMovesFromControls = false;
  int32_t FailingMessage = -1;
  int32_t FailingCode = 0;
  int Ticks = 0;
};

class GamesApplicationTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto surface = std::make_unique<kv::THeadlessPaintBox>();
    Box = surface.get();
    Engine.CreateSurface(std::move(surface));
    Engine.SetSize(800, 600);
    App = std::make_unique<TestApplication>(Platform.Services(), Engine);
    App->SetMainWindow(this);
    App->SetClientArea(Box);
    Root().SetSize(800, 600);
    Root().SetEnabled(true);
  }
  void TearDown() override {
    App.reset();
    Engine.DestroySurface();
  }
  kv::TKVGUIWorkspace& Root() { return *App->Root(); }

  // Registers and prepares a sound for each id; the bytes name the id.
  void RegisterSounds(std::initializer_list<uint16_t> ids) {
    for (uint16_t id : ids) {
      kv::TMemoryStream data(
          std::vector<uint8_t>{'S', static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)});
      App->RegisterSoundEvent(id, data, kv::kvsfWAV);
    }
    App->SoundEvents().PrepareAll();
  }
  // The channel that plays the sound of event id.
  kv::TSilentSoundOutput::TChannelRecord& Channel(uint16_t id) {
    for (const auto& record : Platform.SilentSound.Channels())
      if (record->Bytes == std::vector<uint8_t>{'S', static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)})
        return *record;
    throw std::runtime_error("no channel for event " + std::to_string(id));
  }

  kv::THeadlessPlatform Platform;
  kv::TKVGamesSkin Skin;
  kv::TKVGR32GraphicEngine Engine{Skin};
  kv::THeadlessPaintBox* Box = nullptr;
  std::unique_ptr<TestApplication> App;
};

using State = std::tuple<int32_t, int32_t, int32_t>;

TEST_F(GamesApplicationTest, EveryStateChangeIsToldOnceAndTheTickRunsOnlyWhileRunning) {
  EXPECT_EQ(App->State(), kv::TGameState::Stopped);
  App->Start();
  App->Start();
  EXPECT_EQ(App->StateMessages(), (std::vector<State>{{1024, 1, 0}}));
  Platform.Advance(55);
  EXPECT_EQ(App->Ticks, 5);
  App->Pause();
  Platform.Advance(100);
  EXPECT_EQ(App->Ticks, 5);
  App->Resume();
  Platform.Advance(20);
  EXPECT_EQ(App->Ticks, 7);
  EXPECT_EQ(App->TickCount(), 7);
  App->Reset();
  EXPECT_EQ(App->TickCount(), 0);
  Platform.Advance(100);
  EXPECT_EQ(App->Ticks, 7);
  App->Stop();
  EXPECT_EQ(App->StateMessages(),
            (std::vector<State>{{1024, 1, 0}, {1024, 2, 0}, {1024, 1, 0}, {1024, 0, 0}}));
}

TEST_F(GamesApplicationTest, MusicFollowsTheState) {
  constexpr int32_t musicId = kv::ToUnderlying(kv::TGameEvent::Music);
  RegisterSounds({musicId, 100});
  App->Start();
  // The music starts once the work already queued (the first frame) is done.
  EXPECT_EQ(Platform.SilentSound.Playing().size(), 0u);
  Platform.Dispatcher.ProcessPending();
  auto& music = Channel(musicId);
  EXPECT_EQ(music.Mode, kv::TSoundMode::Playing);
  EXPECT_TRUE(App->SoundEvents().FindEvent(musicId)->Repeating());
  App->Pause();
  EXPECT_EQ(music.Mode, kv::TSoundMode::Paused);
  App->Resume();
  Platform.Dispatcher.ProcessPending();
  EXPECT_EQ(music.Mode, kv::TSoundMode::Playing);
  App->Stop();
  EXPECT_EQ(music.Mode, kv::TSoundMode::Stopped);
  EXPECT_EQ(Channel(100).Plays, 0);
}

TEST_F(GamesApplicationTest, PauseWhileStoppedPausesTheSounds) {
  RegisterSounds({200});
  App->PlaySoundEvent(200, -1);
  App->Pause();
  EXPECT_EQ(App->State(), kv::TGameState::Paused);
  EXPECT_EQ(App->StateMessages(), (std::vector<State>{{1024, 2, 0}}));
  EXPECT_EQ(Channel(200).Mode, kv::TSoundMode::Paused);
}

TEST_F(GamesApplicationTest, MessagesPlaySoundsSetTheCursorAndAskToClose) {
  RegisterSounds({106, 107});
  int closes = 0;
  App->OnCloseRequest = [&] { ++closes; };
  App->PostCode(kv::TAppCode::PlayOnce, 106);
  App->PostCode(kv::TAppCode::PlayRepeating, 107);
  App->PostCode(kv::TAppCode::SetCursor, kv::crHandPoint);
  App->PostCode(kv::TAppCode::Close, 0);
  App->PostValues(kv::kvmsgApplication, 17, 0);                    // no meaning
  App->PostValues(2000, kv::ToUnderlying(kv::TAppCode::Close), 0); // another message
  EXPECT_EQ(Channel(106).Plays, 1);
  EXPECT_FALSE(App->SoundEvents().FindEvent(106)->Repeating());
  EXPECT_EQ(Channel(107).Plays, 1);
  EXPECT_TRUE(App->SoundEvents().FindEvent(107)->Repeating());
  EXPECT_EQ(Box->Cursor(), kv::crHandPoint);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(Platform.Boxes.Shown.empty());
}

TEST_F(GamesApplicationTest, AResultCodeLeftByAHandlerIsReportedAndEndsTheProgram) {
  int terminations = 0;
  App->OnTerminateRequest = [&] { ++terminations; };
  App->FailingMessage = 3000;
  App->FailingCode = 2;
  App->PostValues(3000, 0, 0);
  ASSERT_EQ(Platform.Boxes.Shown.size(), 1u);
  EXPECT_EQ(Platform.Boxes.Shown[0].Kind, "error");
  EXPECT_EQ(Platform.Boxes.Shown[0].Text,
            "Error : " + kv::TKVCustomApplicationClient::ErrorCodeText(2) + "\n\n");
  EXPECT_EQ(terminations, 1);
  // The next message starts with a clear result.
  App->PostValues(3001, 0, 0);
  EXPECT_EQ(terminations, 1);
}

TEST_F(GamesApplicationTest, PrepareNeedsAClientAreaAndPreparesTheRootsChildren) {
  auto& layer = kv::NewChild<RecordingLayer>(Root());
  auto& control = kv::NewChild<RecordingControl>(Root());
  auto& nested = kv::NewChild<RecordingLayer>(control);
  RegisterSounds({});
  kv::TMemoryStream data(std::vector<uint8_t>{1, 2, 3});
  App->RegisterSoundEvent(5, data, kv::kvsfMIDI);

  App->SetClientArea(nullptr);
  try {
    App->Prepare();
    FAIL() << "Prepare without a client area";
  } catch (const kv::EAssertionFailed& e) {
    EXPECT_EQ(e.Text, "ClientArea not defined");
  }
  App->SetClientArea(Box);
  App->Prepare();
  EXPECT_EQ(layer.Application, App.get());
  EXPECT_EQ(control.Application, App.get());
  EXPECT_EQ(nested.Application, nullptr);
  EXPECT_EQ(layer.Calls, std::vector<std::string>{"Prepare"});
  EXPECT_TRUE(nested.Calls.empty());
  // The sounds open once the events already queued have been handled.
  EXPECT_FALSE(App->SoundEvents().FindEvent(5)->Prepared());
  Platform.Dispatcher.ProcessPending();
  EXPECT_TRUE(App->SoundEvents().FindEvent(5)->Prepared());

  Box->Focused = false;
  App->Start();
  EXPECT_TRUE(Box->Focused);
  EXPECT_EQ(layer.Calls, (std::vector<std::string>{"Prepare", "Start"}));
  EXPECT_EQ(layer.State(), kv::TGameState::Running);
  EXPECT_TRUE(nested.Calls.empty());
}

TEST_F(GamesApplicationTest, ReplacingTheClientAreaPutsThePreviousHandlersBack) {
  kv::THeadlessPaintBox other;
  std::vector<std::string> calls;
  // Every one of the seven events had a handler of its own before; the key-up event is not taken over.
  for (const char* name : kv::TKVCustomGamesApplication::InputEventNames)
    *other.FindEvent(name) = [&calls, name](kv::TKVPaintBox&, kv::TKVInputEvent&) { calls.push_back(name); };
  other.OnKeyUp = [&](kv::TKVPaintBox&, kv::TKVInputEvent&) { calls.push_back("OnKeyUp"); };

  App->SetClientArea(&other);
  EXPECT_EQ(App->ClientArea(), &other);
  // The first area is free of the application again.
  for (const char* name : kv::TKVCustomGamesApplication::InputEventNames)
    EXPECT_FALSE(*Box->FindEvent(name)) << name;

  // The application's handlers run first and chain to the previous ones, except enter and leave.
  other.MouseDown(kv::mbLeft, 0, 1, 1);
  other.MouseUp(kv::mbLeft, 0, 1, 1);
  other.MouseMove(0, 2, 2);
  other.KeyDown(65, 0);
  other.KeyPress('a');
  other.MouseEnter();
  other.MouseLeave();
  other.KeyUp(65, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"OnMouseDown", "OnMouseUp", "OnMouseMove", "OnKeyDown",
                                             "OnKeyPress", "OnKeyUp"}));
  calls.clear();

  App->SetClientArea(Box);
  other.MouseEnter();
  other.MouseDown(kv::mbLeft, 0, 1, 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"OnMouseEnter", "OnMouseDown"}));
  // Going away gives the handlers back too.
  App.reset();
  for (const char* name : kv::TKVCustomGamesApplication::InputEventNames)
    EXPECT_FALSE(*Box->FindEvent(name)) << name;
}

TEST_F(GamesApplicationTest, PlatformInputIsRoutedThroughTheTree) {
  auto& control = kv::NewChild<RecordingControl>(Root());
  control.SetPosition(100, 50);
  control.SetSize(200, 100);
  using M = RecordingControl::Mouse;
  struct Case {
    const char* Name;
    std::function<void()> Deliver;
    M Expected;
  };
  const std::vector<Case> cases{
      {"left down", [&] { Box->MouseDown(kv::mbLeft, kv::ssShift, 110, 60); }, {{10, 10}, 0, 1, 1}},
      {"right up with Ctrl", [&] { Box->MouseUp(kv::mbRight, kv::ssCtrl, 120, 70); }, {{20, 20}, 1, 2, 2}},
      {"middle down with Alt",
       [&] { Box->MouseDown(kv::mbMiddle, kv::ssAlt, 130, 80); },
       {{30, 30}, 0, 4, 2}},
      {"move, no button", [&] { Box->MouseMove(0, 101, 51); }, {{1, 1}, 2, 0, 0}},
      {"move, left held", [&] { Box->MouseMove(kv::ssLeft, 102, 52); }, {{2, 2}, 2, 0, 1}},
      {"move, right held", [&] { Box->MouseMove(kv::ssRight, 103, 53); }, {{3, 3}, 2, 0, 2}},
      {"move, both held",
       [&] { Box->MouseMove(kv::ssLeft | kv::ssRight | kv::ssShift | kv::ssCtrl, 104, 54); },
       {{4, 4}, 2, 3, 2}},
  };
  for (const Case& c : cases) {
    control.Mice.clear();
    c.Deliver();
    ASSERT_EQ(control.Mice.size(), 1u) << c.Name;
    EXPECT_EQ(control.Mice[0], c.Expected) << c.Name;
  }

  // The move is offered to the application first, with the client coordinates.
  App->Messages.clear();
  Box->MouseMove(0, 150, 75);
  ASSERT_FALSE(App->Messages.empty());
  EXPECT_EQ(App->Messages[0], State(kv::kvmsgPointerMove, 150, 75));
  // An application that changes x keeps the move from the controls.
  App->KeepMovesFromControls = true;
  control.Mice.clear();
  Box->MouseMove(0, 151, 76);
  EXPECT_TRUE(control.Mice.empty());

  // Keys go to the focused child: key downs with the shift set, typed characters as kind 2.
  Box->KeyDown(65, kv::ssShift | kv::ssAlt);
  Box->KeyPress('\xE9');
  EXPECT_EQ(control.Keys, (std::vector<RecordingControl::Key>{{65, 0, 5}, {0xE9, 2, 0}}));
}

TEST_F(GamesApplicationTest, EnterAndLeaveReachTheFirstControlThatCanTakeThem) {
  auto& first = kv::NewChild<RecordingControl>(Root());
  auto& second = kv::NewChild<RecordingControl>(Root());
  first.SetSize(10, 10);
  second.SetSize(10, 10);
  Box->MouseEnter();
  ASSERT_EQ(first.Mice.size(), 1u);
  EXPECT_EQ(first.Mice[0], (RecordingControl::Mouse{{-1, -1}, 5, 0, 0}));
  EXPECT_TRUE(second.Mice.empty());
  Box->MouseEnter();
  ASSERT_EQ(second.Mice.size(), 1u);
  // Leaving: only the first hovered control hears it.
  Box->MouseLeave();
  ASSERT_EQ(first.Mice.size(), 2u);
  EXPECT_EQ(first.Mice[1], (RecordingControl::Mouse{{-1, -1}, 6, 0, 0}));
  EXPECT_EQ(second.Mice.size(), 1u);
}

TEST_F(GamesApplicationTest, SwitchingSoundOnRestartsTheMusicUnlessItRepeats) {
  RegisterSounds({7});
  App->SetMusicEventId(7);
  App->SetSoundOn(false);
  EXPECT_FALSE(App->SoundEvents().SoundOn());
  EXPECT_EQ(Channel(7).Plays, 0);
  App->SetSoundOn(true);
  EXPECT_EQ(Channel(7).Plays, 1);
  EXPECT_TRUE(App->SoundEvents().FindEvent(7)->Repeating());
  App->SetSoundOn(true);
  EXPECT_EQ(Channel(7).Plays, 1);
  // Without a music event nothing starts.
  App->SetMusicEventId(-1);
  App->SetSoundOn(false);
  App->SetSoundOn(true);
  EXPECT_EQ(Channel(7).Plays, 1);
}

TEST_F(GamesApplicationTest, ProgressIsReportedWithItsKind) {
  std::vector<std::tuple<int32_t, std::string, int32_t>> seen;
  App->OnProgress = [&](int32_t kind, const std::string& text, int32_t value) {
    seen.emplace_back(kind, text, value);
  };
  App->ProgressBegin("Creating pieces");
  App->ProgressStep("1 of 4", 25);
  App->ProgressEnd("Finish");
  EXPECT_EQ(seen, (std::vector<std::tuple<int32_t, std::string, int32_t>>{
                      {0, "Creating pieces", 0}, {1, "1 of 4", 25}, {2, "Finish", 100}}));
}

class QuestionBoxTest : public GamesApplicationTest {
protected:
  kv::TKVGUIForm& Ask(const std::string& text = "Quit the game ?") {
    App->Confirm("Confirm", text, [this](kv::TKVGUIControl* sender) { Answers.push_back(sender); });
    return *App->QuestionBox();
  }
  // The button with this caption inside the box.
  kv::TKVGUIButton& Button(kv::TKVGUIForm& box, const std::string& caption) {
    for (int32_t i = 0; i < box.ChildCount(); ++i)
      if (auto* button = dynamic_cast<kv::TKVGUIButton*>(box.Children(i));
          button && button->Caption() == caption)
        return *button;
    throw std::runtime_error("no button " + caption);
  }
  // A click on the middle of a control, through the client area.
  void Click(kv::TKVGUIControl& control) {
    const kv::TRect r = control.GetScreenRect();
    Box->MouseDown(kv::mbLeft, 0, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    Box->MouseUp(kv::mbLeft, 0, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  std::vector<kv::TKVGUIControl*> Answers;
};

TEST_F(QuestionBoxTest, TheBoxIsLaidOutInTheMiddleOfTheClientArea) {
  kv::NewChild<RecordingControl>(Root()).SetSize(800, 600);
  kv::TKVGUIForm& box = Ask();
  EXPECT_EQ(Root().IndexOfChild(&box), 0);
  EXPECT_EQ(Root().FocusIndex(), 0);
  EXPECT_TRUE(box.Visible());
  EXPECT_EQ(box.Caption(), "Confirm");
  EXPECT_EQ(box.GetBoundsRect(), (kv::TRect{275, 237, 525, 362}));
  EXPECT_EQ(box.Application, App.get());
  const std::string text = "Quit the game ?";
  kv::TKVGUILabel* label = nullptr;
  for (int32_t i = 0; i < box.ChildCount(); ++i)
    if (auto* l = dynamic_cast<kv::TKVGUILabel*>(box.Children(i))) label = l;
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Caption(), text);
  EXPECT_EQ(label->Left(), (250 - Engine.TextWidth(text)) / 2);
  EXPECT_EQ(label->Top(), 40);
  EXPECT_EQ(Button(box, "OK").Left(), 50);
  EXPECT_EQ(Button(box, "OK").Top(), 70);
  EXPECT_EQ(Button(box, "Cancel").Left(), 130);
  EXPECT_EQ(Button(box, "Cancel").Top(), 70);
}

TEST_F(QuestionBoxTest, ALongTextWidensTheBoxAndStaysInside) {
  kv::NewChild<RecordingControl>(Root()).SetSize(800, 600);
  const std::string text = "A game is running. Do you really want to quit the game and lose it?";
  ASSERT_GT(Engine.TextWidth(text), 250);
  kv::TKVGUIForm& box = Ask(text);
  kv::TKVGUILabel* label = nullptr;
  for (int32_t i = 0; i < box.ChildCount(); ++i)
    if (auto* l = dynamic_cast<kv::TKVGUILabel*>(box.Children(i))) label = l;
  ASSERT_NE(label, nullptr);
  EXPECT_GE(label->Left(), 20);
  EXPECT_LE(label->Left() + label->Width(), box.Width() - 20);
  // Still in the middle of the client area, the buttons in the middle of the box.
  EXPECT_EQ(box.Left(), (800 - box.Width()) / 2);
  const int32_t buttonsMiddle =
      (Button(box, "OK").Left() + Button(box, "Cancel").Left() + Button(box, "Cancel").Width()) / 2;
  EXPECT_NEAR(buttonsMiddle, box.Width() / 2, 30);
}

TEST_F(QuestionBoxTest, OkCallsTheMethodAndCancelDoesNot) {
  kv::TKVGUIForm& box = Ask();
  Click(Button(box, "Cancel"));
  EXPECT_FALSE(box.Visible());
  EXPECT_TRUE(Answers.empty());

  // A second question shows the first one again, with its own method.
  bool secondMethod = false;
  App->Confirm("Other", "Other text", [&](kv::TKVGUIControl*) { secondMethod = true; });
  EXPECT_EQ(App->QuestionBox(), &box);
  EXPECT_TRUE(box.Visible());
  EXPECT_EQ(box.Caption(), "Confirm");
  Click(Button(box, "OK"));
  EXPECT_FALSE(box.Visible());
  EXPECT_FALSE(secondMethod);
  ASSERT_EQ(Answers.size(), 1u);
  EXPECT_EQ(Answers[0], &Button(box, "OK"));
}

TEST_F(QuestionBoxTest, EscapeInTheBoxClosesTheMainWindow) {
  int closes = 0;
  App->OnCloseRequest = [&] { ++closes; };
  Ask();
  Box->KeyDown(27, 0);
  EXPECT_EQ(closes, 1);
}

TEST_F(QuestionBoxTest, AnOkThatResetsTheGameFreesTheBoxOnlyAfterTheClick) {
  App->Confirm("Confirm", "Quit ?", [this](kv::TKVGUIControl*) {
    App->Reset();
    App->DestroyRootChildren();
  });
  kv::TKVGUIForm& box = *App->QuestionBox();
  Click(Button(box, "OK"));
  EXPECT_EQ(App->QuestionBox(), nullptr);
  EXPECT_EQ(Root().ChildCount(), 0);
  // A new question builds a new box.
  Ask("Again ?");
  EXPECT_NE(App->QuestionBox(), nullptr);
  EXPECT_EQ(Root().ChildCount(), 1);
}

TEST_F(QuestionBoxTest, ResetForgetsTheBoxAndTheSounds) {
  RegisterSounds({1, 100});
  App->SetMusicEventId(1);
  App->SetSoundOn(false);
  Ask();
  App->Start();
  App->Reset();
  EXPECT_EQ(App->QuestionBox(), nullptr);
  EXPECT_EQ(Root().ChildCount(), 0);
  EXPECT_EQ(App->SoundEvents().Count(), 0);
  EXPECT_TRUE(App->SoundOn());
  EXPECT_TRUE(App->SoundEvents().SoundOn());
  EXPECT_EQ(App->MusicEventId(), -1);
}

} // namespace
