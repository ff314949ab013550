// The player's application object. An exception that leaves an event handler (a frame being painted, a
// click, a key, a timer) would otherwise end the program; here it is told in an error box and the program
// goes on. A package damaged in a way only drawing reveals is the usual cause.
#pragma once

#include <QApplication>

#include <functional>
#include <string>

namespace kv {

class TGuardedApplication : public QApplication {
public:
  TGuardedApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // How a failure is told; by default an error box over the active window. While one is being told, later
  // failures (the box's own events) go to standard error only.
  std::function<void(const std::string& message)> OnError;
  int FailuresTold() const { return FFailuresTold; }

private:
  void Tell(const std::string& message, const char* detail);

  bool FTelling = false;
  int FFailuresTold = 0;
};

} // namespace kv
