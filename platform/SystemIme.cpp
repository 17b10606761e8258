#include "platform/SystemIme.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QString>
#include <QtGlobal>

namespace rid {

namespace {

constexpr const char* kService = "org.fcitx.Fcitx5";
constexpr const char* kPath = "/controller";
constexpr const char* kInterface = "org.fcitx.Fcitx.Controller1";
// fcitx5 answers at once; a hung service must not hang the window for long.
constexpr int kTimeoutMs = 1000;

// Qt loads the input-method module these name (QT_IM_MODULES: a list, tried in order).
bool QtUsesFcitx() {
  QString modules = qEnvironmentVariable("QT_IM_MODULES");
  if (modules.isEmpty()) modules = qEnvironmentVariable("QT_IM_MODULE");
  const QString first = modules.section(QLatin1Char(';'), 0, 0).trimmed();
  return first == QLatin1String("fcitx") || first == QLatin1String("fcitx5");
}

QDBusMessage Method(const char* Name) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, Name);
}

// The connection Qt's fcitx5 module talks on (it names it "fcitx"): fcitx5 opens and closes
// the input context that has its focus, so a call must come after the module's focus change,
// and only one connection keeps the order of what is sent on it.
QDBusConnection Bus() {
  return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fcitx"));
}

}  // namespace

bool SystemImeReachable() {
  // The environment is read first: without fcitx5's module no bus is ever opened.
  if (!QtUsesFcitx()) return false;
  QDBusConnection bus = Bus();
  if (!bus.isConnected() || !bus.interface()) return false;
  return bus.interface()->isServiceRegistered(kService).value();
}

bool SystemImeSetOpen(bool Open) {
  if (!SystemImeReachable()) return false;
  // Sent without waiting: a later call on the same connection still comes after it.
  return Bus().send(Method(Open ? "Activate" : "Deactivate"));
}

std::optional<bool> SystemImeOpen() {
  if (!SystemImeReachable()) return std::nullopt;
  const QDBusMessage reply = Bus().call(Method("State"), QDBus::Block, kTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
    return std::nullopt;
  // 0: no input context, 1: closed, 2: open.
  const int state = reply.arguments().first().toInt();
  if (state == 0) return std::nullopt;
  return state == 2;
}

}  // namespace rid
