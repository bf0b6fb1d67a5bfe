#include "windows/MenuBarKeys.h"

#include "windows/chrome.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

namespace {

// The letter a key event types, as one case-folded character; a null character for none.
// With Alt held some platforms type no text, and the key code then names the letter.
QChar TypedLetter(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1 && text[0].isLetter()) {
        return text[0].toCaseFolded();
    }
    const int key = event->key();
    if (key > 0 && key <= 0xffff && QChar(key).isLetter()) {
        return QChar(key).toCaseFolded();
    }
    return {};
}

bool IsAltLetter(const QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return (mods == Qt::AltModifier || mods == (Qt::AltModifier | Qt::ShiftModifier)) &&
           !TypedLetter(event).isNull();
}

bool IsPlain(const QKeyEvent* event, int key) {
    return event->key() == key && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

MenuBarKeys::MenuBarKeys(QWidget* window_, const std::array<MenuTitle*, 3>& titles_)
    : QObject(window_), window(window_), titles(titles_) {
    window->installEventFilter(this);
    for (MenuTitle* title : titles) {
        if (QMenu* menu = title->menu()) {
            menu->installEventFilter(this);
            connect(menu, &QMenu::aboutToHide, title, [title] { title->setKeyboardMark(false); });
        }
    }
}

int MenuBarKeys::OpenTitle() const {
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (titles[i]->menu() != nullptr && titles[i]->menu()->isVisible()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int MenuBarKeys::TitleForLetter(const QKeyEvent* event, int open) const {
    const QChar letter = TypedLetter(event);
    const int count = static_cast<int>(titles.size());
    for (int step = 1; step <= count; ++step) {
        const int i = (open + step + count) % count;
        const QString text = titles[static_cast<std::size_t>(i)]->text();
        if (!text.isEmpty() && text[0].toCaseFolded() == letter) {
            return i;
        }
    }
    return -1;
}

void MenuBarKeys::OpenByKeyboard(std::size_t index) {
    MenuTitle* title = titles.at(index);
    QMenu* menu = title->menu();
    if (menu == nullptr) {
        return;
    }
    const int open = OpenTitle();
    if (open >= 0 && static_cast<std::size_t>(open) != index) {
        titles[static_cast<std::size_t>(open)]->menu()->hide();
    }
    // The keyboard is in use: focus marks show from now on.
    window->setAttribute(Qt::WA_KeyboardFocusChange);
    title->OpenMenu();
    title->setKeyboardMark(true);
    for (QAction* item : menu->actions()) {
        if (item->isEnabled() && item->isVisible() && !item->isSeparator()) {
            menu->setActiveAction(item);
            break;
        }
    }
}

bool MenuBarKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const int count = static_cast<int>(titles.size());
    if (watched == window) {
        // Keys that the focused control left unhandled, or all keys when none has the focus.
        if (!window->isEnabled()) {
            return false;
        }
        if (IsPlain(key, Qt::Key_F10)) {
            OpenByKeyboard(0);
            return true;
        }
        if (IsAltLetter(key)) {
            const int match = TitleForLetter(key, -1);
            if (match >= 0) {
                OpenByKeyboard(static_cast<std::size_t>(match));
                return true;
            }
        }
        return false;
    }
    const int open = OpenTitle();
    if (open < 0 || watched != titles[static_cast<std::size_t>(open)]->menu()) {
        return false;
    }
    QMenu* menu = titles[static_cast<std::size_t>(open)]->menu();
    if (IsPlain(key, Qt::Key_Left) || IsPlain(key, Qt::Key_Right)) {
        const int step = key->key() == Qt::Key_Right ? 1 : -1;
        OpenByKeyboard(static_cast<std::size_t>((open + step + count) % count));
        return true;
    }
    if (IsPlain(key, Qt::Key_F10)) {
        menu->hide();
        return true;
    }
    // Qt's menus close on Alt; this one stays open so that Alt with a letter can move on.
    if (key->key() == Qt::Key_Alt) {
        return true;
    }
    if (IsAltLetter(key)) {
        const int match = TitleForLetter(key, open);
        if (match >= 0 && match != open) {
            OpenByKeyboard(static_cast<std::size_t>(match));
        }
        return match >= 0;
    }
    return false;
}
