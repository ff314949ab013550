#include "app/uGuardedApplication.h"

#include "data/uGameData.h"

#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace kv {

TGuardedApplication::TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {
  OnError = [](const std::string& message) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          QString::fromStdString(message));
  };
}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    Tell(StartupErrorMessage(error), error.what());
  } catch (...) {
    Tell(InvalidProjectDataMessage, "unknown exception");
  }
  return false;
}

void TGuardedApplication::Tell(const std::string& message, const char* detail) {
  // The internal text is for whoever reads the log; the player gets the game's own words.
  std::fprintf(stderr, "jigsaw: %s\n", detail);
  if (FTelling || !OnError) return;
  FTelling = true;
  ++FFailuresTold;
  try {
    OnError(message);
  } catch (...) {
  }
  FTelling = false;
}

} // namespace kv
