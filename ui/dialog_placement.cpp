#include "ui/dialog_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

QRect ScreenRectOf(const QWidget* control) {
  return QRect(control->mapToGlobal(QPoint(0, 0)), control->size());
}

void PlaceWindowAt(QWidget* window, const QRect& screenRect) {
  window->move(screenRect.topLeft());
  KeepOnScreen(window);
}

void KeepOnScreen(QWidget* window) {
  const QRect frame = window->frameGeometry();
  QScreen* screen = QGuiApplication::screenAt(frame.center());
  if (screen == nullptr) screen = QGuiApplication::screenAt(frame.topLeft());
  if (screen == nullptr) screen = window->screen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  // Right and bottom first, so a window larger than the screen keeps its
  // top-left corner (and its caption) visible.
  int x = std::min(frame.x(), area.right() + 1 - frame.width());
  int y = std::min(frame.y(), area.bottom() + 1 - frame.height());
  x = std::max(x, area.left());
  y = std::max(y, area.top());
  if (x != frame.x() || y != frame.y()) window->move(x, y);
}
