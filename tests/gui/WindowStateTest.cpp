#include "WindowTestSupport.h"
#include "windows/chrome.h"

#include <QAction>
#include <QCoreApplication>
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
        if (window.TrayIcon() == nullptr) {
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
    window->SetTrayProbe([tray = c.tray] { return tray; });
    window->show();
    if (c.start == Start::MinimisedByButton) {
        Press(*window, "btnMinimize");
    } else if (c.start == Start::InTray) {
        window->SendToTray();
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(window->SearchWorker(), nullptr);

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
        emit window->TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
        break;
    case Event::TraySingleClick:
        emit window->TrayIcon()->activated(QSystemTrayIcon::Trigger);
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
    EXPECT_EQ(window->SearchWorker() != nullptr, c.newSearch);
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
    window->SetTrayProbe([] { return true; });
    window->show();
    window->move(40, 50);
    window->SendToTray();
    ASSERT_FALSE(window->isVisible());
    emit window->TrayIcon()->activated(QSystemTrayIcon::Context);
    auto* menu = Child<QMenu>(*window, "TrayMenu");
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    window->RestoreMainWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->pos(), QPoint(40, 50));
}

} // namespace
