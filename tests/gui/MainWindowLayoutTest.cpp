#include "WindowTestSupport.h"
#include "windows/chrome.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

using LayoutTest = WindowTest;

struct ControlRow {
    const char* name;
    QRect geometry;
    QPalette::ColorRole role; // the colour the control shows; NoRole when it shows none
    QColor colour;
    int pixelSize; // 0 when the control shows no text
    bool bold;
    const char* caption; // stored caption; nullptr when there is none
};

const QColor kDark(49, 49, 49);
const QColor kWhite(255, 255, 255);

const ControlRow kControls[] = {
    {"mnTopMenu", {0, 0, 584, 387}, QPalette::Window, QColor(0, 0, 0), 0, false, nullptr},
    {"lblMenuLine", {2, 26, 580, 1}, QPalette::Window, kDark, 0, false, nullptr},
    {"imgBanner", {1, 27, 581, 54}, QPalette::NoRole, {}, 0, false, nullptr},
    {"pnlNetworks", {2, 81, 580, 304}, QPalette::Window, kDark, 0, false, nullptr},
    {"lblNetworkList", {6, 17, 286, 19}, QPalette::WindowText, kWhite, 12, true, "Kablosuz Ağlar"},
    {"TntLabel2", {0, 270, 580, 1}, QPalette::Window, QColor(70, 70, 70), 0, false, nullptr},
    {"lstNetworkList", {4, 37, 572, 228}, QPalette::Text, QColor(128, 0, 0), 11, false, nullptr},
    {"btnRefresh", {4, 276, 80, 25}, QPalette::Window, kDark, 11, true, "Yenile"},
    {"btnNext", {472, 276, 105, 25}, QPalette::Window, kDark, 11, true, "İleri >"},
    {"pnlSearch", {2, 81, 580, 304}, QPalette::Window, kDark, 0, false, nullptr},
    {"lblSearch",
     {40, 123, 497, 19},
     QPalette::WindowText,
     kWhite,
     12,
     true,
     "Korvane ürünleri aranıyor"},
    {"Progress", {40, 152, 497, 9}, QPalette::NoRole, {}, 0, false, nullptr},
    {"pnlMnFile", {4, 4, 53, 20}, QPalette::Window, QColor(0, 0, 0), 0, false, nullptr},
    {"mnFile", {6, 2, 31, 14}, QPalette::WindowText, kWhite, 11, false, "Dosya"},
    {"pnlMnLanguage", {60, 4, 53, 20}, QPalette::Window, QColor(0, 0, 0), 0, false, nullptr},
    {"mnLanguage", {6, 2, 11, 14}, QPalette::WindowText, kWhite, 11, false, "Dil"},
    {"pnlMnHelp", {116, 4, 53, 20}, QPalette::Window, QColor(0, 0, 0), 0, false, nullptr},
    {"mnHelp", {6, 2, 34, 14}, QPalette::WindowText, kWhite, 11, false, "Yardım"},
    {"btnCloseForm", {560, 3, 21, 20}, QPalette::Window, QColor(0, 0, 0), 11, true, "X"},
    {"btnMinimize", {539, 3, 21, 20}, QPalette::Window, QColor(0, 0, 0), 12, true, "_"},
};

QString Caption(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const PanelButton*>(control)) {
        return button->text();
    }
    return {};
}

// Without a language file the window keeps the layout it was designed with.
TEST_F(LayoutTest, ControlsHaveTheirStoredGeometryColoursFontsAndCaptions) {
    auto window = MakeWindow();
    EXPECT_EQ(window->size(), QSize(584, 386));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("frmMain"));
    EXPECT_FALSE(window->windowIcon().isNull());

    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        auto* control = Child(*window, row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), row.geometry);
        if (row.role != QPalette::NoRole) {
            EXPECT_EQ(control->palette().color(row.role), row.colour);
        }
        if (row.pixelSize != 0) {
            EXPECT_EQ(control->font().pixelSize(), row.pixelSize);
            EXPECT_EQ(control->font().bold(), row.bold);
            EXPECT_EQ(control->font().family(), QStringLiteral("Arial"));
        }
        if (row.caption != nullptr) {
            EXPECT_EQ(Caption(control), QString::fromUtf8(row.caption));
        }
    }
    EXPECT_EQ(window->font().pixelSize(), 11);
    EXPECT_EQ(Child<PanelButton>(*window, "btnRefresh")->look(), PanelButton::Raised);
    EXPECT_EQ(Child<PanelButton>(*window, "btnNext")->look(), PanelButton::Raised);
    EXPECT_EQ(Child<PanelButton>(*window, "btnCloseForm")->look(), PanelButton::Flat);
    EXPECT_EQ(Child<PanelButton>(*window, "btnMinimize")->look(), PanelButton::Flat);
    EXPECT_EQ(Child<QProgressBar>(*window, "Progress")->maximum(), 100);
    EXPECT_EQ(Child<QLabel>(*window, "imgBanner")->pixmap().size(), QSize(590, 54));
}

