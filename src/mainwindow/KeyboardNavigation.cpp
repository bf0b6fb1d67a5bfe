#include "mainwindow/KeyboardNavigation.h"

#include "language/Language.h"
#include "ui_frmMain.h"
#include "windows/MenuBarKeys.h"
#include "windows/chrome.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTreeWidget>

// A dotted ring just outside the list, on its panel, while the list shows a focus mark: the
// list's own frame and rows have no room for one that reads on every row colour.
class ListFocusRing : public QWidget {
public:
    explicit ListFocusRing(QWidget* list) : QWidget(list->parentWidget()), target(list) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(list->geometry().adjusted(-2, -2, 2, 2));
        hide();
    }

    void Follow() {
        setGeometry(target->geometry().adjusted(-2, -2, 2, 2));
        setVisible(ShowsFocusMark(target));
        raise();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        DrawFocusMark(painter, rect(), palette().color(QPalette::Light));
    }

private:
    QWidget* target;
};

namespace {

bool IsReturn(const QKeyEvent* key) {
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

KeyboardNavigation::KeyboardNavigation(QWidget* window_, Ui::frmMain& ui_,
                                       std::function<void()> openSelected_)
    : QObject(window_), window(window_), ui(ui_), openSelected(std::move(openSelected_)) {
    QWidget::setTabOrder(ui.lstNetworkList, ui.btnRefresh);
    QWidget::setTabOrder(ui.btnRefresh, ui.btnNext);
    ring = new ListFocusRing(ui.lstNetworkList);
    ring->setObjectName(QStringLiteral("lstNetworkListFocusRing"));
    menuKeys = new MenuBarKeys(window, {ui.pnlMnFile, ui.pnlMnLanguage, ui.pnlMnHelp});
    window->installEventFilter(this);
    ui.lstNetworkList->installEventFilter(this);
    ui.pnlSearch->installEventFilter(this);
    ui.pnlNetworks->installEventFilter(this);
    FollowFrontPanel();
    NameControls(QString());
}

bool KeyboardNavigation::ListPanelInFront() const {
    const QObjectList& siblings = ui.pnlNetworks->parentWidget()->children();
    return siblings.indexOf(ui.pnlNetworks) > siblings.indexOf(ui.pnlSearch);
}

void KeyboardNavigation::FollowFrontPanel() {
    const bool reachable = ListPanelInFront();
    ui.lstNetworkList->setFocusPolicy(reachable ? Qt::StrongFocus : Qt::NoFocus);
    for (PanelButton* button : {ui.btnRefresh, ui.btnNext}) {
        button->setFocusPolicy(reachable ? Qt::TabFocus : Qt::NoFocus);
    }
    if (!reachable && ui.pnlNetworks->isAncestorOf(QApplication::focusWidget())) {
        QApplication::focusWidget()->clearFocus();
    }
}

bool KeyboardNavigation::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ZOrderChange:
        if (watched == ui.pnlSearch || watched == ui.pnlNetworks) {
            FollowFrontPanel();
        }
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Move:
    case QEvent::Resize:
        if (watched == ui.lstNetworkList) {
            ring->Follow();
        }
        break;
    case QEvent::KeyPress:
        // The list passes Return on to its window; so does the window when nothing has the
        // focus. Either way it opens the selected row, as a double click does.
        if ((watched == ui.lstNetworkList || watched == window) &&
            IsReturn(static_cast<QKeyEvent*>(event)) && ListPanelInFront() && window->isEnabled()) {
            openSelected();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void KeyboardNavigation::NameControls(const Lang& texts) {
    NameControls(texts.stClose);
}

// The list and the progress bar are named by the headings above them; without a close text
// the close button keeps its caption as its name.
void KeyboardNavigation::NameControls(const QString& closeText) {
    ui.lstNetworkList->setAccessibleName(ui.lblNetworkList->text());
    ui.Progress->setAccessibleName(ui.lblSearch->text());
    ui.btnCloseForm->setAccessibleName(closeText);
}
