#pragma once

class QWidget;

// Whether the compositor, not the client, places top-level windows on this platform
// (Wayland): a drag must then be handed over to it rather than done by moving the window.
bool CompositorPlacesWindows();

// Hands a drag of `window` that has just started with a left press over to the compositor.
// False when the platform refused it.
bool HandMoveToCompositor(QWidget* window);
