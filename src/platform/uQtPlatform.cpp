#include "platform/uQtPlatform.h"

#include "platform/uCp1252.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QTimer>

namespace kv {

QString QtText(const std::string& packageText) {
  return QString::fromStdString(Cp1252ToUtf8(packageText));
}

std::string PackageText(const QString& text) {
  return Utf8ToCp1252(text.toStdString());
}

// ---- dispatcher

TQtDispatcher::TQtDispatcher() : FAlive(std::make_shared<std::atomic<bool>>(true)) {}

TQtDispatcher::~TQtDispatcher() {
  *FAlive = false;
}

void TQtDispatcher::Post(std::function<void()> task) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(
      app,
      [alive = FAlive, task = std::move(task)] {
        if (*alive) task();
      },
      Qt::QueuedConnection);
}

bool TQtDispatcher::IsUIThread() const {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

// ---- timers

namespace {

class TQtTimer : public TTimer {
public:
  TQtTimer() {
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
  }

protected:
  void Rearm() override {
    FTimer.stop();
    if (Enabled() && Interval() > 0) FTimer.start(Interval());
  }

private:
  QTimer FTimer;
};

} // namespace

TTimerFactory QtTimerFactory() {
  return [] { return std::make_unique<TQtTimer>(); };
}

// ---- message boxes

namespace {

QMessageBox::StandardButton Box(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
                                QMessageBox::StandardButtons buttons) {
  // Over the window when it is shown; a hidden window (the start, before the first game) would put the box
  // at the screen's corner, so then it stands alone in the middle of the screen.
  QWidget* owner = parent && parent->isVisible() ? parent : nullptr;
  QMessageBox box(icon, QApplication::applicationDisplayName(), QtText(text), buttons, owner);
  if (!owner) {
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      box.move(screen->availableGeometry().center() - box.rect().center());
  }
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void TQtMessageBoxes::ShowError(const std::string& text) {
  Box(FParent, QMessageBox::Critical, text, QMessageBox::Ok);
}

void TQtMessageBoxes::ShowInformation(const std::string& text) {
  Box(FParent, QMessageBox::Information, text, QMessageBox::Ok);
}

bool TQtMessageBoxes::AskConfirmation(const std::string& text) {
  return Box(FParent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool TQtMessageBoxes::AskWarning(const std::string& text) {
  return Box(FParent, QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

// ---- screen

namespace {

TRect ToRect(const QRect& r) {
  return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

TRect TQtScreen::ScreenRect() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? ToRect(screen->geometry()) : TRect{0, 0, 1024, 768};
}

TRect TQtScreen::WorkArea() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? ToRect(screen->availableGeometry()) : TRect{0, 0, 1024, 768};
}

TPoint TQtScreen::CursorPos() const {
  const QPoint p = QCursor::pos();
  return TPoint{p.x(), p.y()};
}

} // namespace kv
