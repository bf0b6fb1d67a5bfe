#pragma once

#include <QPoint>

class QDialog;
class QWidget;

// Where a secondary window stored at the desktop position `stored` opens. With several
// monitors it follows the monitor of `active` (the window active when it opens), shifted by
// the offset between that monitor's origin and the primary monitor's.
QPoint StoredScreenPosition(QPoint stored, const QWidget* active);

// Shows `window` modally at its stored desktop position, brought to the front, and releases
// it when the showing ends, also when its owner went away during the showing.
void ShowModalAt(QDialog* window, QPoint stored);

// Makes presses on the controls lying on a background panel stay with those controls, so
// that only the panel's uncovered parts drag the window.
void KeepPressesOffPanel(QWidget* panel);
