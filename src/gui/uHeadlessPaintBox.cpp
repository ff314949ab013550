#include "gui/uHeadlessPaintBox.h"

#include "platform/uDispatcher.h"

#include <algorithm>

namespace kv {

THeadlessPaintBox::THeadlessPaintBox(IDispatcher* dispatcher)
    : FDispatcher(dispatcher), FAlive(std::make_shared<THeadlessPaintBox*>(this)) {}

THeadlessPaintBox::~THeadlessPaintBox() = default;

bool THeadlessPaintBox::Frame() {
  if (!FramePending()) return false;
  RunFrame();
  return true;
}

void THeadlessPaintBox::ScheduleFrame() {
  ++FramesScheduled;
  if (!FDispatcher) return;
  // The task may outlive the box: it runs only while the box exists.
  std::weak_ptr<THeadlessPaintBox*> alive = FAlive;
  FDispatcher->Post([alive] {
    if (auto box = alive.lock()) (*box)->RunFrame();
  });
}

void THeadlessPaintBox::Present(std::span<const TRect> areas) {
  ++FramesPresented;
  LastPresented.assign(areas.begin(), areas.end());
  const TBitmap32& buffer = Buffer();
  for (const TRect& a : areas) {
    const TRect r = IntersectRect(a, buffer.BoundsRect());
    for (int y = r.Top; y < r.Bottom; ++y)
      std::copy(buffer.ScanLine(y) + r.Left, buffer.ScanLine(y) + r.Right, FScreen.ScanLine(y) + r.Left);
  }
}

void THeadlessPaintBox::BoundsChanged() {
  FScreen.SetSize(Width(), Height());
}

} // namespace kv
