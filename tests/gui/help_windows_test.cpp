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
#include <functional>
#include <memory>
#include <utility>

namespace {

const QString kSourceDir = QStringLiteral(PATHMERE_SOURCE_DIR);
const QString kLangFile = kSourceDir + QStringLiteral("/resources/lang.xml");

bool UseLanguage(const QByteArray& code) {
    return ReadLanguageFile(code.toStdString(), kLangFile, Lang::Instance());
}

// Calls `show`, which shows a window modally, runs `inside` on that window once it is up,
// and returns when the showing has ended. `inside` must close the window; one still open
// after five seconds is rejected, so that a failing test cannot hang.
void WhileModal(const std::function<void()>& show, const std::function<void(QDialog*)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY2(window != nullptr, "no modal window");
        inside(window);
    });
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [] {
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            open->reject();
            QFAIL("the window was not closed by its button");
        }
    });
    rescue.start(5000);
    show();
    QVERIFY(ran);
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

} // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class HelpWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void layoutMatchesDesign_data();
    void layoutMatchesDesign();
    void aboutShowsCurrentLanguage_data();
    void aboutShowsCurrentLanguage();
    void aboutOpensFreshAtStoredPosition();
    void aboutDragsByBlackAreaOnly_data();
    void aboutDragsByBlackAreaOnly();
    void windowsFollowActiveMonitor();

    void legalNoticeFollowsLanguage_data();
    void legalNoticeFollowsLanguage();
    void legalNoticeOpensFreshAtTop();
    void legalNoticeIsReadOnlySelectableAndWraps();
    void legalNoticeHoldsLicenceTextsWhole_data();
    void legalNoticeHoldsLicenceTextsWhole();

    void userManual_data();
    void userManual();
    void userManualFollowsLanguage();
    void dataFolder_data();
    void dataFolder();

    void escapeCloses_data();
    void escapeCloses();
    void legalNoticeByKeyboardAlone();
    void dialogsReadByScreenReaders_data();
    void dialogsReadByScreenReaders();

private:
    UrlCatcher catcher;
    QWidget owner;
    QString startFolder;
};

void HelpWindowsTest::initTestCase() {
    // Nothing a test opens may reach the desktop.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    startFolder = QDir::currentPath();
}

void HelpWindowsTest::init() {
    catcher.urls.clear();
}

void HelpWindowsTest::cleanup() {
    QDir::setCurrent(startFolder);
    QVERIFY(owner.findChildren<QDialog*>().isEmpty()); // every showing released its window
}

void HelpWindowsTest::cleanupTestCase() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void HelpWindowsTest::layoutMatchesDesign_data() {
    QTest::addColumn<bool>("legal"); // which window: the legal notice or About
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("pixels"); // font size in pixels; 0 when no text is shown
    QTest::addColumn<QColor>("ink"); // text colour, or the fill of a line
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    const QColor line(49, 49, 49);
    auto row = [](const char* name, bool legal, QRect rect, int pixels, QColor ink) {
        QTest::addRow("%s %s", legal ? "legal" : "about", name)
            << legal << QString::fromLatin1(name) << rect << pixels << ink;
    };
    row("mnTopMenu", false, {0, 0, 311, 147}, 0, black);
    row("lblMenuLine", false, {2, 26, 307, 1}, 0, line);
    row("imgBanner", false, {3, 5, 70, 18}, 0, QColor());
    row("TntLabel2", false, {2, 120, 307, 1}, 0, line);
    row("TntLabel1", false, {38, 52, 233, 16}, 13, white);
    row("lblVersionCaption", false, {77, 78, 71, 16}, 11, QColor(255, 0, 0));
    row("lblVersion", false, {158, 78, 99, 15}, 12, white);
    row("btnCloseForm", false, {288, 3, 21, 20}, 11, white);
    row("pnlMessage", true, {0, 0, 721, 463}, 0, black);
    row("TntLabel27", true, {2, 25, 423, 1}, 0, line);
    row("pnlBackground", true, {3, 28, 715, 432}, 12, white);
    row("TntMemo1", true, {5, 5, 705, 393}, 12, QColor());
    row("btnButton1", true, {629, 402, 81, 25}, 11, white);
    row("btnCloseForm", true, {697, 3, 21, 20}, 11, white);
}

