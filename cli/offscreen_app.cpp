// Built only where platovix-cli paints reports (with Qt).
#ifdef PLATOVIX_WITH_REPORT

#include "cli/offscreen_app.h"

#include <stdlib.h>

std::unique_ptr<QGuiApplication> OffscreenGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "platovix-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

#endif
