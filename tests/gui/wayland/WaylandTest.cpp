// The main window as a native Wayland client, in a compositor and on a network of simulated
// devices that wayland_test.sh sets up: a search lists the two maker devices, a language change
// applies, the menus open as popups of the window below their titles, and About and the legal
// notice open over the window and close again.

#include "language/Language.h"
#include "mainwindow/Main.h"
#include "mainwindow/MainPeer.h"
#include "windows/WindowMove.h"
#include "windows/chrome.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

struct OpenedWindow {
    bool seen = false;
    bool overTheMainWindow = false;
    QString title;
};

// Opens a secondary window through `open` (which returns once it is closed) and closes it from
// a timer, noting what it was.
OpenedWindow OpenAndClose(const TfrmMain& main, const std::function<void()>& open) {
    OpenedWindow seen;
    QTimer::singleShot(500, [&] {
        QWidget* shown = QApplication::activeModalWidget();
        if (shown == nullptr) {
            return;
        }
        seen.seen = shown->isVisible() && shown->windowHandle() != nullptr;
        seen.overTheMainWindow =
            seen.seen && shown->windowHandle()->transientParent() == main.windowHandle();
        seen.title = shown->windowTitle();
        shown->close();
    });
    QTimer guard; // a window that never closes fails the test instead of hanging it
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* stuck = QApplication::activeModalWidget()) {
            stuck->close();
        }
    });
    guard.start(10000);
    open();
    return seen;
}

TEST(Wayland, SearchLanguageMenusAndWindows) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    EXPECT_TRUE(CompositorPlacesWindows()) << "drags are handed to the compositor here";
    TfrmMain window;
    // Tests tick fast: the search's windows are counted in ticks, so it ends in seconds.
    window.findChild<QTimer*>(QStringLiteral("tmrInit"))->stop();
    TfrmMainPeer::SetClock(window, {std::chrono::milliseconds(25), std::chrono::milliseconds(5)});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    window.btnRefreshClick();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return TfrmMainPeer::SearchWorker(window) == nullptr; }, 90000));
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lstNetworkList"));
    ASSERT_EQ(list->topLevelItemCount(), 2);
    QStringList rows;
    for (int i = 0; i < 2; ++i) {
        rows << list->topLevelItem(i)->text(0) + QLatin1Char(' ') + list->topLevelItem(i)->text(1);
    }
    rows.sort();
    EXPECT_EQ(rows, (QStringList{QStringLiteral("Living room router 192.0.2.10"),
                                 QStringLiteral("Office access point 192.0.2.11")}));

    window.mnEnglishClick();
    EXPECT_EQ(Lang::Instance().stCountry, QStringLiteral("English"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblNetworkList"))->text(),
              Lang::Instance().stNetworkList);
    EXPECT_EQ(window.windowTitle(), Lang::Instance().stUtilityCaption);

    for (const char* name : {"pnlMnFile", "pnlMnLanguage", "pnlMnHelp"}) {
        SCOPED_TRACE(name);
        auto* title = window.findChild<MenuTitle*>(QLatin1String(name));
        QTest::mouseClick(title, Qt::LeftButton, {}, QPoint(5, 5));
        QMenu* menu = title->menu();
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
        ASSERT_NE(menu->windowHandle(), nullptr);
        EXPECT_EQ(menu->windowHandle()->transientParent(), window.windowHandle())
            << "a popup of the main window";
        EXPECT_EQ(menu->pos(), title->MenuPoint()) << "below its title";
        menu->hide();
    }

    const OpenedWindow about = OpenAndClose(window, [&] { window.mnAboutClick(); });
    EXPECT_TRUE(about.seen);
    EXPECT_TRUE(about.overTheMainWindow);
    EXPECT_EQ(about.title, Lang::Instance().stAbout);
    const OpenedWindow legal = OpenAndClose(window, [&] { window.mnLegalNoticeClick(); });
    EXPECT_TRUE(legal.seen);
    EXPECT_TRUE(legal.overTheMainWindow);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "both closed again";
    EXPECT_TRUE(window.isVisible());
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