TEST_F(LayoutTest, ListIsAReportViewOfTwoColumnsWithPictureRows) {
    auto window = MakeWindow();
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    EXPECT_EQ(list->columnCount(), 2);
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list->iconSize(), QSize(32, 32));
    // Start-up sets the widths, and the headers from the (here empty) language table.
    EXPECT_EQ(list->columnWidth(0), 250);
    EXPECT_EQ(list->columnWidth(1), 150);
    EXPECT_EQ(list->headerItem()->text(0), QString());
}

TEST_F(LayoutTest, MenusAndTimersKeepTheirNamesAndItems) {
    auto window = MakeWindow();
    const std::pair<const char*, std::vector<const char*>> menus[] = {
        {"pmFile", {"mnClose"}},
        {"pmLanguage", {"mnEnglish", "mnGreek", "mnRussian", "mnTurkish"}},
        {"pmHelp", {"mnAbout", "mnUserManual", "mnLegalNotice"}},
        {"TrayMenu", {"mnShow", "mnClose2"}},
    };
    for (const auto& [menuName, items] : menus) {
        auto* menu = Child<QMenu>(*window, menuName);
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size())) << menuName;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(actions[static_cast<qsizetype>(i)]->objectName(), QLatin1String(items[i]));
        }
    }
    EXPECT_EQ(Child<QAction>(*window, "mnGreek")->text(), QStringLiteral("GR"));
    EXPECT_EQ(Child<QAction>(*window, "mnLegalNotice")->text(), QStringLiteral("Yasal Uyarı"));

    const TfrmMain fresh; // as the program builds it; no event loop runs here
    auto* search = Child<QTimer>(fresh, "tmrSearch");
    auto* init = Child<QTimer>(fresh, "tmrInit");
    EXPECT_FALSE(search->isActive());
    EXPECT_TRUE(init->isActive()) << "armed by the constructor for the first search";
    EXPECT_EQ(init->interval(), 1000);
    // The search's pace: a 1 s timer, then a 0.3 s pause, once per tick.
    EXPECT_EQ(search->interval(), 1000);
    auto* pause = Child<QTimer>(fresh, "tmrTickPause");
    EXPECT_EQ(pause->interval(), 300);
    EXPECT_TRUE(pause->isSingleShot());
}

TEST_F(LayoutTest, SearchPanelCoversTheListPanelUntilASearchEnds) {
    auto window = MakeWindow();
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    window->ShowPanel(1);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlNetworks"));
    window->ShowPanel(7);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlNetworks"));
    window->ShowPanel(0);
    EXPECT_EQ(FrontPanel(*window), QStringLiteral("pnlSearch"));
    EXPECT_TRUE(Child(*window, "pnlNetworks")->isVisible() || !window->isVisible());
}

TEST_F(LayoutTest, TitleStripDragMovesTheWindowAndTitlesOpenTheirMenus) {
    auto window = MakeWindow();
    window->show();
    const QPoint start = window->pos();
    auto* strip = Child(*window, "mnTopMenu");
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(300, 12));
    QTest::mouseMove(strip, QPoint(350, 32));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(300, 12));
    EXPECT_EQ(window->pos(), start + QPoint(50, 20));

    auto* file = Child(*window, "pnlMnFile");
    auto* menu = Child<QMenu>(*window, "pmFile");
    QTest::mousePress(Child(*window, "mnFile"), Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_TRUE(menu->isVisible());
    // Directly below the title panel: the window's Top + 24 with the stored geometry.
    EXPECT_EQ(menu->pos(), window->pos() + QPoint(file->x(), 24));
    menu->hide();
    QTest::mouseRelease(Child(*window, "mnFile"), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(window->pos(), start + QPoint(50, 20)) << "a press on a title drags nothing";
}

TEST_F(LayoutTest, WindowIsCentredAtItsFirstShowingOnly) {
    auto window = MakeWindow();
    window->show();
    const QRect screen = window->screen()->geometry();
    EXPECT_EQ(window->geometry().center().x(), screen.center().x());
    EXPECT_NEAR(window->geometry().center().y(), screen.center().y(), 1);
    window->move(10, 20);
    window->hide();
    window->show();
    EXPECT_EQ(window->pos(), QPoint(10, 20));
}

} // namespace
