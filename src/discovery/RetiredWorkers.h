#pragma once

#include "discovery/Upnpthread.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// Workers of replaced searches. A worker asked to stop ends its run within a receive pass or an
// HTTP fetch, but destroying it waits for that; so each one is destroyed on a thread of its own
// and the interface thread never waits. Their results are dropped.
class RetiredWorkers {
public:
    RetiredWorkers() = default;
    virtual ~RetiredWorkers(); // abandons the workers still running
    RetiredWorkers(const RetiredWorkers&) = delete;
    RetiredWorkers& operator=(const RetiredWorkers&) = delete;

    // Asks the worker to stop and has it destroyed once its run has returned.
    void Add(std::unique_ptr<UpnpThread> worker);

    // Forgets the workers destroyed by now, and gives a destroyer to any worker that could not
    // have one when it was added. True when none is left.
    bool ReleaseEnded();

    std::size_t Count() const { return entries.size(); }

    // Leaves the workers still running to end with the process: nothing waits for them.
    void Abandon();

    // Workers abandoned so far in this process. The program then leaves without running
    // static destructors under their threads.
    static std::size_t AbandonedCount();

protected:
    // Creates a destroyer thread; tests override it to make the creation fail.
    virtual std::thread LaunchDestroyer(std::function<void()> body);

private:
    enum class State { Running, Ended, Abandoned };
    // Whichever comes second, the end of the run or the abandoning, releases the entry.
    struct Entry {
        std::unique_ptr<UpnpThread> worker;
        std::atomic<State> state{State::Running};
        std::thread destroyer;
    };
    // False when no thread could be made: the entry then waits for the next ReleaseEnded.
    bool StartDestroyer(Entry& entry);

    std::vector<std::unique_ptr<Entry>> entries;
};
