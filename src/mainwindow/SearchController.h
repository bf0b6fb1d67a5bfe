#pragma once

#include "discovery/Devices.h"
#include "discovery/Diagnosis.h"
#include "discovery/RetiredWorkers.h"
#include "discovery/SearchSchedule.h"
#include "discovery/Upnpthread.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

// One search as the window sees it, without widgets: it creates and starts the worker, feeds
// it a tick at the pace of its SearchSchedule::WindowClock (tmrSearch, then tmrTickPause),
// notices the end, merges the devices into the list it was given, and
// retires a worker that a new search replaces, so that the interface never waits for a run.
// Everything here runs on the interface thread; the worker is reached only through its
// hand-over flags.
class SearchController : public QObject {
    Q_OBJECT
public:
    // Makes the worker of each search, not yet started.
    using WorkerFactory = std::function<std::unique_ptr<UpnpThread>()>;

    explicit SearchController(WorkerFactory workerFactory, QObject* parent = nullptr);
    ~SearchController() override; // a search still running is asked to stop, not waited for

    // Starts a new search whose devices go into `into` (emptied now); a search still running
    // is replaced and its results dropped.
    void Start(DeviceList& into);
    // One tick of tmrSearch: steps the search on, or ends it.
    void Tick();

    bool Running() const { return worker != nullptr; }
    std::int32_t TickCounter() const { return tickCounter; }
    UpnpThread* Worker() const { return worker.get(); }
    std::size_t RetiredCount() const { return retired.Count(); }
    // What the last search saw, once it has run to its end; none while one runs, or when it
    // ended early.
    const std::optional<SearchEvidence>& Evidence() const { return evidence; }

    // The one seam of the search's pace: tests and the program's test tick make a whole search
    // take seconds.
    void SetClock(SearchSchedule::WindowClock clock);

signals:
    // A tick began: the progress bar steps.
    void stepped();
    // The search has ended and its devices are in the list given to Start.
    void finished();

private:
    void Step();
    void EndPause();
    void Finish(bool merge);
    void ReleaseWorker();
    void ReleaseRetired();

    WorkerFactory makeWorker;
    std::unique_ptr<UpnpThread> worker;
    bool workerStarted = false;
    DeviceList* found = nullptr;
    std::optional<SearchEvidence> evidence;
    std::int32_t tickCounter = 0;
    // Workers of replaced searches, asked to stop; released once their run has ended.
    RetiredWorkers retired;
    QTimer* tmrSearch;
    QTimer* tmrTickPause;
    QTimer* tmrRetired;
};
