#include "WindowTestSupport.h"
#include "guard/Guarded.h"
#include "mainwindow/MainPeer.h"
#include "windows/chrome.h"

#include <QAction>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

enum class Start { Shown, MinimisedByButton, InTray };
enum class Event {
    WmMinimise,
    CloseRequest,
    ButtonX,
    ButtonMinimise,
    TrayDoubleClick,
    TraySingleClick,
    TrayShow,
    FileClose,
    TrayClose,
};
enum class End { Shown, Minimised, InTray, Ended };

struct StateCase {
    const char* name;
    bool tray;
    Start start;
    Event event;
    End end;
    bool newSearch;
};

class WindowStateTest : public WindowTest, public ::testing::WithParamInterface<StateCase> {
protected:
    static void Press(TfrmMain& window, const char* button) {
        QTest::mouseClick(window.findChild<QWidget*>(QLatin1String(button)), Qt::LeftButton);
    }
    static void Trigger(TfrmMain& window, const char* item) {
        window.findChild<QAction*>(QLatin1String(item))->trigger();
    }
    static End StateOf(const TfrmMain& window) {
        if (TfrmMainPeer::TrayIcon(window) == nullptr) {
            return End::Ended; // closing removes the icon
        }
        if (!window.isVisible()) {
            return window.isMinimized() ? End::InTray : End::Ended;
        }
        return window.isMinimized() ? End::Minimised : End::Shown;
    }
};

TEST_P(WindowStateTest, Transition) {
    const StateCase& c = GetParam();
    auto window = MakeWindow();
    TfrmMainPeer::SetTrayProbe(*window, [tray = c.tray] { return tray; });
    window->show();
    if (c.start == Start::MinimisedByButton) {
        Press(*window, "btnMinimize");
    } else if (c.start == Start::InTray) {
        window->SendToTray();
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(TfrmMainPeer::SearchWorker(*window), nullptr);

    switch (c.event) {
    case Event::WmMinimise:
        window->setWindowState(Qt::WindowMinimized);
        break;
    case Event::CloseRequest:
        window->close();
        break;
    case Event::ButtonX:
        Press(*window, "btnCloseForm");
        break;
    case Event::ButtonMinimise:
        Press(*window, "btnMinimize");
        break;
    case Event::TrayDoubleClick:
        emit TfrmMainPeer::TrayIcon(*window)->activated(QSystemTrayIcon::DoubleClick);
        break;
    case Event::TraySingleClick:
        emit TfrmMainPeer::TrayIcon(*window)->activated(QSystemTrayIcon::Trigger);
        break;
    case Event::TrayShow:
        Trigger(*window, "mnShow");
        break;
    case Event::FileClose:
        Trigger(*window, "mnClose");
        break;
    case Event::TrayClose:
        Trigger(*window, "mnClose2");
        break;
    }
    QCoreApplication::processEvents();

    EXPECT_EQ(static_cast<int>(StateOf(*window)), static_cast<int>(c.end));
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window) != nullptr, c.newSearch);
    if (c.newSearch) {
        EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    }
}

// With a notification area, and the fallback without one: there the window never hides, since
// nothing could bring it back.
INSTANTIATE_TEST_SUITE_P(
    States, WindowStateTest,
    ::testing::Values(
        StateCase{"WmMinimiseToTray", true, Start::Shown, Event::WmMinimise, End::InTray, false},
        StateCase{"WmMinimiseNoTray", false, Start::Shown, Event::WmMinimise, End::Minimised,
                  false},
        StateCase{"CloseShownToTray", true, Start::Shown, Event::CloseRequest, End::InTray, false},
        StateCase{"CloseShownNoTray", false, Start::Shown, Event::CloseRequest, End::Minimised,
                  false},
        StateCase{"CloseMinimisedEnds", true, Start::MinimisedByButton, Event::CloseRequest,
                  End::Ended, false},
        StateCase{"CloseMinimisedEndsNoTray", false, Start::MinimisedByButton, Event::CloseRequest,
                  End::Ended, false},
        StateCase{"XToTray", true, Start::Shown, Event::ButtonX, End::InTray, false},
        StateCase{"XNoTray", false, Start::Shown, Event::ButtonX, End::Minimised, false},
        StateCase{"UnderscoreMinimises", true, Start::Shown, Event::ButtonMinimise, End::Minimised,
                  false},
        StateCase{"DoubleClickFromTray", true, Start::InTray, Event::TrayDoubleClick, End::Shown,
                  true},
        StateCase{"DoubleClickWhenMinimised", true, Start::MinimisedByButton,
                  Event::TrayDoubleClick, End::Shown, true},
        StateCase{"DoubleClickWhenShown", true, Start::Shown, Event::TrayDoubleClick, End::Shown,
                  true},
        StateCase{"SingleClickNothing", true, Start::InTray, Event::TraySingleClick, End::InTray,
                  false},
        StateCase{"ShowFromTray", true, Start::InTray, Event::TrayShow, End::Shown, true},
        StateCase{"FileCloseEnds", true, Start::Shown, Event::FileClose, End::Ended, false},
        StateCase{"TrayCloseEndsFromTray", true, Start::InTray, Event::TrayClose, End::Ended,
                  false}),
    [](const ::testing::TestParamInfo<StateCase>& row) { return std::string(row.param.name); });

