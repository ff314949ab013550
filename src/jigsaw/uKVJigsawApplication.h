// The game session: one picture of the package turned into a board and played. It has the pieces built from
// the package's piece library, lays out the playing area (wallpaper or grey, ghost image, board, preview
// window, from the back), runs the game clock, registers the package's sounds for the game events and tells
// its owner of progress, clock ticks, the win and the loss.
//
// The owner's calling order for one game: Reset (between games); assign the callbacks; Prepare with the
// game's setup; Start. Pause and Resume bracket every dialog; Stop and Reset end the game.
#pragma once

#include "data/uJigsawFile.h"
#include "data/uNamedData.h"
#include "gui/uBitmap32.h"
#include "gui/uKVAutoHideToolbar.h"
#include "gui/uKVGamesApplication.h"
#include "jigsaw/uKVGameClock.h"
#include "jigsaw/uKVJigsawCarver.h"
#include "jigsaw/uKVJigsawCut.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "jigsaw/uKVJigsawScene.h"
#include "jigsaw/uKVJigsawTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kv {

class TJigsawProject2;
class THighScore;
class TKVGUIAnimatedImage;
class TKVGUIForm;
class TKVGUIImage;
class TKVGUIShapeControl;
class TKVJigsawBoard;

// The package's event-sound slots and the events their sounds are registered for. Slots 1, 2 and 4 are not
// played.
struct TEventSoundMapping {
  int32_t Slot;
  TGameEvent Event;
};
inline constexpr std::array<TEventSoundMapping, 7> kvEventSoundSlots{{{0, TGameEvent::Music},
                                                                      {9, TGameEvent::PickUp},
                                                                      {8, TGameEvent::Turn},
                                                                      {7, TGameEvent::Snap},
                                                                      {5, TGameEvent::TimeUp},
                                                                      {6, TGameEvent::Complete},
                                                                      {3, TGameEvent::Preview}}};

// What the owner hands the session for one game.
struct TKVGameSetup {
  // The picture of this game.
  TBitmap32 Picture;
  // The picture's stored size when Picture holds it decoded at a reduced scale (LoadGamePicture); 0 x 0 when
  // Picture is at its own size. The cut is chosen for this size (see TKVJigsawCut::SourceSize).
  TImageInfo PictureSourceSize;
  std::string PictureName;
  // 0..5, for the piece library's layout search; a saved game brings its own.
  uint8_t Difficulty = 0;
  // A saved game to restore, read only while preparing; not owned.
  const TJigsawFile* SavedGame = nullptr;
  // The saved game's solving aids; 0 for a new game.
  int32_t CheatCount = 0;
};

class TKVCustomJigsawApplication : public TKVCustomGamesApplication {
public:
  using TSessionEvent = std::function<void(TKVCustomJigsawApplication* sender)>;

  TKVCustomJigsawApplication(const TPlatformServices& services, TKVCustomGraphicEngine& engine);
  ~TKVCustomJigsawApplication() override;

  // ---- the game
  // The picture of the game; 0 x 0 between games.
  const TBitmap32& Picture() const { return FSetup.Picture; }
  const TImageInfo& PictureSourceSize() const { return FSetup.PictureSourceSize; }
  const std::string& PictureName() const { return FSetup.PictureName; }
  // 0..5; kept from game to game.
  uint8_t Difficulty() const { return FSetup.Difficulty; }
  // Solving aids used in this game: + 1 per one-piece solve, the piece count after solving all; 0 = fair.
  int32_t CheatCount() const { return FSetup.CheatCount; }
  void SetCheatCount(int32_t value) { FSetup.CheatCount = value; }
  // The board's area in client coordinates; all 0 until Prepare sets the whole client area.
  const TKVBoardArea& BoardArea() const { return FBoardArea; }
  // The saved game being restored; set only while Prepare runs.
  const TJigsawFile* SavedGame() const { return FSetup.SavedGame; }
  // Pieces are never turned (the package's choice).
  bool FixedOrientation() const { return FFixedOrientation; }
  // The pieces come from the saved game instead of a new cut.
  bool RestoringSavedGame() const { return FRestoringSavedGame; }
  // The states of the pieces [row][column] as built, until the board takes them.
  const TPieces& PieceGrid() const { return FPieceGrid; }

