#include "jigsaw/uKVJigsawBoard.h"

#include "data/uKVErrors.h"
#include "gui/uKVGraphicEngine.h"
#include "platform/uDesktop.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace kv {

namespace {

constexpr TRect NoSelection{-1, -1, -1, -1};

// Positions are plain integers that a saved game may set anywhere: sums are taken wide and stored back
// modulo 2^32 rather than overflowing.
int32_t Add(int32_t a, int64_t b) {
  return static_cast<int32_t>(static_cast<int64_t>(a) + b);
}

// What a piece's look consists of.
enum : uint8_t {
  lkResting = 1,
  lkMarked = 2,
  lkTurnFrame = 4,
  lkInHand = 8, // the piece and its shadow
  lkFlying = 16
};

// Ends the engine's update however the paint ends.
struct TUpdateScope {
  TKVCustomGraphicEngine& Engine;
  explicit TUpdateScope(TKVCustomGraphicEngine& engine) : Engine(engine) { Engine.BeginUpdate(); }
  ~TUpdateScope() { Engine.EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;
};

TRect Normalized(const TRect& r) {
  return TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
               std::max(r.Top, r.Bottom)};
}

} // namespace

TKVCustomJigsawBoard::TKVCustomJigsawBoard(TPlatformServices services)
    : FServices(std::move(services)), FTimer(std::make_unique<TKVThreadTimer>(FServices.ThreadTimers)) {}

TKVCustomJigsawBoard::~TKVCustomJigsawBoard() = default;

const TKVClassInfo& TKVCustomJigsawBoard::StaticClassInfo() {
  static const TKVClassInfo info{"TKVCustomJigsawBoard", &TKVAppControlLayerItem::StaticClassInfo(), {}, {}};
  return info;
}

const TKVClassInfo& TKVJigsawBoard::StaticClassInfo() {
  static const TKVClassInfo info{
      "TKVJigsawBoard",
      &TKVCustomJigsawBoard::StaticClassInfo(),
      {},
      {OrdinalProperty<TKVJigsawBoard>(
           "DragMode", TKVPropertyKind::pkEnumeration, {"False", "True"},
           [](const TKVJigsawBoard& b) { return b.DragMode ? 1 : 0; },
           [](TKVJigsawBoard& b, int32_t v) { b.DragMode = v != 0; }),
       IntegerProperty<TKVJigsawBoard>(
           "Magnet", [](const TKVJigsawBoard& b) { return static_cast<int32_t>(b.Magnet); },
           [](TKVJigsawBoard& b, int32_t v) { b.Magnet = static_cast<uint8_t>(std::clamp(v, 0, 255)); })}};
  return info;
}

// ---- lifecycle

void TKVCustomJigsawBoard::InitControl() {
  TKVAppControlLayerItem::InitControl();
  // Unlike a plain image, the board takes part in hit testing.
  Options = kvcoAll;
  Magnet = 6;
  RotationStep = 10;
  FlyStep = 15;
  FSelection = NoSelection;
  FTimer->SetEnabled(false);
}

