#include "discovery/RetiredWorkers.h"

#include <algorithm>
#include <mutex>
#include <system_error>

namespace {

std::atomic<std::size_t> abandoned{0};

// Workers abandoned without a destroyer thread. Held, never destroyed: destroying one waits for
// its run, and the process ends without waiting for them.
void KeepUntilExit(std::unique_ptr<UpnpThread> worker) {
    static std::mutex guard;
    static auto* orphans = new std::vector<std::unique_ptr<UpnpThread>>;
    const std::lock_guard lock(guard);
    orphans->push_back(std::move(worker));
}

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
    entries.push_back(std::move(entry));
    StartDestroyer(*entries.back());
}

std::thread RetiredWorkers::LaunchDestroyer(std::function<void()> body) {
    return std::thread(std::move(body));
}

bool RetiredWorkers::StartDestroyer(Entry& entry) {
    Entry* raw = &entry;
    try {
        raw->destroyer = LaunchDestroyer([raw] {
            raw->worker.reset(); // waits until the run has returned
            if (raw->state.exchange(State::Ended) == State::Abandoned) {
                delete raw; // no one holds the entry any more
            }
        });
    } catch (const std::system_error&) {
        return false; // out of threads for now
    }
    return true;
}

bool RetiredWorkers::ReleaseEnded() {
    for (auto& entry : entries) {
        if (!entry->destroyer.joinable()) {
            StartDestroyer(*entry);
        }
    }
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
        if (!entry->destroyer.joinable()) {
            KeepUntilExit(std::move(entry->worker));
            abandoned.fetch_add(1);
            continue;
        }
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
