#include "jigsaw/uKVJigsawBoardModel.h"

#include "gui/uTransforms.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kv {

namespace {

// Positions are plain integers that a saved game may set anywhere: sums are taken wide and stored back
// modulo 2^32 rather than overflowing.
int32_t Add(int32_t a, int64_t b) {
  return static_cast<int32_t>(static_cast<int64_t>(a) + b);
}

} // namespace

// ---- pieces

void TKVJigsawBoardModel::Load(std::vector<TKVBoardPiece> pieces, int32_t cols, int32_t rows) {
  FCols = cols;
  FRows = rows;
  FPieces = std::move(pieces);
  FLastCol = FLastRow = -1;
  FRestacked.assign(FPieces.size(), 0);
  ResetZOrder();
}

void TKVJigsawBoardModel::Clear() {
  FPieces.clear();
  FZOrder.clear();
  FRestacked.clear();
  FCols = FRows = 0;
  FLastCol = FLastRow = -1;
}

void TKVJigsawBoardModel::ResetPlay() {
  FWon = false;
  ClearAllTransient();
}

void TKVJigsawBoardModel::SetLastPicked(std::size_t p) {
  FLastCol = FPieces[p].Column;
  FLastRow = FPieces[p].Row;
}

// ---- stacking order

void TKVJigsawBoardModel::ResetZOrder() {
  FZOrder.clear();
  FZOrder.reserve(FPieces.size());
  for (int32_t c = 0; c < FCols; ++c)
    for (int32_t r = 0; r < FRows; ++r)
      FZOrder.push_back(TZPos{static_cast<uint16_t>(c), static_cast<uint16_t>(r)});
  FRestacked.resize(FPieces.size());
  std::fill(FRestacked.begin(), FRestacked.end(), 1);
}

void TKVJigsawBoardModel::Raise(std::size_t p) {
  const TZPos entry{static_cast<uint16_t>(FPieces[p].Column), static_cast<uint16_t>(FPieces[p].Row)};
  const auto it = std::find(FZOrder.begin(), FZOrder.end(), entry);
  if (it == FZOrder.end() || it == FZOrder.begin()) return;
  std::rotate(FZOrder.begin(), it, it + 1);
  FRestacked[p] = 1;
}

void TKVJigsawBoardModel::ClearRestacked() {
  std::fill(FRestacked.begin(), FRestacked.end(), 0);
}

// ---- geometry

TRect TKVJigsawBoardModel::SolvedRect(int32_t row, int32_t col) const {
  const TKVBoardPiece& p = FPieces[Index(row, col)];
  const int64_t left = int64_t{col} * CellWidth - (p.LeftEdge != 0 ? p.LeftSize / 2 : 0);
  const int64_t top = int64_t{row} * CellHeight - (p.TopEdge != 0 ? p.TopSize / 2 : 0);
  return TRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
               Add(static_cast<int32_t>(left), p.Width), Add(static_cast<int32_t>(top), p.Height)};
}

TPoint TKVJigsawBoardModel::RotatedOrigin(int32_t row, int32_t col, int r) const {
  const TRect s = SolvedRect(row, col);
  switch (r & 3) {
  case 0:
    return TPoint{s.Left, s.Top};
  case 1:
    return TPoint{SolvedRect(FRows - 1, col).Bottom - s.Bottom, s.Left - SolvedRect(row, 0).Left};
  case 2:
    return TPoint{SolvedRect(row, FCols - 1).Right - s.Right, SolvedRect(FRows - 1, col).Bottom - s.Bottom};
  default:
    return TPoint{s.Top - SolvedRect(0, col).Top, SolvedRect(row, FCols - 1).Right - s.Right};
  }
}

bool TKVJigsawBoardModel::Neighbours(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) {
  return std::abs(rowA - rowB) + std::abs(colA - colB) == 1;
}

