#include "jigsaw/uKVJigsawBoardInput.h"

#include "jigsaw/uKVJigsawBoardMessages.h"

#include <algorithm>

namespace kv {

namespace {

constexpr TRect NoSelection{-1, -1, -1, -1};

TRect Normalized(const TRect& r) {
  return TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
               std::max(r.Top, r.Bottom)};
}

} // namespace

void TKVJigsawBoardInput::Reset() {
  FClickCount = 0;
  FSelection = NoSelection;
}

void TKVJigsawBoardInput::MouseDown(TMouseButton button, int32_t shift, int32_t x, int32_t y) {
  const bool left = button == mbLeft;
  if (!FHost.Running() || FModel.FlyingCount() > 0) {
    if (!left) FHost.Popup(x, y);
    return;
  }
  if (FModel.RotatingCount() > 0) return;
  // A press while pieces are still in hand in drag mode: their release went astray beyond the board.
  if (DragMode && FModel.GrabbedCount() > 0) Drop();
  if (left) {
    ++FClickCount;
    if (FClickCount % 2 == 0 && !DragMode) {
      Drop();
      FClickCount = 0;
      return;
    }
  }
  const std::optional<std::size_t> hit = FView.HitTest(x, y);
  if (!hit) {
    if (left) {
      // A rubber band starts.
      FSelection = TRect{x, y, x, y};
      FLastX = x;
      FLastY = y;
      FModel.ClearAllTransient();
    } else {
      FHost.Popup(x, y);
    }
    return;
  }
  const std::size_t p = *hit;
  if ((left || DragMode) && FModel.MarkedCount() == 0) FModel.ClearAllTransient();
  TKVBoardPiece& P = FModel.Piece(p);
  if (left) {
    if ((shift & ssCtrl) && !FModel.Won()) {
      P.Marked = !P.Marked;
      FModel.Raise(p);
      FClickCount = 0;
    } else {
      FModel.SetLastPicked(p);
      if (P.Marked) {
        for (TKVBoardPiece& piece : FModel.Pieces())
          if (piece.Marked) piece.Grabbed = true;
      } else {
        FSelection = NoSelection;
        FModel.ClearAllTransient();
        FModel.Grab(p);
      }
      FHost.Notify(TAppCode::PlayOnce, TGameEvent::PickUp);
    }
  } else if (!NoRotation) {
    Turn(p, x, y);
  }
  const int32_t rotating = FModel.RotatingCount();
  if (rotating > 1) {
    FAnimator.TurnTick(false);
  } else if (rotating == 1) {
    FAnimator.TurnTick(true);
  } else if (FModel.GrabbedCount() > 0) {
    FLastX = x;
    FLastY = y;
  }
}

void TKVJigsawBoardInput::Turn(std::size_t p, int32_t x, int32_t y) {
  if (FModel.MarkedCount() > 0) {
    FSelection = NoSelection;
    FModel.ClearAllTransient();
  }
  FAnimator.StartTurn(p, x, y);
  FHost.Notify(TAppCode::PlayOnce, TGameEvent::Turn);
}

void TKVJigsawBoardInput::MouseMove(int32_t, int32_t x, int32_t y) {
  const bool moved = x != FLastX || y != FLastY;
  if (FModel.GrabbedCount() == 0 || FModel.RotatingCount() > 0) {
    if (FSelection.Left != -1 && moved) {
      FLastX = x;
      FLastY = y;
      FSelection.Right = x;
      FSelection.Bottom = y;
    }
  } else if (moved) {
    FModel.MoveGrabbed(int64_t{x} - FLastX, int64_t{y} - FLastY);
    FLastX = x;
    FLastY = y;
  }
}

void TKVJigsawBoardInput::MouseUp(TMouseButton button) {
  if (DragMode && button == mbLeft) Drop();
}

void TKVJigsawBoardInput::Drop() {
  if (FModel.GrabbedCount() == 0) {
    if (FSelection.Left != -1 && FSelection.Top != -1) {
      FModel.ClearAllTransient();
      if (!FModel.Won()) FModel.MarkGroupsCentredIn(Normalized(FSelection));
      FSelection = NoSelection;
    }
  } else {
    const bool snapped = FModel.SnapPass();
    FHost.SettleBoard();
    if (snapped) {
      FHost.Notify(TAppCode::PlayOnce, TGameEvent::Snap);
      FHost.CheckComplete();
    }
    FHost.SettleBoard();
    FClickCount = 0;
  }
  FHost.InvalidateChanges();
}

} // namespace kv
