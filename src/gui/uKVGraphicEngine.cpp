#include "gui/uKVGraphicEngine.h"

#include "gui/uKVGUIControl.h"
#include "gui/uKVSkinEngine.h"
#include "gui/uResamplers.h"

#include <algorithm>

namespace kv {

// ---- TKVCustomGraphicEngine

TKVCustomGraphicEngine::TKVCustomGraphicEngine(TKVCustomGamesSkin& skin) : FSkin(&skin) {}

TKVCustomGraphicEngine::~TKVCustomGraphicEngine() = default;

void TKVCustomGraphicEngine::SetPopupMenu(IPopupMenu* menu) {
  FPopupMenu = menu;
}

bool TKVCustomGraphicEngine::CanPaint(int32_t) {
  return true;
}

bool TKVCustomGraphicEngine::LoadBitmap(const TBitmap32& picture) {
  FMeasure.Assign(picture);
  FMeasure.SetDrawMode(dmBlend);
  return true;
}

void TKVCustomGraphicEngine::DrawText(int32_t x, int32_t y, TColor color, const std::string& text) {
  FMeasure.RenderText(x, y, text, Color32(color));
}

void TKVCustomGraphicEngine::BeginUpdate() {
  ++FUpdateCount;
}

void TKVCustomGraphicEngine::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  if (FUpdateCount == 0) Invalidate();
}

int32_t TKVCustomGraphicEngine::TextWidth(const std::string& text) {
  return FMeasure.TextWidth(text);
}

int32_t TKVCustomGraphicEngine::TextHeight(const std::string& text) {
  return FMeasure.TextHeight(text);
}

TKVCustomGraphicEngine::TClipScope::TClipScope(TKVCustomGraphicEngine& engine, const TRect& rect)
    : FEngine(engine), FSaved(engine.StoredClip()) {
  FEngine.SetClip(IntersectRect(engine.ClipRect(), rect));
}

TKVCustomGraphicEngine::TClipScope::~TClipScope() {
  FEngine.SetClip(FSaved);
}

// ---- MakeShadow

void MakeShadow(const TBitmap32& source, TBitmap32& dest, int32_t offset, TColor32 key) {
  const int32_t d = std::max(offset, 0);
  dest.SetSize(source.Width() + d, source.Height() + d);
  dest.SetDrawMode(dmOpaque);
  dest.Clear(key);
  source.Draw(dest, 0, 0);
  dest.ClearKeyColor(key);
  const int32_t w = dest.Width();
  const int32_t h = dest.Height();
  // Half-transparent black where an opaque pixel's offset partner is clear.
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      if (AlphaComponent(dest.PixelAt(x, y)) != 255) continue;
      const int32_t sx = x + d, sy = y + d;
      if (sx < w && sy < h && AlphaComponent(dest.PixelAt(sx, sy)) == 0) dest.SetPixel(sx, sy, 0x7F000000u);
    }
  dest.SetDrawMode(dmBlend);
  // Softening in place: a pixel without colour takes the mean alpha of its eight neighbours as they are now.
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      if ((dest.PixelAt(x, y) & 0x00FFFFFFu) != 0) continue;
      int32_t sum = 0;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) continue;
          const int32_t nx = x + dx, ny = y + dy;
          if (nx >= 0 && ny >= 0 && nx < w && ny < h) sum += AlphaComponent(dest.PixelAt(nx, ny));
        }
      // Round to nearest, ties to even.
      int32_t a = sum / 9;
      const int32_t rest = sum % 9;
      if (rest * 2 > 9 || (rest * 2 == 9 && (a & 1))) ++a;
      dest.SetPixel(x, y, SetAlpha(0x00606060u, a));
    }
}

// ---- TKVGR32GraphicEngine

TKVGR32GraphicEngine::TKVGR32GraphicEngine(TKVCustomGamesSkin& skin) : TKVCustomGraphicEngine(skin) {}

TKVGR32GraphicEngine::~TKVGR32GraphicEngine() = default;

int32_t TKVGR32GraphicEngine::GetWidth() const {
  return FPaintBox ? FPaintBox->Width() : 0;
}

int32_t TKVGR32GraphicEngine::GetHeight() const {
  return FPaintBox ? FPaintBox->Height() : 0;
}

int32_t TKVGR32GraphicEngine::GetLeft() const {
  return FPaintBox ? FPaintBox->Left() : 0;
}

int32_t TKVGR32GraphicEngine::GetTop() const {
  return FPaintBox ? FPaintBox->Top() : 0;
}

