#pragma once

#include <QLoggingCategory>

// The tray: which kind Qt chose, and when the window goes to it.
Q_DECLARE_LOGGING_CATEGORY(lcTray)

// Whether the session bus has a StatusNotifierWatcher with a registered host (the panels of
// KDE Plasma, of GNOME with the AppIndicator extension, of Xfce). Qt then shows a tray icon as a
// StatusNotifierItem instead of an icon embedded in an X11 tray: the host calls Activate on a
// click and draws the icon's menu itself. Asked once, as Qt asks once, so that the answer
// always names the kind of tray that Qt chose.
bool StatusNotifierHostPresent();
