#include "WindowTestSupport.h"
#include "language/Language.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/InstanceLock.h"
#include "mainwindow/MainPeer.h"
#include "settings/settings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using StartupTest = WindowTest;

struct WordCase {
    const char* name;
    const char* commandLine;
    bool toTray;
};

class CommandWordTest : public WindowTest, public ::testing::WithParamInterface<WordCase> {};

TEST_P(CommandWordTest, OnlyTheExactWordStartsInTheTray) {
    const WordCase& c = GetParam();
    for (const bool trayAvailable : {true, false}) {
        SCOPED_TRACE(trayAvailable ? "with a tray" : "without a tray");
        auto window = MakeWindow();
        TfrmMainPeer::SetTrayProbe(*window, [trayAvailable] { return trayAvailable; });
        window->SetCommandLine(QString::fromUtf8(c.commandLine));
        window->show();
        window->tmrInitTimer();

        EXPECT_FALSE(Child<QTimer>(*window, "tmrInit")->isActive()) << "ticks once";
        EXPECT_NE(TfrmMainPeer::SearchWorker(*window), nullptr)
            << "the first search runs in every case";
        EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
        EXPECT_EQ(window->isMinimized(), c.toTray);
        // Without a notification area the window stays on the taskbar, minimised.
        EXPECT_EQ(window->isVisible(), !c.toTray || !trayAvailable);
    }
}

INSTANTIATE_TEST_SUITE_P(Startup, CommandWordTest,
                         ::testing::Values(WordCase{"Word", "simge", true},
                                           WordCase{"NoWord", "", false},
                                           WordCase{"Capitals", "SIMGE", false},
                                           WordCase{"TrailingBlank", "simge ", false},
                                           WordCase{"SecondWord", "simge now", false},
                                           WordCase{"LeadingBlank", " simge", false}),
                         [](const ::testing::TestParamInfo<WordCase>& row) {
                             return std::string(row.param.name);
                         });

TEST_F(StartupTest, InitialisationSetsKeyColumnsAndEmptyDeviceList) {
    UseLanguageFile();
    auto window = MakeWindow();
    EXPECT_EQ(TfrmMainPeer::RegistryKeyPath(*window), "\\SOFTWARE\\Korvane\\Pathmere\\");
    ASSERT_NE(TfrmMainPeer::FoundDevices(*window), nullptr);
    EXPECT_TRUE(TfrmMainPeer::FoundDevices(*window)->empty());
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    EXPECT_EQ(list->headerItem()->text(0), Lang::Instance().stProductName);
    EXPECT_FALSE(list->headerItem()->text(0).isEmpty());
    EXPECT_EQ(list->columnWidth(0), 250);
    EXPECT_EQ(list->columnWidth(1), 150);
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr) << "no search before the first tick";
    EXPECT_EQ(TfrmMainPeer::TrayIcon(*window)->toolTip(), Lang::Instance().stAppName);
}

TEST(InstanceLock, OneHolderPerFolderUntilReleased) {
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString();
    InstanceLock::Result first = InstanceLock::Result::Unavailable;
    auto held = InstanceLock::Acquire(path, first);
    EXPECT_EQ(first, InstanceLock::Result::Acquired);
    ASSERT_NE(held, nullptr);

    InstanceLock::Result second = InstanceLock::Result::Acquired;
    EXPECT_EQ(InstanceLock::Acquire(path, second), nullptr);
    EXPECT_EQ(second, InstanceLock::Result::HeldByAnother);

    held.reset();
    InstanceLock::Result again = InstanceLock::Result::Unavailable;
    EXPECT_NE(InstanceLock::Acquire(path, again), nullptr);
    EXPECT_EQ(again, InstanceLock::Result::Acquired);

    InstanceLock::Result none = InstanceLock::Result::Acquired;
    EXPECT_EQ(InstanceLock::Acquire("", none), nullptr);
    EXPECT_EQ(none, InstanceLock::Result::Unavailable);
    EXPECT_EQ(InstanceLock::Acquire(path + "/missing", none), nullptr);
    EXPECT_EQ(none, InstanceLock::Result::Unavailable);
}

