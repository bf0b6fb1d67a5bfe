#include "windows/chrome.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& row) {
    return row.param.name;
}

// A frameless window covered by a background panel, as the program's windows are.
struct DragWindow {
    QWidget window{nullptr, Qt::Window | Qt::FramelessWindowHint};
    BackgroundPanel* panel = new BackgroundPanel(&window);

    DragWindow() {
        window.setGeometry(100, 100, 584, 386);
        panel->setGeometry(0, 0, 584, 387);
        window.show();
    }
};

struct DragCase {
    const char* name;
    Qt::MouseButton button;
    QPoint press;
    QPoint moveTo;       // panel coordinates of the move, as the cursor reaches them
    QPoint expectedMove; // of the window, after the release
};

class DragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(DragTest, PressedPointStaysUnderTheCursor) {
    const DragCase& c = GetParam();
    DragWindow w;
    const QPoint start = w.window.pos();

    QTest::mousePress(w.panel, c.button, {}, c.press);
    EXPECT_EQ(w.window.pos(), start) << "a press moves nothing";
    QTest::mouseMove(w.panel, c.moveTo);
    EXPECT_EQ(w.window.pos(), start + c.expectedMove);
    // The window followed the cursor, so the release happens where the press point is now.
    QTest::mouseRelease(w.panel, c.button, {}, c.press);
    EXPECT_EQ(w.window.pos(), start + c.expectedMove) << "the release moves no further";
    EXPECT_FALSE(w.panel->dragging());

    // A later move with no button held moves nothing.
    QTest::mouseMove(w.panel, c.press + QPoint(40, 40));
    EXPECT_EQ(w.window.pos(), start + c.expectedMove);
}

INSTANTIATE_TEST_SUITE_P(
    Chrome, DragTest,
    ::testing::Values(DragCase{"Left", Qt::LeftButton, {300, 12}, {350, 32}, {50, 20}},
                      DragCase{"Right", Qt::RightButton, {300, 12}, {350, 32}, {50, 20}},
                      DragCase{"Middle", Qt::MiddleButton, {300, 12}, {250, 40}, {-50, 28}},
                      DragCase{"PressOnTopRow", Qt::LeftButton, {1, 0}, {31, 10}, {30, 10}},
                      DragCase{"NoMove", Qt::LeftButton, {300, 12}, {300, 12}, {0, 0}}),
    CaseName<DragCase>);

TEST(Chrome, ReleaseAtAnotherPointWithoutMovesAppliesTheWholeMove) {
    DragWindow w;
    const QPoint start = w.window.pos();
    QTest::mousePress(w.panel, Qt::LeftButton, {}, {300, 12});
    QTest::mouseRelease(w.panel, Qt::LeftButton, {}, {350, 32});
    EXPECT_EQ(w.window.pos(), start + QPoint(50, 20));
}

// The X server moves a window after the program asks it to: moves queued meanwhile carry
// panel points taken against the old position. Two such moves to one screen point must move
// the window once.
TEST(Chrome, MovesQueuedBeforeTheWindowMovedCountOnce) {
    DragWindow w;
    const QPoint start = w.window.pos();
    const QPoint press(300, 12);
    QTest::mousePress(w.panel, Qt::LeftButton, {}, press);
    const QPoint screenPoint = w.panel->mapToGlobal(press) + QPoint(10, 5);
    for (int queued = 0; queued < 2; ++queued) {
        QMouseEvent move(QEvent::MouseMove, press + QPoint(10, 5), screenPoint, Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.panel, &move);
    }
    EXPECT_EQ(w.window.pos(), start + QPoint(10, 5));
    QTest::mouseRelease(w.panel, Qt::LeftButton, {}, press);
    EXPECT_EQ(w.window.pos(), start + QPoint(10, 5));
}

