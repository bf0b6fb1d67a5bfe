// The About and legal-notice windows and the user-manual action, driven as the user drives
// them: modal showings closed through their own buttons, drags through the window system's
// mouse path, opened folders caught by a URL handler.
#define QTEST_QPA_MOUSE_HANDLING

#include "language/Language.h"
#include "language/LanguageFile.h"
#include "windows/About.h"
#include "windows/DataFolder.h"
#include "windows/Frmlegalnotice.h"
#include "windows/UserManual.h"
#include "windows/chrome.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QUrl>
#include <cctype>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

const QString kSourceDir = QStringLiteral(PATHMERE_SOURCE_DIR);
const QString kLangFile = kSourceDir + QStringLiteral("/resources/lang.xml");

bool UseLanguage(const QByteArray& code) {
    return LoadLanguage(code.toStdString(), kLangFile, Lang::Instance());
}

// Calls `show`, which shows a window modally, runs `inside` on that window once it is up,
// and returns when the showing has ended. `inside` must close the window; one still open
// after five seconds is rejected, so that a failing test cannot hang.
void WhileModal(const std::function<void()>& show, const std::function<void(QDialog*)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(window != nullptr) << "no modal window";
        inside(window);
    });
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [] {
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            open->reject();
            FAIL() << "the window was not closed by its button";
        }
    });
    rescue.start(5000);
    show();
    ASSERT_TRUE(ran);
}

// A drag as the window system delivers it: the left (or other) button pressed at `at` in
// window coordinates, the cursor moved by `by` in two steps on the screen, released there.
void Drag(QWidget* window, QPoint at, QPoint by, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint start = window->mapToGlobal(at);
    QTest::mousePress(window, button, {}, at);
    QTest::mouseMove(window, window->mapFromGlobal(start + by / 2));
    QTest::mouseMove(window, window->mapFromGlobal(start + by));
    QTest::mouseRelease(window, button, {}, window->mapFromGlobal(start + by));
}

template <typename T> T* Child(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(QLatin1String(name));
    if (child == nullptr) {
        qWarning("no child %s", name);
    }
    return child;
}

bool IsRed(QRgb pixel) {
    return qRed(pixel) > 100 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

bool IsWhite(QRgb pixel) {
    return qRed(pixel) > 100 && qGreen(pixel) > 100 && qBlue(pixel) > 100;
}

// Columns of `image` inside `area` that hold a pixel for which `match` holds.
QList<int> MatchingColumns(const QImage& image, const QRect& area, bool (*match)(QRgb)) {
    QList<int> columns;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (match(image.pixel(x, y))) {
                columns.append(x);
                break;
            }
        }
    }
    return columns;
}

QStringList Names(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names) {
        list.append(QString::fromUtf8(name));
    }
    return list;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList Strings(const std::vector<const char*>& texts) {
    QStringList list;
    for (const char* text : texts) {
        list.append(QString::fromUtf8(text));
    }
    return list;
}

// A case's name as GoogleTest takes it: letters, digits and underscores.
std::string CaseName(const char* name) {
    std::string id(name);
    for (char& ch : id) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return id;
}

} // namespace

namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// Nothing a test opens may reach the desktop: file URLs go to the catcher. Each test leaves the
// current folder as it found it, and every showing releases its window.
class HelpWindowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        catcher = new UrlCatcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), catcher, "open");
        startFolder = QDir::currentPath();
    }
    static void TearDownTestSuite() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        delete catcher;
        catcher = nullptr;
    }
    void SetUp() override { catcher->urls.clear(); }
    void TearDown() override {
        QDir::setCurrent(startFolder);
        EXPECT_TRUE(owner.findChildren<QDialog*>().isEmpty());
    }
    static UrlCatcher& Catcher() { return *catcher; }

    QWidget owner;

private:
    static inline UrlCatcher* catcher = nullptr;
    static inline QString startFolder;
};

template <typename Case>
class HelpWindowsCaseTest : public HelpWindowsTest, public ::testing::WithParamInterface<Case> {
protected:
    using ::testing::WithParamInterface<Case>::GetParam;
};

template <typename Case> std::string NameOf(const ::testing::TestParamInfo<Case>& info) {
    return CaseName(info.param.label);
}

