#pragma once

// The keyboard of the main window's row of menu titles, as of a menu bar: F10 opens the first
// title's menu, Alt with a title's first letter opens that title's menu (titles that share the
// letter take turns on repeated presses), Left and Right move between the titles while a menu
// is open, F10 closes it and Escape closes it as any menu does.

#include <QObject>
#include <array>

class MenuTitle;
class QKeyEvent;
class QWidget;

class MenuBarKeys : public QObject {
    Q_OBJECT
public:
    // Watches the keys that reach `window` and those of the titles' menus.
    MenuBarKeys(QWidget* window, const std::array<MenuTitle*, 3>& titles);

    // Opens title `index`'s menu as the keyboard does: below the title, its first item
    // active, the title marked. Any other open title menu closes first.
    void OpenByKeyboard(std::size_t index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Index of the title that Alt with `event`'s letter opens, given the title whose menu is
    // open (or -1): the first title with that letter after the open one, wrapping around.
    int TitleForLetter(const QKeyEvent* event, int open) const;
    int OpenTitle() const;

    QWidget* window;
    std::array<MenuTitle*, 3> titles;
};
