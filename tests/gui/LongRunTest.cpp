// 100 searches in a row in one window, each started by Refresh, with the real worker on the
// private network that longrun_test.sh builds: two good maker devices and one of another maker.
//
// The only thing shortened is the pace of the ticks: the search timer (named "tmrSearch") gets a
// test-only period and the pumping pause is short. The worker's windows are counted in ticks, so
// every search goes through the same windows, passes, fetches and list as the user's, in
// seconds instead of about a minute.
#include "discovery/transport/NameLookup.h"
#include "mainwindow/Main.h"
#include "mainwindow/MainPeer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <string>

namespace {

constexpr const char* kClientAddress = "192.0.2.1";

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

std::size_t ThreadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

std::size_t OpenDescriptorCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

QStringList Rows(const TfrmMain& window) {
    const auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lstNetworkList"));
    QStringList rows;
    for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0) + u'\t' + list->topLevelItem(i)->text(1);
    rows.sort();
    return rows;
}

TEST(LongRunTest, HundredSearchesInARowKeepTheListMemoryThreadsAndDescriptors) {
    // The worker searches from the client's address: only inside the private network.
    ASSERT_EQ(LocalInterfaceAddresses(), TextLines{kClientAddress})
        << "run through longrun_test.sh, in its network namespace";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QFile::copy(QStringLiteral(PATHMERE_LANG_XML),
                            folder.filePath(QStringLiteral("lang.xml"))));
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    setenv("XDG_CONFIG_HOME",
           QFile::encodeName(folder.filePath(QStringLiteral("config"))).constData(), 1);

    TfrmMain window([] {
        return std::make_unique<UpnpThread>(
            [] { return std::vector<std::string>{kClientAddress}; });
    });
    TfrmMainPeer::SetTrayProbe(window, [] { return false; });
    TfrmMainPeer::SetClock(window, {std::chrono::milliseconds(10), std::chrono::milliseconds(5)});
    window.InitializeMainWindow();
    const std::size_t threadsBefore = ThreadCount();

    const QStringList expected{QStringLiteral("Good one\t192.0.2.10"),
                               QStringLiteral("Good two\t192.0.2.11")};
    long rssAfter1 = 0;
    long rssAfter10 = 0;
    std::size_t descriptorsAfter10 = 0;
    for (int search = 1; search <= 100; ++search) {
        window.btnRefreshClick();
        ASSERT_NE(TfrmMainPeer::SearchWorker(window), nullptr);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return TfrmMainPeer::SearchWorker(window) == nullptr; }, 120000))
            << "search " << search << " did not end";
        ASSERT_EQ(Rows(window), expected) << "search " << search;
        const long rss = ResidentKiB();
        if (search == 1)
            rssAfter1 = rss;
        const std::size_t descriptors = OpenDescriptorCount();
        if (search == 10) {
            rssAfter10 = rss;
            descriptorsAfter10 = descriptors;
        }
        if (search == 1 || search == 10 || search == 100)
            std::cout << "after search " << search << ": " << rss << " KiB resident, "
                      << ThreadCount() << " threads, " << descriptors << " open descriptors"
                      << std::endl;
        if (search == 100) {
            // Allocator noise is some hundreds of KiB; a leak per search would show as more.
            EXPECT_LE(rss, rssAfter10 + 2048) << "after 1: " << rssAfter1 << " KiB";
            // A socket or pipe left open per search would be 90 more; whatever stays open for
            // good (the bus, the tray) is open by the tenth.
            EXPECT_LE(descriptors, descriptorsAfter10) << "a descriptor is left open per search";
        }
    }
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return TfrmMainPeer::RetiredWorkerCount(window) == 0; }, 30000));
    EXPECT_LE(ThreadCount(), threadsBefore) << "a worker thread was left behind";
}

} // namespace