// Presses that controls on the panel pass on (labels, pictures, inner panels) drag nothing.
TEST(Chrome, ControlsOnThePanelDoNotDrag) {
    DragWindow w;
    auto* banner = new QLabel(w.panel);
    banner->setGeometry(1, 27, 581, 54);
    auto* inner = new QFrame(w.panel);
    inner->setGeometry(2, 81, 580, 304);
    auto* heading = new QLabel(inner);
    heading->setGeometry(6, 17, 286, 19);
    banner->show();
    inner->show();
    heading->show();
    const QPoint start = w.window.pos();
    for (QWidget* control : std::initializer_list<QWidget*>{banner, inner, heading}) {
        QTest::mousePress(control, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(control, QPoint(45, 25));
        QTest::mouseRelease(control, Qt::LeftButton, {}, QPoint(45, 25));
        EXPECT_EQ(w.window.pos(), start) << control->metaObject()->className();
    }
}

// Where the compositor places windows (Wayland), a left press on the panel hands the move over
// to it (QWindow::startSystemMove); the window is never moved by the program there.
TEST(Chrome, DragIsHandedToACompositorThatPlacesWindows) {
    DragWindow w;
    auto* covered = new QLabel(w.panel);
    covered->setGeometry(1, 27, 581, 54);
    covered->show();
    std::vector<QWidget*> handedOver;
    w.panel->setCompositorMove({[] { return true; },
                                [&](QWidget* window) {
                                    handedOver.push_back(window);
                                    return true;
                                }});
    const QPoint start = w.window.pos();
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(w.panel, button, {}, {300, 12});
        QTest::mouseMove(w.panel, {350, 32});
        QTest::mouseRelease(w.panel, button, {}, {350, 32});
        EXPECT_FALSE(w.panel->dragging());
    }
    QTest::mousePress(covered, Qt::LeftButton, {}, {5, 5});
    QTest::mouseRelease(covered, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(handedOver, std::vector<QWidget*>{&w.window}) << "left presses on the panel only";
    EXPECT_EQ(w.window.pos(), start);
}

struct ButtonCase {
    const char* name;
    bool raised;
    Qt::MouseButton button;
    QPoint releaseAt;
    int clicks;
};

class PanelButtonTest : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(PanelButtonTest, LooksAndClicks) {
    const ButtonCase& c = GetParam();
    QWidget window;
    window.resize(200, 100);
    auto* button = new PanelButton(&window);
    button->setGeometry(10, 10, 80, 25);
    button->setRaised(c.raised);
    button->setPumpAfterPress(true);
    button->setPumpAfterRelease(true);
    window.show();

    const PanelButton::Look rest = c.raised ? PanelButton::Raised : PanelButton::Flat;
    EXPECT_EQ(button->look(), rest);
    std::vector<PanelButton::Look> looksAtClick;
    QObject::connect(button, &PanelButton::clicked,
                     [&] { looksAtClick.push_back(button->look()); });

    QTest::mousePress(button, c.button, {}, QPoint(40, 12));
    EXPECT_EQ(button->look(), PanelButton::Pressed);
    QTest::mouseRelease(button, c.button, {}, c.releaseAt);
    EXPECT_EQ(button->look(), rest);
    ASSERT_EQ(static_cast<int>(looksAtClick.size()), c.clicks);
    for (PanelButton::Look look : looksAtClick) {
        EXPECT_EQ(look, PanelButton::Pressed) << "the click comes before the rest look returns";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chrome, PanelButtonTest,
    ::testing::Values(ButtonCase{"RaisedLeftInside", true, Qt::LeftButton, {70, 20}, 1},
                      ButtonCase{"FlatLeftInside", false, Qt::LeftButton, {5, 5}, 1},
                      ButtonCase{"LeftReleasedOutside", false, Qt::LeftButton, {120, 60}, 0},
                      ButtonCase{"RightInside", true, Qt::RightButton, {40, 12}, 0},
                      ButtonCase{"RightReleasedOutside", true, Qt::RightButton, {-5, 40}, 0},
                      ButtonCase{"MiddleInside", false, Qt::MiddleButton, {40, 12}, 0}),
    CaseName<ButtonCase>);

TEST(Chrome, PanelButtonKeepsThePressedLookWhileAnyButtonIsHeldOnIt) {
    PanelButton button;
    button.resize(80, 25);
    button.setRaised(true);
    int clicks = 0;
    QObject::connect(&button, &PanelButton::clicked, [&] { ++clicks; });
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mousePress(&button, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&button, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(button.look(), PanelButton::Pressed);
    EXPECT_EQ(clicks, 0);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(button.look(), PanelButton::Raised);
    EXPECT_EQ(clicks, 1);
}

TEST(Chrome, PanelButtonDrawsItsLooks) {
    PanelButton button;
    button.resize(80, 25);
    QPalette colours = button.palette();
    colours.setColor(QPalette::Window, QColor(49, 49, 49));
    colours.setColor(QPalette::Light, Qt::white);
    colours.setColor(QPalette::Dark, Qt::black);
    button.setPalette(colours);

    button.setRaised(true);
    QImage raised = button.grab().toImage();
    EXPECT_EQ(raised.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(raised.pixelColor(79, 24), QColor(Qt::black));
    EXPECT_EQ(raised.pixelColor(1, 1), QColor(49, 49, 49));

    button.setRaised(false);
    QImage flat = button.grab().toImage();
    EXPECT_EQ(flat.pixelColor(0, 0), QColor(49, 49, 49));
    EXPECT_EQ(flat.pixelColor(79, 24), QColor(49, 49, 49));

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(40, 12));
    QImage pressed = button.grab().toImage();
    EXPECT_EQ(pressed.pixelColor(0, 0), QColor(49, 49, 49)) << "no outer bevel";
    EXPECT_EQ(pressed.pixelColor(1, 1), QColor(Qt::black)) << "lowered inner bevel";
    EXPECT_EQ(pressed.pixelColor(78, 23), QColor(Qt::white));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(40, 12));
}

struct TitleBar {
    QWidget window{nullptr, Qt::Window | Qt::FramelessWindowHint};
    std::array<MenuTitle*, 3> titles{};
    std::array<QLabel*, 3> labels{};

    TitleBar() {
        window.setGeometry(50, 60, 584, 386);
        const int lefts[] = {4, 60, 116};
        for (int i = 0; i < 3; ++i) {
            titles[i] = new MenuTitle(&window);
            titles[i]->setGeometry(lefts[i], 4, 53, 20);
            labels[i] = new QLabel(QStringLiteral("Dil"), titles[i]);
            labels[i]->move(6, 2);
            QFont font(QStringLiteral("Arial"));
            font.setPixelSize(11);
            labels[i]->setFont(font);
        }
        window.show();
    }
};

TEST(Chrome, FitMenuTitleLinesTitlesUpWithoutGaps) {
    TitleBar bar;
    FitMenuTitle(bar.titles, 1, QStringLiteral("Dosya"));
    FitMenuTitle(bar.titles, 2, QStringLiteral("Dil"));
    FitMenuTitle(bar.titles, 3, QStringLiteral("Yardım"));
    // A much wider File title pushes the others along.
    FitMenuTitle(bar.titles, 1, QStringLiteral("Файл и ещё кое-что"));

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bar.titles[i]->width(), bar.labels[i]->width() + 12) << i;
        EXPECT_EQ(bar.labels[i]->pos(), QPoint(6, 2)) << i;
        EXPECT_EQ(bar.titles[i]->y(), 4) << i;
        EXPECT_EQ(bar.titles[i]->height(), 20) << i;
    }
    EXPECT_EQ(bar.titles[0]->x(), 4);
    EXPECT_EQ(bar.titles[1]->x(), bar.titles[0]->x() + bar.titles[0]->width());
    EXPECT_EQ(bar.titles[2]->x(), bar.titles[1]->x() + bar.titles[1]->width());
    EXPECT_GE(bar.labels[0]->width(),
              bar.labels[0]->fontMetrics().horizontalAdvance(QStringLiteral("Файл и ещё кое-что")));

    const QRect before = bar.titles[2]->geometry();
    FitMenuTitle(bar.titles, 4, QStringLiteral("ignored"));
    FitMenuTitle(bar.titles, 0, QStringLiteral("ignored"));
    EXPECT_EQ(bar.titles[2]->geometry(), before);
    EXPECT_EQ(bar.labels[0]->text(), QStringLiteral("Файл и ещё кое-что"));
}

