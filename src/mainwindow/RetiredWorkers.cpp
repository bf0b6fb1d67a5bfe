#include "mainwindow/RetiredWorkers.h"

#include <algorithm>

namespace {

std::atomic<std::size_t> abandoned{0};

} // namespace

RetiredWorkers::~RetiredWorkers() {
    Abandon();
}

void RetiredWorkers::Add(std::unique_ptr<UpnpThread> worker) {
    if (!worker) {
        return;
    }
    worker->keepRunning.store(false);
    auto entry = std::make_unique<Entry>();
    entry->worker = std::move(worker);
    Entry* raw = entry.get();
    entries.push_back(std::move(entry));
    raw->destroyer = std::thread([raw] {
        raw->worker.reset(); // waits until the run has returned
        raw->ended.store(true, std::memory_order_release);
    });
}

bool RetiredWorkers::ReleaseEnded() {
    std::erase_if(entries, [](const std::unique_ptr<Entry>& entry) {
        if (!entry->ended.load(std::memory_order_acquire)) {
            return false;
        }
        entry->destroyer.join(); // it has finished its work: returns at once
        return true;
    });
    return entries.empty();
}

void RetiredWorkers::Abandon() {
    ReleaseEnded();
    for (auto& entry : entries) {
        // The entry must outlive its destroyer thread, which still uses it: it is let go.
        entry->destroyer.detach();
        static_cast<void>(entry.release());
        abandoned.fetch_add(1);
    }
    entries.clear();
}

std::size_t RetiredWorkers::AbandonedCount() {
    return abandoned.load();
}
