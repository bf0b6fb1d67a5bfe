#include "mainwindow/DeviceRowActions.h"

#include "language/Language.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>
#include <QTreeWidget>

QString DeviceDetails(const Korvane::DeviceProperty& device, const std::string& modelName,
                      const Lang& texts) {
    QStringList lines;
    const auto line = [&lines](const QString& label, const std::string& value) {
        if (!value.empty()) {
            lines << label + QStringLiteral(": ") + QString::fromStdString(value);
        }
    };
    line(texts.stModelName, modelName);
    line(texts.stModelNumber, device.modelNumber);
    line(texts.stSerialNumber, device.serialNumber);
    line(texts.stDescriptionAddress, device.location);
    return lines.join(QLatin1Char('\n'));
}

DeviceRowActions::DeviceRowActions(QTreeWidget* list_, std::function<void()> openSelected)
    : QObject(list_), list(list_), menu(new QMenu(list_)), openItem(menu->addAction(QString())),
      copyItem(menu->addAction(QString())) {
    menu->setObjectName(QStringLiteral("pmDevice"));
    openItem->setObjectName(QStringLiteral("mnDeviceConnect"));
    copyItem->setObjectName(QStringLiteral("mnDeviceCopyAddress"));
    connect(openItem, &QAction::triggered, this, [open = std::move(openSelected)] { open(); });
    connect(copyItem, &QAction::triggered, this, &DeviceRowActions::CopyAddress);
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
}

namespace {

constexpr int kAddressRole = Qt::UserRole;

} // namespace

void KeepRowAddress(QTreeWidgetItem& row, const std::string& address) {
    row.setData(1, kAddressRole, QString::fromStdString(address));
}

QString RowAddress(const QTreeWidgetItem& row) {
    return row.data(1, kAddressRole).toString();
}

QString WebAddress(const QTreeWidgetItem& row) {
    return QStringLiteral("http://") + RowAddress(row);
}

void DeviceRowActions::Describe(QTreeWidgetItem* row, const QString& details) {
    // Always as plain text: a device's own words must not be taken for markup.
    const QString tip = Qt::convertFromPlainText(details, Qt::WhiteSpaceNormal);
    for (int column = 0; column < row->columnCount(); ++column) {
        row->setToolTip(column, tip);
        row->setData(column, Qt::AccessibleDescriptionRole, details);
    }
}

QString DeviceRowActions::SelectedWebAddress() const {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        return {};
    }
    return WebAddress(*selected.first());
}

void DeviceRowActions::CopyAddress() {
    const QString address = SelectedWebAddress();
    if (!address.isEmpty()) {
        QGuiApplication::clipboard()->setText(address);
    }
}

void DeviceRowActions::Retranslate(const Lang& texts) {
    // The button's caption without its arrow.
    openItem->setText(QString(texts.stConnect).remove(QLatin1Char('>')).trimmed());
    copyItem->setText(texts.stCopyAddress);
}

bool DeviceRowActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopyAddress();
        return true;
    }
    if ((watched == list || watched == list->viewport()) && event->type() == QEvent::ContextMenu) {
        auto* request = static_cast<QContextMenuEvent*>(event);
        const QPoint at = list->viewport()->mapFrom(static_cast<QWidget*>(watched), request->pos());
        ShowMenu(at, request->reason() == QContextMenuEvent::Mouse);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// A click picks the row under the pointer first; the menu key offers the selected row, at
// its place. Nothing is offered on an empty spot.
void DeviceRowActions::ShowMenu(QPoint at, bool byPointer) {
    if (byPointer) {
        QTreeWidgetItem* row = list->itemAt(at);
        if (row == nullptr) {
            return;
        }
        list->setCurrentItem(row);
    } else {
        const QList<QTreeWidgetItem*> selected = list->selectedItems();
        if (selected.isEmpty()) {
            return;
        }
        at = list->visualItemRect(selected.first()).center();
    }
    menu->popup(list->viewport()->mapToGlobal(at));
}
