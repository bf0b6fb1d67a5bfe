#include "WindowTestSupport.h"
#include "discovery/RetiredWorkers.h"
#include "mainwindow/DeviceMerge.h"
#include "mainwindow/MainPeer.h"
#include "windows/chrome.h"

#include <QApplication>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

using SearchCycleTest = WindowTest;

// One whole tick: the timer's work, then the pause that ends it.
void CompleteTick(TfrmMain& window) {
    window.tmrSearchTimer();
    auto* pause = window.findChild<QTimer*>(QStringLiteral("tmrTickPause"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pause->isActive(); }, 10000));
}

// Ticks until the worker's result has been taken in (or `limit` ticks went by).
void TickUntilListShown(TfrmMain& window, int limit = 2000) {
    for (int i = 0; i < limit && TfrmMainPeer::SearchWorker(window) != nullptr; ++i) {
        CompleteTick(window);
    }
}

// Waits (bounded) until the fake's thread has cleared running.
void WaitUntilFinished(TfrmMain& window) {
    UpnpThread* worker = TfrmMainPeer::SearchWorker(window);
    ASSERT_NE(worker, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !worker->running.load(); }, 10000));
}

TEST_F(SearchCycleTest, TickValuesAndProgressBarFollowTheTicks) {
    auto script = std::make_shared<WorkerScript>();
    auto window = MakeWindow({script});
    auto* progress = Child<QProgressBar>(*window, "Progress");
    auto* timer = Child<QTimer>(*window, "tmrSearch");

    window->btnRefreshClick();
    ASSERT_NE(TfrmMainPeer::SearchWorker(*window), nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window)->searchTick.load(), 0);
    EXPECT_EQ(progress->value(), 0);

    for (int tick = 1; tick <= 101; ++tick) {
        CompleteTick(*window);
        ASSERT_EQ(TfrmMainPeer::SearchWorker(*window)->searchTick.load(), tick - 1)
            << "tick " << tick;
        ASSERT_EQ(TfrmMainPeer::TickCounter(*window), tick);
        ASSERT_TRUE(timer->isActive()) << "re-armed while the worker runs";
        if (tick == 100) {
            EXPECT_EQ(progress->value(), 100) << "full on the 100th tick";
        }
    }
    EXPECT_EQ(progress->value(), 0) << "empty again on the 101st";
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    script->Finish();
}

TEST_F(SearchCycleTest, FinishedWorkerIsNoticedAtTheNextTickAndItsDevicesShown) {
    auto script = std::make_shared<WorkerScript>();
    script->devices = {Device("Korvane AP-300", "192.168.1.10"),
                       Device("Korvane R-100", "192.168.1.1"),
                       Device("Korvane X-5", "192.168.1.77")};
    auto window = MakeWindow({script});
    window->btnRefreshClick();
    window->tmrSearchTimer();
    window->tmrSearchTimer();
    script->Finish();
    WaitUntilFinished(*window);

    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    EXPECT_EQ(list->topLevelItemCount(), 0) << "nothing shown before the next tick";
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));

    window->tmrSearchTimer();
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr) << "the finished worker is released";
    EXPECT_FALSE(Child<QTimer>(*window, "tmrSearch")->isActive());
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlNetworks"));
    ASSERT_EQ(list->topLevelItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const auto& record = script->devices[static_cast<std::size_t>(row)];
        EXPECT_EQ(list->topLevelItem(row)->text(0), QString::fromStdString(record->friendlyName));
        EXPECT_EQ(list->topLevelItem(row)->text(1), QString::fromStdString(record->ipAddress));
        EXPECT_EQ(list->topLevelItem(row)->isSelected(), row == 0);
        EXPECT_EQ(list->visualItemRect(list->topLevelItem(row)).height(), 32);
        EXPECT_FALSE(list->topLevelItem(row)->icon(0).isNull());
    }
    ASSERT_EQ(TfrmMainPeer::FoundDevices(*window)->size(), 3u);
    EXPECT_EQ((*TfrmMainPeer::FoundDevices(*window))[0], script->devices[0])
        << "records are shared";
    EXPECT_EQ(script->destroyed.load(), 1);
}

TEST(DeviceMerge, KeepsTheFirstRecordOfEachExactAddress) {
    const auto first = Device("first", "10.0.0.1");
    const auto again = Device("again", "10.0.0.1");
    const auto upper = Device("upper", "Router.lan");
    const auto lower = Device("lower", "router.lan");
    const auto spaced = Device("spaced", "10.0.0.1 ");
    const auto known = Device("known", "10.0.0.9");

    DeviceList into{known};
    MergeDevices(into,
                 {first, again, upper, lower, known, spaced, Device("dup", "Router.lan"), nullptr});
    const std::vector<std::string> names{"known", "first", "upper", "lower", "spaced"};
    ASSERT_EQ(into.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(into[i]->friendlyName, names[i]);
    }
}

