#include "gui/uKVGUIAnimatedImage.h"

#include "gui/uKVBitmapCollection.h"
#include "gui/uResamplers.h"

#include <algorithm>

namespace kv {

TKVGUIAnimatedImage::TKVGUIAnimatedImage() : FFrames(std::make_unique<TKVBitmapCollection>()) {
  NewResampler<TKernelResampler>(FCanvas, std::make_unique<TLanczosKernel>());
  // New frames start the animation over at its next paint.
  FFrames->AddChangeListener(this, [this](TKVCustomBitmapCollection&) {
    FTick = 0;
    FCurrentFrame = -1;
    FCanvas.SetSize(0, 0);
    FComposed = false;
    Invalidate();
  });
}

TKVGUIAnimatedImage::~TKVGUIAnimatedImage() {
  FFrames->RemoveChangeListeners(this);
}

const TKVClassInfo& TKVGUIAnimatedImage::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIAnimatedImage", &TKVGUIImage::StaticClassInfo(), {}, {}};
  return info;
}

void TKVGUIAnimatedImage::SetDrawStyle(uint8_t value) {
  if (value == FDrawStyle) return;
  FDrawStyle = value;
  FComposed = false;
  Invalidate();
}

void TKVGUIAnimatedImage::DoResize() {
  TKVGUIImage::DoResize();
  FComposed = false;
}

void TKVGUIAnimatedImage::NextFrame() {
  const int32_t count = FFrames->Count();
  if (!Enabled() || count == 0) return;
  if (FTick == 0) {
    FCanvas.SetSize(FFrames->LogicalWidth(), FFrames->LogicalHeight());
    FCanvas.Clear(Color32(FFrames->BackgroundColor()));
    FComposed = false;
  }
  if (count == 1) {
    if (FTick == 0) {
      FTick = 1;
      const TKVCustomBitmapItem& frame = FFrames->Items()[0];
      FCanvas.Clear(0);
      frame.Bitmap().Draw(FCanvas, frame.Offset.X, frame.Offset.Y);
      FCurrentFrame = 0;
    }
    return;
  }
  ++FTick;
  int32_t remaining = FTick;
  for (int32_t i = 0; i < count; ++i) {
    const TKVCustomBitmapItem& frame = FFrames->Items()[i];
    if (remaining <= frame.Duration) {
      if (i != FCurrentFrame) {
        frame.Bitmap().Draw(FCanvas, frame.Offset.X, frame.Offset.Y);
        FCurrentFrame = i;
        FComposed = false;
      }
      return;
    }
    remaining -= frame.Duration;
  }
  // Past the last frame: the animation starts over.
  FTick = 0;
}

void TKVGUIAnimatedImage::Compose() {
  if (FCanvas.Empty() || FComposed) return;
  FComposed = true;
  TBitmap32& picture = Picture();
  const int32_t pw = picture.Width(), ph = picture.Height();
  const int32_t cw = FCanvas.Width(), ch = FCanvas.Height();
  switch (FDrawStyle) {
  case kvisTopLeft:
    picture.Clear(0xFF7F7F7Fu);
    FCanvas.Draw(picture, 0, 0);
    break;
  case kvisCenter:
    picture.Clear(0xFF7F7F7Fu);
    FCanvas.Draw(picture, (pw - cw) / 2, (ph - ch) / 2);
    break;
  case kvisTile: {
    FTiles.SetSize(cw * (pw / cw + 1), ch * (ph / ch + 1));
    for (int32_t y = 0; y < FTiles.Height(); y += ch)
      for (int32_t x = 0; x < FTiles.Width(); x += cw) {
        // Copies, whatever the canvas's draw mode.
        for (int32_t row = 0; row < ch; ++row)
          std::copy(FCanvas.ScanLine(row), FCanvas.ScanLine(row) + cw, FTiles.ScanLine(y + row) + x);
      }
    FTiles.SetDrawMode(FCanvas.DrawMode());
    FTiles.Draw(picture, 0, 0);
    break;
  }
  case kvisStretch:
    if (!picture.Empty()) FCanvas.DrawStretched(picture, picture.BoundsRect());
    break;
  default:
    break;
  }
}

void TKVGUIAnimatedImage::PaintContent() {
  if (FTick == 0) NextFrame();
  Compose();
  TKVGUIImage::PaintContent();
}

void TKVGUIAnimatedImage::RebuildStretchedCopy() {
  if (FCanvas.Empty()) NextFrame();
  Compose();
  TKVGUIImage::RebuildStretchedCopy();
}

} // namespace kv
