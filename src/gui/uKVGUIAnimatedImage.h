// An image whose picture is composed from the frames of a bitmap collection (a wallpaper, the ghost image):
// the current frame on a canvas of the collection's size, placed on the picture by the draw style.
#pragma once

#include "gui/uKVGUIImage.h"

#include <cstdint>
#include <memory>

namespace kv {

class TKVBitmapCollection;

// Draw styles.
inline constexpr uint8_t kvisTopLeft = 0;
inline constexpr uint8_t kvisCenter = 1;
inline constexpr uint8_t kvisTile = 2;
inline constexpr uint8_t kvisStretch = 3;

class TKVGUIAnimatedImage : public TKVGUIImage {
public:
  TKVGUIAnimatedImage();
  ~TKVGUIAnimatedImage() override;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TKVBitmapCollection& Frames() { return *FFrames; }
  TBitmap32& Canvas() { return FCanvas; }
  uint8_t DrawStyle() const { return FDrawStyle; }
  void SetDrawStyle(uint8_t value);
  int32_t TickCount() const { return FTick; }
  int32_t CurrentFrame() const { return FCurrentFrame; }

  void DoResize() override;
  void PaintContent() override;
  void RebuildStretchedCopy() override;
  virtual void NextFrame();

private:
  // The canvas onto the picture by the draw style; only when the canvas, the size or the style changed
  // since the last composition.
  void Compose();

  std::unique_ptr<TKVBitmapCollection> FFrames;
  TBitmap32 FCanvas;
  int32_t FTick = 0;
  int32_t FCurrentFrame = -1;
  uint8_t FDrawStyle = kvisTopLeft;
  bool FComposed = false;
  TBitmap32 FTiles;
};

} // namespace kv
