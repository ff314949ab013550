// Cycles through the banners of one container on a message-loop timer, and the list that owns the switchers
// of the current window layout.
#pragma once

#include "data/uBanners.h"
#include "platform/uTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kv {

class TBannerSwitcher {
public:
  // Throws std::invalid_argument without a timer.
  explicit TBannerSwitcher(std::unique_ptr<TTimer> timer);
  TBannerSwitcher(const TBannerSwitcher&) = delete;
  TBannerSwitcher& operator=(const TBannerSwitcher&) = delete;

  // The container it cycles through; not owned.
  TBannerContainer* Banners = nullptr;
  // The picture control that shows the current banner; belongs to the window layer, not owned.
  void* Image = nullptr;
  // Called whenever another banner is due to be shown (also for the first one).
  std::function<void(TBannerSwitcher& sender)> OnSwitchBanner;

  int32_t BannerIndex() const { return Index; }
  // The banner at BannerIndex, or none.
  TBanner* CurrentBanner() const { return Banners ? Banners->Item(Index) : nullptr; }
  const TTimer& Timer() const { return *Clock; }

  // Shows the first banner and starts cycling; a container with one banner shows it and never switches.
  void Start();
  void Stop() { Clock->Stop(); }

private:
  void TimerTick();
  // Arms the timer for the banner at Index, announces it, and starts the timer.
  void Show();

  std::unique_ptr<TTimer> Clock;
  int32_t Index = 0;
};

class TBannerSwitcherManager {
public:
  // Switchers are created with timers from this factory; Add throws std::invalid_argument when it is empty
  // (an empty manager is only a placeholder until the layout is known).
  TBannerSwitcherManager() = default;
  explicit TBannerSwitcherManager(TTimerFactory factory) : Factory(std::move(factory)) {}

  TBannerSwitcher& Add();
  TBannerSwitcher* Items(int32_t index) const;
  int32_t Count() const { return static_cast<int32_t>(List.size()); }
  void Clear() { List.clear(); }

private:
  TTimerFactory Factory;
  std::vector<std::unique_ptr<TBannerSwitcher>> List;
};

} // namespace kv