TEST(Chrome, MenuTitleOpensItsMenuBelowItselfOnALeftPress) {
    TitleBar bar;
    QMenu menu;
    menu.addAction(QStringLiteral("Kapat"));
    bar.titles[1]->setMenu(&menu);
    const QPoint below = bar.window.pos() + QPoint(60, 4 + 20);

    QTest::mousePress(bar.titles[1], Qt::RightButton, {}, QPoint(40, 10));
    EXPECT_FALSE(menu.isVisible()) << "a right press opens nothing";
    QTest::mouseRelease(bar.titles[1], Qt::RightButton, {}, QPoint(40, 10));

    // On the free part of the panel, then on its label: the same menu at the same place.
    for (QWidget* target :
         {static_cast<QWidget*>(bar.titles[1]), static_cast<QWidget*>(bar.labels[1])}) {
        QTest::mousePress(target, Qt::LeftButton, {}, QPoint(1, 1));
        ASSERT_TRUE(menu.isVisible());
        EXPECT_EQ(menu.pos(), below);
        menu.hide();
        QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(1, 1));
    }
}

TEST(Chrome, LayoutPointSizesBecomeTheirPixelSizes) {
    QWidget root;
    QFont rootFont(QStringLiteral("MS Sans Serif"));
    rootFont.setPointSize(8);
    root.setFont(rootFont);
    auto* inherits = new QLabel(&root);
    auto* own = new QLabel(&root);
    QFont bold(QStringLiteral("Arial"));
    bold.setPointSize(9);
    bold.setBold(true);
    own->setFont(bold);
    auto* nested = new QLabel(own);
    QFont ten(QStringLiteral("Arial"));
    ten.setPointSize(10);
    nested->setFont(ten);

    UseLayoutPixelFonts(&root);
    EXPECT_EQ(root.font().pixelSize(), 11);
    EXPECT_EQ(inherits->font().pixelSize(), 11);
    EXPECT_EQ(own->font().pixelSize(), 12);
    EXPECT_TRUE(own->font().bold());
    EXPECT_EQ(own->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(nested->font().pixelSize(), 13);
}

} // namespace