TEST(InstanceLock, FolderIsTheRuntimeFolderOrAPrivateOneInTheHome) {
    QTemporaryDir runtime;
    QTemporaryDir home;
    chmod(runtime.path().toLocal8Bit().constData(), 0700);
    const QByteArray saved[] = {qgetenv("XDG_RUNTIME_DIR"), qgetenv("XDG_STATE_HOME"),
                                qgetenv("HOME")};
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_STATE_HOME");
    const std::string own = home.path().toStdString() + "/.local/state/pathmere";

    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(InstanceLock::Folder(), runtime.path().toStdString());

    // A folder others can write, a relative one, or none: the private one in the home, never a
    // name in the shared /tmp that another user could have taken first.
    chmod(runtime.path().toLocal8Bit().constData(), 0777);
    EXPECT_EQ(InstanceLock::Folder(), own);
    qputenv("XDG_RUNTIME_DIR", "relative/run");
    EXPECT_EQ(InstanceLock::Folder(), own);
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLock::Folder(), own);
    for (const std::string& folder : {own, home.path().toStdString() + "/.local/state"}) {
        struct stat info {};
        ASSERT_EQ(lstat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
        EXPECT_EQ(info.st_uid, getuid());
    }
    InstanceLock::Result result{};
    EXPECT_NE(InstanceLock::Acquire(InstanceLock::Folder(), result), nullptr);

    const std::string state = home.path().toStdString() + "/state";
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(state));
    EXPECT_EQ(InstanceLock::Folder(), state + "/pathmere");
    chmod((state + "/pathmere").c_str(), 0777); // someone else could plant a lock there
    EXPECT_EQ(InstanceLock::Folder(), "");

    const char* names[] = {"XDG_RUNTIME_DIR", "XDG_STATE_HOME", "HOME"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull()) {
            qunsetenv(names[i]);
        } else {
            qputenv(names[i], saved[i]);
        }
    }
}

TEST(InstanceChannel, LaterStartReachesTheListenerAlsoOverALeftoverSocketFile) {
    QTemporaryDir runtime;
    const std::string folder = runtime.path().toStdString();
    // Nobody listens: the request is refused once the patience is spent.
    EXPECT_FALSE(InstanceChannel::AskToShow(folder, std::chrono::milliseconds(60)));

    // A socket file left by an instance that died is replaced by the next holder.
    QFile leftover(runtime.filePath(QLatin1String(InstanceChannel::kSocketName)));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    ShowRequests requests;
    QSignalSpy shown(&requests, &ShowRequests::showRequested);
    ASSERT_TRUE(requests.Adopt(InstanceChannel::Listen(folder)));

    EXPECT_TRUE(InstanceChannel::AskToShow(folder, std::chrono::milliseconds(1000)));
    EXPECT_TRUE(InstanceChannel::AskToShow(folder, std::chrono::milliseconds(1000)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.count() == 2; }, 5000));
}

TEST(InstanceChannel, ListenerIgnoresWhatIsNotARequest) {
    QTemporaryDir runtime;
    const std::string folder = runtime.path().toStdString();
    ShowRequests requests;
    QSignalSpy shown(&requests, &ShowRequests::showRequested);
    ASSERT_TRUE(requests.Adopt(InstanceChannel::Listen(folder)));
    for (const QByteArray& junk :
         {QByteArray("hide\n"), QByteArray(200, 'x'), QByteArray("show")}) {
        QLocalSocket peer;
        peer.connectToServer(runtime.filePath(QLatin1String(InstanceChannel::kSocketName)));
        ASSERT_TRUE(peer.waitForConnected(2000));
        peer.write(junk);
        peer.flush();
        peer.disconnectFromServer();
    }
    QTest::qWait(200);
    EXPECT_EQ(shown.count(), 0);
}

QLocalSocket* Connect(const QTemporaryDir& runtime, QObject* parent) {
    auto* peer = new QLocalSocket(parent);
    peer->connectToServer(runtime.filePath(QLatin1String(InstanceChannel::kSocketName)));
    return peer->waitForConnected(2000) ? peer : nullptr;
}

