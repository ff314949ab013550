#include "app/uBannerPanel.h"

#include "core/uKVErrors.h"
#include "gui/uBitmap32.h"
#include "gui/uBmpCodec.h"
#include "gui/uDecodedPicture.h"
#include "gui/uJpegCodec.h"
#include "platform/uQtPlatform.h"

#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

namespace kv {

namespace {

// The banner's picture; a click runs its script with the picture as the sender.
class TBannerPicture : public QLabel {
public:
  using QLabel::QLabel;
  const TScriptItem* Script = nullptr;

protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !Script || !rect().contains(event->position().toPoint())) return;
    // The script may replace the layout, and this picture with it: run it from a copy.
    TScriptItem script;
    script.Assign(*Script);
    script.ActualSender = this;
    script.Execute();
  }
};

QImage ToImage(const TDecodedPicture& picture) {
  return QImage(reinterpret_cast<const uchar*>(picture.Pixels.data()), picture.Width, picture.Height,
                picture.Width * 4, QImage::Format_ARGB32)
      .copy();
}

} // namespace

TBannerPanel::TBannerPanel(QWidget* parent) : QWidget(parent), FPicture(new TBannerPicture(this)) {
  setObjectName("pnlBanner");
  setFixedHeight(DesignHeight);
  QPalette palette = this->palette();
  const TColor32 workspace = Color32(clAppWorkSpace);
  palette.setColor(QPalette::Window, QColor::fromRgb(workspace & 0xFFFFFFu));
  setPalette(palette);
  setAutoFillBackground(true);
  FPicture->setObjectName("imgBanner");
  hide();
}

TBannerPanel::~TBannerPanel() {
  Clear();
}

void TBannerPanel::Clear() {
  FSwitchers.Clear();
  FContainer.reset();
  static_cast<TBannerPicture*>(FPicture)->Script = nullptr;
  hide();
}

void TBannerPanel::Place(TBanners& banners, const TTimerFactory& timers) {
  Clear();
  if (banners.Count() == 0) return;
  FSwitchers = TBannerSwitcherManager(timers);
  FContainer = std::make_unique<TBannerContainer>(&banners);
  for (int32_t i = 0; i < banners.Count(); ++i) FContainer->AddBanner(banners.Items(i));
  setFixedHeight(StripHeight(FContainer->Height()));
  show();
  TBannerSwitcher& switcher = FSwitchers.Add();
  switcher.Banners = FContainer.get();
  switcher.Image = FPicture;
  switcher.OnSwitchBanner = [this](TBannerSwitcher& sender) { ShowBanner(sender); };
  switcher.Start();
}

void TBannerPanel::ShowBanner(TBannerSwitcher& switcher) {
  TBanner* banner = switcher.CurrentBanner();
  if (!banner) return;
  banner->Data.SetPosition(0);
  try {
    const std::span<const uint8_t> bytes(banner->Data.Bytes());
    TDecodedPicture decoded;
    if (banner->TypeData == static_cast<uint8_t>(TTypeData::tdJPG))
      decoded = DecodeJpeg(bytes);
    else if (banner->TypeData == static_cast<uint8_t>(TTypeData::tdBMP))
      decoded = DecodeBmp(bytes);
    else
      return;
    // A banner taller than the strip (its header may claim any size) is shown smaller, never the strip
    // larger: the board stays on the screen.
    QPixmap pixmap = QPixmap::fromImage(ToImage(decoded));
    if (pixmap.height() > height() - 4 && height() > 4)
      pixmap = pixmap.scaledToHeight(height() - 4, Qt::SmoothTransformation);
    FPicture->setPixmap(pixmap);
    FPicture->resize(pixmap.width(), pixmap.height());
  } catch (const Exception&) {
    // The previous picture stays.
    banner->Data.SetPosition(0);
  }
  auto* picture = static_cast<TBannerPicture*>(FPicture);
  picture->Script = &banner->Script();
  picture->setToolTip(banner->URL.empty() ? QString() : "Visit " + QtText(banner->URL));
  picture->setCursor(banner->URL.empty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
  CentrePicture();
}

int TBannerPanel::StripHeight(int bannersHeight) const {
  // At most a quarter of the screen's height: the rest belongs to the game.
  const QScreen* shown = screen();
  const int available = shown ? shown->availableGeometry().height() : 768;
  return std::clamp(bannersHeight + 4, 0, std::max(DesignHeight, available / 4));
}

void TBannerPanel::CentrePicture() {
  FPicture->move((width() - FPicture->width()) / 2, (height() - FPicture->height()) / 2);
}

void TBannerPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  CentrePicture();
}

} // namespace kv
