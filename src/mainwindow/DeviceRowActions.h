#pragma once

#include "discovery/Devices.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <string>

class Lang;
class QAction;
class QMenu;

class QTreeWidget;
class QTreeWidgetItem;

// What is known of a listed device, one "label: value" line each, for its row's tooltip and
// accessible description; modelName is the one the description gave (not kept in the record).
QString DeviceDetails(const Korvane::DeviceProperty& device, const std::string& modelName,
                      const Lang& texts);

// The device address a row stands for, kept with it apart from the text its second column
// shows: what is opened, copied and described never depends on how the row is shown.
void KeepRowAddress(QTreeWidgetItem& row, const std::string& address);
QString RowAddress(const QTreeWidgetItem& row);

// "http://" and a row's address, as Connect hands it over: no port, no path.
QString WebAddress(const QTreeWidgetItem& row);

// What a device row offers besides a double click: Ctrl+C copies the selected device's web
// address (Qt's own copy would give its name), and a context menu opens the device, as Connect
// does, or copies that address.
class DeviceRowActions : public QObject {
    Q_OBJECT
public:
    DeviceRowActions(QTreeWidget* list, std::function<void()> openSelected);

    // The row's details, in the language loaded now.
    static void Describe(QTreeWidgetItem* row, const QString& details);
    // "http://" and the selected device's address; empty when no row is selected.
    QString SelectedWebAddress() const;
    void CopyAddress();
    void Retranslate(const Lang& texts);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowMenu(QPoint at, bool byPointer);

    QTreeWidget* list;
    QMenu* menu;
    QAction* openItem;
    QAction* copyItem;
};
