#include "mainwindow/StatusNotifierHost.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTray, "pathmere.tray", QtInfoMsg)

namespace {

bool AskSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcTray) << "no session bus: the embedded tray, if any";
        return false;
    }
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusInterface interface(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    const bool present =
        interface.isValid() && interface.property("IsStatusNotifierHostRegistered").toBool();
    qCDebug(lcTray) << "StatusNotifierItem host:" << present;
    return present;
}

} // namespace

bool StatusNotifierHostPresent() {
    static const bool present = AskSessionBus();
    return present;
}