bool TKVJigsawBoardModel::Attached(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const {
  if (!Contains(rowA, colA) || !Contains(rowB, colB)) return false;
  return Attached(Index(rowA, colA), Index(rowB, colB));
}

bool TKVJigsawBoardModel::Attached(std::size_t a, std::size_t b) const {
  const TKVBoardPiece& A = FPieces[a];
  const TKVBoardPiece& B = FPieces[b];
  if (!Neighbours(A.Row, A.Column, B.Row, B.Column)) return false;
  if (A.Rotation != B.Rotation || A.Joined != 1 || B.Joined != 1) return false;
  const TPoint oa = RotatedOrigin(A.Row, A.Column, A.Rotation);
  const TPoint ob = RotatedOrigin(B.Row, B.Column, B.Rotation);
  const int64_t dx = (int64_t{A.X} - oa.X) - (int64_t{B.X} - ob.X);
  const int64_t dy = (int64_t{A.Y} - oa.Y) - (int64_t{B.Y} - ob.Y);
  return std::llabs(dx) <= Magnet && std::llabs(dy) <= Magnet;
}

TPoint TKVJigsawBoardModel::QuarterTurnShift(const TKVBoardPiece& piece) {
  const int before = (piece.Rotation + 3) & 3;
  const int32_t w = piece.RotatedWidth(before), h = piece.RotatedHeight(before);
  // The turn frames' transformation, so that a turn ends where its last frame showed it.
  TAffineTransformation turn;
  turn.Rotate(static_cast<float>(piece.PivotX), static_cast<float>(piece.PivotY), -90.0f);
  turn.Translate(static_cast<float>(w), static_cast<float>(h));
  const TFloatRect bounds =
      turn.GetTransformedBounds(TFloatRect{0, 0, static_cast<float>(w), static_cast<float>(h)});
  // Round to nearest, ties to even (the default rounding mode).
  const auto lx = static_cast<int32_t>(std::nearbyint(static_cast<double>(bounds.Left) - 0.5));
  const auto ly = static_cast<int32_t>(std::nearbyint(static_cast<double>(bounds.Top) - 0.5));
  return TPoint{lx - w, ly - h};
}

int TKVJigsawBoardModel::NeighbourIndices(std::size_t p, std::size_t (&out)[4]) const {
  const int32_t row = FPieces[p].Row, col = FPieces[p].Column;
  int n = 0;
  if (row > 0) out[n++] = Index(row - 1, col);
  if (row + 1 < FRows) out[n++] = Index(row + 1, col);
  if (col > 0) out[n++] = Index(row, col - 1);
  if (col + 1 < FCols) out[n++] = Index(row, col + 1);
  return n;
}

// ---- the group walk

template <class Link, class Enter, class Leave>
void TKVJigsawBoardModel::WalkGroup(std::size_t p, const Link& link, const Enter& enter, const Leave& leave) {
  FWalkStamp.resize(FPieces.size(), 0);
  if (++FWalkGeneration == 0) {
    // The stamps wrapped: none of them may look reached.
    std::fill(FWalkStamp.begin(), FWalkStamp.end(), 0);
    FWalkGeneration = 1;
  }
  FWalkStack.clear();
  const auto reach = [&](std::size_t q) {
    FWalkStamp[q] = FWalkGeneration;
    enter(q);
    TWalkFrame frame{q, {}, 0, 0};
    if (FPieces[q].Joined == 1) frame.Count = NeighbourIndices(q, frame.Next);
    FWalkStack.push_back(frame);
  };
  reach(p);
  while (!FWalkStack.empty()) {
    TWalkFrame& top = FWalkStack.back();
    if (top.At == top.Count) {
      const std::size_t done = top.Piece;
      FWalkStack.pop_back();
      leave(done);
      continue;
    }
    const std::size_t from = top.Piece, q = top.Next[top.At++];
    if (FWalkStamp[q] != FWalkGeneration && link(from, q)) reach(q);
  }
}

template <class Enter> void TKVJigsawBoardModel::WalkAttached(std::size_t p, const Enter& enter) {
  WalkGroup(
      p, [this](std::size_t from, std::size_t to) { return Attached(from, to); }, enter, [](std::size_t) {});
}

// ---- counts

int32_t TKVJigsawBoardModel::GrabbedCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Grabbed; }));
}

int32_t TKVJigsawBoardModel::MarkedCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Marked; }));
}

int32_t TKVJigsawBoardModel::RotatingCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Rotating; }));
}

int32_t TKVJigsawBoardModel::FlyingCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Flying; }));
}

// ---- play

void TKVJigsawBoardModel::ClearAllTransient() {
  for (TKVBoardPiece& piece : FPieces) piece.ClearTransient();
}

void TKVJigsawBoardModel::MoveGrabbed(int64_t dx, int64_t dy) {
  for (TKVBoardPiece& piece : FPieces)
    if (piece.Grabbed) {
      piece.X = Add(piece.X, dx);
      piece.Y = Add(piece.Y, dy);
    }
}