// A case prints as its label.
template <typename Case>
requires requires(const Case& c) {
    c.label;
}
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.label;
}

struct LayoutCase {
    const char* label;
    bool legal; // which window: the legal notice or About
    const char* name;
    QRect geometry;
    int pixels; // font size in pixels; 0 when no text is shown
    QColor ink; // text colour, or the fill of a line
};

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kLine(49, 49, 49);
const LayoutCase kLayout[] = {
    {"about_mnTopMenu", false, "mnTopMenu", {0, 0, 311, 147}, 0, kBlack},
    {"about_lblMenuLine", false, "lblMenuLine", {2, 26, 307, 1}, 0, kLine},
    {"about_imgBanner", false, "imgBanner", {3, 5, 70, 18}, 0, QColor()},
    {"about_TntLabel2", false, "TntLabel2", {2, 120, 307, 1}, 0, kLine},
    {"about_TntLabel1", false, "TntLabel1", {38, 52, 233, 16}, 13, kWhite},
    {"about_lblVersionCaption",
     false,
     "lblVersionCaption",
     {77, 78, 71, 16},
     11,
     QColor(255, 0, 0)},
    {"about_lblVersion", false, "lblVersion", {158, 78, 99, 15}, 12, kWhite},
    {"about_btnCloseForm", false, "btnCloseForm", {288, 3, 21, 20}, 11, kWhite},
    {"legal_pnlMessage", true, "pnlMessage", {0, 0, 721, 463}, 0, kBlack},
    {"legal_TntLabel27", true, "TntLabel27", {2, 25, 423, 1}, 0, kLine},
    {"legal_pnlBackground", true, "pnlBackground", {3, 28, 715, 432}, 12, kWhite},
    {"legal_TntMemo1", true, "TntMemo1", {5, 5, 705, 393}, 12, QColor()},
    {"legal_btnButton1", true, "btnButton1", {629, 402, 81, 25}, 11, kWhite},
    {"legal_btnCloseForm", true, "btnCloseForm", {697, 3, 21, 20}, 11, kWhite},
};

using LayoutTest = HelpWindowsCaseTest<LayoutCase>;