TAlign TKVGR32GraphicEngine::GetAlign() const {
  return FPaintBox ? FPaintBox->Align() : alNone;
}

void TKVGR32GraphicEngine::SetAlign(TAlign value) {
  if (FPaintBox) FPaintBox->SetAlign(value);
}

void TKVGR32GraphicEngine::SetPopupMenu(IPopupMenu* menu) {
  TKVCustomGraphicEngine::SetPopupMenu(menu);
  if (FPaintBox) FPaintBox->PopupMenu = menu;
}

int32_t TKVGR32GraphicEngine::GetClientHeight() const {
  return FPaintBox ? FPaintBox->ClientHeight() : 0;
}

int32_t TKVGR32GraphicEngine::GetClientWidth() const {
  return FPaintBox ? FPaintBox->ClientWidth() : 0;
}

void TKVGR32GraphicEngine::SetClientHeight(int32_t value) {
  if (FPaintBox) FPaintBox->SetSize(FPaintBox->Width(), value);
}

void TKVGR32GraphicEngine::SetClientWidth(int32_t value) {
  if (FPaintBox) FPaintBox->SetSize(value, FPaintBox->Height());
}

void TKVGR32GraphicEngine::Invalidate() {
  // A frame shows what it painted itself.
  if (FPaintBox && !FPaintBox->InFrame()) FPaintBox->MarkAllChanged();
}

void TKVGR32GraphicEngine::CreateSurface(std::unique_ptr<TKVPaintBox> surface) {
  if (FPaintBox || !surface) return;
  FPaintBox = std::move(surface);
  NewResampler<TLinearResampler>(FPaintBox->Buffer());
  FPaintBox->PopupMenu = PopupMenu();
  FPaintBox->SetFrameHandler([this](std::span<const TRect> areas) { PaintFrame(areas); });
}

void TKVGR32GraphicEngine::DestroySurface() {
  FPaintBox.reset();
}

void TKVGR32GraphicEngine::SetSize(int32_t width, int32_t height) {
  if (!FPaintBox) return;
  if (FPaintBox->Width() == width && FPaintBox->Height() == height) return;
  TBitmap32& measure = MeasuringSurface();
  measure.SetSize(width, height);
  measure.Clear(0);
  FPaintBox->SetSize(width, height);
  TBitmap32& buffer = FPaintBox->Buffer();
  buffer.SetDrawMode(dmBlend);
  buffer.FillRect(0, 0, buffer.Width(), buffer.Height(), Color32(clAppWorkSpace));
}

void TKVGR32GraphicEngine::SetPosition(int32_t left, int32_t top) {
  if (FPaintBox) FPaintBox->SetPosition(left, top);
}

void TKVGR32GraphicEngine::Clear(TColor color) {
  if (!FPaintBox) return;
  FPaintBox->Color = color;
  Painter().FillRect(FPaintBox->Buffer().BoundsRect(), Color32(clBtnFace));
  DrawnOutsideFrame();
}

void TKVGR32GraphicEngine::DrawSkinFrame(const TRect& rect, const std::string& skinName, bool shadow) {
  if (!FPaintBox) return;
  if (!shadow) {
    Skin().DrawFrame(Painter(), rect, skinName);
  } else {
    if (rect.IsEmpty()) return;
    FFrameSurface.SetSize(rect.Width(), rect.Height());
    FFrameSurface.Clear(0);
    Skin().DrawFrame(TKVPainter(FFrameSurface), TRect{0, 0, rect.Width(), rect.Height()}, skinName);
    MakeShadow(FFrameSurface, FShadowSurface, 4, 0);
    Painter().Draw(FShadowSurface, rect.Left, rect.Top);
  }
  DrawnOutsideFrame();
}

void TKVGR32GraphicEngine::DrawSkinPart(const TRect& rect, const std::string& skinName, int32_t index) {
  if (!FPaintBox) return;
  Skin().DrawPart(Painter(), rect, index, skinName);
  DrawnOutsideFrame();
}

void TKVGR32GraphicEngine::DrawText(int32_t x, int32_t y, TColor color, const std::string& text) {
  if (!FPaintBox) return;
  TBitmap32& buffer = FPaintBox->Buffer();
  Painter().RenderText(x, y, text, Color32(color), buffer.Font());
  DrawnOutsideFrame();
}

