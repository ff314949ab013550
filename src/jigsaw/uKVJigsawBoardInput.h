// The board's mouse handling: picking up (by drag or by click and click again), dropping, Ctrl-click
// marking, the rubber band, and right clicks that turn pieces.
#pragma once

#include "core/uKVTypes.h"
#include "gui/uKVGUIControl.h"
#include "gui/uKVPaintBox.h"
#include "jigsaw/uKVJigsawBoardAnimator.h"
#include "jigsaw/uKVJigsawBoardHost.h"
#include "jigsaw/uKVJigsawBoardModel.h"
#include "jigsaw/uKVJigsawBoardView.h"

#include <cstdint>

namespace kv {

class TKVJigsawBoardInput {
public:
  TKVJigsawBoardInput(TKVJigsawBoardModel& model, TKVJigsawBoardAnimator& animator, TKVJigsawBoardView& view,
                      IKVJigsawBoardHost& host)
      : FModel(model), FAnimator(animator), FView(view), FHost(host) {}

  // True: pieces follow the mouse while the button is held. False: a click picks up, the next one drops.
  bool DragMode = false;
  // Right clicks do not turn pieces.
  bool NoRotation = false;

  uint8_t ClickCount() const { return FClickCount; }
  // The last mouse position the pieces in hand or the rubber band followed.
  int32_t LastX() const { return FLastX; }
  int32_t LastY() const { return FLastY; }
  // The rubber band, corners in drag order; all -1 = none.
  const TRect& Selection() const { return FSelection; }

  // No click counted, no rubber band.
  void Reset();
  // What is in hand was put down by other means.
  void ForgetClicks() { FClickCount = 0; }

  // Board coordinates; shift in the tree's shift set.
  void MouseDown(TMouseButton button, int32_t shift, int32_t x, int32_t y);
  void MouseUp(TMouseButton button);
  void MouseMove(int32_t shift, int32_t x, int32_t y);
  // Puts down the pieces in hand, or ends the rubber band by marking the groups in it.
  void Drop();

private:
  // A right click on piece p.
  void Turn(std::size_t p, int32_t x, int32_t y);

  TKVJigsawBoardModel& FModel;
  TKVJigsawBoardAnimator& FAnimator;
  TKVJigsawBoardView& FView;
  IKVJigsawBoardHost& FHost;

  uint8_t FClickCount = 0;
  int32_t FLastX = 0, FLastY = 0;
  TRect FSelection{-1, -1, -1, -1};
};

} // namespace kv
