// A StatusNotifierItem host for the tests, written against the published protocols
// (org.kde.StatusNotifierWatcher, org.kde.StatusNotifierItem, com.canonical.dbusmenu):
//
//   pathmere-test-snihost watch          be the watcher with a registered host; print
//                                        "registered SERVICE" and "unregistered SERVICE"
//   pathmere-test-snihost activate       call Activate on the first registered item
//   pathmere-test-snihost menu           print the item's menu: one "ID<TAB>LABEL" per entry
//   pathmere-test-snihost click LABEL    send "clicked" to the menu entry LABEL
//
// All of it runs on the session bus of DBUS_SESSION_BUS_ADDRESS.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTextStream>
#include <cstdio>

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

QTextStream& Out() {
    static QTextStream out(stdout);
    return out;
}

int Fail(const QString& why) {
    QTextStream(stderr) << "snihost: " << why << Qt::endl;
    return 1;
}

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit Watcher(QDBusConnection bus) : connection(bus) {
        owners.setConnection(connection);
        owners.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&owners, &QDBusServiceWatcher::serviceUnregistered, this, &Watcher::ItemGone);
    }

    QStringList items() const { return registered; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        // An item names its bus name, or only its object path (then the sender is the name).
        const QString name = service.startsWith(QLatin1Char('/')) ? message.service() : service;
        if (registered.contains(name)) {
            return;
        }
        registered << name;
        owners.addWatchedService(name);
        Out() << "registered " << name << Qt::endl;
        emit StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    void ItemGone(const QString& name) {
        registered.removeAll(name);
        owners.removeWatchedService(name);
        Out() << "unregistered " << name << Qt::endl;
        emit StatusNotifierItemUnregistered(name);
    }

    QDBusConnection connection;
    QDBusServiceWatcher owners;
    QStringList registered;
};

int Watch(QCoreApplication& application) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher(bus);
    if (!bus.registerObject(kWatcherPath, &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties)) {
        return Fail(QStringLiteral("cannot export the watcher"));
    }
    if (!bus.registerService(kWatcherService)) {
        return Fail(QStringLiteral("cannot own ") + kWatcherService);
    }
    Out() << "watching" << Qt::endl;
    return application.exec();
}

QString FirstItem() {
    QDBusInterface watcher(kWatcherService, kWatcherPath, kWatcherService,
                           QDBusConnection::sessionBus());
    const QStringList items = watcher.property("RegisteredStatusNotifierItems").toStringList();
    return items.isEmpty() ? QString() : items.first();
}

QDBusInterface Item(const QString& service) {
    return QDBusInterface(service, QStringLiteral("/StatusNotifierItem"),
                          QStringLiteral("org.kde.StatusNotifierItem"),
                          QDBusConnection::sessionBus());
}

struct MenuEntry {
    int id;
    QString label;
};

// A layout node is (id, properties, children), each child a variant holding a node.
void ReadLayout(const QDBusArgument& node, QList<MenuEntry>& entries) {
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    node.beginArray();
    QList<QDBusArgument> children;
    while (!node.atEnd()) {
        QDBusVariant child;
        node >> child;
        children << child.variant().value<QDBusArgument>();
    }
    node.endArray();
    node.endStructure();
    if (properties.contains(QStringLiteral("label"))) {
        entries.push_back({id, properties.value(QStringLiteral("label")).toString()});
    }
    for (const QDBusArgument& child : children) {
        ReadLayout(child, entries);
    }
}

bool ReadMenu(QString& service, QString& path, QList<MenuEntry>& entries) {
    service = FirstItem();
    if (service.isEmpty()) {
        return false;
    }
    QDBusInterface item = Item(service);
    path = item.property("Menu").value<QDBusObjectPath>().path();
    if (path.isEmpty() || path == QStringLiteral("/NO_DBUSMENU")) {
        return false;
    }
    QDBusInterface menu(service, path, QStringLiteral("com.canonical.dbusmenu"),
                        QDBusConnection::sessionBus());
    menu.call(QStringLiteral("AboutToShow"), 0); // as hosts do before they draw it
    const QDBusMessage reply =
        menu.call(QStringLiteral("GetLayout"), 0, -1, QStringList{QStringLiteral("label")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2) {
        return false;
    }
    ReadLayout(reply.arguments().at(1).value<QDBusArgument>(), entries);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList words = QCoreApplication::arguments().mid(1);
    const QString command = words.value(0);
    if (!QDBusConnection::sessionBus().isConnected()) {
        return Fail(QStringLiteral("no session bus"));
    }
    if (command == QStringLiteral("watch")) {
        return Watch(application);
    }
    if (command == QStringLiteral("activate")) {
        const QString service = FirstItem();
        if (service.isEmpty()) {
            return Fail(QStringLiteral("no item registered"));
        }
        const QDBusMessage reply = Item(service).call(QStringLiteral("Activate"), 0, 0);
        return reply.type() == QDBusMessage::ErrorMessage ? Fail(reply.errorMessage()) : 0;
    }
    if (command == QStringLiteral("menu") || command == QStringLiteral("click")) {
        QString service;
        QString path;
        QList<MenuEntry> entries;
        if (!ReadMenu(service, path, entries)) {
            return Fail(QStringLiteral("no menu to read"));
        }
        if (command == QStringLiteral("menu")) {
            for (const MenuEntry& entry : entries) {
                Out() << entry.id << '\t' << entry.label << Qt::endl;
            }
            return 0;
        }
        for (const MenuEntry& entry : entries) {
            if (entry.label == words.value(1)) {
                QDBusInterface menu(service, path, QStringLiteral("com.canonical.dbusmenu"),
                                    QDBusConnection::sessionBus());
                const QDBusMessage reply =
                    menu.call(QStringLiteral("Event"), entry.id, QStringLiteral("clicked"),
                              QVariant::fromValue(QDBusVariant(0)), 0u);
                return reply.type() == QDBusMessage::ErrorMessage ? Fail(reply.errorMessage()) : 0;
            }
        }
        return Fail(QStringLiteral("no menu entry ") + words.value(1));
    }
    return Fail(QStringLiteral("usage: pathmere-test-snihost watch|activate|menu|click LABEL"));
}

#include "StatusNotifierHost.moc"
