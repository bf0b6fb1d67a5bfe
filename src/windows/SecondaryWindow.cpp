#include "windows/SecondaryWindow.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

QPoint StoredScreenPosition(QPoint stored, const QWidget* active) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QScreen* current = active != nullptr ? active->screen() : nullptr;
    if (primary == nullptr || current == nullptr || current == primary) {
        return stored;
    }
    return stored + current->geometry().topLeft() - primary->geometry().topLeft();
}

void ShowModalAt(QDialog* window, QPoint stored) {
    // The window is a child of its owner: if the owner is destroyed during the showing, it
    // takes the window with it, and the guard turns null.
    QPointer<QDialog> guard(window);
    window->move(StoredScreenPosition(stored, QApplication::activeWindow()));
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    window->raise();
    window->activateWindow();
    window->exec();
    delete guard.data();
}

void KeepPressesOffPanel(QWidget* panel) {
    for (QWidget* control : panel->findChildren<QWidget*>()) {
        control->setAttribute(Qt::WA_NoMousePropagation);
    }
}
