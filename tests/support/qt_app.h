// One QApplication for a whole test program, made on first use; the test
// programs run on GoogleTest's own main.
#pragma once

#include <QApplication>

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "platovix-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = QApplication::instance()
                                 ? qobject_cast<QApplication*>(QApplication::instance())
                                 : new QApplication(argc, argv);
  return *app;
}