void HelpWindowsTest::layoutMatchesDesign() {
    QFETCH(bool, legal);
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(int, pixels);
    QFETCH(QColor, ink);

    std::unique_ptr<QDialog> window;
    if (legal) {
        window = std::make_unique<TlegalNotice>();
    } else {
        window = std::make_unique<TfrmAbout>();
    }
    QCOMPARE(window->size(), legal ? QSize(721, 462) : QSize(311, 147));
    QWidget* control = Child<QWidget>(window.get(), name.toLatin1().constData());
    QVERIFY(control != nullptr);
    QCOMPARE(control->geometry(), geometry);
    if (pixels > 0) {
        QCOMPARE(control->font().pixelSize(), pixels);
    }
    if (ink.isValid()) {
        // Lines and panels show their fill, labels and buttons their text.
        const bool fill = control->height() == 1 || name.startsWith(QLatin1String("pnl")) ||
                          name == QLatin1String("mnTopMenu");
        const QPalette::ColorRole role = fill ? QPalette::Window : QPalette::WindowText;
        QCOMPARE(control->palette().color(role), ink);
    }
    if (auto* button = qobject_cast<PanelButton*>(control)) {
        QCOMPARE(button->raised(), name == QLatin1String("btnButton1"));
        QCOMPARE(button->font().bold(), true);
    }
}

void HelpWindowsTest::aboutShowsCurrentLanguage_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("Russian") << QByteArray("RU");
    QTest::newRow("Greek") << QByteArray("EL");
    QTest::newRow("Turkish") << QByteArray("TR");
    QTest::newRow("English") << QByteArray("EN");
}

void HelpWindowsTest::aboutShowsCurrentLanguage() {
    QFETCH(QByteArray, code);
    QVERIFY(UseLanguage("EN"));
    QVERIFY(UseLanguage(code));
    const Lang& table = Lang::Instance();
    QVERIFY(!table.stVersion.isEmpty());

    QImage shot;
    QString title;
    QString caption;
    QPoint position;
    QSize size;
    WhileModal([&] { ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   QVERIFY(window->inherits("TfrmAbout"));
                   QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
                   title = window->windowTitle();
                   caption = Child<QLabel>(window, "lblVersionCaption")->text();
                   position = window->pos();
                   size = window->size();
                   shot = window->grab().toImage();
                   QTest::mouseClick(Child<PanelButton>(window, "btnCloseForm"), Qt::LeftButton);
               });
    QCOMPARE(position, QPoint(523, 176));
    QCOMPARE(size, QSize(311, 147));
    QCOMPARE(title, table.stAbout);
    QCOMPARE(caption, table.stVersion);

    // The caption is drawn in red, right-aligned so that it ends at x = 148; the version
    // follows in white from x = 158.
    const QList<int> red = MatchingColumns(shot, QRect(77, 78, 71, 16), IsRed);
    QVERIFY2(!red.isEmpty(), "no red caption");
    QVERIFY2(red.last() >= 140 && red.last() <= 148, qPrintable(QString::number(red.last())));
    const QList<int> white = MatchingColumns(shot, QRect(148, 78, 110, 15), IsWhite);
    QVERIFY2(!white.isEmpty(), "no version text");
    QVERIFY2(white.first() >= 158 && white.first() <= 161,
             qPrintable(QString::number(white.first())));
    // Below the title strip (whose logo may carry red), only the caption is red.
    QCOMPARE(MatchingColumns(shot, QRect(0, 27, 311, 120), IsRed), red);
}

void HelpWindowsTest::aboutOpensFreshAtStoredPosition() {
    QPointer<QDialog> first;
    QPoint dragged;
    WhileModal([&] { ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   first = window;
                   Drag(window, QPoint(150, 12), QPoint(60, 40));
                   dragged = window->pos();
                   auto* close = Child<PanelButton>(window, "btnCloseForm");
                   QTest::mousePress(close, Qt::LeftButton);
                   QCOMPARE(close->look(), PanelButton::Pressed);
                   QTest::mouseRelease(close, Qt::LeftButton);
               });
    QCOMPARE(dragged, QPoint(583, 216));
    QVERIFY(first.isNull());

    QPoint position;
    PanelButton::Look look = PanelButton::Pressed;
    WhileModal([&] { ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   position = window->pos();
                   auto* close = Child<PanelButton>(window, "btnCloseForm");
                   look = close->look();
                   QTest::mouseClick(close, Qt::LeftButton);
               });
    QCOMPARE(position, QPoint(523, 176));
    QCOMPARE(look, PanelButton::Flat);
}

