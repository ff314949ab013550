#include "gui/uKVAppControlLayer.h"

namespace kv {

TKVAppControlLayerItem::TKVAppControlLayerItem() = default;

TKVAppControlLayerItem::~TKVAppControlLayerItem() = default;

const TKVClassInfo& TKVAppControlLayerItem::StaticClassInfo() {
  static const TKVClassInfo info{"TKVAppControlLayerItem", &TKVGUIImage::StaticClassInfo(), {}, {}};
  return info;
}

void TKVAppControlLayerItem::InitControl() {
  TKVGUIImage::InitControl();
  FState = TGameState::Stopped;
  try {
    Initialize();
    FInitialized = true;
  } catch (...) {
    // A layer that cannot initialise stays in the tree, uninitialised.
    FInitialized = false;
  }
}

void TKVAppControlLayerItem::DoneControl() {
  Shutdown();
  TKVGUIImage::DoneControl();
}

void TKVAppControlLayerItem::DoResize() {
  TKVGUIImage::DoResize();
  Picture().BeginUpdate();
  Picture().SetSize(Width(), Height());
  Picture().EndUpdate();
  Invalidate();
}

void TKVAppControlLayerItem::Prepare() {
  FPrepared = true;
}

void TKVAppControlLayerItem::Start() {
  Reset();
  FState = TGameState::Running;
}

void TKVAppControlLayerItem::Reset() {
  FState = TGameState::Stopped;
}

void TKVAppControlLayerItem::Pause() {
  FState = TGameState::Paused;
}

void TKVAppControlLayerItem::Resume() {
  FState = TGameState::Running;
}

void TKVAppControlLayerItem::Shutdown() {
  FState = TGameState::Stopped;
  FInitialized = false;
}

} // namespace kv
