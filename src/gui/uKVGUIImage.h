// An image control: its picture, or a copy of the picture stretched to the control, drawn at its place. Not
// hit-testable until options say otherwise.
#pragma once

#include "gui/uKVGUIGraphicControl.h"

namespace kv {

class TKVGUIImage : public TKVGUIGraphicControl {
public:
  TKVGUIImage();

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  bool UseStretchedCopy() const { return FUseStretchedCopy; }
  // Rebuilds the copy when switched on.
  void SetUseStretchedCopy(bool value);
  bool Stretch() const { return FStretch; }
  void SetStretch(bool value);
  void SetPictureAlpha(int32_t alpha);
  TBitmap32& StretchedCopy() { return FStretchedCopy; }
  // The surface painted: the stretched copy when UseStretchedCopy, else the picture.
  const TBitmap32& ShownSurface() const { return FUseStretchedCopy ? FStretchedCopy : Picture(); }

  void InitControl() override;
  void DoResize() override;
  void PaintContent() override;
  TRect GetSourceRect() const override;
  // A surface drawn by copy covers the pixels it is drawn on.
  bool PaintsOpaquely(const TRect& area) const override;
  virtual void RebuildStretchedCopy();

private:
  TBitmap32 FStretchedCopy;
  bool FUseStretchedCopy = false;
  bool FStretch = false;
};

} // namespace kv