void HelpWindowsTest::aboutDragsByBlackAreaOnly_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("moves");
    const auto left = Qt::LeftButton;
    QTest::newRow("title strip") << QPoint(150, 12) << "mnTopMenu" << left << true;
    QTest::newRow("title strip, right button")
        << QPoint(150, 12) << "mnTopMenu" << Qt::RightButton << true;
    QTest::newRow("black area below") << QPoint(20, 135) << "mnTopMenu" << left << true;
    QTest::newRow("heading") << QPoint(150, 58) << "TntLabel1" << left << false;
    QTest::newRow("version caption") << QPoint(140, 84) << "lblVersionCaption" << left << false;
    QTest::newRow("version") << QPoint(170, 84) << "lblVersion" << left << false;
    QTest::newRow("logo") << QPoint(30, 12) << "imgBanner" << left << false;
    QTest::newRow("separator") << QPoint(100, 26) << "lblMenuLine" << left << false;
    // Released outside the button: it turns flat again and closes nothing.
    QTest::newRow("close button") << QPoint(298, 12) << "btnCloseForm" << left << false;
}

void HelpWindowsTest::aboutDragsByBlackAreaOnly() {
    QFETCH(QPoint, at);
    QFETCH(QString, receiver);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, moves);

    TfrmAbout window;
    window.move(523, 176);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* hit = window.childAt(at);
    QVERIFY(hit != nullptr);
    QCOMPARE(hit->objectName(), receiver);

    Drag(&window, at, QPoint(50, 20), button);
    QCOMPARE(window.pos(), moves ? QPoint(573, 196) : QPoint(523, 176));
    QVERIFY(window.isVisible());
    QCOMPARE(Child<PanelButton>(&window, "btnCloseForm")->look(), PanelButton::Flat);
}

void HelpWindowsTest::windowsFollowActiveMonitor() {
    // Run once on one screen and once on two (see the test's second registration): the
    // windows keep their stored desktop position, moved onto the monitor of the active window.
    const QList<QScreen*> screens = QGuiApplication::screens();
    const QScreen* last = screens.last();
    const QPoint shift = last->geometry().topLeft() - screens.first()->geometry().topLeft();

    QWidget main;
    main.setGeometry(QRect(last->geometry().topLeft() + QPoint(100, 100), QSize(584, 386)));
    main.show();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QCOMPARE(main.screen(), last);

    QPoint about;
    QPoint legal;
    WhileModal([&] { ShowAboutWindow(&main); },
               [&](QDialog* window) {
                   about = window->pos();
                   window->close();
               });
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    WhileModal([&] { ShowLegalNotice(&main); },
               [&](QDialog* window) {
                   legal = window->pos();
                   window->close();
               });
    QCOMPARE(about, QPoint(523, 176) + shift);
    QCOMPARE(legal, QPoint(307, 240) + shift);
    QVERIFY(main.findChildren<QDialog*>().isEmpty());
}

void HelpWindowsTest::legalNoticeFollowsLanguage_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("heading"); // replaces the language's heading when not empty
    QTest::newRow("Greek") << QByteArray("EL") << QString();
    QTest::newRow("Russian") << QByteArray("RU") << QString();
    QTest::newRow("Turkish") << QByteArray("TR") << QString();
    QTest::newRow("long heading")
        << QByteArray("EN")
        << QStringLiteral("Legal notice, licence terms and open-source software information");
}

void HelpWindowsTest::legalNoticeFollowsLanguage() {
    QFETCH(QByteArray, code);
    QFETCH(QString, heading);
    QVERIFY(UseLanguage("EN"));
    QVERIFY(UseLanguage(code));
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
    QCOMPARE(position, QPoint(307, 240));
    QCOMPARE(shownHeading, table.stLegalNotice);
    QCOMPARE(button, table.stClose);
    QCOMPARE(text, LegalNoticeText());
    // The heading sizes itself to its text from x = 9; nothing else moves.
    QCOMPARE(headingRect.topLeft(), QPoint(9, 6));
    QVERIFY(headingRect.width() >= headingTextWidth);
    QVERIFY(headingRect.width() <= headingTextWidth + 4);
    const QList<QRect> stored = {QRect(2, 25, 423, 1), QRect(3, 28, 715, 432),
                                 QRect(5, 5, 705, 393), QRect(629, 402, 81, 25),
                                 QRect(697, 3, 21, 20)};
    QCOMPARE(others, stored);
}

