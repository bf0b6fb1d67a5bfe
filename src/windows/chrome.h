#pragma once

// The chrome of Pathmere's frameless windows: a background panel that drags its window,
// panel buttons with bevelled looks, and menu titles that open a popup menu below themselves.
// All of it lives on the user-interface thread.

#include "windows/WindowMove.h"

#include <QFrame>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QMenu;
class QPainter;

// Covers a whole frameless window (black, 1-pixel raised bevel). A press on its uncovered
// parts with any mouse button starts a drag; moves and the release move the window so that
// the pressed point stays under the cursor. Where the platform does not let a client place
// its own window (Wayland), a left press hands the move over to the compositor instead.
class BackgroundPanel : public QFrame {
    Q_OBJECT
public:
    explicit BackgroundPanel(QWidget* parent = nullptr);

    bool dragging() const { return dragActive; }

    // How a drag reaches a platform whose compositor places the windows: the platform's own
    // by default; tests stand in for it.
    struct CompositorMove {
        std::function<bool()> placesWindows = CompositorPlacesWindows;
        std::function<bool(QWidget*)> handOver = HandMoveToCompositor;
    };
    void setCompositorMove(CompositorMove move) { compositor = std::move(move); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FollowCursor(QPoint screenPoint);

    // Where the press that started the drag was, and where the window was then.
    QPoint pressScreenPoint;
    QPoint windowAtPress;
    bool dragActive = false;
    CompositorMove compositor;
};

// A panel with a centred one-line caption drawn in the palette's WindowText colour on its
// Window colour, and bevels in the palette's Light and Dark colours. Its rest look is flat
// (title buttons) or raised (content buttons); while a mouse button is held on it, it shows
// the pressed look. clicked() fires when a left press and its release both happen inside the
// button, before the release restores the rest look.
// Raised (content) buttons also take the keyboard focus by Tab, never by a click, and are pressed
// with Space (on its release) or Return; flat title buttons stay out of the Tab order, as a
// window's own caption buttons do. A dotted mark shows the focus once the keyboard has moved it.
class PanelButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(bool raised READ raised WRITE setRaised)
    Q_PROPERTY(bool pumpAfterPress READ pumpAfterPress WRITE setPumpAfterPress)
    Q_PROPERTY(bool pumpAfterRelease READ pumpAfterRelease WRITE setPumpAfterRelease)
public:
    enum Look { Flat, Raised, Pressed };
    Q_ENUM(Look)

    explicit PanelButton(QWidget* parent = nullptr);

    QString text() const { return caption; }
    void setText(const QString& text);

    // Rest look: raised when true, flat when false (the default).
    bool raised() const { return restRaised; }
    void setRaised(bool on);

    // Whether the press (release) handler processes the pending events once before it
    // returns, so that the new look is painted at once.
    bool pumpAfterPress() const { return pumpPress; }
    void setPumpAfterPress(bool on) { pumpPress = on; }
    bool pumpAfterRelease() const { return pumpRelease; }
    void setPumpAfterRelease(bool on) { pumpRelease = on; }

    Look look() const { return current; }

    QSize sizeHint() const override;

    // Runs the click action, as the keyboard and assistive technology press the button.
    void click();

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Look RestLook() const { return restRaised ? Raised : Flat; }
    void SetLook(Look look);
    void RestoreUnlessHeld();

    QString caption;
    bool restRaised = false;
    bool pumpPress = false;
    bool pumpRelease = false;
    Qt::MouseButtons held; // pressed on this button and not yet released
    bool spaceHeld = false;
    Look current = Flat;
};

// A black panel holding one label at (6, 2) (its first direct QLabel child, given by the
// layout). A left press on the panel or on its label pops its menu up with the top-left corner
// at the panel's bottom-left corner; other buttons open nothing. The keyboard reaches it
// through MenuBarKeys, which marks the title whose menu it opened.
class MenuTitle : public QFrame {
    Q_OBJECT
public:
    explicit MenuTitle(QWidget* parent = nullptr);

    void setMenu(QMenu* menu) { popup = menu; }
    QMenu* menu() const { return popup; }

    QLabel* label() const;
    QString text() const;

    // Screen point where the menu opens.
    QPoint MenuPoint() const;

    // Pops the menu up at MenuPoint(), as a left press does.
    void OpenMenu();

    // The dotted mark of a title that the keyboard has opened.
    bool keyboardMark() const { return marked; }
    void setKeyboardMark(bool on);

    // Gives the label the text, sizes the label to it and the panel to the label plus a
    // 6-pixel margin on both sides.
    void FitText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QMenu* popup = nullptr;
    bool marked = false;
};

// Title `number` (1 File, 2 Language, 3 Help) takes `text` and is refitted; the titles after it
// are moved so that each starts where the one before it ends. Other numbers do nothing.
void FitMenuTitle(const std::array<MenuTitle*, 3>& titles, int number, const QString& text);

// Designer stores point sizes; the layouts are drawn in pixels at 96 dots per inch. Replaces
// every point size found on `root` and its descendants by the pixel size it stands for there
// (8 pt -> 11 px, 9 pt -> 12 px, 10 pt -> 13 px), so that text has the same size on any screen.
void UseLayoutPixelFonts(QWidget* root);

// Draws a 1-pixel bevel on the edge of `rect`: light top and left edges with dark bottom and
// right edges when raised, the reverse when lowered.
void DrawBevel(QPainter& painter, const QRect& rect, bool raised, const QPalette& palette);

// Whether `widget` shows a focus mark: it has the focus, and the keyboard has moved the focus in
// its window (Qt's own flag, which Fusion's focus cues follow too).
bool ShowsFocusMark(const QWidget* widget);

// The focus mark of the black design: a 1-pixel dotted rectangle in `colour` on `rect`.
void DrawFocusMark(QPainter& painter, const QRect& rect, const QColor& colour);