std::optional<TPoint> TKVJigsawBoardModel::Snap(std::size_t p) {
  TKVBoardPiece& P = FPieces[p];
  // Candidates row by row, left to right: above, left, right, below.
  std::size_t candidates[4];
  int n = 0;
  if (P.Row > 0) candidates[n++] = Index(P.Row - 1, P.Column);
  if (P.Column > 0) candidates[n++] = Index(P.Row, P.Column - 1);
  if (P.Column + 1 < FCols) candidates[n++] = Index(P.Row, P.Column + 1);
  if (P.Row + 1 < FRows) candidates[n++] = Index(P.Row + 1, P.Column);
  const TPoint op = RotatedOrigin(P.Row, P.Column, P.Rotation);
  for (int k = 0; k < n; ++k) {
    TKVBoardPiece& Q = FPieces[candidates[k]];
    // A hidden piece is no partner: a piece would jump to a place where nothing is shown.
    if (Q.Rotation != P.Rotation || Q.Flying || Q.Grabbed || !Q.Visible) continue;
    const TPoint oq = RotatedOrigin(Q.Row, Q.Column, Q.Rotation);
    const int64_t ex = int64_t{Q.X} + op.X - oq.X;
    const int64_t ey = int64_t{Q.Y} + op.Y - oq.Y;
    if (std::llabs(P.X - ex) <= Magnet && std::llabs(P.Y - ey) <= Magnet) {
      Q.Joined = 1;
      P.Joined = 1;
      return TPoint{static_cast<int32_t>(ex), static_cast<int32_t>(ey)};
    }
  }
  return std::nullopt;
}

void TKVJigsawBoardModel::Grab(std::size_t p) {
  if (FPieces[p].Grabbed) return;
  WalkGroup(
      p, [this](std::size_t from, std::size_t to) { return !FPieces[to].Grabbed && Attached(from, to); },
      [this](std::size_t q) {
        Raise(q);
        FPieces[q].Grabbed = true;
      },
      [](std::size_t) {});
}

void TKVJigsawBoardModel::MarkGroup(std::size_t p) {
  const auto skip = [this](std::size_t q) { return FPieces[q].Marked || !FPieces[q].Visible; };
  if (skip(p)) return;
  WalkGroup(
      p, [&](std::size_t from, std::size_t to) { return !skip(to) && Attached(from, to); },
      [this](std::size_t q) {
        Raise(q);
        FPieces[q].Marked = true;
      },
      [](std::size_t) {});
}

void TKVJigsawBoardModel::MarkGroupsCentredIn(const TRect& band) {
  // Marking raises pieces: walk the order as it was before.
  const TZPosArray order = FZOrder;
  for (std::size_t i = order.size(); i-- > 0;) {
    const std::size_t p = Index(order[i].Row, order[i].Column);
    const TKVBoardPiece& piece = FPieces[p];
    if (!piece.Visible) continue;
    const int64_t cx = int64_t{piece.X} + piece.DisplayWidth() / 2;
    const int64_t cy = int64_t{piece.Y} + piece.DisplayHeight() / 2;
    if (cx >= band.Left && cx <= band.Right && cy >= band.Top && cy <= band.Bottom) MarkGroup(p);
  }
}

void TKVJigsawBoardModel::MarkAll() {
  ClearAllTransient();
  for (TKVBoardPiece& piece : FPieces) piece.Marked = true;
}

bool TKVJigsawBoardModel::SnapPass() {
  bool result = false;
  // Each snap grabs the piece's new partner, so the grabbed pieces grow and the passes end.
  for (bool snapped = true; snapped;) {
    snapped = false;
    for (std::size_t i = 0; i < FZOrder.size(); ++i) {
      const std::size_t p = ZPiece(i);
      if (!FPieces[p].Grabbed) continue;
      if (const auto place = Snap(p)) {
        FPieces[p].X = place->X;
        FPieces[p].Y = place->Y;
        FPieces[p].Grabbed = false;
        Grab(p);
        result = true;
        snapped = true;
        break;
      }
    }
  }
  for (TKVBoardPiece& piece : FPieces) piece.Grabbed = false;
  return result;
}

