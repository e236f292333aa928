// Platovix: the program runs as long as its main dialog. The settings are
// read before it opens and written after it closes; the port, the worker
// thread and the driver are released last.
#include <QApplication>
#include <clocale>

#include "driver/foto.h"
#include "link/port_setup.h"
#include "results/shared_state.h"
#include "settings/settings.h"
#include "ui/main_dialog.h"
#include "ui/qt_message_box.h"

int main(int argc, char** argv) {
  LoadSettings();
  int exitCode = 0;
  {
    QApplication application(argc, argv);
    // QApplication takes the whole locale from the environment; numbers in
    // result texts keep their decimal point whatever the operator's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Platovix"));
    QApplication::setDesktopFileName(QStringLiteral("platovix"));
    InstallQtMessageBoxes();

    MainDialog dialog;
    dialog.exec();  // ends only after any running operation has ended
  }
  SaveSettings();
  ClosePort();
  CloseThreadHandle();
  delete pDriver;
  pDriver = nullptr;
  return exitCode;
}
