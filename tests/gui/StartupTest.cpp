#include "WindowTestSupport.h"
#include "language/Language.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/InstanceLock.h"
#include "settings/settings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <sys/stat.h>

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
        window->SetTrayProbe([trayAvailable] { return trayAvailable; });
        window->SetCommandLine(QString::fromUtf8(c.commandLine));
        window->show();
        window->tmrInitTimer();

        EXPECT_FALSE(Child<QTimer>(*window, "tmrInit")->isActive()) << "ticks once";
        EXPECT_NE(window->SearchWorker(), nullptr) << "the first search runs in every case";
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
    EXPECT_EQ(window->RegistryKeyPath(), "\\SOFTWARE\\Korvane\\Pathmere\\");
    ASSERT_NE(window->FoundDevices(), nullptr);
    EXPECT_TRUE(window->FoundDevices()->empty());
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    EXPECT_EQ(list->headerItem()->text(0), Lang::Instance().stProductName);
    EXPECT_FALSE(list->headerItem()->text(0).isEmpty());
    EXPECT_EQ(list->columnWidth(0), 250);
    EXPECT_EQ(list->columnWidth(1), 150);
    EXPECT_EQ(window->SearchWorker(), nullptr) << "no search before the first tick";
    EXPECT_EQ(window->TrayIcon()->toolTip(), Lang::Instance().stAppName);
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

TEST(InstanceLock, FolderIsTheRuntimeFolderOrAPrivateOne) {
    QTemporaryDir runtime;
    chmod(runtime.path().toLocal8Bit().constData(), 0700);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const std::string own = "/tmp/pathmere-" + std::to_string(getuid());

    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(InstanceLock::Folder(), runtime.path().toStdString());

    // A folder others can write, a relative one, or none: the private fallback.
    chmod(runtime.path().toLocal8Bit().constData(), 0777);
    EXPECT_EQ(InstanceLock::Folder(), own);
    qputenv("XDG_RUNTIME_DIR", "relative/run");
    EXPECT_EQ(InstanceLock::Folder(), own);
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLock::Folder(), own);
    struct stat info {};
    ASSERT_EQ(lstat(own.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, getuid());

    qputenv("XDG_RUNTIME_DIR", saved);
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

TEST_F(StartupTest, AnotherStartBringsTheWindowBackAndSearchesOnlyWhenIdle) {
    auto script = std::make_shared<WorkerScript>();
    auto window = MakeWindow({script});
    window->SetCommandLine(QStringLiteral("simge"));
    window->SetTrayProbe([] { return true; });
    window->show();
    window->tmrInitTimer();
    ASSERT_FALSE(window->isVisible()) << "in the tray";
    UpnpThread* first = window->SearchWorker();
    ASSERT_NE(first, nullptr);

    window->ShowForAnotherStart();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->SearchWorker(), first) << "the search under way goes on";

    script->Finish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first->running.load(); }, 10000));
    window->tmrSearchTimer();
    ASSERT_EQ(window->SearchWorker(), nullptr);
    window->SendToTray();
    window->ShowForAnotherStart();
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(window->SearchWorker(), nullptr) << "idle: a new search starts";
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
}

TEST_F(StartupTest, AnotherStartBeforeTheFirstTickKeepsTheWindowOut) {
    auto window = MakeWindow();
    window->SetCommandLine(QStringLiteral("simge"));
    window->SetTrayProbe([] { return true; });
    window->show();
    window->ShowForAnotherStart();
    EXPECT_EQ(window->SearchWorker(), nullptr) << "the first tick starts the search";
    window->tmrInitTimer();
    EXPECT_TRUE(window->isVisible()) << "the start in the tray was dropped";
    EXPECT_NE(window->SearchWorker(), nullptr);
}

} // namespace
