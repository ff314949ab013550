// The auto-hiding toolbar's timing: the toolbar shows once the pointer has rested in a band at the top of the
// playing area for a while, and hides a while after the pointer left the band. The owner feeds pointer moves
// and the 10 ms ticks and shows or hides its toolbar when told; nothing here draws.
#pragma once

#include <cstdint>
#include <functional>

namespace kv {

// The band at the top of the playing area, and the ticks the pointer rests in it (or away from it) before the
// toolbar shows (or hides).
inline constexpr int32_t kvToolbarBand = 32;
inline constexpr int32_t kvToolbarDelay = 50;

class TKVAutoHideToolbar {
public:
  // Called when the show (hide) counter runs out; each only when set.
  std::function<void()> OnShow;
  std::function<void()> OnHide;

  // A pointer move at height y in the playing area.
  void PointerMoved(int32_t y);
  // One tick of the games application's 10 ms tick.
  void Tick();

  // Ticks left until the toolbar shows or hides; 0 = not running.
  int32_t ToolbarShowDelay() const { return FShowDelay; }
  int32_t ToolbarHideDelay() const { return FHideDelay; }
  // The toolbar is out; already true while the show counter runs.
  bool ToolbarShown() const { return FShown; }
  void SetToolbarShown(bool value) { FShown = value; }

private:
  int32_t FShowDelay = 0;
  int32_t FHideDelay = 0;
  bool FShown = false;
};

} // namespace kv