void TKVJigsawBoardModel::SettleBoard(int32_t boardWidth, int32_t boardHeight) {
  FHeld.resize(FPieces.size());
  for (std::size_t p = 0; p < FPieces.size(); ++p) {
    FHeld[p] = FPieces[p].Grabbed ? 1 : 0;
    FPieces[p].Grabbed = false;
  }
  // Every restart aligns one piece exactly with a neighbour; pieces that keep pulling each other along
  // (inconsistent neighbours within Magnet) must not hang the game.
  std::size_t restarts = 0;
  const std::size_t maxRestarts = 16 * FPieces.size() + 64;
  for (std::size_t i = 0; i < FZOrder.size();) {
    const std::size_t p = ZPiece(i);
    TKVBoardPiece& P = FPieces[p];
    if (P.Joined == 1) {
      KeepGroupOnBoard(p, boardWidth, boardHeight);
      if (const auto place = Snap(p); place && (place->X != P.X || place->Y != P.Y)) {
        P.X = place->X;
        P.Y = place->Y;
        if (++restarts <= maxRestarts) {
          i = 0;
          continue;
        }
      }
    } else {
      const int32_t halfW = P.Width / 2, halfH = P.Height / 2;
      if (P.X < -halfW) P.X = -halfW;
      if (P.X > boardWidth) P.X = boardWidth - halfW;
      if (P.Y < -halfH) P.Y = -halfH;
      if (P.Y > boardHeight) P.Y = boardHeight - halfH;
    }
    ++i;
  }
  for (std::size_t p = 0; p < FPieces.size(); ++p) FPieces[p].Grabbed = FHeld[p] != 0;
}

void TKVJigsawBoardModel::KeepGroupOnBoard(std::size_t p, int32_t width, int32_t height) {
  if (FPieces[p].Joined != 1) return;
  const int64_t boardWidth = width, boardHeight = height;
  int64_t minX = 2 * boardWidth, minY = 2 * boardHeight, maxX = -65535, maxY = -65535;
  FGroup.clear();
  WalkAttached(p, [this](std::size_t q) { FGroup.push_back(q); });
  for (const std::size_t q : FGroup) {
    const TKVBoardPiece& Q = FPieces[q];
    minX = std::min<int64_t>(minX, Q.X);
    minY = std::min<int64_t>(minY, Q.Y);
    maxX = std::max<int64_t>(maxX, int64_t{Q.X} + Q.Width);
    maxY = std::max<int64_t>(maxY, int64_t{Q.Y} + Q.Height);
  }
  const TKVBoardPiece& P = FPieces[p];
  int64_t dx = 0, dy = 0;
  if (maxY < 0) dy += P.Height - maxY;
  if (maxX < 0) dx += P.Width - maxX;
  if (minX > boardWidth) dx -= minX - boardWidth + P.Width;
  if (minY > boardHeight) dy -= minY - boardHeight + P.Height;
  if (dx == 0 && dy == 0) return;
  for (const std::size_t q : FGroup) {
    FPieces[q].X = Add(FPieces[q].X, dx);
    FPieces[q].Y = Add(FPieces[q].Y, dy);
  }
}

bool TKVJigsawBoardModel::CheckComplete() {
  if (FPieces.empty() || FZOrder.empty()) return false;
  std::size_t reached = 0;
  WalkAttached(ZPiece(0), [&reached](std::size_t) { ++reached; });
  if (reached != FPieces.size() || FWon) return false;
  FWon = true;
  return true;
}

void TKVJigsawBoardModel::StartTurn(std::size_t p, int32_t x, int32_t y) {
  if (FPieces[p].Rotating) return;
  WalkGroup(
      p, [this](std::size_t from, std::size_t to) { return !FPieces[to].Rotating && Attached(from, to); },
      [&](std::size_t q) {
        TKVBoardPiece& Q = FPieces[q];
        Q.Rotating = true;
        Q.PivotX = static_cast<double>(int64_t{x} - Q.X);
        Q.PivotY = static_cast<double>(int64_t{y} - Q.Y);
      },
      // The neighbours are started before the piece's own rotation moves on.
      [this](std::size_t q) {
        TKVBoardPiece& Q = FPieces[q];
        Q.Rotation = static_cast<uint8_t>((Q.Rotation + 1) % 4);
        Raise(q);
      });
}

void TKVJigsawBoardModel::FinishTurn(std::size_t p) {
  // Turning pieces no longer lie attached (their rotations moved on at the start): the group is what still
  // turns.
  WalkGroup(
      p, [this](std::size_t, std::size_t to) { return FPieces[to].Joined == 1 && FPieces[to].Rotating; },
      [this](std::size_t q) {
        TKVBoardPiece& Q = FPieces[q];
        const TPoint shift = QuarterTurnShift(Q);
        Q.X = Add(Q.X, shift.X);
        Q.Y = Add(Q.Y, shift.Y);
        Q.Rotating = false;
        Q.Angle = 0;
      },
      [](std::size_t) {});
}

} // namespace kv
