#include "jigsaw/uKVJigsawBoardAnimator.h"

#include "jigsaw/uKVJigsawBoardMessages.h"

#include <utility>

namespace kv {

namespace {

int32_t Add(int32_t a, int64_t b) {
  return static_cast<int32_t>(static_cast<int64_t>(a) + b);
}

} // namespace

TKVJigsawBoardAnimator::TKVJigsawBoardAnimator(TKVJigsawBoardModel& model, IKVJigsawBoardHost& host,
                                               const TPlatformServices& services)
    : FModel(model), FHost(host), FRandom(services.Random),
      FTimer(std::make_unique<TKVThreadTimer>(services.ThreadTimers)) {}

TKVJigsawBoardAnimator::~TKVJigsawBoardAnimator() = default;

int32_t TKVJigsawBoardAnimator::RandomBelow(int32_t limit) {
  if (limit <= 0) return 0;
  if (FRandom) return FRandom->RandomBelow(limit);
  return std::uniform_int_distribution<int32_t>(0, limit - 1)(FFallbackRandom);
}

void TKVJigsawBoardAnimator::StartTimer(std::function<void()> handler, uint32_t interval) {
  FTimer->OnTimer = std::move(handler);
  FTimer->SetInterval(interval);
  FTimer->SetEnabled(true);
}

// ---- turns

void TKVJigsawBoardAnimator::StartTurn(std::size_t p, int32_t x, int32_t y) {
  FModel.StartTurn(p, x, y);
  if (FModel.RotatingCount() == 1) StartTimer([this] { TurnTick(true); }, 20);
}

void TKVJigsawBoardAnimator::TurnTick(bool timer) {
  if (FModel.RotatingCount() == 0) {
    if (timer) Stop();
    return;
  }
  for (std::size_t p = 0; p < FModel.Count(); ++p) {
    TKVBoardPiece& P = FModel.Piece(p);
    if (!P.Rotating) continue;
    P.Angle -= RotationStep;
    if (!timer || P.Angle <= -90) FModel.FinishTurn(p);
  }
  FHost.SettleBoard();
  if (FModel.RotatingCount() == 0) Stop();
  FHost.InvalidateChanges();
}

// ---- solving aids

std::optional<std::size_t> TKVJigsawBoardAnimator::ChooseLoosePiece() {
  const int32_t cols = FModel.Cols(), rows = FModel.Rows();
  if (FModel.Contains(FModel.LastRow(), FModel.LastCol()) &&
      FModel.Piece(FModel.Index(FModel.LastRow(), FModel.LastCol())).Joined != 1)
    return FModel.Index(FModel.LastRow(), FModel.LastCol());
  std::optional<std::size_t> chosen;
  int accepted = 0;
  for (int draw = 1; draw <= 501 && accepted == 0; ++draw) {
    const int32_t col = RandomBelow(cols);
    const int32_t row = RandomBelow(rows);
    if (FModel.Piece(FModel.Index(row, col)).Joined != 1) {
      accepted = draw;
      chosen = FModel.Index(row, col);
    }
  }
  if (accepted == 0 || accepted >= 500) {
    chosen.reset();
    for (std::size_t p = 0; p < FModel.Count(); ++p)
      if (FModel.Piece(p).Joined != 1) chosen = p;
  }
  return chosen;
}

bool TKVJigsawBoardAnimator::SolveOnePiece() {
  if (FModel.Count() == 0) return false;
  const std::optional<std::size_t> chosen = ChooseLoosePiece();
  if (!chosen) return false;
  const std::size_t p = *chosen;
  TKVBoardPiece& P = FModel.Piece(p);
  // The last neighbour row by row: below, else right, else left, else above.
  std::optional<std::size_t> neighbour;
  if (P.Row + 1 < FModel.Rows())
    neighbour = FModel.Index(P.Row + 1, P.Column);
  else if (P.Column + 1 < FModel.Cols())
    neighbour = FModel.Index(P.Row, P.Column + 1);
  else if (P.Column > 0)
    neighbour = FModel.Index(P.Row, P.Column - 1);
  else if (P.Row > 0)
    neighbour = FModel.Index(P.Row - 1, P.Column);
  // What is in hand is put down: a flying piece must not follow the mouse afterwards.
  for (TKVBoardPiece& piece : FModel.Pieces()) piece.Grabbed = false;
  P.Rotation = 0;
  if (neighbour) {
    TKVBoardPiece& N = FModel.Piece(*neighbour);
    N.Rotation = 0;
    // Next to N at their exact relative place in the picture.
    const TPoint op = FModel.RotatedOrigin(P.Row, P.Column, 0), on = FModel.RotatedOrigin(N.Row, N.Column, 0);
    P.TargetX = Add(N.X, int64_t{op.X} - on.X);
    P.TargetY = Add(N.Y, int64_t{op.Y} - on.Y);
  } else {
    // A puzzle of one piece: its place in the assembled picture.
    P.TargetX = P.CorrectX;
    P.TargetY = P.CorrectY;
  }
  StartTimer([this] { FlyTick(); }, 10);
  P.Flying = true;
  FModel.Raise(p);
  if (neighbour) FModel.Raise(*neighbour);
  return true;
}

void TKVJigsawBoardAnimator::SolveAll() {
  for (TKVBoardPiece& piece : FModel.Pieces()) {
    piece.Grabbed = false;
    piece.Rotation = 0;
    piece.Flying = true;
    piece.TargetX = piece.CorrectX;
    piece.TargetY = piece.CorrectY;
  }
  StartTimer([this] { FlyTick(); }, 10);
}

void TKVJigsawBoardAnimator::FlyTick() {
  if (FModel.FlyingCount() == 0) {
    Stop();
    return;
  }
  const auto step = [this](int32_t value, int32_t target) {
    if (int64_t{target} < int64_t{value} - FlyStep) return Add(value, -int64_t{FlyStep});
    if (int64_t{target} > int64_t{value} + FlyStep) return Add(value, FlyStep);
    return target;
  };
  for (std::size_t p = 0; p < FModel.Count(); ++p) {
    TKVBoardPiece& P = FModel.Piece(p);
    if (!P.Flying) continue;
    P.X = step(P.X, P.TargetX);
    P.Y = step(P.Y, P.TargetY);
    if (FModel.Snap(p)) {
      P.Flying = false;
      P.X = P.TargetX;
      P.Y = P.TargetY;
      if (FModel.FlyingCount() == 0) FHost.Notify(TAppCode::PlayOnce, TGameEvent::Snap);
    } else if (P.X == P.TargetX && P.Y == P.TargetY) {
      P.Flying = false;
      P.Joined = 1;
      FHost.SettleBoard();
    }
  }
  FHost.InvalidateChanges();
  if (FModel.FlyingCount() == 0) {
    Stop();
    FHost.CheckComplete();
  }
}

} // namespace kv