TEST_F(SearchCycleTest, RefreshEmptiesTheListAndStartsAfresh) {
    auto first = std::make_shared<WorkerScript>();
    first->devices = {Device("Korvane R-100", "192.168.1.1")};
    auto second = std::make_shared<WorkerScript>();
    auto window = MakeWindow({first, second});
    window->btnRefreshClick();
    first->Finish();
    WaitUntilFinished(*window);
    TickUntilListShown(*window);
    ASSERT_EQ(Child<QTreeWidget>(*window, "lstNetworkList")->topLevelItemCount(), 1);

    window->btnRefreshClick();
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    EXPECT_EQ(Child<QTreeWidget>(*window, "lstNetworkList")->topLevelItemCount(), 0);
    EXPECT_TRUE(TfrmMainPeer::FoundDevices(*window)->empty());
    EXPECT_EQ(TfrmMainPeer::TickCounter(*window), 0);
    EXPECT_EQ(Child<QProgressBar>(*window, "Progress")->value(), 0);

    second->Finish();
    WaitUntilFinished(*window);
    TickUntilListShown(*window);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlNetworks"));
    EXPECT_EQ(Child<QTreeWidget>(*window, "lstNetworkList")->topLevelItemCount(), 0);
}

TEST_F(SearchCycleTest, NewSearchWhileOneRunsNeitherWaitsForNorLeaksTheOldWorker) {
    auto old = std::make_shared<WorkerScript>();
    old->honourStop = false; // busy fetching descriptions: it ends only when it is done
    old->devices = {Device("stale", "192.168.1.50")};
    auto fresh = std::make_shared<WorkerScript>();
    fresh->devices = {Device("Korvane R-100", "192.168.1.1")};
    auto window = MakeWindow({old, fresh});
    const long held = old.use_count(); // by the test and the window's worker factory

    window->btnRefreshClick();
    window->tmrSearchTimer();
    UpnpThread* oldWorker = TfrmMainPeer::SearchWorker(*window);
    window->btnRefreshClick(); // as the tray's Show does in the middle of a search
    EXPECT_FALSE(old->runEnded.load()) << "the interface did not wait for the old run";
    EXPECT_NE(TfrmMainPeer::SearchWorker(*window), oldWorker);
    EXPECT_EQ(TfrmMainPeer::RetiredWorkerCount(*window), 1u);
    EXPECT_FALSE(oldWorker->keepRunning.load()) << "asked to stop";

    old->Finish();
    fresh->Finish();
    // The old worker and its thread are gone, and the window no longer keeps it aside.
    EXPECT_TRUE(QTest::qWaitFor([&] { return old.use_count() == held; }, 10000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return TfrmMainPeer::RetiredWorkerCount(*window) == 0; }, 10000));
    WaitUntilFinished(*window);
    TickUntilListShown(*window);
    ASSERT_EQ(TfrmMainPeer::FoundDevices(*window)->size(), 1u);
    EXPECT_EQ(TfrmMainPeer::FoundDevices(*window)->front()->friendlyName, "Korvane R-100")
        << "the old worker's results are dropped";
}

TEST_F(SearchCycleTest, TickWhoseSearchWasReplacedDuringItsPauseStepsAside) {
    auto first = std::make_shared<WorkerScript>();
    auto second = std::make_shared<WorkerScript>();
    auto window = MakeWindow({first, second});
    TfrmMainPeer::SetClock(*window, {std::chrono::hours(1), std::chrono::milliseconds(50)});
    window->btnRefreshClick();
    CompleteTick(*window);
    CompleteTick(*window);

    // The tray's Show arrives while the tick pauses.
    window->tmrSearchTimer();
    window->btnRefreshClick();
    QTest::qWait(100);
    ASSERT_NE(TfrmMainPeer::SearchWorker(*window), nullptr);
    EXPECT_EQ(TfrmMainPeer::TickCounter(*window), 0)
        << "the old tick did not count for the new search";
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window)->searchTick.load(), 0);
    EXPECT_TRUE(Child<QTimer>(*window, "tmrSearch")->isActive());
    EXPECT_EQ(TfrmMainPeer::RetiredWorkerCount(*window), 1u);
    first->Finish();
    second->Finish();
}

