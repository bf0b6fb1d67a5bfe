#include "mainwindow/SearchController.h"

#include "FakeWorker.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// The search without a window: driven by its own timers, observed through its signals.
class SearchControllerTest : public ::testing::Test {
protected:
    SearchController MakeController(std::vector<std::shared_ptr<WorkerScript>> scripts) {
        auto next = std::make_shared<std::size_t>(0);
        return SearchController([scripts, next]() -> std::unique_ptr<UpnpThread> {
            const std::size_t index = std::min(*next, scripts.size() - 1);
            ++*next;
            return std::make_unique<FakeWorker>(scripts[index]);
        });
    }
};

TEST_F(SearchControllerTest, TicksUntilTheWorkerEndsThenMergesAndFinishesOnce) {
    auto script = std::make_shared<WorkerScript>();
    script->devices = {Device("Korvane R-100", "192.0.2.10"), Device("again", "192.0.2.10"),
                       Device("Korvane AP-300", "192.0.2.11")};
    SearchController search = MakeController({script});
    search.SetClock({std::chrono::milliseconds(5), std::chrono::milliseconds(2)});
    QSignalSpy stepped(&search, &SearchController::stepped);
    QSignalSpy finished(&search, &SearchController::finished);
    DeviceList found{Device("from before", "192.0.2.99")};

    search.Start(found);
    EXPECT_TRUE(found.empty()) << "a new search starts from an empty list";
    ASSERT_TRUE(search.Running());
    ASSERT_TRUE(QTest::qWaitFor([&] { return search.Worker()->searchTick.load() >= 5; }, 10000));
    EXPECT_GE(stepped.count(), 5);
    EXPECT_EQ(finished.count(), 0);

    script->Finish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 10000));
    EXPECT_FALSE(search.Running());
    ASSERT_EQ(found.size(), 2u) << "one record per address";
    EXPECT_EQ(found[0]->friendlyName, "Korvane R-100");
    EXPECT_EQ(found[1]->friendlyName, "Korvane AP-300");
    QTest::qWait(50);
    EXPECT_EQ(finished.count(), 1) << "the clock stopped with the search";
}

TEST_F(SearchControllerTest, ANewSearchRetiresTheOldWorkerWithoutWaitingAndDropsItsResults) {
    auto old = std::make_shared<WorkerScript>();
    old->honourStop = false;
    old->devices = {Device("stale", "192.0.2.50")};
    auto fresh = std::make_shared<WorkerScript>();
    fresh->devices = {Device("Korvane R-100", "192.0.2.10")};
    SearchController search = MakeController({old, fresh});
    search.SetClock({std::chrono::milliseconds(5), std::chrono::milliseconds(2)});
    QSignalSpy finished(&search, &SearchController::finished);
    DeviceList found;

    search.Start(found);
    UpnpThread* first = search.Worker();
    search.Start(found);
    EXPECT_NE(search.Worker(), first);
    EXPECT_EQ(search.RetiredCount(), 1u);
    EXPECT_FALSE(old->runEnded.load()) << "not waited for";
    EXPECT_EQ(search.TickCounter(), 0);

    old->Finish();
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.RetiredCount() == 0; }, 10000));
    fresh->Finish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 10000));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->friendlyName, "Korvane R-100");
}

TEST_F(SearchControllerTest, AWorkerThatCannotStartEndsTheSearchAtTheFirstTick) {
    auto script = std::make_shared<WorkerScript>();
    script->failStart = true;
    SearchController search = MakeController({script});
    QSignalSpy stepped(&search, &SearchController::stepped);
    QSignalSpy finished(&search, &SearchController::finished);
    DeviceList found;
    search.Start(found);
    search.Tick();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(stepped.count(), 0);
    EXPECT_FALSE(search.Running());
    EXPECT_FALSE(search.findChild<QTimer*>(QStringLiteral("tmrSearch"))->isActive());
}

} // namespace
