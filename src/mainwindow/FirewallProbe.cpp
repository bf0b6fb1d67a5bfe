#include "mainwindow/FirewallProbe.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// The bus may be slow or hung: advice is not worth a frozen window.
constexpr int kBusWaitMs = 500;

bool FirewalldOnSystemBus() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << QStringLiteral("org.fedoraproject.FirewallD1");
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kBusWaitMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

} // namespace

LocalFirewall FirewallOnThisComputer() {
    const LocalFirewall seen = DetectLocalFirewall();
    if (seen != LocalFirewall::Unknown) {
        return seen;
    }
    return FirewalldOnSystemBus() ? LocalFirewall::Firewalld : LocalFirewall::Unknown;
}