void TKVCustomJigsawBoard::Prepare() {
  TKVAppControlLayerItem::Prepare();
  ResetZOrder();
  Prepared();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Start() {
  TKVAppControlLayerItem::Start();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Reset() {
  TKVAppControlLayerItem::Reset();
  FTimer->SetEnabled(false);
  FWon = false;
  FClickCount = 0;
  FSelection = NoSelection;
  for (TKVBoardPiece& piece : FPieces) piece.ClearTransient();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Pause() {
  TKVAppControlLayerItem::Pause();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Resume() {
  TKVAppControlLayerItem::Resume();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Shutdown() {
  FTimer->SetEnabled(false);
  TKVAppControlLayerItem::Shutdown();
}

// ---- pieces

void TKVCustomJigsawBoard::LoadPieces(TPieces&& pieces, int32_t cols, int32_t rows) {
  bool fits = cols >= 0 && rows >= 0 && cols <= UINT16_MAX && rows <= UINT16_MAX &&
              pieces.size() == static_cast<std::size_t>(rows);
  for (std::size_t r = 0; fits && r < pieces.size(); ++r)
    fits = pieces[r].size() == static_cast<std::size_t>(cols);
  if (!fits)
    throw Exception("The pieces do not form a grid of " + std::to_string(cols) + " x " +
                    std::to_string(rows));
  ForgetLooks();
  FCols = cols;
  FRows = rows;
  const std::size_t count = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
  FPieces.clear();
  FSprites.clear();
  FPieces.reserve(count);
  FSprites.reserve(count);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      TPiece& source = pieces[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      TKVBoardPiece piece = BoardPieceState(source);
      piece.Column = c;
      piece.Row = r;
      FPieces.push_back(piece);
      FSprites.push_back(TakeSprite(source));
    }
  // The piece last picked up belonged to the previous grid.
  FLastCol = FLastRow = -1;
  FShown.assign(count, TLook{});
  FRestacked.assign(count, 0);
  ResetZOrder();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::ClearPieces() {
  ForgetLooks();
  FPieces.clear();
  FSprites.clear();
  FZOrder.clear();
  FRestacked.clear();
  FCols = FRows = 0;
  FLastCol = FLastRow = -1;
}

TJigsawPieceState TKVCustomJigsawBoard::State(int32_t row, int32_t column) const {
  return BoardPieceSaveState(Piece(row, column));
}

void TKVCustomJigsawBoard::ResetZOrder() {
  FZOrder.clear();
  FZOrder.reserve(FPieces.size());
  for (int32_t c = 0; c < FCols; ++c)
    for (int32_t r = 0; r < FRows; ++r)
      FZOrder.push_back(TZPos{static_cast<uint16_t>(c), static_cast<uint16_t>(r)});
  std::fill(FRestacked.begin(), FRestacked.end(), 1);
}

void TKVCustomJigsawBoard::RaisePiece(int32_t col, int32_t row) {
  if (col < 0 || row < 0 || col >= FCols || row >= FRows) return;
  RaiseIndex(Index(row, col));
  InvalidateChanges();
}

void TKVCustomJigsawBoard::RaiseIndex(std::size_t p) {
  const TZPos entry{static_cast<uint16_t>(FPieces[p].Column), static_cast<uint16_t>(FPieces[p].Row)};
  const auto it = std::find(FZOrder.begin(), FZOrder.end(), entry);
  if (it == FZOrder.end() || it == FZOrder.begin()) return;
  std::rotate(FZOrder.begin(), it, it + 1);
  FRestacked[p] = 1;
}

// ---- geometry

TRect TKVCustomJigsawBoard::SolvedRect(int32_t row, int32_t col) const {
  const TKVBoardPiece& p = Piece(row, col);
  const int64_t left = int64_t{col} * CellWidth - (p.LeftEdge != 0 ? p.LeftSize / 2 : 0);
  const int64_t top = int64_t{row} * CellHeight - (p.TopEdge != 0 ? p.TopSize / 2 : 0);
  return TRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
               Add(static_cast<int32_t>(left), p.Width), Add(static_cast<int32_t>(top), p.Height)};
}

TPoint TKVCustomJigsawBoard::RotatedOrigin(int32_t row, int32_t col, int r) const {
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

bool TKVCustomJigsawBoard::Neighbours(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const {
  return std::abs(rowA - rowB) + std::abs(colA - colB) == 1;
}

bool TKVCustomJigsawBoard::Attached(int32_t rowA, int32_t colA, int32_t rowB, int32_t colB) const {
  if (rowA < 0 || colA < 0 || rowB < 0 || colB < 0 || rowA >= FRows || rowB >= FRows || colA >= FCols ||
      colB >= FCols)
    return false;
  return AttachedIdx(Index(rowA, colA), Index(rowB, colB));
}

bool TKVCustomJigsawBoard::AttachedIdx(std::size_t a, std::size_t b) const {
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

int TKVCustomJigsawBoard::NeighbourIndices(std::size_t p, std::size_t (&out)[4]) const {
  const int32_t row = FPieces[p].Row, col = FPieces[p].Column;
  int n = 0;
  if (row > 0) out[n++] = Index(row - 1, col);
  if (row + 1 < FRows) out[n++] = Index(row + 1, col);
  if (col > 0) out[n++] = Index(row, col - 1);
  if (col + 1 < FCols) out[n++] = Index(row, col + 1);
  return n;
}

const std::vector<std::size_t>& TKVCustomJigsawBoard::GroupOf(std::size_t p) {
  FWalkMark.assign(FPieces.size(), 0);
  FWalkList.clear();
  FWalkList.push_back(p);
  FWalkMark[p] = 1;
  for (std::size_t i = 0; i < FWalkList.size(); ++i) {
    const std::size_t q = FWalkList[i];
    if (FPieces[q].Joined != 1) continue;
    std::size_t nb[4];
    const int n = NeighbourIndices(q, nb);
    for (int k = 0; k < n; ++k)
      if (!FWalkMark[nb[k]] && AttachedIdx(q, nb[k])) {
        FWalkMark[nb[k]] = 1;
        FWalkList.push_back(nb[k]);
      }
  }
  return FWalkList;
}

// ---- counts

int32_t TKVCustomJigsawBoard::GrabbedCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Grabbed; }));
}

int32_t TKVCustomJigsawBoard::MarkedCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Marked; }));
}