  // Seconds elapsed, or seconds left when counting down.
  int32_t Clock() const { return FClock.Clock(); }
  void SetClock(int32_t seconds) { FClock.SetClock(seconds); }
  // The clock counts down from the package's time limit.
  bool CountDown() const { return FClock.CountDown(); }
  TKVGameClock& GameClock() { return FClock; }
  const TKVThreadTimer& ClockTimer() const { return FClock.Timer(); }

  // The playing area: background, ghost image, board, preview window.
  TKVJigsawScene& Scene() { return FScene; }
  const TKVJigsawScene& Scene() const { return FScene; }
  // The auto-hiding toolbar's timing, fed with the pointer moves and ticks of the session.
  const TKVAutoHideToolbar& Toolbar() const { return FToolbar; }

  // ---- callbacks to the owner, each called only when set
  // The board's OnWin.
  TKVGUINotifyEvent OnBoardWin;
  // A count-down reached zero.
  TSessionEvent OnTimeOut;
  // Every second while the board plays.
  TSessionEvent OnClockTick;
  TSessionEvent OnShowToolbar;
  TSessionEvent OnHideToolbar;
  // The pieces of the running game came to rest somewhere new.
  TSessionEvent OnGameChanged;

  // ---- parts of the playing area; none until built
  TKVJigsawBoard* Board() const { return FScene.Board(); }
  TKVGUIAnimatedImage* Background() const { return FScene.Background(); }
  TKVGUIShapeControl* BackgroundShape() const { return FScene.BackgroundShape(); }
  TKVGUIAnimatedImage* GhostImage() const { return FScene.GhostImage(); }
  TKVGUIForm* PreviewWindow() const { return FScene.PreviewWindow(); }
  TKVGUIImage* PreviewImage() const { return FScene.PreviewImage(); }
  // The package's piece library (layouts and templates).
  const TKVJigsawPieceLibrary& PieceLibrary() const { return FPieceLibrary; }
  // The cut of the game's picture (scaled picture, piece items).
  const TKVJigsawCut& Cut() const { return FCut; }

  // The stop flag: false while a game runs; true after it ended (win, time-out, Stop). Not the lifecycle
  // State(): a won or timed-out game is over while the session still runs (music, tick), and the stop-flag
  // command flips it in any state.
  bool Stopped() const { return FGameOver; }
  void SetStopped(bool value) { FGameOver = value; }
  // Only border pieces and joined pieces are shown.
  bool EdgesOnly() const { return FEdgesOnly; }
  void SetEdgesOnly(bool value);
  // The board exists, runs and is not complete.
  bool BoardPlaying() const;

  // ---- operations of the games application
  // Takes the package's piece library and its count-down. Fails with "Setting project need client area"
  // without a client area.
  void SetProject(TJigsawProject2* project) override;
  void Tick() override;
  void HandleEvent(int32_t message, int32_t& p, int32_t& q) override;
  // Takes the game's setup and builds the game.
  void Prepare(TKVGameSetup setup);
  // Builds the game from the setup taken last. Fails with "Client Area not defined" without a client area.
  void Prepare() override;
  void Start() override;
  void Pause() override;
  void Resume() override;
  void Stop() override;
  void Reset() override;

  // ---- own operations
  // Decodes a package picture for a game at this difficulty into the setup's Picture and PictureSourceSize:
  // a JPEG at the smallest reduced scale that still covers the size the cut stretches it to, a BMP at its
  // own size (see DecodeGamePicture). Raises EImageError when the picture cannot be read; the setup is then
  // unchanged.
  void LoadGamePicture(const TBMPData& picture, uint8_t difficulty, TKVGameSetup& setup) const;
  void UseSavedGame(const TJigsawFile& saved);
  // Flips the ghost image's visibility and returns it; false when there is none.
  bool ToggleGhost() { return FScene.ToggleGhost(); }
  void RegisterSounds();
  // After the skin changed: the background built again, the board sized to the client area and the ghost
  // image centred in it.
  void RefitPlayingArea() { FScene.Refit(); }
  // One second of the game clock: what its timer does.
  void ClockTick() { FClock.Tick(); }

