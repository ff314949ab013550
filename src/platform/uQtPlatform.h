// The desktop services on Qt: the hand-over to the user-interface thread through the Qt event loop, message-
// loop timers, the four message boxes and the screen. Package texts (Windows-1252) become Qt strings here.
#pragma once

#include "platform/uDesktop.h"
#include "platform/uDispatcher.h"
#include "platform/uTimer.h"

#include <atomic>
#include <memory>
#include <string>

class QString;
class QWidget;

namespace kv {

QString QtText(const std::string& packageText);
std::string PackageText(const QString& text);

// Posts to the thread of the application object; tasks still queued when the dispatcher goes are dropped.
class TQtDispatcher : public IDispatcher {
public:
  TQtDispatcher();
  ~TQtDispatcher() override;
  void Post(std::function<void()> task) override;
  bool IsUIThread() const override;

private:
  std::shared_ptr<std::atomic<bool>> FAlive;
};

// Timers of the Qt event loop.
TTimerFactory QtTimerFactory();

class TQtMessageBoxes : public IMessageBoxes {
public:
  // Boxes open over parent (may be null) with the application's title as their caption.
  explicit TQtMessageBoxes(QWidget* parent = nullptr) : FParent(parent) {}
  void SetParent(QWidget* parent) { FParent = parent; }
  void ShowError(const std::string& text) override;
  void ShowInformation(const std::string& text) override;
  bool AskConfirmation(const std::string& text) override;
  bool AskWarning(const std::string& text) override;

private:
  QWidget* FParent;
};

class TQtScreen : public IScreen {
public:
  TRect ScreenRect() const override;
  TRect WorkArea() const override;
  TPoint CursorPos() const override;
};

} // namespace kv
