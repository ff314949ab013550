// The control with a game-session lifecycle: the jigsaw board derives from it. The application prepares and
// starts the layer items that are direct children of its root; the session pauses, resumes and resets them.
#pragma once

#include "gui/uKVGUIImage.h"
#include "gui/uKVGameState.h"
#include "gui/uKVPaintBox.h"

#include <cstdint>

namespace kv {

class TKVAppControlLayerItem : public TKVGUIImage {
public:
  TKVAppControlLayerItem();
  ~TKVAppControlLayerItem() override;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Initialize completed without an error.
  bool Initialized() const { return FInitialized; }
  TGameState State() const { return FState; }
  bool IsPrepared() const { return FPrepared; }

  void InitControl() override;
  void DoneControl() override;
  void DoResize() override;

  // Hooks and lifecycle, in their order. shift holds the modifier keys (ssShift, ssCtrl, ssAlt); x, y
  // are in the item's coordinates.
  virtual void Prepared() {}
  virtual void LayerMouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    (void)button, (void)shift, (void)x, (void)y;
  }
  virtual void LayerMouseUp(TMouseButton button) { (void)button; }
  virtual void LayerMouseMove(TShiftState shift, int32_t x, int32_t y) { (void)shift, (void)x, (void)y; }
  virtual void LayerKeyDown(int32_t key, TShiftState shift) { (void)key, (void)shift; }
  // Run by InitControl; an error it raises is swallowed and leaves the item uninitialised.
  virtual void Initialize() {}
  virtual void Prepare();
  virtual void Start();
  virtual void Reset();
  virtual void Pause();
  virtual void Resume();
  // Also run when the item is destroyed.
  virtual void Shutdown();

protected:
  void SetState(TGameState value) { FState = value; }
  void SetPreparedFlag(bool value) { FPrepared = value; }

private:
  bool FInitialized = false;
  TGameState FState = TGameState::Stopped;
  bool FPrepared = false;
};

} // namespace kv
