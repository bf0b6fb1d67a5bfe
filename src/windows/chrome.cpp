#include "windows/chrome.h"

#include "windows/Accessibility.h"
#include "windows/WindowMove.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

void DrawBevel(QPainter& painter, const QRect& rect, bool raised, const QPalette& palette) {
    const QColor topLeft = palette.color(raised ? QPalette::Light : QPalette::Dark);
    const QColor bottomRight = palette.color(raised ? QPalette::Dark : QPalette::Light);
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    painter.setPen(topLeft);
    painter.drawLine(l, t, r, t);
    painter.drawLine(l, t, l, b);
    painter.setPen(bottomRight);
    painter.drawLine(l, b, r, b);
    painter.drawLine(r, t, r, b);
}

bool ShowsFocusMark(const QWidget* widget) {
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void DrawFocusMark(QPainter& painter, const QRect& rect, const QColor& colour) {
    painter.save();
    painter.setPen(QPen(colour, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

BackgroundPanel::BackgroundPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
}

void BackgroundPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    DrawBevel(painter, rect(), true, palette());
}

void BackgroundPanel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (dragActive) {
        return; // a second button pressed during a drag keeps the first press point
    }
    const QPoint at = event->position().toPoint();
    if (childAt(at) != nullptr) {
        return; // a press that a control passed on: only the uncovered panel drags
    }
    if (compositor.placesWindows()) {
        if (event->button() == Qt::LeftButton) {
            compositor.handOver(window());
        }
        return;
    }
    pressScreenPoint = event->globalPosition().toPoint();
    windowAtPress = window()->pos();
    dragActive = true;
}

void BackgroundPanel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (dragActive) {
        FollowCursor(event->globalPosition().toPoint());
    }
}

void BackgroundPanel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!dragActive) {
        return;
    }
    FollowCursor(event->globalPosition().toPoint());
    dragActive = false;
}

// Works from screen points, not panel points: the X server moves a window some time after it
// is asked to, and panel points of moves queued meanwhile would count the same move twice.
void BackgroundPanel::FollowCursor(QPoint screenPoint) {
    const QPoint target = windowAtPress + (screenPoint - pressScreenPoint);
    QWidget* top = window();
    if (top->pos() != target) {
        top->move(target);
    }
}

PanelButton::PanelButton(QWidget* parent) : QWidget(parent) {
    InstallChromeAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void PanelButton::setText(const QString& text) {
    caption = text;
    updateGeometry();
    update();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void PanelButton::setRaised(bool on) {
    restRaised = on;
    // Tab only: a click must leave the focus where it was, as it always has.
    setFocusPolicy(on ? Qt::TabFocus : Qt::NoFocus);
    if (current != Pressed) {
        SetLook(RestLook());
    }
}

void PanelButton::click() {
    emit clicked();
}

QSize PanelButton::sizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextSingleLine, caption);
    return text + QSize(12, 8);
}

void PanelButton::SetLook(Look look) {
    if (current != look) {
        current = look;
        update();
    }
}

void PanelButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, palette().color(QPalette::Window));
    if (current == Raised) {
        DrawBevel(painter, all, true, palette());
    } else if (current == Pressed) {
        DrawBevel(painter, all.adjusted(1, 1, -1, -1), false, palette());
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, caption);
    if (ShowsFocusMark(this)) {
        DrawFocusMark(painter, all.adjusted(3, 3, -3, -3), palette().color(QPalette::WindowText));
    }
}

void PanelButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    held |= event->button();
    SetLook(Pressed);
    if (pumpPress) {
        repaint();
        QCoreApplication::processEvents();
    }
}

void PanelButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = event->button() == Qt::LeftButton && (held & Qt::LeftButton) &&
                       rect().contains(event->position().toPoint());
    held &= ~event->button();
    QPointer<PanelButton> self(this);
    if (click) {
        emit clicked();
        if (self.isNull()) {
            return;
        }
    }
    // A second button still held on it keeps the pressed look until its own release.
    RestoreUnlessHeld();
    if (pumpRelease) {
        QCoreApplication::processEvents();
    }
}

void PanelButton::RestoreUnlessHeld() {
    if (held == Qt::NoButton && !spaceHeld) {
        SetLook(RestLook());
    }
}

// Space presses on its release, as push buttons do, so that the pressed look is seen first;
// Return and Enter press at once.
void PanelButton::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && event->key() == Qt::Key_Space) {
        event->accept();
        if (!event->isAutoRepeat()) {
            spaceHeld = true;
            SetLook(Pressed);
        }
        return;
    }
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        if (!event->isAutoRepeat()) {
            click();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !spaceHeld) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    spaceHeld = false;
    QPointer<PanelButton> self(this);
    click();
    if (!self.isNull()) {
        RestoreUnlessHeld();
    }
}

void PanelButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void PanelButton::focusOutEvent(QFocusEvent* event) {
    // A Space press whose release goes elsewhere presses nothing.
    spaceHeld = false;
    RestoreUnlessHeld();
    QWidget::focusOutEvent(event);
    update();
}

MenuTitle::MenuTitle(QWidget* parent) : QFrame(parent) {
    InstallChromeAccessibility();
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
}

QLabel* MenuTitle::label() const {
    return findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
}

QString MenuTitle::text() const {
    const QLabel* title = label();
    return title != nullptr ? title->text() : QString();
}

void MenuTitle::OpenMenu() {
    if (popup != nullptr) {
        popup->popup(MenuPoint());
    }
}

void MenuTitle::setKeyboardMark(bool on) {
    if (marked != on) {
        marked = on;
        update();
    }
}

void MenuTitle::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (marked) {
        QPainter painter(this);
        const QWidget* title = label();
        DrawFocusMark(painter, rect().adjusted(1, 1, -1, -1),
                      (title != nullptr ? title : this)->palette().color(QPalette::WindowText));
    }
}

QPoint MenuTitle::MenuPoint() const {
    return mapToGlobal(QPoint(0, height()));
}

void MenuTitle::FitText(const QString& text) {
    QLabel* title = label();
    if (title == nullptr) {
        return;
    }
    title->setText(text);
    title->adjustSize();
    resize(title->width() + 12, height());
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void MenuTitle::mousePressEvent(QMouseEvent* event) {
    // Accepted in every case, so that a press on a title never starts a window drag.
    event->accept();
    if (event->button() == Qt::LeftButton) {
        OpenMenu();
    }
}

void FitMenuTitle(const std::array<MenuTitle*, 3>& titles, int number, const QString& text) {
    if (number < 1 || number > 3) {
        return;
    }
    titles[number - 1]->FitText(text);
    for (std::size_t i = static_cast<std::size_t>(number); i < titles.size(); ++i) {
        const QRect before = titles[i - 1]->geometry();
        titles[i]->move(before.x() + before.width(), titles[i]->y());
    }
}

void UseLayoutPixelFonts(QWidget* root) {
    auto convert = [](QWidget* widget) {
        QFont font = widget->font();
        if (font.pixelSize() <= 0 && font.pointSizeF() > 0) {
            font.setPixelSize(qRound(font.pointSizeF() * 96.0 / 72.0));
            widget->setFont(font);
        }
    };
    convert(root);
    // Parents come before their children, so inherited sizes are converted once, at the top.
    for (QWidget* child : root->findChildren<QWidget*>()) {
        convert(child);
    }
}
