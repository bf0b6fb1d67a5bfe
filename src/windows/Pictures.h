#pragma once

#include <QIcon>

// The program's icon: drawn for 20 x 18 (the window), with larger renders for the desktop,
// the task switcher and the tray.
QIcon ProgramIcon();

// The About window's icon, drawn for 16, 32 and 48 pixels.
QIcon AboutIcon();
