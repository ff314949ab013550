// The pieces on the board as a plain object: their states, the grid, the stacking order, the geometry of the
// assembled picture, snapping, settling after a drop, groups, turns and the completion check.
//
// Groups are not stored: two neighbours belong together when both have snapped once and they lie, in the
// same rotation, within Magnet of their exact relative position.
#pragma once

#include "core/uKVTypes.h"
#include "jigsaw/uKVJigsawBoardPiece.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kv {

// One entry of the stacking order.
struct TZPos {
  uint16_t Column = 0;
  uint16_t Row = 0;
  bool operator==(const TZPos&) const = default;
};
using TZPosArray = std::vector<TZPos>;

class TKVJigsawBoardModel {
public:
  // ---- settings
  // Snap and attachment tolerance in pixels, per axis, inclusive.
  uint8_t Magnet = 6;
  // Cell size of the cut.
  int32_t CellWidth = 0;
  int32_t CellHeight = 0;

  // ---- pieces, row by row, columns inner
  // Replaces the pieces (cols x rows of them); the stacking order starts over and no piece was picked up.
  void Load(std::vector<TKVBoardPiece> pieces, int32_t cols, int32_t rows);
  void Clear();
  int32_t Cols() const { return FCols; }
  int32_t Rows() const { return FRows; }
  std::size_t Count() const { return FPieces.size(); }
  std::size_t Index(int32_t row, int32_t col) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(FCols) + static_cast<std::size_t>(col);
  }
  bool Contains(int32_t row, int32_t col) const { return row >= 0 && col >= 0 && row < FRows && col < FCols; }
  TKVBoardPiece& Piece(std::size_t p) { return FPieces[p]; }
  const TKVBoardPiece& Piece(std::size_t p) const { return FPieces[p]; }
  std::span<TKVBoardPiece> Pieces() { return FPieces; }
  std::span<const TKVBoardPiece> Pieces() const { return FPieces; }

  // ---- play state
  bool Won() const { return FWon; }
  // Ends a game: not won, no piece in hand, marked, turning or flying.
  void ResetPlay();
  // The piece last picked up; -1 = none.
  int32_t LastCol() const { return FLastCol; }
  int32_t LastRow() const { return FLastRow; }
  void SetLastPicked(std::size_t p);

  // ---- stacking order: index 0 is the top
  const TZPosArray& ZOrder() const { return FZOrder; }
  // The piece at place i of the stacking order.
  std::size_t ZPiece(std::size_t i) const { return Index(FZOrder[i].Row, FZOrder[i].Column); }
  // Columns outer, rows inner.
  void ResetZOrder();
  // Moves the piece to the top.
  void Raise(std::size_t p);
  // Whether the piece changed its place in the stacking order since ClearRestacked.
  bool Restacked(std::size_t p) const { return FRestacked[p] != 0; }
  void ClearRestacked();

  // ---- geometry
  // Where the piece lies in the assembled picture (rotation 0), image margins included.
  TRect SolvedRect(int32_t row, int32_t col) const;
  // Top-left of the piece in the assembled picture turned r quarter turns clockwise.
  TPoint RotatedOrigin(int32_t row, int32_t col, int r) const;
  static bool Neighbours(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB);
  bool Attached(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const;
  bool Attached(std::size_t a, std::size_t b) const;
  // How far a finished quarter turn about the piece's pivot moves its top-left corner: the image of the
  // rotation before the turn (w x h) turned 90 degrees clockwise about the pivot and shifted by (w, h), in
  // single precision, the left and top of its bounds rounded as Round(v - 0.5) (ties to even), minus (w, h).
  static TPoint QuarterTurnShift(const TKVBoardPiece& piece);

  // ---- counts
  int32_t GrabbedCount() const;
  int32_t MarkedCount() const;
  int32_t RotatingCount() const;
  int32_t FlyingCount() const;
  bool Busy() const { return RotatingCount() > 0 || FlyingCount() > 0; }

  // ---- play
  // Marked, Grabbed, Rotating, Flying and Angle of every piece.
  void ClearAllTransient();
  // Moves every piece in hand by (dx, dy).
  void MoveGrabbed(int64_t dx, int64_t dy);
  // Where piece p should jump: a resting, not grabbed, not flying, shown neighbour of the same rotation
  // whose exact relative place lies within Magnet. Both become joined.
  std::optional<TPoint> Snap(std::size_t p);
  // Picks up p with its group, raising each piece as it is reached.
  void Grab(std::size_t p);
  // Marks p with its group (shown pieces only), raising each piece as it is reached.
  void MarkGroup(std::size_t p);
  // Marks every piece with the groups of the shown pieces whose middle lies within band (normalised).
  void MarkGroupsCentredIn(const TRect& band);
  void MarkAll();
  // Snaps the pieces in hand where they fit, taking each new partner's group into the hand, then puts
  // everything down. True when anything snapped.
  bool SnapPass();
  // Brings loose pieces and groups that have left a board of width x height back, and pulls joined pieces
  // onto their partners. Pieces in hand stay in hand.
  void SettleBoard(int32_t boardWidth, int32_t boardHeight);
  void KeepGroupOnBoard(std::size_t p, int32_t boardWidth, int32_t boardHeight);
  // True once, when every piece is attached into the group of the top piece; Won is set then.
  bool CheckComplete();
  // Starts turning p's group about the board point (x, y) and advances their rotations.
  void StartTurn(std::size_t p, int32_t x, int32_t y);
  // Ends the turn of p and of every joined, turning piece reached from it.
  void FinishTurn(std::size_t p);

private:
  // The neighbours of p in the order above, below, left, right.
  int NeighbourIndices(std::size_t p, std::size_t (&out)[4]) const;
  // The one walk over a group: depth first in the order of a recursive walk (a piece, then each
  // neighbour's whole walk in the order above, below, left, right), on an explicit stack so that long
  // groups do not exhaust the call stack. Only joined pieces lead on; link(from, to) decides whether the
  // walk goes from a piece to a neighbour not reached yet. enter(q) runs when q is reached, leave(q) when
  // all its neighbours are done.
  template <class Link, class Enter, class Leave>
  void WalkGroup(std::size_t p, const Link& link, const Enter& enter, const Leave& leave);
  template <class Enter> void WalkAttached(std::size_t p, const Enter& enter);

  int32_t FCols = 0;
  int32_t FRows = 0;
  std::vector<TKVBoardPiece> FPieces;
  TZPosArray FZOrder;
  std::vector<uint8_t> FRestacked;
  bool FWon = false;
  int32_t FLastCol = -1, FLastRow = -1;

  // Scratch of walks, kept to spare an allocation per walk.
  struct TWalkFrame {
    std::size_t Piece;
    std::size_t Next[4];
    int Count;
    int At;
  };
  std::vector<TWalkFrame> FWalkStack;
  std::vector<uint32_t> FWalkStamp;
  uint32_t FWalkGeneration = 0;
  std::vector<std::size_t> FGroup;
  std::vector<uint8_t> FHeld;
};

} // namespace kv
