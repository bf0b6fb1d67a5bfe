#include "mainwindow/SearchController.h"

#include "guard/Guarded.h"
#include "mainwindow/DeviceMerge.h"

#include <QLoggingCategory>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcSearch, "pathmere.search", QtInfoMsg)

QTimer* NamedTimer(QObject* owner, const char* name, std::chrono::milliseconds interval,
                   bool singleShot = false) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    timer->setSingleShot(singleShot);
    return timer;
}

} // namespace

SearchController::SearchController(WorkerFactory workerFactory, QObject* parent)
    : QObject(parent), makeWorker(std::move(workerFactory)),
      tmrSearch(NamedTimer(this, "tmrSearch", SearchSchedule::WindowClock{}.timer)),
      tmrTickPause(NamedTimer(this, "tmrTickPause", SearchSchedule::WindowClock{}.pause, true)),
      tmrRetired(NamedTimer(this, "tmrRetired", std::chrono::milliseconds(250))) {
    connect(tmrSearch, &QTimer::timeout, this, &SearchController::Tick);
    connect(tmrTickPause, &QTimer::timeout, this, &SearchController::EndPause);
    connect(tmrRetired, &QTimer::timeout, this, &SearchController::ReleaseRetired);
}

SearchController::~SearchController() {
    ReleaseWorker();
    retired.Abandon();
}

void SearchController::SetClock(SearchSchedule::WindowClock clock) {
    tmrSearch->setInterval(clock.timer);
    tmrTickPause->setInterval(clock.pause);
}

void SearchController::Start(DeviceList& into) {
    found = &into;
    found->clear();
    evidence.reset();
    tmrSearch->stop();
    tmrTickPause->stop(); // a tick of the replaced search ends here
    ReleaseWorker();
    worker = makeWorker();
    workerStarted = worker->Start();
    tickCounter = 0;
    tmrSearch->start();
    qCDebug(lcSearch) << "search started";
}

void SearchController::Tick() {
    Guarded([this] {
        try {
            Step();
        } catch (...) {
            Finish(false); // a failed tick ends the search as it stands
            throw;
        }
    });
}

void SearchController::Step() {
    tmrSearch->stop();
    if (!worker) {
        Finish(false);
        return;
    }
    if (!workerStarted) {
        // Its thread could not start, so it would never finish: end the search now.
        Finish(false);
        return;
    }
    emit stepped();
    if (worker->running.load(std::memory_order_acquire)) {
        tmrTickPause->start(); // EndPause completes the tick
        return;
    }
    ++tickCounter;
    Finish(true);
}

void SearchController::EndPause() {
    Guarded([this] {
        if (!worker) {
            return;
        }
        worker->searchTick.store(tickCounter);
        tmrSearch->start();
        ++tickCounter;
    });
}

void SearchController::Finish(bool merge) {
    tmrSearch->stop();
    tmrTickPause->stop();
    if (merge && worker && worker->deviceList && found != nullptr) {
        MergeDevices(*found, *worker->deviceList);
        evidence =
            SearchEvidence{std::move(worker->addressReports), std::move(worker->descriptionReports),
                           std::move(worker->searchedNetworks)};
    }
    ReleaseWorker();
    qCDebug(lcSearch) << "search ended after" << tickCounter << "ticks with"
                      << (found != nullptr ? found->size() : 0) << "devices";
    emit finished();
}

void SearchController::ReleaseWorker() {
    if (!worker) {
        return;
    }
    worker->keepRunning.store(false);
    if (workerStarted && worker->running.load(std::memory_order_acquire)) {
        // Still running: destroying it would wait for its run, so a thread of its own does.
        retired.Add(std::move(worker));
        tmrRetired->start();
    } else {
        worker.reset(); // its run has ended or never began: no wait to speak of
    }
}

void SearchController::ReleaseRetired() {
    if (retired.ReleaseEnded()) {
        tmrRetired->stop();
    }
}
