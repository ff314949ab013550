#include "jigsaw/uKVJigsawBoardView.h"

#include "gui/uKVGraphicEngine.h"

#include <algorithm>

namespace kv {

namespace {

// What a piece's look consists of.
enum : uint8_t {
  lkResting = 1,
  lkMarked = 2,
  lkTurnFrame = 4,
  lkInHand = 8, // the piece and its shadow
  lkFlying = 16
};

TRect Normalized(const TRect& r) {
  return TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
               std::max(r.Top, r.Bottom)};
}

} // namespace

void TKVJigsawBoardView::LoadSprites(std::vector<TKVPieceSprite> sprites) {
  ForgetLooks();
  FSprites = std::move(sprites);
  FShown.assign(FSprites.size(), TLook{});
}

void TKVJigsawBoardView::Clear() {
  ForgetLooks();
  FSprites.clear();
}

bool TKVJigsawBoardView::Showing() const {
  return FControl.IsPrepared() && FControl.State() == TGameState::Running;
}

TPoint TKVJigsawBoardView::Origin() const {
  const TRect screen = FControl.GetScreenRect();
  return TPoint{screen.Left, screen.Top};
}

std::optional<std::size_t> TKVJigsawBoardView::HitTest(int32_t x, int32_t y) {
  for (const TZPos& z : FModel.ZOrder()) {
    const std::size_t p = FModel.Index(z.Row, z.Column);
    const TKVBoardPiece& P = FModel.Piece(p);
    if (!P.Visible) continue;
    const int64_t dx = int64_t{x} - P.X, dy = int64_t{y} - P.Y;
    if (dx < 0 || dy < 0 || dx >= P.DisplayWidth() || dy >= P.DisplayHeight()) continue;
    if (FRenderer.ImagePixel(P, FSprites[p], static_cast<int32_t>(dx), static_cast<int32_t>(dy)) != 0)
      return p;
  }
  return std::nullopt;
}

// ---- change tracking

TRect TKVJigsawBoardView::BandRect(const TRect& selection) const {
  if (!Showing()) return TRect{};
  if (selection.Left == selection.Right || selection.Top == selection.Bottom) return TRect{};
  return Normalized(selection);
}

TKVJigsawBoardView::TLook TKVJigsawBoardView::LookOf(const TKVBoardPiece& piece, bool anyRotating,
                                                     bool anyFlying) const {
  TLook look;
  if (!Showing() || !piece.Visible) return look;
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

void TKVJigsawBoardView::InvalidateBoardRect(const TRect& rect) {
  if (rect.IsEmpty()) return;
  const TPoint o = Origin();
  FControl.InvalidateRect(OffsetRect(rect, o.X, o.Y));
}

void TKVJigsawBoardView::ForgetLooks() {
  for (const TLook& look : FShown) InvalidateBoardRect(look.Bounds);
  FShown.clear();
}

void TKVJigsawBoardView::InvalidateChanges(const TRect& selection) {
  const bool anyRotating = FModel.RotatingCount() > 0;
  const bool anyFlying = FModel.FlyingCount() > 0;
  FShown.resize(FModel.Count());
  for (std::size_t p = 0; p < FModel.Count(); ++p) {
    const TLook look = LookOf(FModel.Piece(p), anyRotating, anyFlying);
    TLook& shown = FShown[p];
    if (look != shown || FModel.Restacked(p)) {
      // The old place shows what lies below now, the new one the piece.
      InvalidateBoardRect(shown.Bounds);
      InvalidateBoardRect(look.Bounds);
      shown = look;
    }
  }
  FModel.ClearRestacked();
  const TRect band = BandRect(selection);
  if (band != FShownBand) {
    InvalidateBoardRect(FShownBand);
    InvalidateBoardRect(band);
    FShownBand = band;
  }
}

// ---- drawing

void TKVJigsawBoardView::Paint(const TRect& selection) {
  if (!Showing() || FModel.Count() == 0) return;
  TKVCustomGraphicEngine& engine = *FControl.Engine();
  if (!engine.GetBuffer()) return;
  const auto update = UpdateScope(engine);
  const TKVPainter painter = engine.Painter();
  const TPoint o = Origin();
  const auto touches = [&](const TRect& r) { return painter.Touches(OffsetRect(r, o.X, o.Y)); };
  FRenderer.ShadowGrey = static_cast<uint8_t>(std::min(255, 30 + 5 * ShadowLevel));
  const std::size_t count = FModel.ZOrder().size();
  // Walks the stacking order from the bottom, drawing the pieces that pass.
  const auto bottomUp = [&](auto&& wanted, auto&& draw) {
    for (std::size_t i = count; i-- > 0;) {
      const std::size_t p = FModel.ZPiece(i);
      const TKVBoardPiece& P = FModel.Piece(p);
      if (P.Visible && wanted(P)) draw(P, FSprites[p]);
    }
  };
  const auto piece = [&](const TKVBoardPiece& P, TKVPieceSprite& sprite) {
    if (touches(P.DisplayRect())) FRenderer.DrawPiece(painter, P, sprite, o);
  };

  // Resting pieces, then marked ones (at half opacity), bottom to top.
  bottomUp([](const TKVBoardPiece& P) { return !P.Grabbed && !P.Rotating && !P.Marked && !P.Flying; }, piece);
  bottomUp([](const TKVBoardPiece& P) { return P.Marked; }, piece);
  // A running turn; otherwise the pieces in hand over their shadows.
  if (FModel.RotatingCount() > 0) {
    for (std::size_t p = 0; p < FModel.Count(); ++p) {
      const TKVBoardPiece& P = FModel.Piece(p);
      if (P.Visible && P.Rotating && touches(TKVJigsawBoardRenderer::TurnFrameRect(P)))
        FRenderer.DrawTurnFrame(painter, P, FSprites[p], o);
    }
  } else {
    bottomUp([](const TKVBoardPiece& P) { return P.Grabbed; },
             [&](const TKVBoardPiece& P, TKVPieceSprite& sprite) {
               if (touches(TKVJigsawBoardRenderer::ShadowRect(P)))
                 FRenderer.DrawShadow(painter, P, sprite, o);
             });
    bottomUp([](const TKVBoardPiece& P) { return P.Grabbed; }, piece);
  }
  // The rubber band, corners in drag order: a red frame with a translucent red fill.
  if (!BandRect(selection).IsEmpty()) engine.DrawBox(OffsetRect(selection, o.X, o.Y), 255, 64);
  // Flying pieces over everything else.
  if (FModel.FlyingCount() > 0) bottomUp([](const TKVBoardPiece& P) { return P.Flying; }, piece);
}

} // namespace kv