void HelpWindowsTest::legalNoticeOpensFreshAtTop() {
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
    QVERIFY(scrolled > 0);
    QCOMPARE(dragged, QPoint(267, 270));

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
    QCOMPARE(position, QPoint(307, 240));
    QCOMPARE(scroll, 0);
    QCOMPARE(firstBlock, 0);
}

void HelpWindowsTest::legalNoticeIsReadOnlySelectableAndWraps() {
    TlegalNotice window;
    window.move(307, 240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* memo = Child<QPlainTextEdit>(&window, "TntMemo1");
    const QString text = memo->toPlainText();
    QVERIFY(!text.isEmpty());

    memo->setFocus();
    QTest::keyClicks(memo, QStringLiteral("typed"));
    QTest::keyClick(memo, Qt::Key_Delete);
    QTest::keyClick(memo, Qt::Key_Backspace);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keySequence(memo, QKeySequence::Paste);
    QTest::keySequence(memo, QKeySequence::Cut);
    QCOMPARE(memo->toPlainText(), text);

    QGuiApplication::clipboard()->clear();
    QTest::keySequence(memo, QKeySequence::SelectAll);
    QTest::keySequence(memo, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), text);

    // A line wider than the box continues on the next row instead of scrolling sideways.
    memo->setPlainText(QStringLiteral("wrapped ").repeated(60));
    QTest::qWait(0);
    QVERIFY(memo->document()->firstBlock().layout()->lineCount() > 1);
    QCOMPARE(memo->horizontalScrollBar()->maximum(), 0);
}

void HelpWindowsTest::legalNoticeHoldsLicenceTextsWhole_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("sha256");
    QTest::addColumn<QString>("appendix");
    QTest::newRow("GNU GPL 2")
        << "GPL-2.0.txt"
        << QByteArray("8177f97513213526df2cf6184d8ff986c675afb514d4e68a404010521b880643")
        << "Appendix 1.";
    QTest::newRow("OpenSSL and SSLeay")
        << "OpenSSL-SSLeay.txt"
        << QByteArray("c32913b33252e71190af2066f08115c69bc9fddadf3bf29296e20c835389841c")
        << "Appendix 2.";
    QTest::newRow("Mozilla 1.0")
        << "MPL-1.0.txt"
        << QByteArray("85f34250a23e673dda37fc2cbfe32692b109471ae985c194301d48af5b16fe0a")
        << "Appendix 3.";
}

void HelpWindowsTest::legalNoticeHoldsLicenceTextsWhole() {
    QFETCH(QString, file);
    QFETCH(QByteArray, sha256);
    QFETCH(QString, appendix);

    QFile reference(kSourceDir + QStringLiteral("/tests/gui/legal/") + file);
    QVERIFY(reference.open(QIODevice::ReadOnly));
    const QByteArray published = reference.readAll();
    // The reference is the published text itself, not a copy that drifted.
    QCOMPARE(QCryptographicHash::hash(published, QCryptographicHash::Sha256).toHex(), sha256);

    TlegalNotice window;
    const QString shown = Child<QPlainTextEdit>(&window, "TntMemo1")->toPlainText();
    const qsizetype at =
        shown.indexOf(appendix + QStringLiteral("\n\n") + QString::fromUtf8(published));
    QVERIFY2(at > 0, "licence text not found whole under its appendix heading");
    // Each heading stands on a line of its own once, and the appendices come in order.
    const auto heading = [&](const QString& name) {
        return QStringLiteral("\n") + name + QStringLiteral("\n");
    };
    QCOMPARE(shown.count(heading(appendix)), 1);
    QVERIFY(shown.indexOf(heading(QStringLiteral("Appendix 1."))) <
            shown.indexOf(heading(QStringLiteral("Appendix 2."))));
    QVERIFY(shown.indexOf(heading(QStringLiteral("Appendix 2."))) <
            shown.indexOf(heading(QStringLiteral("Appendix 3."))));
}

