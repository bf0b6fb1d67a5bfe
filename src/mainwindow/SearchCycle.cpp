#include "mainwindow/DeviceMerge.h"
#include "mainwindow/Guarded.h"
#include "mainwindow/Main.h"
#include "ui_frmMain.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

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
        ++searchGeneration;
        ui->lstNetworkList->clear();
        tmrSearch->stop();
        SwitchWorker(1);
        tickCounter = 0;
        ui->Progress->setValue(0);
        tmrSearch->start();
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
    FillDeviceList();
    ShowPanel(1);
}

void TfrmMain::tmrSearchTimer() {
    try {
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

        const bool stillRunning = searchWorker->running.load(std::memory_order_acquire);
        if (stillRunning) {
            const std::uint64_t generation = searchGeneration;
            QPointer<TfrmMain> self(this);
            WaitPumping(1);
            if (self.isNull() || generation != searchGeneration || !searchWorker) {
                return; // a new search replaced this one during the wait; its ticks go on
            }
            searchWorker->searchTick.store(tickCounter);
            tmrSearch->start();
        } else {
            if (searchWorker->deviceList) {
                MergeDevices(*foundDevices, *searchWorker->deviceList);
            }
            SwitchWorker(0);
            FillDeviceList();
            ShowPanel(1);
        }
        ++tickCounter;
    } catch (...) {
        Guarded([this] { EndSearchWithCurrentList(); });
    }
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

void TfrmMain::WaitPumping(std::int32_t passes) {
    Guarded([&] {
        for (std::int32_t pass = 0; pass < passes; ++pass) {
            // The pause runs the event loop, so that the window repaints and follows drags.
            QEventLoop wait;
            QTimer::singleShot(pumpingPause, &wait, &QEventLoop::quit);
            wait.exec();
        }
    });
}
