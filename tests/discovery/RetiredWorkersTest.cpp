#include "discovery/RetiredWorkers.h"

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <gtest/gtest.h>
#include <system_error>
#include <thread>

namespace {

// A worker whose run waits until it is told to finish, or, if it honours stop requests,
// until it is asked to stop; then it clears running as the real run does.
struct Script {
    std::atomic<bool> finish{false};
    std::atomic<bool> honourStop{true};
    std::atomic<bool> runEnded{false};
};

class ScriptedWorker : public UpnpThread {
public:
    explicit ScriptedWorker(std::shared_ptr<Script> given) : script(std::move(given)) {}
    ~ScriptedWorker() override {
        if (thread.joinable()) {
            thread.join();
        }
    }

protected:
    std::thread LaunchThread(std::function<void()>) override {
        thread = std::thread([this, s = script] {
            while (!s->finish.load() && !(s->honourStop.load() && !keepRunning.load())) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            s->runEnded.store(true);
            running.store(false, std::memory_order_release);
        });
        return {};
    }

private:
    std::shared_ptr<Script> script;
    std::thread thread;
};

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 10000; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Run under ThreadSanitizer: each worker is destroyed on a thread of its own, and whichever
// comes second, the end of its run or the abandoning, releases its entry.
TEST(RetiredWorkers, EveryWorkerIsReleasedWhetherItEndsBeforeOrAfterBeingAbandoned) {
    for (int round = 0; round < 20; ++round) {
        auto early = std::make_shared<Script>();
        auto late = std::make_shared<Script>();
        late->honourStop = false;
        const std::size_t abandonedBefore = RetiredWorkers::AbandonedCount();
        {
            RetiredWorkers retired;
            for (const auto& script : {early, late}) {
                auto worker = std::make_unique<ScriptedWorker>(script);
                ASSERT_TRUE(worker->Start());
                retired.Add(std::move(worker));
            }
            EXPECT_EQ(retired.Count(), 2u);
            // The early one stops when asked and is released; the late one goes on.
            ASSERT_TRUE(WaitFor([&] { return early.use_count() == 1; }));
            EXPECT_TRUE(WaitFor([&] { return !retired.ReleaseEnded() && retired.Count() == 1u; }));
            EXPECT_FALSE(late->runEnded.load());
            if (round % 2 == 1) {
                late->finish = true; // races the abandoning below
            }
        } // abandons the late one
        EXPECT_LE(RetiredWorkers::AbandonedCount(), abandonedBefore + 1);
        late->finish = true;
        // Held by the test alone: the worker and its thread are gone.
        EXPECT_TRUE(WaitFor([&] { return late.use_count() == 1; }));
    }
}

// Creating a thread can fail when the process is out of them; the worker must then neither
// be lost nor be waited for on the caller's thread.
class ThreadStarvedRetiredWorkers : public RetiredWorkers {
public:
    std::atomic<int> refusalsLeft{0};

protected:
    std::thread LaunchDestroyer(std::function<void()> body) override {
        if (refusalsLeft.load() > 0) {
            --refusalsLeft;
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        return RetiredWorkers::LaunchDestroyer(std::move(body));
    }
};

TEST(RetiredWorkers, AWorkerWhoseDestroyerCouldNotStartIsDestroyedLater) {
    auto script = std::make_shared<Script>();
    {
        ThreadStarvedRetiredWorkers retired;
        retired.refusalsLeft = 2;
        auto worker = std::make_unique<ScriptedWorker>(script);
        ASSERT_TRUE(worker->Start());
        retired.Add(std::move(worker)); // first refusal
        EXPECT_FALSE(retired.ReleaseEnded()); // second refusal: kept, not lost
        EXPECT_EQ(retired.Count(), 1u);
        EXPECT_TRUE(WaitFor([&] { return retired.ReleaseEnded(); }));
        EXPECT_EQ(script.use_count(), 1); // destroyed on the third try
    }
}

// The process then ends without waiting for the worker, as the program does (_Exit).
TEST(RetiredWorkersDeathTest, AWorkerThatNeverHadADestroyerIsAbandonedWithoutFailing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto stuck = std::make_shared<Script>();
            stuck->honourStop = false;
            const std::size_t abandonedBefore = RetiredWorkers::AbandonedCount();
            {
                ThreadStarvedRetiredWorkers retired;
                retired.refusalsLeft = 1000;
                auto worker = std::make_unique<ScriptedWorker>(stuck);
                if (worker->Start()) {
                    retired.Add(std::move(worker));
                }
            }
            std::_Exit(RetiredWorkers::AbandonedCount() == abandonedBefore + 1 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
