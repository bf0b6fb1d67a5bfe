#pragma once

#include "discovery/Upnpthread.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

// Workers of replaced searches. A worker asked to stop ends its run within a receive pass or an
// HTTP fetch, but destroying it waits for that; so each one is destroyed on a thread of its own
// and the interface thread never waits. Their results are dropped.
class RetiredWorkers {
public:
    RetiredWorkers() = default;
    ~RetiredWorkers(); // abandons the workers still running
    RetiredWorkers(const RetiredWorkers&) = delete;
    RetiredWorkers& operator=(const RetiredWorkers&) = delete;

    // Asks the worker to stop and has it destroyed once its run has returned.
    void Add(std::unique_ptr<UpnpThread> worker);

    // Forgets the workers destroyed by now. True when none is left.
    bool ReleaseEnded();

    std::size_t Count() const { return entries.size(); }

    // Leaves the workers still running to end with the process: nothing waits for them.
    void Abandon();

    // Workers abandoned so far in this process. The program then leaves without running
    // static destructors under their threads.
    static std::size_t AbandonedCount();

private:
    enum class State { Running, Ended, Abandoned };
    // Whichever comes second, the end of the run or the abandoning, releases the entry.
    struct Entry {
        std::unique_ptr<UpnpThread> worker;
        std::atomic<State> state{State::Running};
        std::thread destroyer;
    };
    std::vector<std::unique_ptr<Entry>> entries;
};
