#include "data/uBannerSwitcher.h"

#include <stdexcept>

namespace kv {

TBannerSwitcher::TBannerSwitcher(std::unique_ptr<TTimer> timer) : Clock(std::move(timer)) {
  if (!Clock) throw std::invalid_argument("A banner switcher needs a timer");
  Clock->Stop();
  Clock->OnTimer = [this] { TimerTick(); };
}

void TBannerSwitcher::Show() {
  // A single banner stays: an interval of 0 never ticks.
  Clock->SetInterval(Banners->Count() == 1 ? 0 : Banners->Item(Index)->Interval);
  if (OnSwitchBanner) OnSwitchBanner(*this);
  Clock->Start();
}

void TBannerSwitcher::Start() {
  Clock->Stop();
  if (!Banners || Banners->Count() == 0) return;
  Index = 0;
  Show();
}

void TBannerSwitcher::TimerTick() {
  Clock->Stop();
  if (!Banners || Banners->Count() == 0) return;
  ++Index;
  // The container may have shrunk since the last tick.
  if (Index >= Banners->Count() || Index < 0) Index = 0;
  Show();
}

TBannerSwitcher& TBannerSwitcherManager::Add() {
  List.push_back(std::make_unique<TBannerSwitcher>(CreateTimer(Factory)));
  return *List.back();
}

TBannerSwitcher* TBannerSwitcherManager::Items(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return List[static_cast<std::size_t>(index)].get();
}

} // namespace kv