TEST_F(SearchCycleTest, OnlyALeftClickOnRefreshStartsASearch) {
    auto window = MakeWindow();
    window->show();
    window->ShowPanel(1);
    auto* refresh = Child<PanelButton>(*window, "btnRefresh");
    QTest::mousePress(refresh, Qt::RightButton, {}, QPoint(40, 12));
    EXPECT_EQ(refresh->look(), PanelButton::Pressed);
    QTest::mouseRelease(refresh, Qt::RightButton, {}, QPoint(40, 12));
    EXPECT_EQ(refresh->look(), PanelButton::Raised);
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlNetworks"));

    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_NE(TfrmMainPeer::SearchWorker(*window), nullptr);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    EXPECT_EQ(refresh->look(), PanelButton::Raised);
}

// About and the legal notice run an event loop of their own while they are open; the search
// they were opened in goes on ticking.
TEST_F(SearchCycleTest, WindowOpenedDuringATickKeepsTheClockGoing) {
    auto script = std::make_shared<WorkerScript>();
    auto window = MakeWindow({script});
    TfrmMainPeer::SetClock(*window, {std::chrono::milliseconds(10), std::chrono::milliseconds(5)});
    window->btnRefreshClick();

    int ticksAtOpening = -1;
    int ticksWhileOpen = -1;
    QTimer::singleShot(1, window.get(), [&] {
        ticksAtOpening = TfrmMainPeer::TickCounter(*window);
        QTimer::singleShot(600, window.get(), [&] {
            ticksWhileOpen = TfrmMainPeer::TickCounter(*window);
            if (QWidget* about = QApplication::activeModalWidget()) {
                about->close();
            }
        });
        window->mnAboutClick(); // returns when the window above closes it
    });
    window->tmrSearchTimer(); // the About item is chosen during this tick's pause
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticksWhileOpen >= 0; }, 10000));
    EXPECT_GE(ticksWhileOpen - ticksAtOpening, 10) << "ticks went on while About was open";
    script->Finish();
}

TEST_F(SearchCycleTest, WorkerThatCannotStartEndsTheSearchAtTheNextTick) {
    auto script = std::make_shared<WorkerScript>();
    script->failStart = true;
    auto window = MakeWindow({script});
    window->btnRefreshClick();
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    window->tmrSearchTimer();
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlNetworks"));
    EXPECT_FALSE(Child<QTimer>(*window, "tmrSearch")->isActive());
    EXPECT_EQ(Child<QTreeWidget>(*window, "lstNetworkList")->topLevelItemCount(), 0);
    EXPECT_EQ(TfrmMainPeer::RetiredWorkerCount(*window), 0u);
    EXPECT_EQ(script->destroyed.load(), 1);
}

TEST_F(SearchCycleTest, WorkerWithoutADeviceListShowsAnEmptyList) {
    auto script = std::make_shared<WorkerScript>();
    script->reportNoList = true;
    auto window = MakeWindow({script});
    window->btnRefreshClick();
    script->Finish();
    WaitUntilFinished(*window);
    TickUntilListShown(*window);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlNetworks"));
    EXPECT_EQ(Child<QTreeWidget>(*window, "lstNetworkList")->topLevelItemCount(), 0);
}

TEST_F(SearchCycleTest, ClosingDuringASearchNeitherWaitsNorCrashes) {
    auto script = std::make_shared<WorkerScript>();
    script->honourStop = false;
    auto window = MakeWindow({script});
    window->btnRefreshClick();
    UpnpThread* worker = TfrmMainPeer::SearchWorker(*window);
    const std::size_t abandonedBefore = RetiredWorkers::AbandonedCount();
    window.reset();
    EXPECT_FALSE(script->runEnded.load()) << "the window did not wait for the run";
    EXPECT_EQ(RetiredWorkers::AbandonedCount(), abandonedBefore + 1);
    EXPECT_FALSE(worker->keepRunning.load());
    // Left to itself, the worker is still released once its run ends.
    script->Finish();
    EXPECT_TRUE(QTest::qWaitFor([&] { return script.use_count() == 1; }, 10000));
}

// The real worker with no address to search: it ends at once with an empty list.
TEST_F(SearchCycleTest, RealWorkerWithNothingToSearchEndsWithAnEmptyList) {
    TfrmMain window(
        [] { return std::make_unique<UpnpThread>([] { return std::vector<std::string>{}; }); });
    TfrmMainPeer::SetClock(window, {std::chrono::hours(1), std::chrono::milliseconds(5)});
    window.btnRefreshClick();
    TickUntilListShown(window);
    EXPECT_EQ(TfrmMainPeer::SearchWorker(window), nullptr);
    EXPECT_EQ(FrontPanel(window), QStringLiteral("pnlNetworks"));
    EXPECT_EQ(Child<QTreeWidget>(window, "lstNetworkList")->topLevelItemCount(), 0);
}

} // namespace