int32_t TKVCustomJigsawBoard::RotatingCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Rotating; }));
}

int32_t TKVCustomJigsawBoard::FlyingCount() const {
  return static_cast<int32_t>(
      std::count_if(FPieces.begin(), FPieces.end(), [](auto& p) { return p.Flying; }));
}

void TKVCustomJigsawBoard::ClearAllTransient() {
  for (TKVBoardPiece& piece : FPieces) piece.ClearTransient();
}

// ---- snapping, grabbing, marking

std::optional<TPoint> TKVCustomJigsawBoard::Snap(std::size_t p) {
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

namespace {

// A depth-first walk in the order of a recursive one (a piece, then each neighbour's whole walk in the order
// above, below, left, right), kept on an explicit stack so that long groups do not exhaust the call stack.
struct TWalkFrame {
  std::size_t Piece;
  std::size_t Next[4];
  int Count;
  int At;
};

} // namespace

void TKVCustomJigsawBoard::Grab(std::size_t p) {
  if (FPieces[p].Grabbed) return;
  std::vector<TWalkFrame> stack;
  auto visit = [&](std::size_t q) {
    RaiseIndex(q);
    FPieces[q].Grabbed = true;
    TWalkFrame frame{q, {}, 0, 0};
    if (FPieces[q].Joined == 1) frame.Count = NeighbourIndices(q, frame.Next);
    stack.push_back(frame);
  };
  visit(p);
  while (!stack.empty()) {
    TWalkFrame& top = stack.back();
    if (top.At == top.Count) {
      stack.pop_back();
      continue;
    }
    const std::size_t from = top.Piece, q = top.Next[top.At++];
    if (!FPieces[q].Grabbed && AttachedIdx(from, q)) visit(q);
  }
}

void TKVCustomJigsawBoard::MarkGroup(std::size_t p) {
  const auto skip = [this](std::size_t q) { return FPieces[q].Marked || !FPieces[q].Visible; };
  if (skip(p)) return;
  std::vector<TWalkFrame> stack;
  auto visit = [&](std::size_t q) {
    RaiseIndex(q);
    FPieces[q].Marked = true;
    TWalkFrame frame{q, {}, 0, 0};
    if (FPieces[q].Joined == 1) frame.Count = NeighbourIndices(q, frame.Next);
    stack.push_back(frame);
  };
  visit(p);
  while (!stack.empty()) {
    TWalkFrame& top = stack.back();
    if (top.At == top.Count) {
      stack.pop_back();
      continue;
    }
    const std::size_t from = top.Piece, q = top.Next[top.At++];
    if (!skip(q) && AttachedIdx(from, q)) visit(q);
  }
}

void TKVCustomJigsawBoard::MarkAll() {
  // Marking ends with the win.
  if (!FWon) {
    ClearAllTransient();
    for (TKVBoardPiece& piece : FPieces) piece.Marked = true;
  }
  InvalidateChanges();
}

void TKVCustomJigsawBoard::UnmarkAll() {
  ClearAllTransient();
  InvalidateChanges();
}

// ---- dropping and settling

int32_t TKVCustomJigsawBoard::SnapPass() {
  int32_t result = 0;
  // Each snap grabs the piece's new partner, so the grabbed pieces grow and the passes end.
  for (bool snapped = true; snapped;) {
    snapped = false;
    for (std::size_t i = 0; i < FZOrder.size(); ++i) {
      const std::size_t p = Index(FZOrder[i].Row, FZOrder[i].Column);
      if (!FPieces[p].Grabbed) continue;
      if (const auto place = Snap(p)) {
        FPieces[p].X = place->X;
        FPieces[p].Y = place->Y;
        FPieces[p].Grabbed = false;
        Grab(p);
        result = 1;
        snapped = true;
        break;
      }
    }
  }
  for (TKVBoardPiece& piece : FPieces) piece.Grabbed = false;
  return result;
}

void TKVCustomJigsawBoard::Drop() {
  if (GrabbedCount() == 0) {
    if (FSelection.Left != -1 && FSelection.Top != -1) {
      ClearAllTransient();
      if (!FWon) {
        const TRect band = Normalized(FSelection);
        // Marking raises pieces: walk the order as it was when the band was let go.
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
      FSelection = NoSelection;
    }
  } else {
    const int32_t count = SnapPass();
    SettleBoard();
    if (count > 0) {
      Notify(kvbnPlayOnce, kvbnSnap);
      CheckComplete();
    }
    SettleBoard();
    FClickCount = 0;
  }
  InvalidateChanges();
}

void TKVCustomJigsawBoard::SettleBoard() {
  for (TKVBoardPiece& piece : FPieces) {
    piece.Visited = piece.Grabbed ? 1 : 0;
    piece.Grabbed = false;
  }
  const int32_t boardWidth = Width(), boardHeight = Height();
  // Every restart aligns one piece exactly with a neighbour; pieces that keep pulling each other along
  // (inconsistent neighbours within Magnet) must not hang the game.
  std::size_t restarts = 0;
  const std::size_t maxRestarts = 16 * FPieces.size() + 64;
  for (std::size_t i = 0; i < FZOrder.size();) {
    const std::size_t p = Index(FZOrder[i].Row, FZOrder[i].Column);
    TKVBoardPiece& P = FPieces[p];
    if (P.Joined == 1) {
      KeepGroupOnBoard(p);
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
  for (TKVBoardPiece& piece : FPieces) {
    piece.Grabbed = piece.Visited != 0;
    piece.Visited = 0;
  }
}

void TKVCustomJigsawBoard::KeepGroupOnBoard(std::size_t p) {
  if (FPieces[p].Joined != 1) return;
  const int64_t boardWidth = Width(), boardHeight = Height();
  int64_t minX = 2 * boardWidth, minY = 2 * boardHeight, maxX = -65535, maxY = -65535;
  const std::vector<std::size_t>& group = GroupOf(p);
  for (const std::size_t q : group) {
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
  for (const std::size_t q : group) {
    FPieces[q].X = Add(FPieces[q].X, dx);
    FPieces[q].Y = Add(FPieces[q].Y, dy);
  }
}

void TKVCustomJigsawBoard::CheckComplete() {
  if (FPieces.empty() || FZOrder.empty()) return;
  for (TKVBoardPiece& piece : FPieces) piece.Visited = 0;
  std::vector<std::size_t> stack{Index(FZOrder[0].Row, FZOrder[0].Column)};
  FPieces[stack.back()].Visited = 1;
  std::size_t visited = 1;
  while (!stack.empty()) {
    const std::size_t q = stack.back();
    stack.pop_back();
    if (FPieces[q].Joined != 1) continue;
    std::size_t nb[4];
    const int n = NeighbourIndices(q, nb);
    for (int k = 0; k < n; ++k)
      if (!FPieces[nb[k]].Visited && AttachedIdx(q, nb[k])) {
        FPieces[nb[k]].Visited = 1;
        ++visited;
        stack.push_back(nb[k]);
      }
  }
  for (TKVBoardPiece& piece : FPieces) piece.Visited = 0;
  if (visited != FPieces.size() || FWon) return;
  FWon = true;
  if (OnStopAllSounds) OnStopAllSounds();
  Notify(kvbnPlayRepeating, kvbnWin);
  InvalidateChanges();
  if (OnWin) OnWin(this);
}

// ---- turning

void TKVCustomJigsawBoard::StartTurn(std::size_t p, int32_t x, int32_t y) {
  std::vector<TWalkFrame> stack;
  auto begin = [&](std::size_t q) {
    TKVBoardPiece& Q = FPieces[q];
    if (Q.Rotating) return;
    Q.Rotating = true;
    Q.PivotX = static_cast<double>(int64_t{x} - Q.X);
    Q.PivotY = static_cast<double>(int64_t{y} - Q.Y);
    TWalkFrame frame{q, {}, 0, 0};
    if (Q.Joined == 1) frame.Count = NeighbourIndices(q, frame.Next);
    stack.push_back(frame);
  };
  begin(p);
  while (!stack.empty()) {
    TWalkFrame& top = stack.back();
    if (top.At == top.Count) {
      // The neighbours are started before the piece's own rotation moves on.
      TKVBoardPiece& Q = FPieces[top.Piece];
      Q.Rotation = static_cast<uint8_t>((Q.Rotation + 1) % 4);
      RaiseIndex(top.Piece);
      stack.pop_back();
      continue;
    }
    const std::size_t from = top.Piece, q = top.Next[top.At++];
    if (AttachedIdx(from, q)) begin(q);
  }
}

void TKVCustomJigsawBoard::TurnTick(bool timer) {
  if (RotatingCount() == 0) {
    if (timer) FTimer->SetEnabled(false);
    return;
  }
  for (std::size_t p = 0; p < FPieces.size(); ++p) {
    TKVBoardPiece& P = FPieces[p];
    if (!P.Rotating) continue;
    P.Angle -= RotationStep;
    if (!timer || P.Angle <= -90) FinishTurn(p);
  }
  SettleBoard();
  if (RotatingCount() == 0) FTimer->SetEnabled(false);
  InvalidateChanges();
}

void TKVCustomJigsawBoard::FinishTurn(std::size_t p) {
  std::vector<std::size_t> pending{p};
  bool first = true;
  while (!pending.empty()) {
    const std::size_t q = pending.back();
    pending.pop_back();
    TKVBoardPiece& Q = FPieces[q];
    if (!first && !Q.Rotating) continue;
    first = false;
    const TPoint shift = FRenderer.QuarterTurnShift(Q);
    Q.X = Add(Q.X, shift.X);
    Q.Y = Add(Q.Y, shift.Y);
    Q.Rotating = false;
    Q.Angle = 0;
    if (Q.Joined != 1) continue;
    std::size_t nb[4];
    const int n = NeighbourIndices(q, nb);
    // Pushed in reverse so that they are finished above, below, left, right.
    for (int k = n; k-- > 0;)
      if (FPieces[nb[k]].Joined == 1 && FPieces[nb[k]].Rotating) pending.push_back(nb[k]);
  }
}

// ---- mouse and keys

std::optional<std::size_t> TKVCustomJigsawBoard::HitTestPiece(int32_t x, int32_t y) {
  for (const TZPos& z : FZOrder) {
    const std::size_t p = Index(z.Row, z.Column);
    const TKVBoardPiece& P = FPieces[p];
    if (!P.Visible) continue;
    const int64_t dx = int64_t{x} - P.X, dy = int64_t{y} - P.Y;
    if (dx < 0 || dy < 0 || dx >= P.DisplayWidth() || dy >= P.DisplayHeight()) continue;
    if (FRenderer.ImagePixel(P, FSprites[p], static_cast<int32_t>(dx), static_cast<int32_t>(dy)) != 0)
      return p;
  }
  return std::nullopt;
}

void TKVCustomJigsawBoard::MouseEvent(const TPoint& point, int32_t kind, int32_t shift, int32_t button) {
  const TMouseButton b = button == kvmbLeft ? mbLeft : mbRight;
  switch (kind) {
  case kvmkDown:
    LayerMouseDown(b, shift, point.X, point.Y);
    break;
  case kvmkUp:
    LayerMouseUp(b);
    break;
  case kvmkMove:
    // In drag mode pieces stay in hand only while the button is held; a release beyond the board never
    // reached it.
    if (button == kvmbNone && DragMode && GrabbedCount() > 0) Drop();
    LayerMouseMove(shift, point.X, point.Y);
    break;
  case kvmkEnter:
    MouseEnter();
    break;
  case kvmkLeave:
    MouseLeave();
    break;
  default:
    break;
  }
}

void TKVCustomJigsawBoard::KeyEvent(int32_t key, int32_t kind, int32_t shift) {
  if (kind == kvkkKeyDown) LayerKeyDown(key, shift);
}

void TKVCustomJigsawBoard::LayerMouseDown(TMouseButton button, int32_t shift, int32_t x, int32_t y) {
  const bool left = button == mbLeft;
  if (!Running() || FlyingCount() > 0) {
    if (!left) Popup(x, y);
    return;
  }
  if (RotatingCount() > 0) return;
  // A press while pieces are still in hand in drag mode: their release went astray beyond the board.
  if (DragMode && GrabbedCount() > 0) Drop();
  if (left) {
    ++FClickCount;
    if (FClickCount % 2 == 0 && !DragMode) {
      Drop();
      FClickCount = 0;
      InvalidateChanges();
      return;
    }
  }
  const std::optional<std::size_t> hit = HitTestPiece(x, y);
  if (!hit) {
    if (left) {
      // A rubber band starts.
      FSelection = TRect{x, y, x, y};
      FLastX = x;
      FLastY = y;
      ClearAllTransient();
    } else {
      Popup(x, y);
    }
    InvalidateChanges();
    return;
  }
  const std::size_t p = *hit;
  if ((left || DragMode) && MarkedCount() == 0) ClearAllTransient();
  TKVBoardPiece& P = FPieces[p];
  if (left) {
    if ((shift & kvssCtrl) && !FWon) {
      P.Marked = !P.Marked;
      RaiseIndex(p);
      FClickCount = 0;
    } else {
      FLastCol = P.Column;
      FLastRow = P.Row;
      if (P.Marked) {
        for (TKVBoardPiece& piece : FPieces)
          if (piece.Marked) piece.Grabbed = true;
      } else {
        FSelection = NoSelection;
        ClearAllTransient();
        Grab(p);
      }
      Notify(kvbnPlayOnce, kvbnPickUp);
    }
  } else if (!NoRotation) {
    if (MarkedCount() > 0) {
      FSelection = NoSelection;
      ClearAllTransient();
    }
    StartTurn(p, x, y);
    if (RotatingCount() == 1) StartTimer([this] { TurnTick(true); }, 20);
    Notify(kvbnPlayOnce, kvbnTurn);
  }
  const int32_t rotating = RotatingCount();
  if (rotating > 1) {
    TurnTick(false);
  } else if (rotating == 1) {
    TurnTick(true);
  } else if (GrabbedCount() > 0) {
    FLastX = x;
    FLastY = y;
  }
  InvalidateChanges();
}

void TKVCustomJigsawBoard::LayerMouseMove(int32_t, int32_t x, int32_t y) {
  const bool moved = x != FLastX || y != FLastY;
  if (GrabbedCount() == 0 || RotatingCount() > 0) {
    if (FSelection.Left != -1 && moved) {
      FLastX = x;
      FLastY = y;
      FSelection.Right = x;
      FSelection.Bottom = y;
    }
  } else if (moved) {
    const int64_t dx = int64_t{x} - FLastX, dy = int64_t{y} - FLastY;
    for (TKVBoardPiece& piece : FPieces)
      if (piece.Grabbed) {
        piece.X = Add(piece.X, dx);
        piece.Y = Add(piece.Y, dy);
      }
    FLastX = x;
    FLastY = y;
  }
  InvalidateChanges();
}

void TKVCustomJigsawBoard::LayerMouseUp(TMouseButton button) {
  if (DragMode && button == mbLeft) Drop();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::LayerKeyDown(int32_t key, int32_t) {
  switch (key) {
  case VK_A:
    MarkAll();
    break;
  case VK_D:
    UnmarkAll();
    break;
  case VK_ESCAPE:
    Notify(kvbnClose, VK_ESCAPE);
    break;
  default:
    break;
  }
}

void TKVCustomJigsawBoard::Notify(int32_t p, int32_t q) {
  NotifyApplication(kvmsgApplication, p, q);
}

void TKVCustomJigsawBoard::Popup(int32_t x, int32_t y) {
  TKVCustomGraphicEngine& engine = GraphicEngine();
  IPopupMenu* menu = engine.PopupMenu();
  if (!menu) return;
  const TPoint origin = Origin();
  TPoint at{origin.X + x, origin.Y + y};
  if (const TKVPaintBox* box = engine.PaintBox()) at = box->ClientToScreen(at);
  menu->Popup(at.X, at.Y);
}

// ---- solving aids

int32_t TKVCustomJigsawBoard::RandomBelow(int32_t limit) {
  if (limit <= 0) return 0;
  if (FServices.Random) return FServices.Random(limit);
  return std::uniform_int_distribution<int32_t>(0, limit - 1)(FFallbackRandom);
}

void TKVCustomJigsawBoard::StartTimer(std::function<void()> handler, uint32_t interval) {
  FTimer->OnTimer = std::move(handler);
  FTimer->SetInterval(interval);
  FTimer->SetEnabled(true);
}

void TKVCustomJigsawBoard::SolveOnePiece() {
  if (!Running() || FWon || Busy() || FPieces.empty()) return;
  std::optional<std::size_t> chosen;
  if (FLastCol >= 0 && FLastRow >= 0 && FLastCol < FCols && FLastRow < FRows &&
      FPieces[Index(FLastRow, FLastCol)].Joined != 1)
    chosen = Index(FLastRow, FLastCol);
  if (!chosen) {
    int accepted = 0;
    for (int draw = 1; draw <= 501 && accepted == 0; ++draw) {
      const int32_t col = RandomBelow(FCols);
      const int32_t row = RandomBelow(FRows);
      if (FPieces[Index(row, col)].Joined != 1) {
        accepted = draw;
        chosen = Index(row, col);
      }
    }
    if (accepted == 0 || accepted >= 500) {
      chosen.reset();
      for (std::size_t p = 0; p < FPieces.size(); ++p)
        if (FPieces[p].Joined != 1) chosen = p;
    }
  }
  if (!chosen) return;
  const std::size_t p = *chosen;
  TKVBoardPiece& P = FPieces[p];
  // The last neighbour row by row: below, else right, else left, else above.
  std::optional<std::size_t> neighbour;
  if (P.Row + 1 < FRows)
    neighbour = Index(P.Row + 1, P.Column);
  else if (P.Column + 1 < FCols)
    neighbour = Index(P.Row, P.Column + 1);
  else if (P.Column > 0)
    neighbour = Index(P.Row, P.Column - 1);
  else if (P.Row > 0)
    neighbour = Index(P.Row - 1, P.Column);
  // What is in hand is put down: a flying piece must not follow the mouse afterwards.
  for (TKVBoardPiece& piece : FPieces) piece.Grabbed = false;
  FClickCount = 0;
  P.Rotation = 0;
  if (neighbour) {
    TKVBoardPiece& N = FPieces[*neighbour];
    N.Rotation = 0;
    // Next to N at their exact relative place in the picture.
    const TPoint op = RotatedOrigin(P.Row, P.Column, 0), on = RotatedOrigin(N.Row, N.Column, 0);
    P.TargetX = Add(N.X, int64_t{op.X} - on.X);
    P.TargetY = Add(N.Y, int64_t{op.Y} - on.Y);
  } else {
    // A puzzle of one piece: its place in the assembled picture.
    P.TargetX = P.CorrectX;
    P.TargetY = P.CorrectY;
  }
  StartTimer([this] { FlyTick(); }, 10);
  P.Flying = true;
  RaiseIndex(p);
  if (neighbour) RaiseIndex(*neighbour);
  InvalidateChanges();
}

void TKVCustomJigsawBoard::SolveAll(uint8_t confirm) {
  if (confirm > 1) return;
  if (!Running() || FWon || Busy()) return;
  if (confirm == 1) {
    if (!FServices.Boxes || !FServices.Boxes->AskConfirmation("Solve all pieces?")) return;
    // The answer may have come after the game changed.
    if (!Running() || FWon || Busy()) return;
  }
  for (TKVBoardPiece& piece : FPieces) {
    piece.Grabbed = false;
    piece.Rotation = 0;
    piece.Flying = true;
    piece.TargetX = piece.CorrectX;
    piece.TargetY = piece.CorrectY;
  }
  FClickCount = 0;
  StartTimer([this] { FlyTick(); }, 10);
  InvalidateChanges();
}

void TKVCustomJigsawBoard::FlyTick() {
  if (FlyingCount() == 0) {
    FTimer->SetEnabled(false);
    return;
  }
  const auto step = [this](int32_t value, int32_t target) {
    if (int64_t{target} < int64_t{value} - FlyStep) return Add(value, -int64_t{FlyStep});
    if (int64_t{target} > int64_t{value} + FlyStep) return Add(value, FlyStep);
    return target;
  };
  for (std::size_t p = 0; p < FPieces.size(); ++p) {
    TKVBoardPiece& P = FPieces[p];
    if (!P.Flying) continue;
    P.X = step(P.X, P.TargetX);
    P.Y = step(P.Y, P.TargetY);
    if (Snap(p)) {
      P.Flying = false;
      P.X = P.TargetX;
      P.Y = P.TargetY;
      if (FlyingCount() == 0) Notify(kvbnPlayOnce, kvbnSnap);
    } else if (P.X == P.TargetX && P.Y == P.TargetY) {
      P.Flying = false;
      P.Joined = 1;
      SettleBoard();
    }
  }
  InvalidateChanges();
  if (FlyingCount() == 0) {
    FTimer->SetEnabled(false);
    CheckComplete();
  }
}

// ---- drawing

TPoint TKVCustomJigsawBoard::Origin() const {
  const TRect screen = GetScreenRect();
  return TPoint{screen.Left, screen.Top};
}

TRect TKVCustomJigsawBoard::BandRect() const {
  if (!IsPrepared() || !Running()) return TRect{};
  if (FSelection.Left == FSelection.Right || FSelection.Top == FSelection.Bottom) return TRect{};
  return Normalized(FSelection);
}

TKVCustomJigsawBoard::TLook TKVCustomJigsawBoard::LookOf(const TKVBoardPiece& piece, bool anyRotating,
                                                         bool anyFlying) const {
  TLook look;
  if (!IsPrepared() || !Running() || !piece.Visible) return look;
  const TRect shown = piece.DisplayRect();
  if (!piece.Grabbed && !piece.Rotating && !piece.Marked && !piece.Flying) {
    look.Layers |= lkResting;
    look.Bounds = UnionRect(look.Bounds, shown);
  }
  if (piece.Marked) {
    look.Layers |= lkMarked;
    look.Bounds = UnionRect(look.Bounds, shown);
  }
  if (anyRotating) {
    if (piece.Rotating) {
      look.Layers |= lkTurnFrame;
      look.Bounds = UnionRect(look.Bounds, TKVJigsawBoardRenderer::TurnFrameRect(piece));
      look.Angle = piece.Angle;
      look.PivotX = piece.PivotX;
      look.PivotY = piece.PivotY;
    }
  } else if (piece.Grabbed) {
    look.Layers |= lkInHand;
    look.Bounds = UnionRect(look.Bounds, UnionRect(shown, TKVJigsawBoardRenderer::ShadowRect(piece)));
  }
  if (anyFlying && piece.Flying) {
    look.Layers |= lkFlying;
    look.Bounds = UnionRect(look.Bounds, shown);
  }
  if (look.Layers != 0) {
    look.X = piece.X;
    look.Y = piece.Y;
    look.Rotation = piece.Rotation;
  }
  return look;
}

void TKVCustomJigsawBoard::InvalidateBoardRect(const TRect& rect) {
  if (rect.IsEmpty()) return;
  const TPoint o = Origin();
  InvalidateRect(OffsetRect(rect, o.X, o.Y));
}

void TKVCustomJigsawBoard::ForgetLooks() {
  for (const TLook& look : FShown) InvalidateBoardRect(look.Bounds);
  FShown.clear();
}

void TKVCustomJigsawBoard::InvalidateChanges() {
  const bool anyRotating = RotatingCount() > 0;
  const bool anyFlying = FlyingCount() > 0;
  FShown.resize(FPieces.size());
  FRestacked.resize(FPieces.size(), 1);
  for (std::size_t p = 0; p < FPieces.size(); ++p) {
    const TLook look = LookOf(FPieces[p], anyRotating, anyFlying);
    TLook& shown = FShown[p];
    if (look != shown || FRestacked[p]) {
      // The old place shows what lies below now, the new one the piece.
      InvalidateBoardRect(shown.Bounds);
      InvalidateBoardRect(look.Bounds);
      shown = look;
    }
    FRestacked[p] = 0;
  }
  const TRect band = BandRect();
  if (band != FShownBand) {
    InvalidateBoardRect(FShownBand);
    InvalidateBoardRect(band);
    FShownBand = band;
  }
}

void TKVCustomJigsawBoard::PaintContent() {
  if (!IsPrepared() || !Running() || FPieces.empty()) return;
  TKVCustomGraphicEngine& engine = GraphicEngine();
  if (!engine.GetBuffer()) return;
  TUpdateScope update(engine);
  const TKVPainter painter = engine.Painter();
  const TPoint o = Origin();
  const auto touches = [&](const TRect& r) { return painter.Touches(OffsetRect(r, o.X, o.Y)); };
  FRenderer.ShadowGrey = static_cast<uint8_t>(std::min(255, 30 + 5 * ShadowLevel));

  // Resting pieces, then marked ones (at half opacity), bottom to top.
  for (std::size_t i = FZOrder.size(); i-- > 0;) {
    const std::size_t p = Index(FZOrder[i].Row, FZOrder[i].Column);
    const TKVBoardPiece& P = FPieces[p];
    if (P.Visible && !P.Grabbed && !P.Rotating && !P.Marked && !P.Flying && touches(P.DisplayRect()))
      FRenderer.DrawPiece(painter, P, FSprites[p], o);
  }
  for (std::size_t i = FZOrder.size(); i-- > 0;) {
    const std::size_t p = Index(FZOrder[i].Row, FZOrder[i].Column);
    const TKVBoardPiece& P = FPieces[p];
    if (P.Visible && P.Marked && touches(P.DisplayRect())) FRenderer.DrawPiece(painter, P, FSprites[p], o);
  }
  // A running turn; otherwise the pieces in hand over their shadows.
  if (RotatingCount() > 0) {
    for (std::size_t p = 0; p < FPieces.size(); ++p) {
      const TKVBoardPiece& P = FPieces[p];
      if (P.Visible && P.Rotating && touches(TKVJigsawBoardRenderer::TurnFrameRect(P)))
        FRenderer.DrawTurnFrame(painter, P, FSprites[p], o);
    }
  } else {
    for (std::size_t i = FZOrder.size(); i-- > 0;) {
      const std::size_t p = Index(FZOrder[i].Row, FZOrder[i].Column);
      const TKVBoardPiece& P = FPieces[p];
      if (P.Visible && P.Grabbed && touches(TKVJigsawBoardRenderer::ShadowRect(P)))
        FRenderer.DrawShadow(painter, P, FSprites[p], o);
    }
    for (std::size_t i = FZOrder.size(); i-- > 0;) {
      const std::size_t p = Index(FZOrder[i].Row, FZOrder[i].Column);
      const TKVBoardPiece& P = FPieces[p];
      if (P.Visible && P.Grabbed && touches(P.DisplayRect())) FRenderer.DrawPiece(painter, P, FSprites[p], o);
    }
  }
  // The rubber band, corners in drag order: a red frame with a translucent red fill.
  if (!BandRect().IsEmpty()) engine.DrawBox(OffsetRect(FSelection, o.X, o.Y), 255, 64);
  // Flying pieces over everything else.
  if (FlyingCount() > 0) {
    for (std::size_t i = FZOrder.size(); i-- > 0;) {
      const std::size_t p = Index(FZOrder[i].Row, FZOrder[i].Column);
      const TKVBoardPiece& P = FPieces[p];
      if (P.Visible && P.Flying && touches(P.DisplayRect())) FRenderer.DrawPiece(painter, P, FSprites[p], o);
    }
  }
}

} // namespace kv
