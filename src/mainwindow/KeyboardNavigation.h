#pragma once

// The main window without a mouse: the Tab order list, Refresh, Next; Return opens the selected
// device wherever no control takes it; the menu titles' keys; and the names that screen
// readers read, in the current language.

#include <QObject>
#include <functional>

class Lang;
class ListFocusRing;
class MenuBarKeys;
class QString;

namespace Ui {
class frmMain;
}

class KeyboardNavigation : public QObject {
    Q_OBJECT
public:
    // `openSelected` is what a double click on the list does.
    KeyboardNavigation(QWidget* window, Ui::frmMain& ui, std::function<void()> openSelected);

    // Gives the controls whose names are not their own captions the current language's
    // names: the list, the progress bar and the close button.
    void NameControls(const Lang& texts);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void NameControls(const QString& closeText);
    bool ListPanelInFront() const;
    // Controls covered by the search panel can be neither reached by Tab nor pressed.
    void FollowFrontPanel();

    QWidget* window;
    Ui::frmMain& ui;
    std::function<void()> openSelected;
    MenuBarKeys* menuKeys = nullptr;
    ListFocusRing* ring = nullptr;
};