  // ---- solving aids, counted as cheats only when they set pieces moving
  // One loose piece flies next to a neighbour: CheatCount + 1. True when it did.
  bool SolveOnePiece();
  // Every piece flies to its place in the picture where the ghost image shows it (confirm 1 asks first):
  // CheatCount := the piece count. True when they did; a declined question leaves the game and the count as
  // they were.
  bool SolveAll(uint8_t confirm);

  // ---- saved games
  // The running game as a saved game of the given picture; the file refers to the board's pieces and must be
  // saved while the board exists.
  void FillSavedGame(TJigsawFile& file, uint32_t pictureId, const std::string& programName) const;
  // Whether the saved pieces are exactly the pieces the package's library cuts from a picture of this
  // (stored) size at the saved difficulty (grid size, piece count, edge shapes the library has).
  bool SavedGameFits(const TJigsawFile& saved, TImageInfo pictureSize) const;
  // "Unable to load JSW file. " ... for a saved game the package cannot restore.
  static std::string LoadFailureMessage(const std::string& fileName);
  // Replaces the running game by the saved one: its picture is looked up in the package and the pieces are
  // checked against it before anything of the current game is touched. A saved game that does not fit shows
  // the load-failure message (error box; tell false: nothing) and returns false; the running game goes on.
  // Errors decoding the picture propagate, also without touching the running game.
  bool RestoreSavedGame(const TJigsawFile& saved, const std::string& fileName, bool tell = true);

  // ---- the win and the high scores
  // Won without solving aids.
  bool FairWin() const { return FSetup.CheatCount == 0; }
  // The clock when the last piece joined; the clock counts on after the win, while the player is asked for a
  // name. Before a win, the clock as it stands.
  int32_t FinishTime() const { return FFinishTime.value_or(FClock.Clock()); }
  // Enters a fair win's finish time into the table at level (see HighScoreLevel) when it qualifies and the
  // package keeps high scores. True when it was added; position receives its place.
  bool EnterHighScore(THighScore& table, int32_t level, const std::string& name,
                      int32_t* position = nullptr) const;

private:
  // The project's bevel level within its range 0..7.
  uint8_t BevelLevel() const;
  void BuildPieces(const TJigsawProject2& project);
  void TimeUp();

  // The library is read once per package and the carver takes the package's outline; each game cuts its
  // picture anew.
  TKVJigsawPieceLibrary FPieceLibrary;
  TKVJigsawCut FCut;
  TKVJigsawCarver FCarver;
  TKVJigsawScene FScene;
  TKVGameClock FClock;
  TKVAutoHideToolbar FToolbar;
  // What the owner handed Prepare; its saved game only while Prepare runs.
  TKVGameSetup FSetup;
  TKVBoardArea FBoardArea;
  bool FFixedOrientation = true;
  bool FRestoringSavedGame = false;
  TPieces FPieceGrid;
  bool FGameOver = true;
  bool FEdgesOnly = false;
  std::optional<int32_t> FFinishTime;
};

class TKVJigsawApplication : public TKVCustomJigsawApplication {
public:
  using TKVCustomJigsawApplication::TKVCustomJigsawApplication;
};

// The high-score level of a game of the picture at pictureIndex in the package's Pictures: from the
// package-wide piece-count range, or the picture's own range when both package values are -1. 3 Very Easy
// (fewer than 25), 0 Easy (25..50), 1 Normal (50..100), 2 Hard (above 100); -1 when no level matches.
int32_t HighScoreLevel(const TJigsawProject2& project, int32_t pictureIndex);

} // namespace kv