// Stuck or idle clients, with or without half a line, are closed and crowd nothing out.
TEST(InstanceChannel, IdleAndHalfLineConnectionsAreClosedAndARealRequestStillGetsThrough) {
    QTemporaryDir runtime;
    const std::string folder = runtime.path().toStdString();
    ShowRequests requests;
    QSignalSpy shown(&requests, &ShowRequests::showRequested);
    ASSERT_TRUE(requests.Adopt(InstanceChannel::Listen(folder)));
    QObject peers;
    std::vector<QLocalSocket*> stuck;
    for (int i = 0; i < 3 * ShowRequests::kMaxOpen; ++i) {
        QLocalSocket* peer = Connect(runtime, &peers);
        ASSERT_NE(peer, nullptr);
        if (i % 2 == 0) {
            peer->write("sho"); // half a line, never ended
            peer->flush();
        }
        stuck.push_back(peer);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests.OpenConnections() > 0; }, 5000));
    EXPECT_LE(requests.OpenConnections(), ShowRequests::kMaxOpen);

    EXPECT_TRUE(InstanceChannel::AskToShow(folder, std::chrono::milliseconds(1500)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.count() == 1; }, 5000));

    // Within their second, every stuck one is closed by the program.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return requests.OpenConnections() == 0 &&
                   std::all_of(stuck.begin(), stuck.end(), [](QLocalSocket* peer) {
                       return peer->state() == QLocalSocket::UnconnectedState;
                   });
        },
        10000));
}

// Accepting can fail (no descriptor left), which closes the server and removes its socket file.
TEST(InstanceChannel, AClosedChannelListensAgain) {
    QTemporaryDir runtime;
    const std::string folder = runtime.path().toStdString();
    ShowRequests requests;
    QSignalSpy shown(&requests, &ShowRequests::showRequested);
    int listens = 0;
    ASSERT_TRUE(requests.Adopt(InstanceChannel::Listen(folder), [&] {
        ++listens;
        return InstanceChannel::Listen(folder);
    }));
    auto* server = requests.findChild<QLocalServer*>();
    ASSERT_NE(server, nullptr);
    server->close();
    QFile::remove(runtime.filePath(QLatin1String(InstanceChannel::kSocketName)));

    EXPECT_TRUE(QTest::qWaitFor([&] { return server->isListening(); }, 5000));
    EXPECT_EQ(listens, 1);
    EXPECT_TRUE(InstanceChannel::AskToShow(folder, std::chrono::milliseconds(1500)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.count() == 1; }, 5000));
}

// A holder that takes no connection (stopped, busy) fills its listen queue; later starts must
// still give up once their patience is spent, not wait in the kernel.
TEST(InstanceChannel, ALaterStartGivesUpOnAHolderThatNeverAccepts) {
    QTemporaryDir runtime;
    const std::string folder = runtime.path().toStdString();
    const int listening = InstanceChannel::Listen(folder); // never accepted from
    ASSERT_GE(listening, 0);
    int taken = 0;
    for (; taken < 100; ++taken) {
        std::packaged_task<bool()> attempt([folder] {
            return InstanceChannel::AskToShow(folder, std::chrono::milliseconds(100));
        });
        auto answer = attempt.get_future();
        std::thread(std::move(attempt)).detach(); // a blocked one must not hold the test
        ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready)
            << "start " << taken << " blocked";
        if (!answer.get()) {
            break; // the queue is full: refused, in time
        }
    }
    EXPECT_LT(taken, 100) << "the listen queue never filled";
    close(listening);
}

TEST_F(StartupTest, AnotherStartBringsTheWindowBackAndSearchesOnlyWhenIdle) {
    auto script = std::make_shared<WorkerScript>();
    auto window = MakeWindow({script});
    window->SetCommandLine(QStringLiteral("simge"));
    TfrmMainPeer::SetTrayProbe(*window, [] { return true; });
    window->show();
    window->tmrInitTimer();
    ASSERT_FALSE(window->isVisible()) << "in the tray";
    UpnpThread* first = TfrmMainPeer::SearchWorker(*window);
    ASSERT_NE(first, nullptr);

    window->ShowForAnotherStart();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window), first) << "the search under way goes on";

    script->Finish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first->running.load(); }, 10000));
    window->tmrSearchTimer();
    ASSERT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr);
    window->SendToTray();
    window->ShowForAnotherStart();
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(TfrmMainPeer::SearchWorker(*window), nullptr) << "idle: a new search starts";
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
}

TEST_F(StartupTest, AnotherStartBeforeTheFirstTickKeepsTheWindowOut) {
    auto window = MakeWindow();
    window->SetCommandLine(QStringLiteral("simge"));
    TfrmMainPeer::SetTrayProbe(*window, [] { return true; });
    window->show();
    window->ShowForAnotherStart();
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr) << "the first tick starts the search";
    window->tmrInitTimer();
    EXPECT_TRUE(window->isVisible()) << "the start in the tray was dropped";
    EXPECT_NE(TfrmMainPeer::SearchWorker(*window), nullptr);
}

} // namespace
