#pragma once

class QWidget;

namespace tessaly {

// The window a message box, picker or dialog belongs to: the topmost modal dialog,
// else the main window. Never "whatever is active": when another program has the
// focus there is no active window, and a box without a parent would appear apart from
// its dialog.
QWidget* askingWindow(QWidget* mainWindow);

// Gives the keyboard back to `window` once a box, picker or dialog over it has closed.
// A window manager would; without one the keyboard would stay with nothing.
void activateAgain(QWidget* window);

} // namespace tessaly
