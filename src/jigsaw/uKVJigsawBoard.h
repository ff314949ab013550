// The jigsaw board: the playing area on which the pieces lie. A layer of the control tree that owns the
// pieces of the game (their states, and their images taken over from the builder), the stacking order and the
// cell geometry; it moves, snaps, turns and marks pieces under the mouse and keyboard, decides when the
// puzzle is complete, solves pieces on request and draws itself into the engine's buffer.
//
// Groups are not stored: two neighbours belong together when both have snapped once and they lie, in the
// same rotation, within Magnet of their exact relative position.
//
// Repainting: after every change the board compares what each piece shows (place, rotation, how it is
// drawn, its place in the stacking order) with what it showed, and asks for a repaint of the old and the new
// areas of the pieces that changed, shadows and turn frames included, and of the rubber band.
#pragma once

#include "data/uJigsawFile.h"
#include "gui/uKVAppControlLayer.h"
#include "jigsaw/uKVJigsawBoardPiece.h"
#include "jigsaw/uKVJigsawBoardRender.h"
#include "jigsaw/uKVJigsawTypes.h"
#include "platform/uServices.h"
#include "sound/uKVThreadTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <vector>

namespace kv {

class TKVCustomJigsawProject;

// One entry of the stacking order.
struct TZPos {
  uint16_t Column = 0;
  uint16_t Row = 0;
  bool operator==(const TZPos&) const = default;
};
using TZPosArray = std::vector<TZPos>;

// Messages to the session: 1024 with these parameter pairs.
inline constexpr int32_t kvbnPlayOnce = 0xFFFF;
inline constexpr int32_t kvbnPlayRepeating = 0xFFFE;
inline constexpr int32_t kvbnPickUp = 100;
inline constexpr int32_t kvbnTurn = 101;
inline constexpr int32_t kvbnSnap = 102;
inline constexpr int32_t kvbnWin = 107;
inline constexpr int32_t kvbnClose = 16;

// Virtual keys the board answers.
inline constexpr int32_t VK_A = 65;
inline constexpr int32_t VK_D = 68;
inline constexpr int32_t VK_ESCAPE = 27;

class TKVCustomJigsawBoard : public TKVAppControlLayerItem, public IPieceStateSource {
public:
  // services: thread timers for the animations, random draws for solving one piece, message boxes for the
  // confirmation of solving all.
  explicit TKVCustomJigsawBoard(TPlatformServices services = {});
  ~TKVCustomJigsawBoard() override;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // ---- settings
  // The game project the board belongs to; kept for the owner.
  TKVCustomJigsawProject* Project = nullptr;
  // True: pieces follow the mouse while the button is held. False: a click picks up, the next one drops.
  bool DragMode = false;
  // Snap and attachment tolerance in pixels, per axis, inclusive.
  uint8_t Magnet = 6;
  // Cell size of the cut.
  int32_t CellWidth = 0;
  int32_t CellHeight = 0;
  // Degrees per tick of a turn, pixels per axis per tick of an automatic move.
  uint8_t RotationStep = 10;
  uint8_t FlyStep = 15;
  // The project's bevel level: shadows are grey 30 + 5 x ShadowLevel.
  uint8_t ShadowLevel = 0;
  // Right clicks do not turn pieces.
  bool NoRotation = false;
  // Raised once when the puzzle is complete. OnLoose is kept for the owner; the board never raises it.
  TKVGUINotifyEvent OnWin;
  TKVGUINotifyEvent OnLoose;
  // Stops every sound of the session; run when the puzzle is complete, before the win is announced.
  std::function<void()> OnStopAllSounds;

  // ---- state
  bool Won() const { return FWon; }
  uint8_t ClickCount() const { return FClickCount; }
  // The piece last picked up; -1 = none.
  int32_t LastCol() const { return FLastCol; }
  int32_t LastRow() const { return FLastRow; }
  int32_t LastX() const { return FLastX; }
  int32_t LastY() const { return FLastY; }
  // The rubber band, corners in drag order; all -1 = none.
  const TRect& Selection() const { return FSelection; }
  const TZPosArray& ZOrder() const { return FZOrder; }
  const TKVThreadTimer& Timer() const { return *FTimer; }

  // ---- pieces
  // Takes the builder's pieces [rows][cols]: their states are copied and their coded images and shadows
  // taken over by move (the pieces keep their states, without images). Raises kv::Exception when the grid
  // does not have the given size.
  void LoadPieces(TPieces&& pieces, int32_t cols, int32_t rows);
  virtual void ClearPieces();
  int32_t Cols() const { return FCols; }
  int32_t Rows() const override { return FRows; }
  int32_t Columns() const override { return FCols; }
  int32_t PieceCount() const { return FCols * FRows; }
  TKVBoardPiece& Piece(int32_t row, int32_t col) { return FPieces[Index(row, col)]; }
  const TKVBoardPiece& Piece(int32_t row, int32_t col) const { return FPieces[Index(row, col)]; }
  const TKVPieceSprite& Sprite(int32_t row, int32_t col) const { return FSprites[Index(row, col)]; }
  // The coded image of the piece in rotation r, coded from the rotation it has when it was not yet needed.
  const TCodedImage& Image(int32_t row, int32_t col, int r) {
    return TKVJigsawBoardRenderer::Image(Piece(row, col), FSprites[Index(row, col)], r);
  }
  // Row by row, columns inner.
  std::span<TKVBoardPiece> Pieces() { return FPieces; }
  std::span<const TKVBoardPiece> Pieces() const { return FPieces; }
  // The saved form of the piece at [row][column].
  TJigsawPieceState State(int32_t row, int32_t column) const override;
  // The run state (stopped, running, paused).
  using TKVAppControlLayerItem::State;

