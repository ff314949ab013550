// The jigsaw board: the playing area on which the pieces lie. The layer of the control tree that owns the
// pieces of the game (their states in the model, their images in the view), answers the mouse and keyboard
// through its input, runs turns and automatic moves through its animator, announces the win and draws itself
// into the engine's buffer.
#pragma once

#include "data/uJigsawFile.h"
#include "gui/uKVAppControlLayer.h"
#include "jigsaw/uKVJigsawBoardAnimator.h"
#include "jigsaw/uKVJigsawBoardHost.h"
#include "jigsaw/uKVJigsawBoardInput.h"
#include "jigsaw/uKVJigsawBoardMessages.h"
#include "jigsaw/uKVJigsawBoardModel.h"
#include "jigsaw/uKVJigsawBoardPiece.h"
#include "jigsaw/uKVJigsawBoardView.h"
#include "jigsaw/uKVJigsawTypes.h"
#include "platform/uServices.h"
#include "sound/uKVThreadTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace kv {

class TKVCustomJigsawProject;

class TKVCustomJigsawBoard : public TKVAppControlLayerItem,
                             public IPieceStateSource,
                             private IKVJigsawBoardHost {
  // The parts come first: the settings below refer to them.
  TPlatformServices FServices;
  TKVJigsawBoardModel FModel;
  TKVJigsawBoardView FView;
  TKVJigsawBoardAnimator FAnimator;
  TKVJigsawBoardInput FInput;

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
  bool& DragMode = FInput.DragMode;
  // Snap and attachment tolerance in pixels, per axis, inclusive.
  uint8_t& Magnet = FModel.Magnet;
  // Cell size of the cut.
  int32_t& CellWidth = FModel.CellWidth;
  int32_t& CellHeight = FModel.CellHeight;
  // Degrees per tick of a turn, pixels per axis per tick of an automatic move.
  uint8_t& RotationStep = FAnimator.RotationStep;
  uint8_t& FlyStep = FAnimator.FlyStep;
  // The project's bevel level: shadows are grey 30 + 5 x ShadowLevel.
  uint8_t& ShadowLevel = FView.ShadowLevel;
  // Right clicks do not turn pieces.
  bool& NoRotation = FInput.NoRotation;
  // Raised once when the puzzle is complete. OnLoose is kept for the owner; the board never raises it.
  TKVGUINotifyEvent OnWin;
  TKVGUINotifyEvent OnLoose;
  // Stops every sound of the session; run when the puzzle is complete, before the win is announced.
  std::function<void()> OnStopAllSounds;
  // Pieces came to rest somewhere new (a drop, a turn step, a piece of a solving aid landing); not called
  // while a piece follows the mouse.
  std::function<void()> OnSettled;

  // ---- state
  bool Won() const { return FModel.Won(); }
  uint8_t ClickCount() const { return FInput.ClickCount(); }
  // The piece last picked up; -1 = none.
  int32_t LastCol() const { return FModel.LastCol(); }
  int32_t LastRow() const { return FModel.LastRow(); }
  int32_t LastX() const { return FInput.LastX(); }
  int32_t LastY() const { return FInput.LastY(); }
  // The rubber band, corners in drag order; all -1 = none.
  const TRect& Selection() const { return FInput.Selection(); }
  const TZPosArray& ZOrder() const { return FModel.ZOrder(); }
  const TKVThreadTimer& Timer() const { return FAnimator.Timer(); }

  // ---- pieces
  // Takes the builder's pieces [rows][cols]: their states are copied and their coded images and shadows
  // taken over by move (the pieces keep their states, without images). Raises kv::Exception when the grid
  // does not have the given size.
  void LoadPieces(TPieces&& pieces, int32_t cols, int32_t rows);
  virtual void ClearPieces();
  int32_t Cols() const { return FModel.Cols(); }
  int32_t Rows() const override { return FModel.Rows(); }
  int32_t Columns() const override { return FModel.Cols(); }
  int32_t PieceCount() const { return FModel.Cols() * FModel.Rows(); }
  TKVBoardPiece& Piece(int32_t row, int32_t col) { return FModel.Piece(FModel.Index(row, col)); }
  const TKVBoardPiece& Piece(int32_t row, int32_t col) const { return FModel.Piece(FModel.Index(row, col)); }
  const TKVPieceSprite& Sprite(int32_t row, int32_t col) const {
    return FView.Sprite(FModel.Index(row, col));
  }
  // The coded image of the piece in rotation r, coded from the rotation it has when it was not yet needed.
  const TCodedImage& Image(int32_t row, int32_t col, int r) { return FView.Image(FModel.Index(row, col), r); }
  // Row by row, columns inner.
  std::span<TKVBoardPiece> Pieces() { return FModel.Pieces(); }
  std::span<const TKVBoardPiece> Pieces() const { return FModel.Pieces(); }
  // The saved form of the piece at [row][column].
  TJigsawPieceState State(int32_t row, int32_t column) const override;
  // The run state (stopped, running, paused).
  using TKVAppControlLayerItem::State;

  // Moves that entry of the stacking order to the top.
  void RaisePiece(int32_t col, int32_t row);

  // ---- geometry
  // Where the piece lies in the assembled picture (rotation 0), image margins included.
  TRect SolvedRect(int32_t row, int32_t col) const { return FModel.SolvedRect(row, col); }
  // Top-left of the piece in the assembled picture turned r quarter turns clockwise.
  TPoint RotatedOrigin(int32_t row, int32_t col, int r) const { return FModel.RotatedOrigin(row, col, r); }
  bool Neighbours(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const {
    return TKVJigsawBoardModel::Neighbours(rowA, colA, rowB, colB);
  }
  bool Attached(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const {
    return FModel.Attached(rowA, colA, rowB, colB);
  }

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
  // Expires when the board is destroyed: whoever lets the program run on (a modal question) checks it after.
  std::weak_ptr<bool> Alive() const { return FAlive; }

  // ---- counts
  int32_t GrabbedCount() const { return FModel.GrabbedCount(); }
  int32_t MarkedCount() const { return FModel.MarkedCount(); }
  int32_t RotatingCount() const { return FModel.RotatingCount(); }
  int32_t FlyingCount() const { return FModel.FlyingCount(); }
  bool Busy() const { return FModel.Busy(); }
  bool Running() const override { return State() == TGameState::Running; }

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
  void InvalidateChanges() override;

private:
  // ---- what the animator and the input ask of the board
  void SettleBoard() override;
  void CheckComplete() override;
  void Notify(TAppCode code, TGameEvent event) override;
  void Popup(int32_t x, int32_t y) override;
  TPoint Origin() const;

  // Expires with the board: a question asked from inside the board finds out whether it still exists.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The board with its published properties.
class TKVJigsawBoard : public TKVCustomJigsawBoard {
public:
  using TKVCustomJigsawBoard::TKVCustomJigsawBoard;
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

} // namespace kv
