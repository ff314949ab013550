#include "jigsaw/uKVJigsawApplication.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "data/uHighScore.h"
#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGraphicEngine.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "jigsaw/uRoundHalfEven.h"
#include "platform/uDesktop.h"

#include <algorithm>

namespace kv {

namespace {

constexpr const char* kUnit = "shared/jigsaw/uKVJigsawApplication";

// The last sound of the package with this id, or none.
const TWaveData* SoundById(const TJigsawProject2& project, uint32_t id) {
  const TWaveData* found = nullptr;
  for (const auto& sound : project.Sounds)
    if (sound->ID == id) found = sound.get();
  return found;
}

// The sound of an event slot: the first id listed in the slot, or none.
const TWaveData* SlotSound(const TJigsawProject2& project, int32_t slot) {
  for (const TEventSoundSlot& entry : project.EventSounds)
    if (entry.Slot == slot)
      return entry.SoundIds.empty() ? nullptr : SoundById(project, entry.SoundIds.front());
  return nullptr;
}

uint8_t SoundFormatOf(const TJigsawProject2& project, uint32_t id) {
  for (const TSoundFormat& entry : project.SoundFormats)
    if (static_cast<uint32_t>(entry.SoundID) == id) return entry.Format;
  return kvsfUnknown;
}

} // namespace

TKVCustomJigsawApplication::TKVCustomJigsawApplication(const TPlatformServices& services,
                                                       TKVCustomGraphicEngine& engine)
    : TKVCustomGamesApplication(services, engine),
      FScene(*this, [this](TKVGUIObject* child) { DestroyRootChild(child); }), FClock(services.ThreadTimers) {
  SetRoot(NewRootOn<TKVGUIWorkspace>(engine));
  FClock.Playing = [this] { return BoardPlaying(); };
  FClock.OnTick = [this] {
    if (OnClockTick) OnClockTick(this);
  };
  FClock.OnTimeUp = [this] { TimeUp(); };
  FToolbar.OnShow = [this] {
    if (OnShowToolbar) OnShowToolbar(this);
  };
  FToolbar.OnHide = [this] {
    if (OnHideToolbar) OnHideToolbar(this);
  };
  Reset();
}

TKVCustomJigsawApplication::~TKVCustomJigsawApplication() {
  FClock.SetRunning(false);
  // The board and the windows talk to this session while they go.
  FScene.Forget();
  DestroyRootChildren();
}

bool TKVCustomJigsawApplication::BoardPlaying() const {
  const TKVJigsawBoard* board = FScene.Board();
  return board && board->Running() && !board->Won();
}

uint8_t TKVCustomJigsawApplication::BevelLevel() const {
  return Project() ? std::min<uint8_t>(Project()->BevelLevel, 7) : 0;
}

// ---- package

void TKVCustomJigsawApplication::SetProject(TJigsawProject2* project) {
  if (project && !ClientArea()) throw EAssertionFailed("Setting project need client area", kUnit, __LINE__);
  const bool changed = project != Project();
  TKVCustomGamesApplication::SetProject(project);
  if (!changed || !project) return;
  FPieceLibrary.Clear();
  FCut.Clear();
  FCarver.OutlineOption = project->OutlineOption != 0;
  FCarver.OutlineColor = project->OutlineColor;
  FCarver.BevelLevel = project->BevelLevel;
  if (project->PieceShapeData.Size() > 0) {
    TMemoryStream shapes(project->PieceShapeData.Bytes());
    FPieceLibrary.LoadFromStream(shapes);
  } else if (auto* steps = dynamic_cast<TEnginePictureSteps*>(&TExecDataWriter::PictureSteps())) {
    // A package without piece shapes plays with the part of the program's library made for it; without
    // that library the package has no pieces, which the first game reports.
    try {
      TKVJigsawPieceLibrary library = steps->PackageLibrary(*project);
      FPieceLibrary.Layouts = std::move(library.Layouts);
      FPieceLibrary.Templates = std::move(library.Templates);
    } catch (const Exception&) {
    }
  }
  FClock.SetCountDown(project->Countdown != 0);
  if (FClock.CountDown()) FClock.SetClock(project->CountdownSeconds);
}

void TKVCustomJigsawApplication::RegisterSounds() {
  SoundEvents().Clear();
  const TJigsawProject2* project = Project();
  if (!project) return;
  std::array<const TWaveData*, kvEventSoundSlots.size()> slotSounds{};
  for (std::size_t i = 0; i < kvEventSoundSlots.size(); ++i)
    slotSounds[i] = SlotSound(*project, kvEventSoundSlots[i].Slot);
  for (const auto& sound : project->Sounds) {
    const uint8_t format = SoundFormatOf(*project, sound->ID);
    // A sound of no known format cannot be played: the game goes on without it.
    if (format == kvsfUnknown || format > kvsfMP3) continue;
    for (std::size_t i = 0; i < kvEventSoundSlots.size(); ++i) {
      if (slotSounds[i] != sound.get()) continue;
      const TGameEvent event = kvEventSoundSlots[i].Event;
      RegisterSoundEvent(static_cast<uint16_t>(ToUnderlying(event)), sound->Data,
                         static_cast<TKVSoundFormat>(format));
      if (event == TGameEvent::Music) SetMusicEventId(ToUnderlying(TGameEvent::Music));
    }
  }
}

// ---- building a game

void TKVCustomJigsawApplication::UseSavedGame(const TJigsawFile& saved) {
  FRestoringSavedGame = true;
  FSetup.Difficulty = saved.Difficulty;
  FClock.SetClock(saved.ElapsedSeconds);
}

void TKVCustomJigsawApplication::LoadGamePicture(const TBMPData& picture, uint8_t difficulty,
                                                 TKVGameSetup& setup) const {
  TBitmap32 decoded;
  const TImageInfo size = DecodeGamePicture(picture, FPieceLibrary, difficulty, decoded);
  setup.Picture = std::move(decoded);
  setup.PictureSourceSize = size;
}

void TKVCustomJigsawApplication::Prepare(TKVGameSetup setup) {
  // The saved game is read while the board is prepared, and only then.
  FSetup = std::move(setup);
  const TScopeExit forget([this] { FSetup.SavedGame = nullptr; });
  Prepare();
}

void TKVCustomJigsawApplication::Prepare() {
  TKVPaintBox* client = ClientArea();
  if (!client) throw EAssertionFailed("Client Area not defined", kUnit, __LINE__);
  TJigsawProject2* project = Project();
  if (!project) throw EAssertionFailed("Project not defined", kUnit, __LINE__);
  RegisterSounds();
  FClock.SetCountDown(project->Countdown != 0);
  if (FClock.CountDown()) FClock.SetClock(project->CountdownSeconds);
  if (FBoardArea.Right == 0 && FBoardArea.Left == 0)
    FBoardArea = TKVBoardArea{0, 0, client->ClientWidth(), client->ClientHeight()};
  FFixedOrientation = project->NoRotation != 0;
  SetSoundSwitch(project->SoundOn != 0);
  if (FSetup.SavedGame) UseSavedGame(*FSetup.SavedGame);
  Root()->SetSize(client->ClientWidth(), client->ClientHeight());
  BuildPieces(*project);

  FScene.BuildBackground();
  FScene.SetGhostStyle(project->GhostMode, project->GhostColor, project->GhostAlpha);
  FScene.BuildGhostImage(FPieceLibrary, FCut, FCarver);
  FScene.GhostImage()->SetVisible(project->Options.ShowGhost);
  // Assigned late by the owner too: the board asks the session each time.
  FScene.CreateBoard(std::move(FPieceGrid), FPieceLibrary, FCut, FBoardArea, FFixedOrientation, BevelLevel(),
                     [this](TKVGUIControl* sender) {
                       FFinishTime = FClock.Clock();
                       if (OnBoardWin) OnBoardWin(sender);
                     });
  FPieceGrid.clear();
  FScene.Board()->OnSettled = [this] {
    if (OnGameChanged) OnGameChanged(this);
  };
  TKVCustomGamesApplication::Prepare();
}

void TKVCustomJigsawApplication::BuildPieces(const TJigsawProject2& project) {
  // The builder hands its progress to this thread, piece by piece, whatever threads code them. The picture
  // is lent to the cut rather than copied, and comes back however the cut ends.
  FCut.Picture = std::move(FSetup.Picture);
  FCut.SourceSize = FSetup.PictureSourceSize;
  const TScopeExit giveBack([this] {
    FSetup.Picture = std::move(FCut.Picture);
    FCut.Picture.SetSize(0, 0);
  });
  TPieceBuildOptions options;
  options.Difficulty = FSetup.Difficulty;
  options.BevelLevel = BevelLevel();
  options.ShadowGrey = static_cast<uint8_t>(30 + 5 * BevelLevel());
  options.NoRotation = FFixedOrientation;
  options.OnlyShownRotation = true;
  options.AreaWidth = FBoardArea.Right - FBoardArea.Left;
  options.AreaHeight = FBoardArea.Bottom - FBoardArea.Top;
  options.Saved = FRestoringSavedGame && FSetup.SavedGame ? &FSetup.SavedGame->PieceStates : nullptr;
  options.Translate = [&project](const std::string& text) { return project.Translate(text); };
  options.OnStatus = [this](const std::string& text) { ProgressBegin(text); };
  options.OnProgress = [this](const std::string& text, int percent) { ProgressStep(text, percent); };
  options.OnFinish = [this](const std::string& text) { ProgressEnd(text); };
  std::shared_ptr<TRandomSource> random = Services().Random;
  if (!random) random = std::make_shared<TRandomSource>();
  kv::BuildPieces(FPieceLibrary, FCut, FCarver, options, FPieceGrid, *random);
}

// ---- the running game

void TKVCustomJigsawApplication::Start() {
  FToolbar.SetToolbarShown(false);
  TKVPaintBox* client = ClientArea();
  Root()->SetSize(client ? client->ClientWidth() : 0, client ? client->ClientHeight() : 0);
  FScene.FitToClientArea();
  TKVCustomGamesApplication::Start();
  FGameOver = false;
  FFinishTime.reset();
  SetEdgesOnly(false);
  FClock.SetRunning(true);
  // The preview shows the picture as the game plays it, cut to at most the size of the playing area: a
  // photograph of several thousand pixels would otherwise give a window larger than the screen.
  FScene.BuildPreviewWindow(FCut.ScaledPicture.Empty() ? FSetup.Picture : FCut.ScaledPicture);
  Root()->Repaint();
  Root()->SetEnabled(true);
  Engine().Invalidate();
}

void TKVCustomJigsawApplication::TimeUp() {
  StopAllSounds();
  FScene.Board()->Reset();
  PostCode(TAppCode::PlayOnce, ToUnderlying(TGameEvent::TimeUp));
  FGameOver = true;
  FClock.SetClock(0);
  if (OnTimeOut) OnTimeOut(this);
}

void TKVCustomJigsawApplication::Pause() {
  TKVCustomGamesApplication::Pause();
  FClock.SetRunning(false);
  FScene.HidePreviewForPause();
  if (TKVJigsawBoard* board = FScene.Board()) board->Pause();
}

void TKVCustomJigsawApplication::Resume() {
  TKVCustomGamesApplication::Resume();
  FClock.SetRunning(true);
  FScene.RestorePreviewAfterPause();
  if (TKVJigsawBoard* board = FScene.Board()) board->Resume();
}

void TKVCustomJigsawApplication::Stop() {
  TKVCustomGamesApplication::Stop();
  FClock.SetClock(0);
  FGameOver = true;
  FClock.SetRunning(false);
}

void TKVCustomJigsawApplication::Reset() {
  TKVCustomGamesApplication::Reset();
  Stop();
  FSetup.Picture.SetSize(0, 0);
  FSetup.PictureSourceSize = {};
  FBoardArea = {};
  FRestoringSavedGame = false;
  FClock.SetCountDown(false);
  FSetup.SavedGame = nullptr;
  FPieceGrid.clear();
  FScene.Forget();
  DestroyRootChildren();
  FSetup.CheatCount = 0;
}

void TKVCustomJigsawApplication::SetEdgesOnly(bool value) {
  if (value == FEdgesOnly || !BoardPlaying()) return;
  FEdgesOnly = value;
  TKVJigsawBoard& board = *FScene.Board();
  const int32_t rows = board.Rows(), cols = board.Cols();
  for (int32_t row = 1; row < rows - 1; ++row)
    for (int32_t col = 1; col < cols - 1; ++col) {
      TKVBoardPiece& piece = board.Piece(row, col);
      if (piece.Joined == 0) piece.Visible = !value;
    }
  Root()->Repaint();
}

void TKVCustomJigsawApplication::HandleEvent(int32_t message, int32_t& p, int32_t& q) {
  if (message == kvmsgPointerMove) FToolbar.PointerMoved(q);
  // A game finished with the solving aids ends without the win sound.
  if (message == kvmsgApplication && static_cast<TAppCode>(p) == TAppCode::PlayRepeating &&
      static_cast<TGameEvent>(q) == TGameEvent::Complete && FSetup.CheatCount > 0) {
    SetResultCode(0);
    return;
  }
  TKVCustomGamesApplication::HandleEvent(message, p, q);
}

void TKVCustomJigsawApplication::Tick() {
  TKVCustomGamesApplication::Tick();
  FToolbar.Tick();
}

// ---- solving aids

bool TKVCustomJigsawApplication::SolveOnePiece() {
  TKVJigsawBoard* board = FScene.Board();
  if (State() != TGameState::Running || !board) return false;
  const int32_t flying = board->FlyingCount();
  board->SolveOnePiece();
  if (board->FlyingCount() <= flying) return false;
  ++FSetup.CheatCount;
  return true;
}

bool TKVCustomJigsawApplication::SolveAll(uint8_t confirm) {
  if (confirm > 1 || State() != TGameState::Running || !FScene.Board()) return false;
  if (confirm == 1) {
    // Asked with the game paused: the clock cannot run out under the question. Whatever happened while it
    // was open (a new game, the end of the program), only the game that runs now is solved, if any.
    const std::weak_ptr<bool> asked = FScene.Board()->Alive();
    Pause();
    const bool yes = Services().Boxes && Services().Boxes->AskConfirmation("Solve all pieces?");
    if (State() == TGameState::Paused) Resume();
    if (!yes || asked.expired() || State() != TGameState::Running) return false;
  }
  TKVJigsawBoard* board = FScene.Board();
  board->SolveAll(0);
  if (board->FlyingCount() == 0) return false;
  FSetup.CheatCount = board->PieceCount();
  // The picture forms where the ghost image shows it, not at the board's corner.
  if (const TKVGUIAnimatedImage* ghost = FScene.GhostImage()) {
    const int32_t dx = ghost->Left() - board->Left(), dy = ghost->Top() - board->Top();
    for (TKVBoardPiece& piece : board->Pieces())
      if (piece.Flying) {
        piece.TargetX += dx;
        piece.TargetY += dy;
      }
  }
  return true;
}

// ---- saved games

void TKVCustomJigsawApplication::FillSavedGame(TJigsawFile& file, uint32_t pictureId,
                                               const std::string& programName) const {
  const TKVJigsawBoard* board = FScene.Board();
  file.Columns = board ? board->Cols() : 0;
  file.Rows = board ? board->Rows() : 0;
  file.Scale = 3.0f;
  file.ElapsedSeconds = FClock.Clock();
  file.ProgramName = programName;
  file.PictureId = pictureId;
  file.Difficulty = FSetup.Difficulty;
  file.CheatCount = static_cast<int16_t>(std::clamp<int32_t>(FSetup.CheatCount, INT16_MIN, INT16_MAX));
  file.SetPieces(board);
}

bool TKVCustomJigsawApplication::SavedGameFits(const TJigsawFile& saved, TImageInfo pictureSize) const {
  if (saved.Columns <= 0 || saved.Rows <= 0 || saved.Difficulty > 5) return false;
  if (saved.PieceStates.size() !=
      static_cast<std::size_t>(saved.Columns) * static_cast<std::size_t>(saved.Rows))
    return false;
  const TLayoutChoice choice =
      FPieceLibrary.ChooseLayoutSize(pictureSize.Width, pictureSize.Height, saved.Difficulty);
  if (choice.LayoutIndex < 0) return false;
  const TKVLayout& layout = FPieceLibrary.Layout(choice.LayoutIndex);
  // The cut's grid: whole cells of the scaled picture, rounded as the cut rounds them.
  if (layout.CellWidth == 0 || layout.CellHeight == 0) return false;
  if (RoundDiv(choice.FinalWidth, layout.CellWidth) != saved.Columns ||
      RoundDiv(choice.FinalHeight, layout.CellHeight) != saved.Rows)
    return false;
  const int32_t templates = FPieceLibrary.TemplateCount();
  return std::all_of(saved.PieceStates.begin(), saved.PieceStates.end(), [&](const TJigsawPieceState& s) {
    return s.LeftEdge <= templates && s.TopEdge <= templates && s.RightEdge <= templates &&
           s.BottomEdge <= templates;
  });
}

std::string TKVCustomJigsawApplication::LoadFailureMessage(const std::string& fileName) {
  return "Unable to load JSW file. " + fileName + " was not generated by this application or" +
         " image used for jigsaw pieces and/or total pieces have changed. This may lead to incorrect result.";
}

bool TKVCustomJigsawApplication::RestoreSavedGame(const TJigsawFile& saved, const std::string& fileName,
                                                  bool tell) {
  const TJigsawProject2* project = Project();
  const TBMPData* entry = nullptr;
  if (project)
    for (const auto& picture : project->Pictures)
      if (picture->ID == saved.PictureId) {
        entry = picture.get();
        break;
      }
  TBitmap32 picture;
  TImageInfo size;
  if (entry) size = DecodeGamePicture(*entry, FPieceLibrary, saved.Difficulty, picture);
  if (!entry || !SavedGameFits(saved, size)) {
    if (tell && Services().Boxes) Services().Boxes->ShowError(LoadFailureMessage(fileName));
    return false;
  }
  Reset();
  TKVGameSetup setup;
  setup.Picture = std::move(picture);
  setup.PictureSourceSize = size;
  setup.PictureName = entry->Name;
  setup.Difficulty = FSetup.Difficulty;
  setup.SavedGame = &saved;
  setup.CheatCount = saved.CheatCount;
  Prepare(std::move(setup));
  Start();
  return true;
}

// ---- high scores

bool TKVCustomJigsawApplication::EnterHighScore(THighScore& table, int32_t level, const std::string& name,
                                                int32_t* position) const {
  if (!FairWin() || level < 0 || level >= THighScore::LevelCount) return false;
  if (Project() && Project()->Options.NoHighScores) return false;
  int32_t place = -1;
  if (!table.Qualifies(level, FinishTime(), place)) return false;
  table.Add(THighScoreData{name, FinishTime(), static_cast<uint8_t>(level)});
  if (position) *position = place;
  return true;
}

int32_t HighScoreLevel(const TJigsawProject2& project, int32_t pictureIndex) {
  int32_t minimum = project.NumPiecesMin, maximum = project.NumPiecesMax;
  if (minimum == -1 && maximum == -1 && pictureIndex >= 0 &&
      static_cast<std::size_t>(pictureIndex) < project.Pictures.size()) {
    if (const TPictureSettings* settings =
            project.FindPictureSettings(project.Pictures[static_cast<std::size_t>(pictureIndex)]->ID)) {
      minimum = settings->NumPiecesMin;
      maximum = settings->NumPiecesMax;
    }
  }
  if (minimum >= 0 && maximum < 25) return 3;
  if (minimum >= 25 && maximum <= 50) return 0;
  if (minimum >= 50 && maximum <= 100) return 1;
  if (minimum > 100) return 2;
  return -1;
}

} // namespace kv
