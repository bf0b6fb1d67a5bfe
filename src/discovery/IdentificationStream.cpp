#include "discovery/IdentificationStream.h"

#include <algorithm>

namespace {

// Whatever needs the thread (a location, the finish, the stop, a fetch's own time-out) wakes
// it; this only bounds the wait, and waking more often would only cost time.
constexpr std::chrono::milliseconds kStepWait{1000};

} // namespace

IdentificationStream::IdentificationStream(OnRead callback, HttpLimits limits)
    : onRead(std::move(callback)), fetch(limits), thread([this] { Run(); }) {}

IdentificationStream::~IdentificationStream() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    fetch.Wakeup();
    thread.join();
}

void IdentificationStream::Add(const DeviceLocation& location, const std::string& sender) {
    {
        std::lock_guard<std::mutex> guard(lock);
        entries.push_back(Entry{location, sender});
        added.push_back(entries.size() - 1);
    }
    fetch.Wakeup();
}

std::vector<DescriptionReport> IdentificationStream::Finish(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> guard(lock);
    finishing = true;
    bound = limit;
    giveUpAt = std::chrono::steady_clock::now() + limit;
    guard.unlock();
    fetch.Wakeup();
    guard.lock();
    ended.wait(guard, [this] { return done; });
    return std::move(reports);
}

void IdentificationStream::Report(FetchResult result) {
    Entry entry;
    {
        std::lock_guard<std::mutex> guard(lock);
        entry = entries[result.id];
    }
    auto report =
        ReadDescription(entry.location, entry.sender, result.fetched, result.body, result.failure);
    if (onRead) {
        onRead(report);
    }
    std::lock_guard<std::mutex> guard(lock);
    reports.push_back(std::move(report));
}

void IdentificationStream::Run() {
    const auto report = [this](FetchResult result) { Report(std::move(result)); };
    for (;;) {
        std::deque<std::size_t> fresh;
        bool finish = false;
        bool late = false;
        std::chrono::milliseconds limit{0};
        std::chrono::steady_clock::time_point giveUp;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (stopping) {
                return;
            }
            fresh.swap(added);
            finish = finishing;
            late = finishing && std::chrono::steady_clock::now() >= giveUpAt;
            limit = bound;
            giveUp = giveUpAt;
        }
        for (const auto index : fresh) {
            DeviceLocation location;
            {
                std::lock_guard<std::mutex> guard(lock);
                location = entries[index].location;
            }
            if (location.refusal == LocationRefusal::None) {
                fetch.Add(index, location.url);
            } else {
                Report(FetchResult{index, false, {}, {}});
            }
        }
        if (late) {
            fetch.GiveUp("the identification took longer than " +
                             std::to_string(limit.count() / 1000) + " s",
                         report);
        }
        if (finish && fetch.Idle()) {
            std::lock_guard<std::mutex> guard(lock);
            done = true;
            ended.notify_all();
            return;
        }
        auto wait = kStepWait;
        if (finish) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                giveUp - std::chrono::steady_clock::now());
            wait = std::clamp(left, std::chrono::milliseconds(1), kStepWait);
        }
        fetch.Step(wait, report);
    }
}
