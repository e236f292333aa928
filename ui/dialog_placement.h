// Where the small dialogs appear: at the top-left corner of the button that
// opened them, pulled back inside the screen when they would stick out.
#pragma once

#include <QRect>

class QWidget;

// The control's rectangle in screen coordinates.
QRect ScreenRectOf(const QWidget* control);

// Moves the window, keeping its size, so that its top-left corner lies on
// the rectangle's top-left corner, then keeps it on screen.
void PlaceWindowAt(QWidget* window, const QRect& screenRect);

// Moves a window that sticks out of its screen's work area back inside.
void KeepOnScreen(QWidget* window);