void HelpWindowsTest::userManual_data() {
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("opened"); // empty: nothing opens

    const QStringList english = {QStringLiteral("Doc/English")};
    const QStringList none;
    const QString here;
    QTest::newRow("language folder") << english << none << here << "English"
                                     << "Doc/English";
    QTest::newRow("other language")
        << Names({"Doc/English", "Doc/Russian"}) << none << here << "Russian"
        << "Doc/Russian";
    QTest::newRow("non-ASCII name") << QStringList{QStringLiteral("Doc/Ελληνικά")} << none << here
                                    << QStringLiteral("Ελληνικά") << QStringLiteral("Doc/Ελληνικά");
    QTest::newRow("language folder missing") << english << none << here << "Turkish" << here;
    QTest::newRow("no Doc folder") << none << none << here << "English" << here;
    QTest::newRow("from the program's folder") << Names({"app/Doc/English"}) << none << "app"
                                               << "English"
                                               << "app/Doc/English";
    QTest::newRow("from another folder")
        << Names({"app/Doc/English", "elsewhere"}) << none << "elsewhere"
        << "English" << here;
    QTest::newRow("empty name opens Doc") << english << none << here << ""
                                          << "Doc";
    QTest::newRow("empty name, no Doc") << none << none << here << "" << here;
    QTest::newRow("file, not folder")
        << Names({"Doc"}) << Names({"Doc/English"}) << here << "English" << here;
    QTest::newRow("name leading out of Doc")
        << Names({"Doc/English", "private"}) << none << here << "../private" << here;
    QTest::newRow("absolute name stays in Doc") << Names({"Doc/tmp"}) << none << here << "/tmp"
                                                << "Doc/tmp";
}

void HelpWindowsTest::userManual() {
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(QString, current);
    QFETCH(QString, country);
    QFETCH(QString, opened);

    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QDir root(QFileInfo(temporary.path()).canonicalFilePath());
    for (const QString& folder : folders) {
        QVERIFY(root.mkpath(folder));
    }
    for (const QString& name : files) {
        QFile file(root.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir::setCurrent(root.filePath(current)));

    const ManualOpening result = OpenUserManual(country);
    if (opened.isEmpty()) {
        QCOMPARE(result, ManualOpening::NoFolder);
        QCOMPARE(catcher.urls, QList<QUrl>());
    } else {
        QCOMPARE(result, ManualOpening::Opened);
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(root.filePath(opened))});
    }
}

void HelpWindowsTest::userManualFollowsLanguage() {
    // Each language of the shipped lang.xml names a manual folder shipped beside it.
    QVERIFY(QDir::setCurrent(kSourceDir));
    for (const char* code : {"TR", "EN", "RU", "EL"}) {
        catcher.urls.clear();
        QVERIFY(UseLanguage(code));
        const QString folder = Lang::Instance().stCountry;
        QVERIFY2(OpenUserManual(folder) == ManualOpening::Opened, code);
        const QString expected = QDir(kSourceDir).filePath(QStringLiteral("Doc/") + folder);
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(expected)});
        QVERIFY(QFileInfo::exists(expected + QStringLiteral("/index.html")));
        QVERIFY(!ReadText(expected + QStringLiteral("/index.html")).isEmpty());
    }
}

// Where the window system delivers a key in `window`: its focused control, else itself.
static void KeyIn(QWidget* window, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    QWidget* focus = window->focusWidget();
    QTest::keyClick(focus != nullptr && focus->hasFocus() ? focus : window, key, mods);
}

void HelpWindowsTest::escapeCloses_data() {
    QTest::addColumn<bool>("legal");
    QTest::newRow("About") << false;
    QTest::newRow("legal notice") << true;
}

void HelpWindowsTest::escapeCloses() {
    QFETCH(bool, legal);
    bool closed = false;
    WhileModal([&] { legal ? ShowLegalNotice(&owner) : ShowAboutWindow(&owner); },
               [&](QDialog* window) {
                   QVERIFY(QTest::qWaitForWindowActive(window));
                   KeyIn(window, Qt::Key_Escape);
                   closed = !window->isVisible();
               });
    QVERIFY(closed);
}