TEST_F(WindowTest, TrayKeepsPositionAndRightClickOpensTheMenu) {
    auto window = MakeWindow();
    TfrmMainPeer::SetTrayProbe(*window, [] { return true; });
    window->show();
    window->move(40, 50);
    window->SendToTray();
    ASSERT_FALSE(window->isVisible());
    emit TfrmMainPeer::TrayIcon(*window)->activated(QSystemTrayIcon::Context);
    auto* menu = Child<QMenu>(*window, "TrayMenu");
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    window->RestoreMainWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->pos(), QPoint(40, 50));
}

// What each report of the icon does, on the embedded X11 tray and on a StatusNotifierItem host
// (where Trigger is the host's Activate and the host draws the menu it is given).
struct TrayKindCase {
    const char* name;
    bool statusNotifier;
    QSystemTrayIcon::ActivationReason reason;
    bool newSearch;
    bool ownMenuPopup;
};

class TrayKindTest : public WindowTest, public ::testing::WithParamInterface<TrayKindCase> {};

TEST_P(TrayKindTest, ReportOfTheIcon) {
    const TrayKindCase& c = GetParam();
    auto window = MakeWindow();
    TfrmMainPeer::SetTrayProbe(*window, [] { return true; });
    // The kind is asked when the icon is added.
    window->UpdateTrayIcon(TfrmMain::kTrayDelete);
    TfrmMainPeer::SetStatusNotifierProbe(*window, [kind = c.statusNotifier] { return kind; });
    window->UpdateTrayIcon(TfrmMain::kTrayAdd);
    window->UpdateTrayIcon(TfrmMain::kTrayModify);
    ASSERT_EQ(TfrmMainPeer::TrayIsStatusNotifier(*window), c.statusNotifier);
    auto* menu = Child<QMenu>(*window, "TrayMenu");
    EXPECT_EQ(TfrmMainPeer::TrayIcon(*window)->contextMenu(), c.statusNotifier ? menu : nullptr)
        << "the host is given the menu; the embedded tray's is popped up by hand";

    window->show();
    window->SendToTray();
    emit TfrmMainPeer::TrayIcon(*window)->activated(c.reason);
    EXPECT_EQ(TfrmMainPeer::SearchWorker(*window) != nullptr, c.newSearch);
    EXPECT_EQ(window->isVisible(), c.newSearch) << "brought back exactly when it searches";
    EXPECT_EQ(menu->isVisible(), c.ownMenuPopup);
    menu->hide();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TrayKindTest,
    ::testing::Values(
        TrayKindCase{"HostActivateShows", true, QSystemTrayIcon::Trigger, true, false},
        TrayKindCase{"HostDoubleClickShows", true, QSystemTrayIcon::DoubleClick, true, false},
        TrayKindCase{"HostContextLeavesTheMenuToTheHost", true, QSystemTrayIcon::Context, false,
                     false},
        TrayKindCase{"HostMiddleClickNothing", true, QSystemTrayIcon::MiddleClick, false, false},
        TrayKindCase{"EmbeddedSingleClickNothing", false, QSystemTrayIcon::Trigger, false, false},
        TrayKindCase{"EmbeddedDoubleClickShows", false, QSystemTrayIcon::DoubleClick, true, false},
        TrayKindCase{"EmbeddedContextPopsTheMenu", false, QSystemTrayIcon::Context, false, true}),
    [](const ::testing::TestParamInfo<TrayKindCase>& row) { return std::string(row.param.name); });

TEST_F(WindowTest, EmbeddedTrayDoubleClickStartsOneSearch) {
    auto window = MakeWindow();
    TfrmMainPeer::SetTrayProbe(*window, [] { return true; });
    window->show();
    window->SendToTray();
    // A double click on the embedded tray: both presses come as Trigger, then DoubleClick.
    int searches = 0;
    for (const auto reason :
         {QSystemTrayIcon::Trigger, QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
        UpnpThread* before = TfrmMainPeer::SearchWorker(*window);
        emit TfrmMainPeer::TrayIcon(*window)->activated(reason);
        searches += TfrmMainPeer::SearchWorker(*window) != before ? 1 : 0;
    }
    EXPECT_EQ(searches, 1);
    EXPECT_TRUE(window->isVisible());
}

} // namespace

namespace {

// What a guard swallows is traced to pathmere.guard, which is off unless the user turns it on.
TEST(Guard, SwallowedErrorsAreTracedOnlyWhenAsked) {
    static QStringList traced;
    traced.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& message) {
            if (QLatin1String(context.category) == QLatin1String("pathmere.guard")) {
                traced << message;
            }
        });
    Guarded([] { throw std::runtime_error("the shell said no"); });
    EXPECT_TRUE(traced.isEmpty()) << "off by default";

    QLoggingCategory::setFilterRules(QStringLiteral("pathmere.*.debug=true"));
    bool after = false;
    Guarded([&] {
        after = true;
        throw 42;
    });
    Guarded([] { throw std::runtime_error("the shell said no"); });
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    EXPECT_TRUE(after);
    ASSERT_EQ(traced.size(), 2);
    EXPECT_TRUE(traced[0].contains(QStringLiteral("unknown type"))) << traced[0].toStdString();
    EXPECT_TRUE(traced[1].contains(QStringLiteral("the shell said no")));
    EXPECT_TRUE(traced[1].contains(QStringLiteral("WindowStateTest.cpp"))) << "where it was";
}

} // namespace
