#include "discovery/RetiredWorkers.h"

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
        if (raw->state.exchange(State::Ended) == State::Abandoned) {
            delete raw; // no one holds the entry any more
        }
    });
}

bool RetiredWorkers::ReleaseEnded() {
    std::erase_if(entries, [](const std::unique_ptr<Entry>& entry) {
        if (entry->state.load() != State::Ended) {
            return false;
        }
        entry->destroyer.join(); // it has finished its work: returns at once
        return true;
    });
    return entries.empty();
}

void RetiredWorkers::Abandon() {
    for (auto& entry : entries) {
        if (entry->state.load() == State::Ended) {
            entry->destroyer.join();
            continue;
        }
        // Detached before it can see the entry abandoned, since it then releases the entry.
        entry->destroyer.detach();
        if (entry->state.exchange(State::Abandoned) == State::Ended) {
            continue; // ended meanwhile and left the entry to us
        }
        static_cast<void>(entry.release()); // its destroyer thread releases it
        abandoned.fetch_add(1);
    }
    entries.clear();
}

std::size_t RetiredWorkers::AbandonedCount() {
    return abandoned.load();
}
