// The main window without a mouse, as a keyboard user and a screen reader reach it.
#include "WindowTestSupport.h"
#include "language/Language.h"
#include "mainwindow/MainPeer.h"
#include "windows/chrome.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleTableInterface>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <ostream>

namespace {

// Where the window system delivers a key: the open menu, else the focused control, else the
// active window.
QWidget* KeyTarget(QWidget* window) {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        return popup;
    }
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus : window;
}

void Key(QWidget* window, Qt::Key key, Qt::KeyboardModifiers mods = {}, const QString& text = {}) {
    QTest::sendKeyEvent(QTest::Press, KeyTarget(window), key, text, mods);
    QTest::sendKeyEvent(QTest::Release, KeyTarget(window), key, text, mods);
}

// Alt with a letter as an X server types it: the key code of the capital, the small letter as
// text.
void AltLetter(QWidget* window, QChar letter) {
    Key(window, static_cast<Qt::Key>(letter.toUpper().unicode()), Qt::AltModifier,
        QString(letter.toLower()));
}

QMenu* OpenMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QString FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QString();
}

class KeyboardTest : public WindowTest {
protected:
    std::unique_ptr<TfrmMain> ListedWindow() {
        auto window = AfterSearch({Device("Korvane R-100", "192.168.1.1"),
                                   Device("Korvane AP-300", "192.168.1.10"),
                                   Device("Korvane X-5", "10.0.0.7")});
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    UrlRecorder urls;
};

TEST_F(KeyboardTest, TabReachesListRefreshAndNextInTurnAndNothingBehindTheSearchPanel) {
    auto window = ListedWindow();
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    // The end of the search selects the first row and leaves the focus alone.
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_FALSE(list->hasFocus());

    for (const char* expected : {"lstNetworkList", "btnRefresh", "btnNext", "lstNetworkList"}) {
        Key(window.get(), Qt::Key_Tab);
        EXPECT_EQ(FocusName(), QLatin1String(expected));
    }
    for (const char* expected : {"btnNext", "btnRefresh", "lstNetworkList"}) {
        Key(window.get(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(FocusName(), QLatin1String(expected));
    }

    // A click on a panel button acts but leaves the focus where it was.
    QTest::mouseClick(Child(*window, "btnNext"), Qt::LeftButton);
    EXPECT_EQ(FocusName(), QStringLiteral("lstNetworkList"));
    EXPECT_EQ(urls.opened.size(), 1u);

    // During a search the list panel is covered: Tab reaches none of its controls, and
    // Return opens nothing.
    window->btnRefreshClick();
    ASSERT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    auto* networks = Child(*window, "pnlNetworks");
    EXPECT_FALSE(networks->isAncestorOf(QApplication::focusWidget()));
    for (int i = 0; i < 4; ++i) {
        Key(window.get(), Qt::Key_Tab);
        EXPECT_FALSE(networks->isAncestorOf(QApplication::focusWidget())) << FocusName().data();
    }
    Key(window.get(), Qt::Key_Return);
    EXPECT_EQ(urls.opened.size(), 1u);
}

struct OpenCase {
    const char* name;
    std::function<void(QWidget*)> keys; // from the window just after the search
    QString opened;                     // empty: nothing opens
};

// Failures name the case, not its bytes.
void PrintTo(const OpenCase& openCase, std::ostream* out) {
    *out << openCase.name;
}

class OpenByKeyTest : public KeyboardTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenByKeyTest, OpensWhatADoubleClickWould) {
    auto window = ListedWindow();
    GetParam().keys(window.get());
    if (GetParam().opened.isEmpty()) {
        EXPECT_TRUE(urls.opened.empty());
    } else {
        ASSERT_EQ(urls.opened.size(), 1u);
        EXPECT_EQ(urls.opened[0], GetParam().opened);
    }
}

void Tab(QWidget* w) {
    Key(w, Qt::Key_Tab);
}

INSTANTIATE_TEST_SUITE_P(
    Keyboard, OpenByKeyTest,
    ::testing::Values(
        OpenCase{"ReturnWithNothingFocused", [](QWidget* w) { Key(w, Qt::Key_Return); },
                 QStringLiteral("http://192.168.1.1")},
        OpenCase{"ReturnOnTheList",
                 [](QWidget* w) {
                     Tab(w);
                     Key(w, Qt::Key_Return);
                 },
                 QStringLiteral("http://192.168.1.1")},
        OpenCase{"DownTwiceThenEnterOnTheKeypad",
                 [](QWidget* w) {
                     Tab(w);
                     Key(w, Qt::Key_Down);
                     Key(w, Qt::Key_Down);
                     Key(w, Qt::Key_Enter, Qt::KeypadModifier);
                 },
                 QStringLiteral("http://10.0.0.7")},
        OpenCase{"SpaceOnNext",
                 [](QWidget* w) {
                     Tab(w);
                     Key(w, Qt::Key_Down);
                     Tab(w);
                     Tab(w);
                     Key(w, Qt::Key_Space);
                 },
                 QStringLiteral("http://192.168.1.10")},
        OpenCase{"ReturnOnNext",
                 [](QWidget* w) {
                     Tab(w);
                     Tab(w);
                     Tab(w);
                     Key(w, Qt::Key_Return);
                 },
                 QStringLiteral("http://192.168.1.1")},
        OpenCase{"ReturnWithTheSelectionCleared",
                 [](QWidget* w) {
                     Tab(w);
                     w->findChild<QTreeWidget*>(QStringLiteral("lstNetworkList"))->clearSelection();
                     Key(w, Qt::Key_Return);
                 },
                 QString()},
        OpenCase{"ShiftReturnIsNotReturn",
                 [](QWidget* w) {
                     Tab(w);
                     Key(w, Qt::Key_Return, Qt::ShiftModifier);
                 },
                 QString()}),
    [](const ::testing::TestParamInfo<OpenCase>& row) { return std::string(row.param.name); });

TEST_F(KeyboardTest, SpacePressesOnItsReleaseWithThePressedLook) {
    auto window = ListedWindow();
    auto* next = Child<PanelButton>(*window, "btnNext");
    next->setFocus(Qt::TabFocusReason);
    QTest::sendKeyEvent(QTest::Press, next, Qt::Key_Space, QStringLiteral(" "), {});
    EXPECT_EQ(next->look(), PanelButton::Pressed);
    EXPECT_TRUE(urls.opened.empty());
    QTest::sendKeyEvent(QTest::Release, next, Qt::Key_Space, QStringLiteral(" "), {});
    EXPECT_EQ(next->look(), PanelButton::Raised);
    EXPECT_EQ(urls.opened.size(), 1u);

    // Space let go after the focus has moved on presses nothing.
    QTest::sendKeyEvent(QTest::Press, next, Qt::Key_Space, QStringLiteral(" "), {});
    Key(window.get(), Qt::Key_Tab);
    EXPECT_EQ(next->look(), PanelButton::Raised);
    QTest::sendKeyEvent(QTest::Release, next, Qt::Key_Space, QStringLiteral(" "), {});
    EXPECT_EQ(urls.opened.size(), 1u);

    // Space on Refresh starts a search, which covers the buttons and takes the focus off them.
    auto* refresh = Child<PanelButton>(*window, "btnRefresh");
    refresh->setFocus(Qt::TabFocusReason);
    Key(window.get(), Qt::Key_Space, {}, QStringLiteral(" "));
    EXPECT_NE(TfrmMainPeer::SearchWorker(*window), nullptr);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    EXPECT_FALSE(refresh->hasFocus());
    EXPECT_EQ(refresh->look(), PanelButton::Raised);
}

TEST_F(KeyboardTest, FocusMarksShowOnlyOnceTheKeyboardMovedTheFocus) {
    auto window = ListedWindow();
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    auto* ring = Child(*window, "lstNetworkListFocusRing");
    auto* refresh = Child<PanelButton>(*window, "btnRefresh");
    const QImage unfocused = refresh->grab().toImage();

    // A click gives the list the focus without a mark.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(1)).center());
    ASSERT_TRUE(list->hasFocus());
    EXPECT_FALSE(ring->isVisible());

    Key(window.get(), Qt::Key_Tab);
    ASSERT_TRUE(refresh->hasFocus());
    EXPECT_TRUE(ShowsFocusMark(refresh));
    EXPECT_NE(refresh->grab().toImage(), unfocused);
    EXPECT_FALSE(ring->isVisible());

    Key(window.get(), Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_TRUE(list->hasFocus());
    EXPECT_TRUE(ring->isVisible());
    EXPECT_EQ(ring->geometry(), list->geometry().adjusted(-2, -2, 2, 2));
    EXPECT_EQ(refresh->grab().toImage(), unfocused);
}

// Each title's Alt letter in each language; where two titles share it, pressing it again moves
// on to the next.
struct MenuLetterCase {
    const char* name;
    void (TfrmMain::*choose)();
    std::vector<std::pair<QChar, const char*>> presses; // letter, menu it leaves open
};

class MenuLetterTest : public KeyboardTest, public ::testing::WithParamInterface<MenuLetterCase> {};

TEST_P(MenuLetterTest, AltWithTheTitlesFirstLetterOpensItsMenu) {
    UseLanguageFile();
    auto window = ListedWindow();
    (window.get()->*GetParam().choose)();
    for (const auto& [letter, menuName] : GetParam().presses) {
        AltLetter(window.get(), letter);
        QMenu* menu = OpenMenu();
        ASSERT_NE(menu, nullptr) << QString(letter).toStdString();
        EXPECT_EQ(menu->objectName(), QLatin1String(menuName));
        // Below its title, as a click opens it, with the first item ready for Return.
        MenuTitle* title = nullptr;
        for (auto* each : window->findChildren<MenuTitle*>()) {
            if (each->menu() == menu) {
                title = each;
            }
        }
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(menu->pos(), title->MenuPoint());
        EXPECT_EQ(menu->activeAction(), menu->actions().value(0));
        EXPECT_TRUE(title->keyboardMark());
    }
    QMenu* last = OpenMenu();
    Key(window.get(), Qt::Key_Escape);
    EXPECT_EQ(OpenMenu(), nullptr);
    EXPECT_FALSE(last->isVisible());
    for (auto* each : window->findChildren<MenuTitle*>()) {
        EXPECT_FALSE(each->keyboardMark());
    }
}

INSTANTIATE_TEST_SUITE_P(Keyboard, MenuLetterTest,
                         ::testing::Values(MenuLetterCase{"Turkish",
                                                          &TfrmMain::mnTurkishClick,
                                                          {{QChar(u'D'), "pmFile"},
                                                           {QChar(u'd'), "pmLanguage"},
                                                           {QChar(u'D'), "pmFile"},
                                                           {QChar(u'Y'), "pmHelp"}}},
                                           MenuLetterCase{"English",
                                                          &TfrmMain::mnEnglishClick,
                                                          {{QChar(u'f'), "pmFile"},
                                                           {QChar(u'L'), "pmLanguage"},
                                                           {QChar(u'h'), "pmHelp"}}},
                                           MenuLetterCase{"Russian",
                                                          &TfrmMain::mnRussianClick,
                                                          {{QChar(u'Ф'), "pmFile"},
                                                           {QChar(u'я'), "pmLanguage"},
                                                           {QChar(u'С'), "pmHelp"}}},
                                           MenuLetterCase{"Greek",
                                                          &TfrmMain::mnGreekClick,
                                                          {{QChar(u'α'), "pmFile"},
                                                           {QChar(u'Γ'), "pmLanguage"},
                                                           {QChar(u'β'), "pmHelp"}}}),
                         [](const ::testing::TestParamInfo<MenuLetterCase>& row) {
                             return std::string(row.param.name);
                         });

TEST_F(KeyboardTest, F10AndTheArrowsWalkTheTitlesAndReachEveryItem) {
    UseLanguageFile();
    auto window = ListedWindow();
    window->mnTurkishClick();

    Key(window.get(), Qt::Key_F10);
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(OpenMenu()->objectName(), QStringLiteral("pmFile"));
    for (const char* expected : {"pmLanguage", "pmHelp", "pmFile"}) {
        Key(window.get(), Qt::Key_Right);
        ASSERT_NE(OpenMenu(), nullptr);
        EXPECT_EQ(OpenMenu()->objectName(), QLatin1String(expected));
    }
    Key(window.get(), Qt::Key_Left);
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(OpenMenu()->objectName(), QStringLiteral("pmHelp"));
    // No menu made twice: the three titles', the tray's and the device rows'.
    EXPECT_EQ(window->findChildren<QMenu*>().size(), 5);
    int shown = 0;
    for (auto* menu : window->findChildren<QMenu*>()) {
        shown += menu->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(shown, 1);
    Key(window.get(), Qt::Key_F10);
    EXPECT_EQ(OpenMenu(), nullptr);

    // The arrows work as well in a menu that a click opened.
    QTest::mouseClick(Child(*window, "pnlMnFile"), Qt::LeftButton);
    ASSERT_NE(OpenMenu(), nullptr);
    Key(window.get(), Qt::Key_Right);
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(OpenMenu()->objectName(), QStringLiteral("pmLanguage"));

    // An item down the menu is reached with Down and chosen with Return: English, the first.
    Key(window.get(), Qt::Key_Return);
    EXPECT_EQ(OpenMenu(), nullptr);
    EXPECT_EQ(StoredLanguage(), "EN");
    Key(window.get(), Qt::Key_F10);
    Key(window.get(), Qt::Key_Right);
    for (int i = 0; i < 3; ++i) {
        Key(window.get(), Qt::Key_Down);
    }
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(OpenMenu()->activeAction()->objectName(), QStringLiteral("mnTurkish"));
    Key(window.get(), Qt::Key_Return);
    EXPECT_EQ(StoredLanguage(), "TR");
}

// Every control the user works with, found in the window's accessibility tree.
struct Found {
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    QAccessibleInterface* iface = nullptr;
};

void Walk(QAccessibleInterface* node, std::map<QString, Found>& found, int depth = 0) {
    if (node == nullptr || depth > 8) {
        return;
    }
    if (QObject* object = node->object(); object != nullptr && !object->objectName().isEmpty()) {
        found[object->objectName()] = {node->role(), node->text(QAccessible::Name), node};
    }
    for (int i = 0; i < node->childCount(); ++i) {
        Walk(node->child(i), found, depth + 1);
    }
}

struct LanguageCase {
    const char* name;
    void (TfrmMain::*choose)();
};

class AccessibilityTest : public KeyboardTest,
                          public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(AccessibilityTest, EveryControlHasARoleAndANameInTheCurrentLanguage) {
    UseLanguageFile();
    auto window = ListedWindow();
    (window.get()->*GetParam().choose)();
    const Lang& texts = Lang::Instance();
    ASSERT_FALSE(texts.stRefresh.isEmpty());

    std::map<QString, Found> found;
    Walk(QAccessible::queryAccessibleInterface(window.get()), found);
    const std::vector<std::tuple<const char*, QAccessible::Role, QString>> expected = {
        {"btnRefresh", QAccessible::Button, texts.stRefresh},
        {"btnNext", QAccessible::Button, texts.stConnect},
        {"btnCloseForm", QAccessible::Button, texts.stClose},
        {"btnMinimize", QAccessible::Button, QStringLiteral("_")},
        {"pnlMnFile", QAccessible::MenuItem, texts.stFile},
        {"pnlMnLanguage", QAccessible::MenuItem, texts.stLanguage},
        {"pnlMnHelp", QAccessible::MenuItem, texts.stHelp},
        {"lstNetworkList", QAccessible::Tree, texts.stNetworkList},
        {"Progress", QAccessible::ProgressBar, texts.stSearchKorvaneProducts},
    };
    for (const auto& [name, role, text] : expected) {
        const Found& control = found[QLatin1String(name)];
        EXPECT_EQ(control.role, role) << name;
        EXPECT_EQ(control.name, text) << name;
    }
    EXPECT_EQ(found.count(QStringLiteral("mnFile")), 0u) << "a title's label is its name";

    // The list reads as a table: its columns by their captions, its cells by their texts.
    QAccessibleTableInterface* table =
        found[QStringLiteral("lstNetworkList")].iface->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columnCount(), 2);
    EXPECT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->columnDescription(0), texts.stProductName);
    EXPECT_EQ(table->columnDescription(1), texts.stIpAddress);
    ASSERT_NE(table->cellAt(1, 1), nullptr);
    EXPECT_EQ(table->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral("192.168.1.10"));

    // The progress bar tells its value.
    auto* progress = Child<QProgressBar>(*window, "Progress");
    progress->setValue(40);
    QAccessibleValueInterface* value = found[QStringLiteral("Progress")].iface->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 40);

    // A screen reader presses a button or opens a title through the same interface.
    QAccessibleActionInterface* press = found[QStringLiteral("btnNext")].iface->actionInterface();
    ASSERT_NE(press, nullptr);
    press->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(urls.opened.size(), 1u);
    EXPECT_EQ(urls.opened[0], QStringLiteral("http://192.168.1.1"));
    QAccessibleInterface* help = found[QStringLiteral("pnlMnHelp")].iface;
    help->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(OpenMenu()->objectName(), QStringLiteral("pmHelp"));
    EXPECT_TRUE(help->state().expanded);
    OpenMenu()->hide();
}

INSTANTIATE_TEST_SUITE_P(Keyboard, AccessibilityTest,
                         ::testing::Values(LanguageCase{"Turkish", &TfrmMain::mnTurkishClick},
                                           LanguageCase{"English", &TfrmMain::mnEnglishClick},
                                           LanguageCase{"Russian", &TfrmMain::mnRussianClick},
                                           LanguageCase{"Greek", &TfrmMain::mnGreekClick}),
                         [](const ::testing::TestParamInfo<LanguageCase>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