void HelpWindowsTest::legalNoticeByKeyboardAlone() {
    int afterPageDown = -1;
    bool atEnd = false;
    QStringList tabbed;
    bool closed = false;
    WhileModal([&] { ShowLegalNotice(&owner); },
               [&](QDialog* window) {
                   QVERIFY(QTest::qWaitForWindowActive(window));
                   auto* memo = Child<QPlainTextEdit>(window, "TntMemo1");
                   QScrollBar* bar = memo->verticalScrollBar();
                   QCOMPARE(QApplication::focusWidget(), memo);
                   KeyIn(window, Qt::Key_PageDown);
                   afterPageDown = bar->value();
                   KeyIn(window, Qt::Key_End, Qt::ControlModifier);
                   atEnd = bar->value() == bar->maximum();
                   for (int i = 0; i < 3; ++i) {
                       KeyIn(window, Qt::Key_Tab);
                       tabbed.append(QApplication::focusWidget()->objectName());
                   }
                   // Tab has moved on to the button: Return presses it.
                   QCOMPARE(QApplication::focusWidget()->objectName(),
                            QStringLiteral("btnButton1"));
                   KeyIn(window, Qt::Key_Return);
                   closed = !window->isVisible();
               });
    QVERIFY(afterPageDown > 0);
    QVERIFY(atEnd);
    QCOMPARE(tabbed, Names({"btnButton1", "TntMemo1", "btnButton1"}));
    QVERIFY(closed);
}

void HelpWindowsTest::dialogsReadByScreenReaders_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("Turkish") << QByteArray("TR");
    QTest::newRow("Greek") << QByteArray("EL");
}

void HelpWindowsTest::dialogsReadByScreenReaders() {
    QFETCH(QByteArray, code);
    QVERIFY(UseLanguage(code));
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
    QCOMPARE(role(&about), QAccessible::Dialog);
    QCOMPARE(read(&about), table.stAbout);
    QCOMPARE(read(&about, QAccessible::Description), QStringLiteral("Korvane Wireless Networks"));
    QCOMPARE(role(Child<QWidget>(&about, "btnCloseForm")), QAccessible::Button);
    QCOMPARE(read(Child<QWidget>(&about, "btnCloseForm")), table.stClose);

    TlegalNotice notice;
    QCOMPARE(role(&notice), QAccessible::Dialog);
    QCOMPARE(read(&notice), table.stLegalNotice);
    QCOMPARE(notice.windowTitle(), QStringLiteral("legalNotice"));
    QCOMPARE(read(Child<QWidget>(&notice, "TntMemo1")), table.stLegalNotice);
    QCOMPARE(role(Child<QWidget>(&notice, "btnButton1")), QAccessible::Button);
    QCOMPARE(read(Child<QWidget>(&notice, "btnButton1")), table.stClose);
    QCOMPARE(read(Child<QWidget>(&notice, "btnCloseForm")), table.stClose);
}

void HelpWindowsTest::dataFolder_data() {
    // Entries of each folder; a name ending in '/' is a folder.
    QTest::addColumn<QStringList>("current");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("found"); // "current" or "installed"

    const QStringList none;
    const QStringList lang = {QStringLiteral("lang.xml")};
    const QStringList doc = {QStringLiteral("Doc/")};
    QTest::newRow("current folder only") << lang << none << "lang.xml"
                                         << "current";
    QTest::newRow("installed only") << none << lang << "lang.xml"
                                    << "installed";
    QTest::newRow("both: the current folder wins") << lang << lang << "lang.xml"
                                                   << "current";
    QTest::newRow("neither: the current folder") << none << none << "lang.xml"
                                                 << "current";
    QTest::newRow("installed folder entry") << lang << doc << "Doc"
                                            << "installed";
    QTest::newRow("current folder entry") << doc << doc << "Doc"
                                          << "current";
    QTest::newRow("another entry here does not count") << doc << lang << "lang.xml"
                                                       << "installed";
}

void HelpWindowsTest::dataFolder() {
    QFETCH(QStringList, current);
    QFETCH(QStringList, installed);
    QFETCH(QString, name);
    QFETCH(QString, found);

    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QDir root(temporary.path());
    for (const auto& [folder, entries] : {std::pair{QStringLiteral("current"), current},
                                          {QStringLiteral("installed"), installed}}) {
        QVERIFY(root.mkpath(folder));
        for (const QString& entry : entries) {
            if (entry.endsWith(QLatin1Char('/'))) {
                QVERIFY(root.mkpath(folder + QLatin1Char('/') + entry));
            } else {
                QFile file(root.filePath(folder + QLatin1Char('/') + entry));
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
        }
    }
    const QDir result = DataFolderHolding(name, QDir(root.filePath(QStringLiteral("current"))),
                                          QDir(root.filePath(QStringLiteral("installed"))));
    QCOMPARE(result.absolutePath(), root.filePath(found));
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    HelpWindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "help_windows_test.moc"
