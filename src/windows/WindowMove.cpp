#include "windows/WindowMove.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

bool CompositorPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

bool HandMoveToCompositor(QWidget* window) {
    QWindow* handle = window->windowHandle();
    return handle != nullptr && handle->startSystemMove();
}
