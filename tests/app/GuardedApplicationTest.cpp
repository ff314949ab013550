// An exception that leaves an event handler is told once, in the game's own words, and the program goes on.
#include "app/uGuardedApplication.h"
#include "core/uKVErrors.h"

#include <QtTest>

#include <string>
#include <vector>

namespace {

const QEvent::Type FailEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Fails in its handler as a control drawn from a damaged theme item does.
class TFailingObject : public QObject {
public:
  int Handled = 0;

protected:
  void customEvent(QEvent* event) override {
    if (event->type() != FailEvent) return;
    ++Handled;
    throw kv::EListError("List index out of bounds (2)");
  }
};

} // namespace

class GuardedApplicationTest : public QObject {
  Q_OBJECT

private slots:
  void aFailingHandlerIsToldAndTheProgramGoesOn() {
    auto* app = static_cast<kv::TGuardedApplication*>(QCoreApplication::instance());
    std::vector<std::string> told;
    app->OnError = [&](const std::string& message) { told.push_back(message); };
    TFailingObject failing;
    QCoreApplication::postEvent(&failing, new QEvent(FailEvent));
    QTRY_COMPARE(failing.Handled, 1);
    QCOMPARE(told, std::vector<std::string>{"Project doesn't contain valid data."});
    // The loop runs on: a second failure is told again.
    QCoreApplication::postEvent(&failing, new QEvent(FailEvent));
    QTRY_COMPARE(told.size(), std::size_t{2});
  }

  void aFailureWhileOneIsBeingToldIsNotToldOnTopOfIt() {
    auto* app = static_cast<kv::TGuardedApplication*>(QCoreApplication::instance());
    TFailingObject failing;
    int boxes = 0;
    // The box's own loop meets the same failure again.
    app->OnError = [&](const std::string&) {
      ++boxes;
      QEvent again(FailEvent);
      QCoreApplication::sendEvent(&failing, &again);
    };
    QCoreApplication::postEvent(&failing, new QEvent(FailEvent));
    QTRY_COMPARE(failing.Handled, 2);
    QCOMPARE(boxes, 1);
  }
};

int main(int argc, char** argv) {
  kv::TGuardedApplication app(argc, argv);
  GuardedApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "GuardedApplicationTest.moc"
