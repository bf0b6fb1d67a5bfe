#include "WindowTestSupport.h"

#include "language/Language.h"
#include "mainwindow/MainPeer.h"
#include "settings/settings.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

void ClearLanguageTable() {
    Lang& t = Lang::Instance();
    for (QString* text : {&t.stCountry,
                          &t.stFile,
                          &t.stClose,
                          &t.stConnect,
                          &t.stLanguage,
                          &t.stTurkish,
                          &t.stEnglish,
                          &t.stGreek,
                          &t.stRussian,
                          &t.stRefresh,
                          &t.stAppName,
                          &t.stShow,
                          &t.stUtilityCaption,
                          &t.stNetworkList,
                          &t.stSearchKorvaneProducts,
                          &t.stMessage,
                          &t.stBtnRetry,
                          &t.stBtnOk,
                          &t.stYes,
                          &t.stNo,
                          &t.stProductName,
                          &t.stIpAddress,
                          &t.stAbout,
                          &t.stHelp,
                          &t.stVersion,
                          &t.stMnUsageGuide,
                          &t.stLegalNotice}) {
        text->clear();
    }
}

UrlRecorder::UrlRecorder() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open");
}

UrlRecorder::~UrlRecorder() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void UrlRecorder::Open(const QUrl& url) {
    opened.push_back(url.toString());
}

void WindowTest::SetUp() {
    ASSERT_TRUE(folder.isValid());
    previousFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const QByteArray config = QFile::encodeName(folder.filePath(QStringLiteral("config")));
    const QByteArray runtime = QFile::encodeName(folder.filePath(QStringLiteral("runtime")));
    QDir().mkpath(QString::fromLocal8Bit(runtime));
    QFile::setPermissions(QString::fromLocal8Bit(runtime),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_CONFIG_HOME", config.constData(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.constData(), 1);
    ClearLanguageTable();
}

void WindowTest::TearDown() {
    QDir::setCurrent(previousFolder);
}

QString WindowTest::ShippedLanguageFile() {
    QFile file(QStringLiteral(PATHMERE_LANG_XML));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

void WindowTest::UseLanguageFile(const QString& text) {
    QFile file(folder.filePath(QStringLiteral("lang.xml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((text.isEmpty() ? ShippedLanguageFile() : text).toUtf8());
}

std::unique_ptr<TfrmMain>
WindowTest::MakeWindow(std::vector<std::shared_ptr<WorkerScript>> scripts) {
    if (scripts.empty()) {
        scripts.push_back(std::make_shared<WorkerScript>());
    }
    auto next = std::make_shared<std::size_t>(0);
    auto window = std::make_unique<TfrmMain>([scripts, next]() -> std::unique_ptr<UpnpThread> {
        const std::size_t index = std::min(*next, scripts.size() - 1);
        ++*next;
        return std::make_unique<FakeWorker>(scripts[index]);
    });
    // Tests tick the search themselves, with a short pause after each tick.
    TfrmMainPeer::SetClock(*window, {std::chrono::hours(1), std::chrono::milliseconds(1)});
    // Still pending, as after start-up, but tests tick it themselves.
    window->findChild<QTimer*>(QStringLiteral("tmrInit"))->setInterval(3600 * 1000);
    TfrmMainPeer::SetTrayProbe(*window, [] { return false; });
    return window;
}

std::unique_ptr<TfrmMain> WindowTest::AfterSearch(DeviceList devices) {
    auto script = std::make_shared<WorkerScript>();
    script->devices = std::move(devices);
    return AfterScript(std::move(script));
}

std::unique_ptr<TfrmMain> WindowTest::AfterScript(std::shared_ptr<WorkerScript> script) {
    script->Finish();
    auto window = MakeWindow({script});
    window->show();
    // Activation is delivered by the event loop: let it land while the search panel is in
    // front, whatever the worker's speed, or it would hand the list the focus afterwards.
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->btnRefreshClick();
    UpnpThread* worker = TfrmMainPeer::SearchWorker(*window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !worker->running.load(); }, 10000));
    window->tmrSearchTimer();
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr);
    return window;
}

QString WindowTest::FrontPanel(const TfrmMain& window) {
    const QWidget* top = window.findChild<QWidget*>(QStringLiteral("mnTopMenu"));
    // A point of the content area that no child of either panel covers.
    QWidget* at = top->childAt(QPoint(290, 81 + 290));
    return at != nullptr ? at->objectName() : QString();
}

std::string WindowTest::StoredLanguage() const {
    return ReadRegistryValue(TfrmMain::kLocalMachineRoot, "\\SOFTWARE\\Korvane\\Pathmere\\",
                             "Language");
}