void TKVGR32GraphicEngine::DrawBitmap(const TRect& dstRect, const TRect& srcRect, const TBitmap32& bitmap) {
  if (!FPaintBox || dstRect.IsEmpty() || srcRect.IsEmpty()) return;
  const TRect inside = IntersectRect(srcRect, bitmap.BoundsRect());
  if (inside == srcRect) {
    Painter().DrawStretched(bitmap, dstRect, srcRect);
  } else if (srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height()) {
    // One to one: the part of the source that exists, at its place.
    if (inside.IsEmpty()) return;
    const TRect dst = OffsetRect(inside, dstRect.Left - srcRect.Left, dstRect.Top - srcRect.Top);
    Painter().DrawStretched(bitmap, dst, inside);
  } else {
    // A stretch from outside the source has no defined pixels: nothing is drawn.
    return;
  }
  DrawnOutsideFrame();
}

void TKVGR32GraphicEngine::DrawBox(const TRect& corners, TColor color, uint8_t alpha) {
  if (!FPaintBox) return;
  // Corners may come in drag order (a rubber band pulled up or left).
  const TRect rect{std::min(corners.Left, corners.Right), std::min(corners.Top, corners.Bottom),
                   std::max(corners.Left, corners.Right), std::max(corners.Top, corners.Bottom)};
  const TKVPainter painter = Painter();
  const TColor32 c = Color32(color);
  painter.FrameRect(rect, c);
  const TRect inner{rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1};
  if (alpha == 255)
    painter.FillRect(inner, c);
  else
    painter.FillRectBlend(inner, SetAlpha(c, alpha));
  DrawnOutsideFrame();
}

void TKVGR32GraphicEngine::BeginUpdate() {
  TKVCustomGraphicEngine::BeginUpdate();
  if (FPaintBox) FPaintBox->Buffer().BeginUpdate();
}

void TKVGR32GraphicEngine::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  if (FUpdateCount == 0) Invalidate();
  if (FPaintBox && FPaintBox->Buffer().UpdateCount() > 0) FPaintBox->Buffer().EndUpdate();
  if (FUpdateCount == 0) Invalidate();
}

TBitmap32* TKVGR32GraphicEngine::GetBuffer(TBitmap32* def) {
  return FPaintBox ? &FPaintBox->Buffer() : def;
}

TRect TKVGR32GraphicEngine::ClipRect() const {
  return FPaintBox ? IntersectRect(FClip, FPaintBox->Buffer().BoundsRect()) : TRect{};
}

TKVPainter TKVGR32GraphicEngine::Painter() {
  if (!FPaintBox) return TKVPainter(MeasuringSurface(), TRect{});
  return TKVPainter(FPaintBox->Buffer(), ClipRect());
}

void TKVGR32GraphicEngine::InvalidateRect(TKVGUIControl& root, const TRect& rect) {
  if (std::find(FRoots.begin(), FRoots.end(), &root) == FRoots.end()) FRoots.push_back(&root);
  if (!FPaintBox) return;
  if (FullRepaint)
    FPaintBox->InvalidateAll();
  else
    FPaintBox->InvalidateRect(rect);
}

void TKVGR32GraphicEngine::ForgetRoot(const TKVGUIControl& root) {
  std::erase(FRoots, &root);
}

void TKVGR32GraphicEngine::RepaintNow() {
  if (!FPaintBox) return;
  FPaintBox->InvalidateAll();
  FPaintBox->RunFrame();
}

void TKVGR32GraphicEngine::DrawnOutsideFrame() {
  if (FPaintBox && FUpdateCount == 0 && !FPaintBox->InFrame()) FPaintBox->MarkChanged(ClipRect());
}

void TKVGR32GraphicEngine::PaintFrame(std::span<const TRect> areas) {
  TBitmap32& buffer = FPaintBox->Buffer();
  const TColor32 background = Color32(FPaintBox->Color);
  const auto update = UpdateScope(*this);
  // Declared after the update, so that the clip is back before the update ends.
  const TScopeExit restoreClip([this, saved = FClip] { FClip = saved; });
  for (const TRect& area : areas) {
    FClip = IntersectRect(area, buffer.BoundsRect());
    if (FClip.IsEmpty()) continue;
    // The background colour shows only where no control covers the area (a wallpaper usually does).
    const bool hidden = std::any_of(FRoots.begin(), FRoots.end(), [this](const TKVGUIControl* root) {
      return root->Visible() && root->HidesArea(FClip);
    });
    if (!hidden) buffer.FillRect(FClip.Left, FClip.Top, FClip.Right, FClip.Bottom, background);
    // A root may go away while another paints; walk by index.
    for (std::size_t i = 0; i < FRoots.size(); ++i)
      if (FRoots[i]->Visible()) FRoots[i]->Paint(TPoint{0, 0});
  }
  ++FFramesPainted;
}

} // namespace kv
