#include "mainwindow/DeviceMerge.h"
#include "mainwindow/Main.h"
#include "ui_frmMain.h"
#include "windows/Guarded.h"

#include <QLoggingCategory>
#include <QTimer>
#include <QTreeWidget>

namespace {

Q_LOGGING_CATEGORY(lcSearch, "pathmere.search", QtInfoMsg)

} // namespace

void TfrmMain::btnRefreshClick() {
    Guarded([this] {
        ShowPanel(0);
        if (!foundDevices) {
            return; // start-up stopped before the list existed: no search can start
        }
        foundDevices->clear();
        StartSearch();
    });
}

void TfrmMain::StartSearch() {
    Guarded([this] {
        ui->lstNetworkList->clear();
        tmrSearch->stop();
        tmrTickPause->stop(); // a tick of the replaced search ends here
        SwitchWorker(1);
        tickCounter = 0;
        ui->Progress->setValue(0);
        tmrSearch->start();
        qCDebug(lcSearch) << "search started";
    });
}

void TfrmMain::SwitchWorker(int mode) {
    Guarded([&] {
        if (searchWorker) {
            // A worker still running is asked to stop and kept aside until its run has ended,
            // so that the interface never waits for it; its results are dropped.
            searchWorker->keepRunning.store(false);
            if (searchWorkerStarted && searchWorker->running.load(std::memory_order_acquire)) {
                RetireWorker(std::move(searchWorker), true);
            } else {
                searchWorker.reset(); // its run has ended or never began: no wait to speak of
            }
        }
        if (mode == 1) {
            searchWorkerStarted = false;
            searchWorker = makeWorker();
            searchWorker->keepRunning.store(true);
            searchWorker->running.store(true);
            searchWorkerStarted = searchWorker->Start();
        }
    });
}

void TfrmMain::RetireWorker(std::unique_ptr<UpnpThread> worker, bool started) {
    worker->keepRunning.store(false);
    if (!started) {
        return; // never started: dropping it waits for nothing
    }
    retiredWorkers.Add(std::move(worker));
    tmrRetired->start();
}

void TfrmMain::ReleaseFinishedWorkers() {
    if (retiredWorkers.ReleaseEnded()) {
        tmrRetired->stop();
    }
}

void TfrmMain::EndSearchWithCurrentList() {
    tmrSearch->stop();
    tmrTickPause->stop();
    FillDeviceList();
    ShowPanel(1);
}

bool TfrmMain::SearchPending() const {
    return searchWorker != nullptr || tmrInit->isActive();
}

void TfrmMain::SetPumpingPause(std::chrono::milliseconds pause) {
    tmrTickPause->setInterval(pause);
}

void TfrmMain::tmrSearchTimer() {
    bool completed = false;
    Guarded([&] {
        SearchTick();
        completed = true;
    });
    if (!completed) {
        Guarded([this] { EndSearchWithCurrentList(); }); // a failed tick ends the search
    }
}

void TfrmMain::SearchTick() {
    tmrSearch->stop();
    if (!searchWorker) {
        EndSearchWithCurrentList();
        return;
    }
    if (!searchWorkerStarted) {
        // Its thread could not start, so it would never finish: end the search now.
        SwitchWorker(0);
        EndSearchWithCurrentList();
        return;
    }
    QProgressBar* progress = ui->Progress;
    progress->setValue(progress->value() < 100 ? progress->value() + 1 : 0);

    if (searchWorker->running.load(std::memory_order_acquire)) {
        // The window goes on handling events during the pause; EndTickPause completes the
        // tick.
        tmrTickPause->start();
        return;
    }
    if (searchWorker->deviceList) {
        MergeDevices(*foundDevices, *searchWorker->deviceList);
    }
    SwitchWorker(0);
    FillDeviceList();
    ShowPanel(1);
    ++tickCounter;
    qCDebug(lcSearch) << "search ended after" << tickCounter << "ticks with" << foundDevices->size()
                      << "devices";
}

void TfrmMain::EndTickPause() {
    Guarded([this] {
        if (!searchWorker) {
            return;
        }
        searchWorker->searchTick.store(tickCounter);
        tmrSearch->start();
        ++tickCounter;
    });
}

void TfrmMain::ShowPanel(int which) {
    Guarded([&] {
        QWidget* panel = which == 0 ? ui->pnlSearch : which == 1 ? ui->pnlNetworks : nullptr;
        if (panel != nullptr) {
            panel->show();
            panel->raise();
        }
    });
}
