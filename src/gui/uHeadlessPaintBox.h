// A paint box without a window: what it presents is copied into a screen image that tests read, frames run
// when the test says so (or through a dispatcher), and tests deliver mouse and key input by hand.
#pragma once

#include "gui/uKVPaintBox.h"

#include <memory>
#include <vector>

namespace kv {

class IDispatcher;

class THeadlessPaintBox : public TKVPaintBox {
public:
  // With a dispatcher, every frame request posts one RunFrame; without, the test runs Frame itself.
  explicit THeadlessPaintBox(IDispatcher* dispatcher = nullptr);
  ~THeadlessPaintBox() override;

  // Runs the pending frame, if any; true when one ran.
  bool Frame();

  // What the screen shows: the buffer's pixels as of their last presentation. Same size as the buffer.
  const TBitmap32& Screen() const { return FScreen; }

  TPoint ClientToScreen(const TPoint& point) const override {
    return TPoint{point.X + ScreenOrigin.X, point.Y + ScreenOrigin.Y};
  }
  void SetFocus() override { Focused = true; }

  // Where the client area's top-left lies on the screen.
  TPoint ScreenOrigin;
  bool Focused = false;
  // Frames asked for, frames run (with something to present), and the areas of the last presentation.
  int FramesScheduled = 0;
  int FramesPresented = 0;
  std::vector<TRect> LastPresented;

protected:
  void ScheduleFrame() override;
  void Present(std::span<const TRect> areas) override;
  void BoundsChanged() override;

private:
  IDispatcher* FDispatcher;
  std::shared_ptr<THeadlessPaintBox*> FAlive;
  TBitmap32 FScreen;
};

} // namespace kv