  // Moves that entry of the stacking order to the top.
  void RaisePiece(int32_t col, int32_t row);

  // ---- geometry
  // Where the piece lies in the assembled picture (rotation 0), image margins included.
  TRect SolvedRect(int32_t row, int32_t col) const;
  // Top-left of the piece in the assembled picture turned r quarter turns clockwise.
  TPoint RotatedOrigin(int32_t row, int32_t col, int r) const;
  bool Neighbours(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const;
  bool Attached(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const;

  // ---- interaction
  void LayerMouseDown(TMouseButton button, int32_t shift, int32_t x, int32_t y) override;
  void LayerMouseUp(TMouseButton button) override;
  void LayerMouseMove(int32_t shift, int32_t x, int32_t y) override;
  void LayerKeyDown(int32_t key, int32_t shift) override;
  void Drop();
  void MarkAll();
  void UnmarkAll();

  // ---- solving aids
  virtual void SolveOnePiece();
  // 0 solves at once, 1 asks first; other values do nothing.
  virtual void SolveAll(uint8_t confirm);

  // ---- counts
  int32_t GrabbedCount() const;
  int32_t MarkedCount() const;
  int32_t RotatingCount() const;
  int32_t FlyingCount() const;
  bool Busy() const { return RotatingCount() > 0 || FlyingCount() > 0; }
  bool Running() const { return State() == kvlsRunning; }

  // ---- control tree
  void InitControl() override;
  void PaintContent() override;
  void MouseEvent(const TPoint& point, int32_t kind, int32_t shift, int32_t button) override;
  void KeyEvent(int32_t key, int32_t kind, int32_t shift) override;
  void Prepare() override;
  void Start() override;
  void Reset() override;
  void Pause() override;
  void Resume() override;
  void Shutdown() override;

  // Asks for a repaint of what changed since the last call (also run by every operation above).
  void InvalidateChanges();

protected:
  // ---- the steps of play, on piece indices (row * Cols + column)
  std::size_t Index(int32_t row, int32_t col) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(FCols) + static_cast<std::size_t>(col);
  }
  // Where piece p should jump: a resting, not grabbed, not flying neighbour of the same rotation whose
  // exact relative place lies within Magnet. Both become joined.
  std::optional<TPoint> Snap(std::size_t p);
  void Grab(std::size_t p);
  void MarkGroup(std::size_t p);
  void SettleBoard();
  void KeepGroupOnBoard(std::size_t p);
  void CheckComplete();
  void StartTurn(std::size_t p, int32_t x, int32_t y);
  // timer: true when run by the timer, false to finish every turn at once.
  void TurnTick(bool timer);
  void FinishTurn(std::size_t p);
  void FlyTick();
  int32_t SnapPass();

private:
  struct TLook {
    TRect Bounds; // board coordinates; empty when nothing is drawn
    int32_t X = 0, Y = 0;
    uint8_t Rotation = 0;
    uint8_t Layers = 0;
    double Angle = 0, PivotX = 0, PivotY = 0;
    bool operator==(const TLook&) const = default;
  };
  TLook LookOf(const TKVBoardPiece& piece, bool anyRotating, bool anyFlying) const;
  TRect BandRect() const;
  TPoint Origin() const;
  void InvalidateBoardRect(const TRect& rect);
  void ForgetLooks();

  // The attached neighbours of p in the order above, below, left, right.
  int NeighbourIndices(std::size_t p, std::size_t (&out)[4]) const;
  bool AttachedIdx(std::size_t a, std::size_t b) const;
  void RaiseIndex(std::size_t p);
  void ClearAllTransient();
  void Notify(int32_t p, int32_t q);
  void Popup(int32_t x, int32_t y);
  int32_t RandomBelow(int32_t limit);
  void StartTimer(std::function<void()> handler, uint32_t interval);
  // Index of the topmost visible piece whose shown image has a non-zero pixel at (x, y), or none.
  std::optional<std::size_t> HitTestPiece(int32_t x, int32_t y);
  void ResetZOrder();
  // The pieces reachable from p over Attached, p first.
  const std::vector<std::size_t>& GroupOf(std::size_t p);

  TPlatformServices FServices;
  std::minstd_rand FFallbackRandom;
  std::unique_ptr<TKVThreadTimer> FTimer;
  TKVJigsawBoardRenderer FRenderer;

  int32_t FCols = 0;
  int32_t FRows = 0;
  std::vector<TKVBoardPiece> FPieces;
  std::vector<TKVPieceSprite> FSprites;
  TZPosArray FZOrder;

  bool FWon = false;
  uint8_t FClickCount = 0;
  int32_t FLastCol = -1, FLastRow = -1;
  int32_t FLastX = 0, FLastY = 0;
  TRect FSelection{-1, -1, -1, -1};

  // What was last asked to be shown.
  std::vector<TLook> FShown;
  std::vector<uint8_t> FRestacked;
  TRect FShownBand;
  // Scratch of group walks.
  std::vector<uint8_t> FWalkMark;
  std::vector<std::size_t> FWalkList;
};

// The board with its published properties.
class TKVJigsawBoard : public TKVCustomJigsawBoard {
public:
  using TKVCustomJigsawBoard::TKVCustomJigsawBoard;
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

} // namespace kv