TEST_P(LayoutTest, MatchesDesign) {
    const bool legal = GetParam().legal;
    const QString name = QString::fromUtf8(GetParam().name);
    const QRect geometry = GetParam().geometry;
    const int pixels = GetParam().pixels;
    const QColor ink = GetParam().ink;

    std::unique_ptr<QDialog> window;
    if (legal) {
        window = std::make_unique<TlegalNotice>();
    } else {
        window = std::make_unique<TfrmAbout>();
    }
    ASSERT_EQ(window->size(), legal ? QSize(721, 462) : QSize(311, 147));
    QWidget* control = Child<QWidget>(window.get(), name.toLatin1().constData());
    ASSERT_TRUE(control != nullptr);
    ASSERT_EQ(control->geometry(), geometry);
    if (pixels > 0) {
        ASSERT_EQ(control->font().pixelSize(), pixels);
    }
    if (ink.isValid()) {
        // Lines and panels show their fill, labels and buttons their text.
        const bool fill = control->height() == 1 || name.startsWith(QLatin1String("pnl")) ||
                          name == QLatin1String("mnTopMenu");
        const QPalette::ColorRole role = fill ? QPalette::Window : QPalette::WindowText;
        ASSERT_EQ(control->palette().color(role), ink);
    }
    if (auto* button = qobject_cast<PanelButton*>(control)) {
        ASSERT_EQ(button->raised(), name == QLatin1String("btnButton1"));
        ASSERT_EQ(button->font().bold(), true);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LayoutTest, ::testing::ValuesIn(kLayout), NameOf<LayoutCase>);

struct LanguageCase {
    const char* label;
    QByteArray code;
};

const LanguageCase kAboutLanguages[] = {
    {"Russian", "RU"}, {"Greek", "EL"}, {"Turkish", "TR"}, {"English", "EN"}};

using AboutLanguageTest = HelpWindowsCaseTest<LanguageCase>;

TEST_P(AboutLanguageTest, ShowsCurrentLanguage) {
    const QByteArray code = GetParam().code;
    ASSERT_TRUE(UseLanguage("EN"));
    ASSERT_TRUE(UseLanguage(code));
    const Lang& table = Lang::Instance();
    ASSERT_TRUE(!table.stVersion.isEmpty());

    QImage shot;
    QString title;
    QString caption;
    QPoint position;
    QSize size;
    WhileModal([&] { ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   ASSERT_TRUE(window->inherits("TfrmAbout"));
                   ASSERT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
                   title = window->windowTitle();
                   caption = Child<QLabel>(window, "lblVersionCaption")->text();
                   position = window->pos();
                   size = window->size();
                   shot = window->grab().toImage();
                   QTest::mouseClick(Child<PanelButton>(window, "btnCloseForm"), Qt::LeftButton);
               });
    ASSERT_EQ(position, QPoint(523, 176));
    ASSERT_EQ(size, QSize(311, 147));
    ASSERT_EQ(title, table.stAbout);
    ASSERT_EQ(caption, table.stVersion);

    // The caption is drawn in red, right-aligned so that it ends at x = 148; the version
    // follows in white from x = 158.
    const QList<int> red = MatchingColumns(shot, QRect(77, 78, 71, 16), IsRed);
    ASSERT_TRUE(!red.isEmpty()) << "no red caption";
    ASSERT_TRUE(red.last() >= 140 && red.last() <= 148) << qPrintable(QString::number(red.last()));
    const QList<int> white = MatchingColumns(shot, QRect(148, 78, 110, 15), IsWhite);
    ASSERT_TRUE(!white.isEmpty()) << "no version text";
    ASSERT_TRUE(white.first() >= 158 && white.first() <= 161)
        << qPrintable(QString::number(white.first()));
    // Below the title strip (whose logo may carry red), only the caption is red.
    ASSERT_EQ(MatchingColumns(shot, QRect(0, 27, 311, 120), IsRed), red);
}

INSTANTIATE_TEST_SUITE_P(Cases, AboutLanguageTest, ::testing::ValuesIn(kAboutLanguages),
                         NameOf<LanguageCase>);

TEST_F(HelpWindowsTest, AboutOpensFreshAtStoredPosition) {
    QPointer<QDialog> first;
    QPoint dragged;
    WhileModal([&] { ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   first = window;
                   Drag(window, QPoint(150, 12), QPoint(60, 40));
                   dragged = window->pos();
                   auto* close = Child<PanelButton>(window, "btnCloseForm");
                   QTest::mousePress(close, Qt::LeftButton);
                   ASSERT_EQ(close->look(), PanelButton::Pressed);
                   QTest::mouseRelease(close, Qt::LeftButton);
               });
    ASSERT_EQ(dragged, QPoint(583, 216));
    ASSERT_TRUE(first.isNull());

    QPoint position;
    PanelButton::Look look = PanelButton::Pressed;
    WhileModal([&] { ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   position = window->pos();
                   auto* close = Child<PanelButton>(window, "btnCloseForm");
                   look = close->look();
                   QTest::mouseClick(close, Qt::LeftButton);
               });
    ASSERT_EQ(position, QPoint(523, 176));
    ASSERT_EQ(look, PanelButton::Flat);
}

struct DragCase {
    const char* label;
    QPoint at;
    const char* receiver;
    Qt::MouseButton button;
    bool moves;
};

// Released outside the close button: it turns flat again and closes nothing.
const DragCase kDrags[] = {
    {"title strip", {150, 12}, "mnTopMenu", Qt::LeftButton, true},
    {"title strip, right button", {150, 12}, "mnTopMenu", Qt::RightButton, true},
    {"black area below", {20, 135}, "mnTopMenu", Qt::LeftButton, true},
    {"heading", {150, 58}, "TntLabel1", Qt::LeftButton, false},
    {"version caption", {140, 84}, "lblVersionCaption", Qt::LeftButton, false},
    {"version", {170, 84}, "lblVersion", Qt::LeftButton, false},
    {"logo", {30, 12}, "imgBanner", Qt::LeftButton, false},
    {"separator", {100, 26}, "lblMenuLine", Qt::LeftButton, false},
    {"close button", {298, 12}, "btnCloseForm", Qt::LeftButton, false},
};

using AboutDragTest = HelpWindowsCaseTest<DragCase>;

TEST_P(AboutDragTest, DragsByBlackAreaOnly) {
    const QPoint at = GetParam().at;
    const QString receiver = QString::fromUtf8(GetParam().receiver);
    const Qt::MouseButton button = GetParam().button;
    const bool moves = GetParam().moves;

    TfrmAbout window;
    window.move(523, 176);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QWidget* hit = window.childAt(at);
    ASSERT_TRUE(hit != nullptr);
    ASSERT_EQ(hit->objectName(), receiver);

    Drag(&window, at, QPoint(50, 20), button);
    ASSERT_EQ(window.pos(), moves ? QPoint(573, 196) : QPoint(523, 176));
    ASSERT_TRUE(window.isVisible());
    ASSERT_EQ(Child<PanelButton>(&window, "btnCloseForm")->look(), PanelButton::Flat);
}

INSTANTIATE_TEST_SUITE_P(Cases, AboutDragTest, ::testing::ValuesIn(kDrags), NameOf<DragCase>);

TEST_F(HelpWindowsTest, WindowsFollowActiveMonitor) {
    // Run once on one screen and once on two (see the test's second registration): the
    // windows keep their stored desktop position, moved onto the monitor of the active window.
    const QList<QScreen*> screens = QGuiApplication::screens();
    const QScreen* last = screens.last();
    const QPoint shift = last->geometry().topLeft() - screens.first()->geometry().topLeft();

    QWidget main;
    main.setGeometry(QRect(last->geometry().topLeft() + QPoint(100, 100), QSize(584, 386)));
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    ASSERT_EQ(main.screen(), last);

    QPoint about;
    QPoint legal;
    WhileModal([&] { ShowAboutWindow(&main); },
               [&](QDialog* window) {
                   about = window->pos();
                   window->close();
               });
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    WhileModal([&] { ShowLegalNotice(&main); },
               [&](QDialog* window) {
                   legal = window->pos();
                   window->close();
               });
    ASSERT_EQ(about, QPoint(523, 176) + shift);
    ASSERT_EQ(legal, QPoint(307, 240) + shift);
    ASSERT_TRUE(main.findChildren<QDialog*>().isEmpty());
}

struct LegalLanguageCase {
    const char* label;
    QByteArray code;
    const char* heading; // replaces the language's heading when not empty
};

const LegalLanguageCase kLegalLanguages[] = {
    {"Greek", "EL", {}},
    {"Russian", "RU", {}},
    {"Turkish", "TR", {}},
    {"long heading", "EN", "Legal notice, licence terms and open-source software information"},
};

using LegalLanguageTest = HelpWindowsCaseTest<LegalLanguageCase>;

TEST_P(LegalLanguageTest, FollowsLanguage) {
    const QByteArray code = GetParam().code;
    const QString heading = QString::fromUtf8(GetParam().heading);
    ASSERT_TRUE(UseLanguage("EN"));
    ASSERT_TRUE(UseLanguage(code));
    Lang& table = Lang::Instance();
    if (!heading.isEmpty()) {
        table.stLegalNotice = heading;
    }

    QString shownHeading;
    QString button;
    QString text;
    QRect headingRect;
    QPoint position;
    QList<QRect> others;
    int headingTextWidth = 0;
    WhileModal([&] { ShowLegalNotice(&owner); },
               [&](QDialog* window) {
                   auto* label = Child<QLabel>(window, "lblCaption");
                   shownHeading = label->text();
                   headingRect = label->geometry();
                   headingTextWidth = label->fontMetrics().horizontalAdvance(label->text());
                   position = window->pos();
                   text = Child<QPlainTextEdit>(window, "TntMemo1")->toPlainText();
                   for (const char* name :
                        {"TntLabel27", "pnlBackground", "TntMemo1", "btnButton1", "btnCloseForm"}) {
                       others.append(Child<QWidget>(window, name)->geometry());
                   }
                   auto* close = Child<PanelButton>(window, "btnButton1");
                   button = close->text();
                   QTest::mouseClick(close, Qt::LeftButton);
               });
    ASSERT_EQ(position, QPoint(307, 240));
    ASSERT_EQ(shownHeading, table.stLegalNotice);
    ASSERT_EQ(button, table.stClose);
    ASSERT_EQ(text, LegalNoticeText());
    // The heading sizes itself to its text from x = 9; nothing else moves.
    ASSERT_EQ(headingRect.topLeft(), QPoint(9, 6));
    ASSERT_TRUE(headingRect.width() >= headingTextWidth);
    ASSERT_TRUE(headingRect.width() <= headingTextWidth + 4);
    const QList<QRect> stored = {QRect(2, 25, 423, 1), QRect(3, 28, 715, 432),
                                 QRect(5, 5, 705, 393), QRect(629, 402, 81, 25),
                                 QRect(697, 3, 21, 20)};
    ASSERT_EQ(others, stored);
}

INSTANTIATE_TEST_SUITE_P(Cases, LegalLanguageTest, ::testing::ValuesIn(kLegalLanguages),
                         NameOf<LegalLanguageCase>);

TEST_F(HelpWindowsTest, LegalNoticeOpensFreshAtTop) {
    int scrolled = 0;
    QPoint dragged;
    WhileModal([&] { ShowLegalNotice(&owner); },
               [&](QDialog* window) {
                   QScrollBar* bar = Child<QPlainTextEdit>(window, "TntMemo1")->verticalScrollBar();
                   bar->setValue(bar->maximum() / 2);
                   scrolled = bar->value();
                   Drag(window, QPoint(560, 12), QPoint(-40, 30));
                   dragged = window->pos();
                   QTest::mouseClick(Child<PanelButton>(window, "btnCloseForm"), Qt::LeftButton);
               });
    ASSERT_TRUE(scrolled > 0);
    ASSERT_EQ(dragged, QPoint(267, 270));

    QPoint position;
    int scroll = -1;
    int firstBlock = -1;
    WhileModal([&] { ShowLegalNotice(&owner); },
               [&](QDialog* window) {
                   auto* memo = Child<QPlainTextEdit>(window, "TntMemo1");
                   position = window->pos();
                   scroll = memo->verticalScrollBar()->value();
                   firstBlock = memo->cursorForPosition(QPoint(4, 4)).blockNumber();
                   QTest::mouseClick(Child<PanelButton>(window, "btnButton1"), Qt::LeftButton);
               });
    ASSERT_EQ(position, QPoint(307, 240));
    ASSERT_EQ(scroll, 0);
    ASSERT_EQ(firstBlock, 0);
}

TEST_F(HelpWindowsTest, LegalNoticeIsReadOnlySelectableAndWraps) {
    TlegalNotice window;
    window.move(307, 240);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* memo = Child<QPlainTextEdit>(&window, "TntMemo1");
    const QString text = memo->toPlainText();
    ASSERT_TRUE(!text.isEmpty());

    memo->setFocus();
    QTest::keyClicks(memo, QStringLiteral("typed"));
    QTest::keyClick(memo, Qt::Key_Delete);
    QTest::keyClick(memo, Qt::Key_Backspace);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keySequence(memo, QKeySequence::Paste);
    QTest::keySequence(memo, QKeySequence::Cut);
    ASSERT_EQ(memo->toPlainText(), text);

    QGuiApplication::clipboard()->clear();
    QTest::keySequence(memo, QKeySequence::SelectAll);
    QTest::keySequence(memo, QKeySequence::Copy);
    ASSERT_EQ(QGuiApplication::clipboard()->text(), text);

    // A line wider than the box continues on the next row instead of scrolling sideways.
    memo->setPlainText(QStringLiteral("wrapped ").repeated(60));
    QTest::qWait(0);
    ASSERT_TRUE(memo->document()->firstBlock().layout()->lineCount() > 1);
    ASSERT_EQ(memo->horizontalScrollBar()->maximum(), 0);
}

struct LicenceCase {
    const char* label;
    const char* file;
    QByteArray sha256;
    const char* appendix;
};

const LicenceCase kLicences[] = {
    {"GNU GPL 2", "GPL-2.0.txt", "8177f97513213526df2cf6184d8ff986c675afb514d4e68a404010521b880643",
     "Appendix 1."},
    {"OpenSSL and SSLeay", "OpenSSL-SSLeay.txt",
     "c32913b33252e71190af2066f08115c69bc9fddadf3bf29296e20c835389841c", "Appendix 2."},
    {"Mozilla 1.0", "MPL-1.0.txt",
     "85f34250a23e673dda37fc2cbfe32692b109471ae985c194301d48af5b16fe0a", "Appendix 3."},
};

using LicenceTextTest = HelpWindowsCaseTest<LicenceCase>;

TEST_P(LicenceTextTest, HeldWholeInTheLegalNotice) {
    const QString file = QString::fromUtf8(GetParam().file);
    const QByteArray sha256 = GetParam().sha256;
    const QString appendix = QString::fromUtf8(GetParam().appendix);

    QFile reference(kSourceDir + QStringLiteral("/tests/gui/legal/") + file);
    ASSERT_TRUE(reference.open(QIODevice::ReadOnly));
    const QByteArray published = reference.readAll();
    // The reference is the published text itself, not a copy that drifted.
    ASSERT_EQ(QCryptographicHash::hash(published, QCryptographicHash::Sha256).toHex(), sha256);

    TlegalNotice window;
    const QString shown = Child<QPlainTextEdit>(&window, "TntMemo1")->toPlainText();
    const qsizetype at =
        shown.indexOf(appendix + QStringLiteral("\n\n") + QString::fromUtf8(published));
    ASSERT_TRUE(at > 0) << "licence text not found whole under its appendix heading";
    // Each heading stands on a line of its own once, and the appendices come in order.
    const auto heading = [&](const QString& name) {
        return QStringLiteral("\n") + name + QStringLiteral("\n");
    };
    ASSERT_EQ(shown.count(heading(appendix)), 1);
    ASSERT_TRUE(shown.indexOf(heading(QStringLiteral("Appendix 1."))) <
                shown.indexOf(heading(QStringLiteral("Appendix 2."))));
    ASSERT_TRUE(shown.indexOf(heading(QStringLiteral("Appendix 2."))) <
                shown.indexOf(heading(QStringLiteral("Appendix 3."))));
}

INSTANTIATE_TEST_SUITE_P(Cases, LicenceTextTest, ::testing::ValuesIn(kLicences),
                         NameOf<LicenceCase>);

struct ManualCase {
    const char* label;
    std::vector<const char*> folders;
    std::vector<const char*> files;
    const char* current;
    const char* country;
    const char* opened; // empty: nothing opens
};

const ManualCase kManuals[] = {
    {"language folder", {"Doc/English"}, {}, {}, "English", "Doc/English"},
    {"other language", {"Doc/English", "Doc/Russian"}, {}, {}, "Russian", "Doc/Russian"},
    {"non-ASCII name", {"Doc/Ελληνικά"}, {}, {}, "Ελληνικά", "Doc/Ελληνικά"},
    {"language folder missing", {"Doc/English"}, {}, {}, "Turkish", {}},
    {"no Doc folder", {}, {}, {}, "English", {}},
    {"from the program's folder", {"app/Doc/English"}, {}, "app", "English", "app/Doc/English"},
    {"from another folder", {"app/Doc/English", "elsewhere"}, {}, "elsewhere", "English", {}},
    {"empty name opens Doc", {"Doc/English"}, {}, {}, "", "Doc"},
    {"empty name, no Doc", {}, {}, {}, "", {}},
    {"file, not folder", {"Doc"}, {"Doc/English"}, {}, "English", {}},
    {"name leading out of Doc", {"Doc/English", "private"}, {}, {}, "../private", {}},
    {"absolute name stays in Doc", {"Doc/tmp"}, {}, {}, "/tmp", "Doc/tmp"},
};

using UserManualTest = HelpWindowsCaseTest<ManualCase>;

TEST_P(UserManualTest, OpensTheLanguagesFolder) {
    const QStringList folders = Strings(GetParam().folders);
    const QStringList files = Strings(GetParam().files);
    const QString current = QString::fromUtf8(GetParam().current);
    const QString country = QString::fromUtf8(GetParam().country);
    const QString opened = QString::fromUtf8(GetParam().opened);

    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const QDir root(QFileInfo(temporary.path()).canonicalFilePath());
    for (const QString& folder : folders) {
        ASSERT_TRUE(root.mkpath(folder));
    }
    for (const QString& name : files) {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir::setCurrent(root.filePath(current)));

    const ManualOpening result = OpenUserManual(country);
    if (opened.isEmpty()) {
        ASSERT_EQ(result, ManualOpening::NoFolder);
        ASSERT_EQ(Catcher().urls, QList<QUrl>());
    } else {
        ASSERT_EQ(result, ManualOpening::Opened);
        ASSERT_EQ(Catcher().urls, QList<QUrl>{QUrl::fromLocalFile(root.filePath(opened))});
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, UserManualTest, ::testing::ValuesIn(kManuals), NameOf<ManualCase>);

TEST_F(HelpWindowsTest, UserManualFollowsLanguage) {
    // Each language of the shipped lang.xml names a manual folder shipped beside it.
    ASSERT_TRUE(QDir::setCurrent(kSourceDir));
    for (const char* code : {"TR", "EN", "RU", "EL"}) {
        Catcher().urls.clear();
        ASSERT_TRUE(UseLanguage(code));
        const QString folder = Lang::Instance().stCountry;
        ASSERT_TRUE(OpenUserManual(folder) == ManualOpening::Opened) << code;
        const QString expected = QDir(kSourceDir).filePath(QStringLiteral("Doc/") + folder);
        ASSERT_EQ(Catcher().urls, QList<QUrl>{QUrl::fromLocalFile(expected)});
        ASSERT_TRUE(QFileInfo::exists(expected + QStringLiteral("/index.html")));
        ASSERT_TRUE(!ReadText(expected + QStringLiteral("/index.html")).isEmpty());
    }
}

// Where the window system delivers a key in `window`: its focused control, else itself.
void KeyIn(QWidget* window, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    QWidget* focus = window->focusWidget();
    QTest::keyClick(focus != nullptr && focus->hasFocus() ? focus : window, key, mods);
}

struct WindowCase {
    const char* label;
    bool legal;
};

const WindowCase kWindows[] = {{"About", false}, {"legal notice", true}};

using EscapeTest = HelpWindowsCaseTest<WindowCase>;

TEST_P(EscapeTest, Closes) {
    const bool legal = GetParam().legal;
    bool closed = false;
    WhileModal([&] { legal ? ShowLegalNotice(&owner) : ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   ASSERT_TRUE(QTest::qWaitForWindowActive(window));
                   KeyIn(window, Qt::Key_Escape);
                   closed = !window->isVisible();
               });
    ASSERT_TRUE(closed);
}

INSTANTIATE_TEST_SUITE_P(Cases, EscapeTest, ::testing::ValuesIn(kWindows), NameOf<WindowCase>);

TEST_F(HelpWindowsTest, LegalNoticeByKeyboardAlone) {
    int afterPageDown = -1;
    bool atEnd = false;
    QStringList tabbed;
    bool closed = false;
    WhileModal([&] { ShowLegalNotice(&owner); },
               [&](QDialog* window) {
                   ASSERT_TRUE(QTest::qWaitForWindowActive(window));
                   auto* memo = Child<QPlainTextEdit>(window, "TntMemo1");
                   QScrollBar* bar = memo->verticalScrollBar();
                   ASSERT_EQ(QApplication::focusWidget(), memo);
                   KeyIn(window, Qt::Key_PageDown);
                   afterPageDown = bar->value();
                   KeyIn(window, Qt::Key_End, Qt::ControlModifier);
                   atEnd = bar->value() == bar->maximum();
                   for (int i = 0; i < 3; ++i) {
                       KeyIn(window, Qt::Key_Tab);
                       tabbed.append(QApplication::focusWidget()->objectName());
                   }
                   // Tab has moved on to the button: Return presses it.
                   ASSERT_EQ(QApplication::focusWidget()->objectName(),
                             QStringLiteral("btnButton1"));
                   KeyIn(window, Qt::Key_Return);
                   closed = !window->isVisible();
               });
    ASSERT_TRUE(afterPageDown > 0);
    ASSERT_TRUE(atEnd);
    ASSERT_EQ(tabbed, Names({"btnButton1", "TntMemo1", "btnButton1"}));
    ASSERT_TRUE(closed);
}

const LanguageCase kReaderLanguages[] = {{"Turkish", "TR"}, {"Greek", "EL"}};

using ScreenReaderTest = HelpWindowsCaseTest<LanguageCase>;

TEST_P(ScreenReaderTest, ReadsBothDialogs) {
    const QByteArray code = GetParam().code;
    ASSERT_TRUE(UseLanguage(code));
    const Lang& table = Lang::Instance();
    auto read = [](QWidget* widget, QAccessible::Text kind = QAccessible::Name) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
        return node != nullptr ? node->text(kind) : QStringLiteral("<none>");
    };
    auto role = [](QWidget* widget) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
        return node != nullptr ? node->role() : QAccessible::NoRole;
    };

    TfrmAbout about;
    ASSERT_EQ(role(&about), QAccessible::Dialog);
    ASSERT_EQ(read(&about), table.stAbout);
    ASSERT_EQ(read(&about, QAccessible::Description), QStringLiteral("Korvane Wireless Networks"));
    ASSERT_EQ(role(Child<QWidget>(&about, "btnCloseForm")), QAccessible::Button);
    ASSERT_EQ(read(Child<QWidget>(&about, "btnCloseForm")), table.stClose);

    TlegalNotice notice;
    ASSERT_EQ(role(&notice), QAccessible::Dialog);
    ASSERT_EQ(read(&notice), table.stLegalNotice);
    ASSERT_EQ(notice.windowTitle(), QStringLiteral("legalNotice"));
    ASSERT_EQ(read(Child<QWidget>(&notice, "TntMemo1")), table.stLegalNotice);
    ASSERT_EQ(role(Child<QWidget>(&notice, "btnButton1")), QAccessible::Button);
    ASSERT_EQ(read(Child<QWidget>(&notice, "btnButton1")), table.stClose);
    ASSERT_EQ(read(Child<QWidget>(&notice, "btnCloseForm")), table.stClose);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScreenReaderTest, ::testing::ValuesIn(kReaderLanguages),
                         NameOf<LanguageCase>);

