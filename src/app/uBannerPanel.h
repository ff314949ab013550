// The strip at the top of the main window that shows the package's banners in turn: one picture centred in
// it, each banner for its own interval. A click on the picture runs the banner's action; a banner with a link
// shows "Visit " and the link as the picture's hint.
#pragma once

#include "data/uBannerSwitcher.h"
#include "data/uBanners.h"
#include "platform/uTimer.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace kv {

class TBannerPanel : public QWidget {
public:
  static constexpr int DesignHeight = 74;
  // The strip's height for banners of this height, bounded by the screen.
  int StripHeight(int bannersHeight) const;

  explicit TBannerPanel(QWidget* parent = nullptr);
  ~TBannerPanel() override;

  // Every banner of the list, in order, from the first; the strip is shown when the list holds any and
  // hidden otherwise. Timers come from the factory.
  void Place(TBanners& banners, const TTimerFactory& timers);
  // Stops and frees the switcher and the picture's banner; hides the strip.
  void Clear();

  QLabel* Picture() const { return FPicture; }
  const TBannerSwitcher* Switcher() const { return FSwitchers.Count() > 0 ? FSwitchers.Items(0) : nullptr; }

protected:
  // The picture stays centred whatever width the window gives the strip.
  void resizeEvent(QResizeEvent* event) override;

private:
  void ShowBanner(TBannerSwitcher& switcher);
  void CentrePicture();

  QLabel* FPicture;
  std::unique_ptr<TBannerContainer> FContainer;
  TBannerSwitcherManager FSwitchers;
};

} // namespace kv
