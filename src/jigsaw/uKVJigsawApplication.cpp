#include "jigsaw/uKVJigsawApplication.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "data/uHighScore.h"
#include "gui/uKVBitmapCollection.h"
#include "gui/uKVGUIAnimatedImage.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUIImage.h"
#include "gui/uKVGUIShapeControl.h"
#include "gui/uKVGraphicEngine.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uDesktop.h"

#include <algorithm>

namespace kv {

namespace {

constexpr const char* kUnit = "shared/jigsaw/uKVJigsawApplication";

// Round(n / 10) of the exact value, ties to even; n >= 0.
int32_t RoundTenth(int64_t n) {
  const int64_t q = n / 10, r = n % 10;
  return static_cast<int32_t>((r > 5 || (r == 5 && (q & 1) != 0)) ? q + 1 : q);
}

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

// A wallpaper is opaque in nearly every package: it is then copied into each frame rather than blended onto
// the grey under it, which gives the same pixels. The picture is composed once here to find out.
void CopyWhenOpaque(TKVGUIAnimatedImage& image) {
  image.RebuildStretchedCopy();
  image.StretchedCopy().SetSize(0, 0);
  TBitmap32& picture = image.Picture();
  bool opaque = !picture.Empty();
  for (int32_t y = 0; y < picture.Height() && opaque; ++y)
    opaque = std::all_of(picture.ScanLine(y), picture.ScanLine(y) + picture.Width(),
                         [](TColor32 c) { return (c >> 24) == 0xFF; });
  picture.SetDrawMode(opaque ? dmOpaque : dmBlend);
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
      FClockTimer(std::make_unique<TKVThreadTimer>(services.ThreadTimers)) {
  SetRoot(NewRootOn<TKVGUIWorkspace>(engine));
  FClockTimer->SetInterval(kvClockInterval);
  FClockTimer->OnTimer = [this] { ClockTick(); };
  Reset();
}

TKVCustomJigsawApplication::~TKVCustomJigsawApplication() {
  FClockTimer->SetEnabled(false);
  // The board and the windows talk to this session while they go.
  FBoard = nullptr;
  FBackground = nullptr;
  FBackgroundShape = nullptr;
  FGhostImage = nullptr;
  FPreviewWindow = nullptr;
  FPreviewImage = nullptr;
  DestroyRootChildren();
}

bool TKVCustomJigsawApplication::BoardPlaying() const {
  return FBoard && FBoard->Running() && !FBoard->Won();
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
  FPieces.Clear();
  FPieces.OutlineOption = project->OutlineOption != 0;
  FPieces.OutlineColor = project->OutlineColor;
  FPieces.BevelLevel = project->BevelLevel;
  if (project->PieceShapeData.Size() > 0) {
    TMemoryStream shapes(project->PieceShapeData.Bytes());
    FPieces.LoadFromStream(shapes);
  } else if (auto* steps = dynamic_cast<TEnginePictureSteps*>(&TExecDataWriter::PictureSteps())) {
    // A package without piece shapes plays with the part of the program's library made for it; without
    // that library the package has no pieces, which the first game reports.
    try {
      TKVJigsawPieceCollection library = steps->PackageLibrary(*project);
      FPieces.Layouts = std::move(library.Layouts);
      FPieces.Templates = std::move(library.Templates);
    } catch (const Exception&) {
    }
  }
  CountDown = project->Countdown != 0;
  if (CountDown) Clock = project->CountdownSeconds;
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
      const int32_t event = kvEventSoundSlots[i].EventId;
      RegisterSoundEvent(static_cast<uint16_t>(event), sound->Data, static_cast<TKVSoundFormat>(format));
      if (event == kvseMusic) SetMusicEventId(kvseMusic);
    }
  }
}

// ---- building a game

void TKVCustomJigsawApplication::UseSavedGame(const TJigsawFile& saved) {
  RestoringSavedGame = true;
  Difficulty = saved.Difficulty;
  Clock = saved.ElapsedSeconds;
}

void TKVCustomJigsawApplication::LoadGamePicture(const TBMPData& picture, uint8_t difficulty) {
  TBitmap32 decoded;
  const TImageInfo size = DecodeGamePicture(picture, FPieces, difficulty, decoded);
  Picture = std::move(decoded);
  PictureSourceSize = size;
}

void TKVCustomJigsawApplication::Prepare() {
  TKVPaintBox* client = ClientArea();
  if (!client) throw EAssertionFailed("Client Area not defined", kUnit, __LINE__);
  TJigsawProject2* project = Project();
  if (!project) throw EAssertionFailed("Project not defined", kUnit, __LINE__);
  RegisterSounds();
  CountDown = project->Countdown != 0;
  if (CountDown) Clock = project->CountdownSeconds;
  if (BoardRight == 0 && BoardLeft == 0) {
    BoardLeft = 0;
    BoardTop = 0;
    BoardRight = client->ClientWidth();
    BoardBottom = client->ClientHeight();
  }
  FixedOrientation = project->NoRotation != 0;
  SetSoundSwitch(project->SoundOn != 0);
  if (SavedGame) UseSavedGame(*SavedGame);
  Root()->SetSize(client->ClientWidth(), client->ClientHeight());

  // The pieces. The builder hands its progress to this thread, piece by piece, whatever threads code them.
  // The picture is lent to the cut rather than copied, and comes back however the cut ends.
  {
    FPieces.Picture = std::move(Picture);
    FPieces.SourceSize = PictureSourceSize;
    const TScopeExit giveBack([this] {
      Picture = std::move(FPieces.Picture);
      FPieces.Picture.SetSize(0, 0);
    });
    TPieceBuildOptions options;
    options.Difficulty = Difficulty;
    options.BevelLevel = BevelLevel();
    options.ShadowGrey = static_cast<uint8_t>(30 + 5 * BevelLevel());
    options.NoRotation = FixedOrientation;
    options.OnlyShownRotation = true;
    options.AreaWidth = BoardRight - BoardLeft;
    options.AreaHeight = BoardBottom - BoardTop;
    options.Saved = RestoringSavedGame && SavedGame ? &SavedGame->PieceStates : nullptr;
    options.Translate = [project](const std::string& text) { return project->Translate(text); };
    options.OnStatus = [this](const std::string& text) { ProgressBegin(text); };
    options.OnProgress = [this](const std::string& text, int percent) { ProgressStep(text, percent); };
    options.OnFinish = [this](const std::string& text) { ProgressEnd(text); };
    BuildPieces(FPieces, options, PieceGrid);
  }

  BuildBackground();
  GhostColor = project->GhostColor;
  GhostMode = project->GhostMode;
  GhostAlpha = project->GhostAlpha;
  BuildGhostImage();
  FGhostImage->SetVisible(project->Options.ShowGhost);
  CreateBoard();
  TKVCustomGamesApplication::Prepare();
}

void TKVCustomJigsawApplication::BuildBackground() {
  if (FBackground) DestroyRootChild(FBackground);
  if (FBackgroundShape) DestroyRootChild(FBackgroundShape);
  FBackground = nullptr;
  FBackgroundShape = nullptr;
  TKVPaintBox* client = ClientArea();
  const int32_t width = client ? client->ClientWidth() : 0;
  const int32_t height = client ? client->ClientHeight() : 0;
  const TJigsawProject2* project = Project();

  const int32_t index = project ? project->StartWallpaperIndex : -1;
  if (project && index >= 0 && static_cast<std::size_t>(index) < project->Pictures.size() &&
      IsWallpaperId(project->Pictures[static_cast<std::size_t>(index)]->ID)) {
    const TBMPData& wallpaper = *project->Pictures[static_cast<std::size_t>(index)];
    TKVGUIAnimatedImage& image = NewChild<TKVGUIAnimatedImage>(*Root());
    image.SendToBack();
    for (const TWallpaperEntry& entry : project->Wallpapers)
      if (entry.ID == wallpaper.ID) {
        if (entry.Param >= kvisTopLeft && entry.Param <= kvisStretch)
          image.SetDrawStyle(static_cast<uint8_t>(entry.Param));
        break;
      }
    try {
      TMemoryStream data(wallpaper.Data.Bytes());
      image.Frames().LoadFromStream(data, true);
      image.SetSize(width, height);
      image.SetPosition(0, 0);
      CopyWhenOpaque(image);
      FBackground = &image;
      return;
    } catch (const Exception&) {
      // A wallpaper that cannot be read leaves the plain grey behind the game.
      DestroyRootChild(&image);
    }
  }
  TKVGUIShapeControl& shape = NewChild<TKVGUIShapeControl>(*Root());
  shape.SendToBack();
  shape.SetBackgroundColor(kvNoWallpaperColor);
  shape.SetSize(width, height);
  FBackgroundShape = &shape;
}

void TKVCustomJigsawApplication::RefitPlayingArea() {
  BuildBackground();
  TKVPaintBox* client = ClientArea();
  const int32_t width = client ? client->ClientWidth() : 0;
  const int32_t height = client ? client->ClientHeight() : 0;
  if (FBoard) FBoard->SetSize(width, height);
  CentreGhost(width, height);
}

void TKVCustomJigsawApplication::CentreGhost(int32_t width, int32_t height) {
  if (FGhostImage && !FGhostImage->Picture().Empty())
    FGhostImage->SetPosition((width - FGhostImage->Width()) / 2, (height - FGhostImage->Height()) / 2);
}

void TKVCustomJigsawApplication::BuildGhostImage() {
  if (!FGhostImage) FGhostImage = &NewChild<TKVGUIAnimatedImage>(*Root());
  FGhostImage->BringToFront();
  const TBitmap32& scaled = FPieces.ScaledPicture;
  FGhostImage->SetSize(scaled.Width(), scaled.Height());
  TBitmap32& ghost = FGhostImage->Picture();
  ghost.Clear(0);
  FGhostImage->SetPictureAlpha(GhostAlpha);

  TBitmap32 source;
  switch (GhostMode) {
  case 1:
    source.SetSize(scaled.Width(), scaled.Height());
    source.Clear(Color32(GhostColor));
    break;
  case 2:
    source.Assign(scaled);
    for (int32_t y = 0; y < source.Height(); ++y) {
      TColor32* line = source.ScanLine(y);
      for (int32_t x = 0; x < source.Width(); ++x) {
        const TColor32 c = line[x];
        if (c == 0) continue;
        const uint32_t g = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3;
        line[x] = 0xFF000000u | g << 16 | g << 8 | g;
      }
    }
    break;
  default:
    source.Assign(scaled);
    break;
  }
  TBitmap32 piece;
  for (const TKVPuzzlePieceItem& item : FPieces.PieceItems) {
    FPieces.BuildPieceBitmap(source, piece, item.X, item.Y, item.TopEdge, item.BottomEdge, item.RightEdge,
                             item.LeftEdge);
    piece.Draw(ghost, item.X, item.Y);
  }
  FGhostImage->Invalidate();
}

void TKVCustomJigsawApplication::CreateBoard() {
  TJigsawProject2* project = Project();
  const int32_t cols = FPieces.Cols(), rows = FPieces.Rows();
  TKVJigsawBoard& board = NewChild<TKVJigsawBoard>(*Root(), Services());
  FBoard = &board;
  board.Project = project;
  board.LoadPieces(std::move(PieceGrid), cols, rows);
  board.SetSize(BoardRight - BoardLeft, BoardBottom - BoardTop);
  board.SetPosition(BoardLeft, BoardTop);
  board.ShadowLevel = BevelLevel();
  board.CellWidth = FPieces.CellWidth();
  board.CellHeight = FPieces.CellHeight();
  board.NoRotation = FixedOrientation;
  board.DragMode = !(project && project->Options.NoDragMode);
  // Assigned late by the owner too: the board asks the session each time.
  board.OnWin = [this](TKVGUIControl* sender) {
    if (OnBoardWin) OnBoardWin(sender);
  };
  board.OnStopAllSounds = [this] { StopAllSounds(); };
  board.BringToFront();
}

// ---- the running game

void TKVCustomJigsawApplication::Start() {
  ToolbarShown = false;
  TKVPaintBox* client = ClientArea();
  const int32_t width = client ? client->ClientWidth() : 0;
  const int32_t height = client ? client->ClientHeight() : 0;
  Root()->SetSize(width, height);
  CentreGhost(width, height);
  if (FBackground) {
    if (FBackground->Width() != width || FBackground->Height() != height) {
      FBackground->SetSize(width, height);
      CopyWhenOpaque(*FBackground);
    }
  } else if (FBackgroundShape)
    FBackgroundShape->SetSize(width, height);
  TKVCustomGamesApplication::Start();
  FStopped = false;
  SetEdgesOnly(false);
  FClockTimer->SetEnabled(true);
  BuildPreviewWindow();
  Root()->Repaint();
  Root()->SetEnabled(true);
  Engine().Invalidate();
}

void TKVCustomJigsawApplication::BuildPreviewWindow() {
  const TJigsawProject2* project = Project();
  const int32_t scale = project ? project->PreviewScale : 3;
  // The preview shows the picture as the game plays it, cut to at most the size of the playing area: a
  // photograph of several thousand pixels would otherwise give a window larger than the screen.
  const TBitmap32& shown = FPieces.ScaledPicture.Empty() ? Picture : FPieces.ScaledPicture;
  TKVGUIForm& window = NewChild<TKVGUIForm>(*Root());
  window.Application = this;
  window.BringToFront();
  window.SetCaption("Preview");
  window.SetVisible(project && project->Options.ShowPreview);
  window.SetPosition(20, 20);
  window.SetSize(RoundTenth(static_cast<int64_t>(shown.Width()) * scale) + 8,
                 RoundTenth(static_cast<int64_t>(shown.Height()) * scale) + 36);
  TKVGUIImage& image = NewChild<TKVGUIImage>(window);
  image.Application = this;
  image.SetPosition(4, 31);
  image.SetSize(window.Width() - 8, window.Height() - 36);
  image.Picture().Assign(shown);
  image.SetUseStretchedCopy(true);
  FPreviewWindow = &window;
  FPreviewImage = &image;
}

void TKVCustomJigsawApplication::ClockTick() {
  Clock += CountDown ? -1 : 1;
  if (!BoardPlaying()) return;
  if (OnClockTick) OnClockTick(this);
  // A count that went below zero (a count-down from 0 seconds) never ends the game.
  if (Clock != 0 || !FBoard) return;
  StopAllSounds();
  FBoard->Reset();
  PostValues(kvmsgApplication, kvevPlayOnce, kvseTimeUp);
  FStopped = true;
  Clock = 0;
  if (OnTimeOut) OnTimeOut(this);
}

void TKVCustomJigsawApplication::Pause() {
  TKVCustomGamesApplication::Pause();
  FClockTimer->SetEnabled(false);
  if (FPreviewWindow && FPreviewWindow->Visible()) {
    FPreviewWindow->SetVisible(false);
    PreviewWasVisible = true;
  }
  if (FBoard) FBoard->Pause();
}

void TKVCustomJigsawApplication::Resume() {
  TKVCustomGamesApplication::Resume();
  FClockTimer->SetEnabled(true);
  if (PreviewWasVisible) {
    if (FPreviewWindow) FPreviewWindow->SetVisible(true);
    PreviewWasVisible = false;
  }
  if (FBoard) FBoard->Resume();
}

void TKVCustomJigsawApplication::Stop() {
  TKVCustomGamesApplication::Stop();
  Clock = 0;
  FStopped = true;
  FClockTimer->SetEnabled(false);
}

void TKVCustomJigsawApplication::Reset() {
  TKVCustomGamesApplication::Reset();
  Stop();
  Picture.SetSize(0, 0);
  PictureSourceSize = {};
  BoardLeft = BoardTop = BoardRight = BoardBottom = 0;
  RestoringSavedGame = false;
  CountDown = false;
  SavedGame = nullptr;
  PieceGrid.clear();
  FBoard = nullptr;
  FGhostImage = nullptr;
  FBackground = nullptr;
  FBackgroundShape = nullptr;
  FPreviewWindow = nullptr;
  FPreviewImage = nullptr;
  PreviewWasVisible = false;
  DestroyRootChildren();
  CheatCount = 0;
}

void TKVCustomJigsawApplication::SetEdgesOnly(bool value) {
  if (value == FEdgesOnly || !BoardPlaying()) return;
  FEdgesOnly = value;
  const int32_t rows = FBoard->Rows(), cols = FBoard->Cols();
  for (int32_t row = 1; row < rows - 1; ++row)
    for (int32_t col = 1; col < cols - 1; ++col) {
      TKVBoardPiece& piece = FBoard->Piece(row, col);
      if (piece.Joined == 0) piece.Visible = !value;
    }
  Root()->Repaint();
}

bool TKVCustomJigsawApplication::ToggleGhost() {
  if (!FGhostImage) return false;
  FGhostImage->SetVisible(!FGhostImage->Visible());
  return FGhostImage->Visible();
}

void TKVCustomJigsawApplication::HandleEvent(int32_t message, int32_t& p, int32_t& q) {
  if (message == kvmsgPointerMove) {
    if (q < kvToolbarBand) {
      if (ToolbarHideDelay > 0)
        ToolbarHideDelay = kvToolbarDelay;
      else
        ToolbarShowDelay = kvToolbarDelay;
    } else if (ToolbarShown && ToolbarHideDelay <= 0) {
      ToolbarHideDelay = kvToolbarDelay;
    }
  }
  // A game finished with the solving aids ends without the win sound.
  if (message == kvmsgApplication && p == kvevPlayRepeating && q == kvseComplete && CheatCount > 0) {
    SetResultCode(0);
    return;
  }
  TKVCustomGamesApplication::HandleEvent(message, p, q);
}

void TKVCustomJigsawApplication::Tick() {
  TKVCustomGamesApplication::Tick();
  if (ToolbarHideDelay > 0) {
    if (--ToolbarHideDelay == 0) {
      if (OnHideToolbar) OnHideToolbar(this);
      ToolbarShown = false;
    }
    ToolbarShowDelay = 0;
  } else if (ToolbarShowDelay > 0) {
    if (--ToolbarShowDelay == 0 && OnShowToolbar) OnShowToolbar(this);
    ToolbarShown = true;
  }
}

// ---- solving aids

bool TKVCustomJigsawApplication::SolveOnePiece() {
  if (State() != kvasRunning || !FBoard) return false;
  const int32_t flying = FBoard->FlyingCount();
  FBoard->SolveOnePiece();
  if (FBoard->FlyingCount() <= flying) return false;
  ++CheatCount;
  return true;
}

bool TKVCustomJigsawApplication::SolveAll(uint8_t confirm) {
  if (State() != kvasRunning || !FBoard) return false;
  FBoard->SolveAll(confirm);
  if (FBoard->FlyingCount() == 0) return false;
  CheatCount = FBoard->PieceCount();
  // The picture forms where the ghost image shows it, not at the board's corner.
  if (FGhostImage) {
    const int32_t dx = FGhostImage->Left() - FBoard->Left(), dy = FGhostImage->Top() - FBoard->Top();
    for (TKVBoardPiece& piece : FBoard->Pieces())
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
  file.Columns = FBoard ? FBoard->Cols() : 0;
  file.Rows = FBoard ? FBoard->Rows() : 0;
  file.Scale = 3.0f;
  file.ElapsedSeconds = Clock;
  file.ProgramName = programName;
  file.PictureId = pictureId;
  file.Difficulty = Difficulty;
  file.CheatCount = static_cast<int16_t>(std::clamp<int32_t>(CheatCount, INT16_MIN, INT16_MAX));
  file.SetPieces(FBoard);
}

bool TKVCustomJigsawApplication::SavedGameFits(const TJigsawFile& saved, TImageInfo pictureSize) const {
  if (saved.Columns <= 0 || saved.Rows <= 0 || saved.Difficulty > 5) return false;
  if (saved.PieceStates.size() !=
      static_cast<std::size_t>(saved.Columns) * static_cast<std::size_t>(saved.Rows))
    return false;
  const TLayoutChoice choice =
      TKVJigsawPieceCollection::ChooseLayoutSize(FPieces.Layouts, pictureSize.Width, pictureSize.Height,
                                                 saved.Difficulty, FPieces.MaxWidth, FPieces.MaxHeight);
  if (choice.LayoutIndex < 0) return false;
  const TKVLayout& layout = FPieces.Layout(choice.LayoutIndex);
  // The cut's grid: whole cells of the scaled picture, rounded as the library rounds them.
  auto cells = [](int32_t size, int32_t cell) {
    const int32_t q = size / cell, twice = 2 * (size % cell);
    return (twice > cell || (twice == cell && (q & 1) != 0)) ? q + 1 : q;
  };
  if (layout.CellWidth == 0 || layout.CellHeight == 0) return false;
  if (cells(choice.FinalWidth, layout.CellWidth) != saved.Columns ||
      cells(choice.FinalHeight, layout.CellHeight) != saved.Rows)
    return false;
  const int32_t templates = FPieces.TemplateCount();
  return std::all_of(saved.PieceStates.begin(), saved.PieceStates.end(), [&](const TJigsawPieceState& s) {
    return s.LeftEdge <= templates && s.TopEdge <= templates && s.RightEdge <= templates &&
           s.BottomEdge <= templates;
  });
}

std::string TKVCustomJigsawApplication::LoadFailureMessage(const std::string& fileName) {
  return "Unable to load JSW file. " + fileName + " was not generated by this application or" +
         " image used for jigsaw pieces and/or total pieces have changed. This may lead to incorrect result.";
}

bool TKVCustomJigsawApplication::RestoreSavedGame(const TJigsawFile& saved, const std::string& fileName) {
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
  if (entry) size = DecodeGamePicture(*entry, FPieces, saved.Difficulty, picture);
  if (!entry || !SavedGameFits(saved, size)) {
    if (Services().Boxes) Services().Boxes->ShowError(LoadFailureMessage(fileName));
    return false;
  }
  Reset();
  Picture = std::move(picture);
  PictureSourceSize = size;
  PictureName = entry->Name;
  CheatCount = saved.CheatCount;
  {
    // The saved game is read while the board is prepared, and only then.
    SavedGame = &saved;
    TScopeExit forget([this] { SavedGame = nullptr; });
    Prepare();
  }
  Start();
  return true;
}

// ---- high scores

bool TKVCustomJigsawApplication::EnterHighScore(THighScore& table, int32_t level, const std::string& name,
                                                int32_t* position) const {
  if (!FairWin() || level < 0 || level >= THighScore::LevelCount) return false;
  if (Project() && Project()->Options.NoHighScores) return false;
  int32_t place = -1;
  if (!table.Qualifies(level, Clock, place)) return false;
  table.Add(THighScoreData{name, Clock, static_cast<uint8_t>(level)});
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