// Entries of each folder; a name ending in '/' is a folder.
struct DataFolderCase {
    const char* label;
    std::vector<const char*> current;
    std::vector<const char*> installed;
    const char* name;
    const char* found; // "current" or "installed"
};

const DataFolderCase kDataFolders[] = {
    {"current folder only", {"lang.xml"}, {}, "lang.xml", "current"},
    {"installed only", {}, {"lang.xml"}, "lang.xml", "installed"},
    {"both: the current folder wins", {"lang.xml"}, {"lang.xml"}, "lang.xml", "current"},
    {"neither: the current folder", {}, {}, "lang.xml", "current"},
    {"installed folder entry", {"lang.xml"}, {"Doc/"}, "Doc", "installed"},
    {"current folder entry", {"Doc/"}, {"Doc/"}, "Doc", "current"},
    {"another entry here does not count", {"Doc/"}, {"lang.xml"}, "lang.xml", "installed"},
};

using DataFolderTest = HelpWindowsCaseTest<DataFolderCase>;

TEST_P(DataFolderTest, FindsTheFolderHoldingTheName) {
    const QStringList current = Strings(GetParam().current);
    const QStringList installed = Strings(GetParam().installed);
    const QString name = QString::fromUtf8(GetParam().name);
    const QString found = QString::fromUtf8(GetParam().found);

    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const QDir root(temporary.path());
    for (const auto& [folder, entries] : {std::pair{QStringLiteral("current"), current},
                                          {QStringLiteral("installed"), installed}}) {
        ASSERT_TRUE(root.mkpath(folder));
        for (const QString& entry : entries) {
            if (entry.endsWith(QLatin1Char('/'))) {
                ASSERT_TRUE(root.mkpath(folder + QLatin1Char('/') + entry));
            } else {
                QFile file(root.filePath(folder + QLatin1Char('/') + entry));
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            }
        }
    }
    const QDir result = DataFolderHolding(name, QDir(root.filePath(QStringLiteral("current"))),
                                          QDir(root.filePath(QStringLiteral("installed"))));
    ASSERT_EQ(result.absolutePath(), root.filePath(found));
}

INSTANTIATE_TEST_SUITE_P(Cases, DataFolderTest, ::testing::ValuesIn(kDataFolders),
                         NameOf<DataFolderCase>);

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "HelpWindowsTest.moc"
