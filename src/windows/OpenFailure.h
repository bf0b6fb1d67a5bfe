#pragma once

class QString;
class QWidget;

// Tells the user that `target` (an address or a folder) could not be handed to the desktop, so
// that they can open it by hand: `text` in the current language, with %1 for the target. The
// message is a small window of `owner` that blocks nothing, not even the search going on.
void ShowOpenFailure(QWidget* owner, const QString& text, const QString& target);
