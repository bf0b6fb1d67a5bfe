#include "guard/Guarded.h"
#include "language/Language.h"
#include "mainwindow/DeviceRowActions.h"
#include "mainwindow/Main.h"
#include "mainwindow/SearchController.h"
#include "ui_frmMain.h"
#include "windows/OpenFailure.h"

#include <QDesktopServices>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>

void TfrmMain::FillDeviceList() {
    QTreeWidget* list = ui->lstNetworkList;
    list->clear();
    if (foundDevices) {
        for (std::size_t i = 0; i < foundDevices->size(); ++i) {
            const auto& record = (*foundDevices)[i];
            if (record) {
                AddDeviceRow(record->friendlyName, record->ipAddress, 0, static_cast<int>(i));
            }
        }
    }
    if (list->topLevelItemCount() > 0) {
        list->topLevelItem(0)->setSelected(true); // selection only; focus stays as it was
    }
    DescribeRows();
}

void TfrmMain::DescribeRows() {
    if (!foundDevices) {
        return;
    }
    const auto& evidence = search->Evidence();
    QTreeWidget* list = ui->lstNetworkList;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem* row = list->topLevelItem(index);
        const std::string address = RowAddress(*row).toStdString();
        const auto record =
            std::find_if(foundDevices->begin(), foundDevices->end(), [&](const auto& device) {
                return device && device->ipAddress == address;
            });
        if (record == foundDevices->end()) {
            continue;
        }
        // The model name stays with what the search read; the record has no field for it.
        std::string modelName;
        if (evidence) {
            for (const auto& report : evidence->descriptions) {
                if (report.device == *record) {
                    modelName = report.modelName;
                }
            }
        }
        DeviceRowActions::Describe(row, DeviceDetails(**record, modelName, *lang));
    }
}

void TfrmMain::AddDeviceRow(const std::string& caption, const std::string& ipText, int imageIndex,
                            int rowPosition) {
    auto* row = new QTreeWidgetItem;
    ui->lstNetworkList->insertTopLevelItem(rowPosition, row);
    row->setText(0, QString::fromStdString(caption));
    if (imageIndex == 0) {
        row->setIcon(0, QIcon(QStringLiteral(":/pictures/device.png")));
    }
    row->setSizeHint(0, QSize(0, 32)); // rows as high as the device picture
    row->setText(1, QString::fromStdString(ipText));
    KeepRowAddress(*row, ipText);
}

void TfrmMain::lstNetworkListDblClick() {
    Guarded([this] { OpenSelectedDevice(); });
}

void TfrmMain::btnNextClick() {
    Guarded([this] { OpenSelectedDevice(); });
}

void TfrmMain::OpenSelectedDevice() {
    const QList<QTreeWidgetItem*> selected = ui->lstNetworkList->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QString url = WebAddress(*selected.first());
    if (!QDesktopServices::openUrl(QUrl(url))) {
        ShowOpenFailure(this, lang->stCannotOpenAddress, url);
    }
}
