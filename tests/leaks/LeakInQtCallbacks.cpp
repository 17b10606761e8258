// Leaks memory of its own from inside Qt: 4096 bytes in a timer's callback and 2048 in an event
// handler. Run under LeakSanitizer with the project's suppressions, both must be reported:
// suppressions name Qt's own allocations, never every allocation that passes through Qt.
#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

namespace {

__attribute__((noinline)) void LeakFromTimerCallback() {
  static_cast<char* volatile>(new char[4096])[0] = 1;
}

__attribute__((noinline)) void LeakFromEventHandler() {
  static_cast<char* volatile>(new char[2048])[0] = 1;
}

class TLeakingReceiver : public QObject {
 protected:
  bool event(QEvent* E) override {
    if (E->type() != QEvent::User) return QObject::event(E);
    LeakFromEventHandler();
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TLeakingReceiver receiver;
  QTimer::singleShot(0, [] { LeakFromTimerCallback(); });
  QTimer::singleShot(0, [&] { QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User)); });
  QTimer::singleShot(50, &app, &QCoreApplication::quit);
  return app.exec();
}
