// What the report tests share: the offscreen application the painting needs,
// and the small ELISA as the reader gives it, reference already subtracted.
#pragma once

#include <stdlib.h>

#include <QGuiApplication>

#include "results/result_file.h"
#include "tests/support/elisa_plate.h"

namespace report_fixture {

inline QGuiApplication& App() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "platovix-test";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}

inline TPlateResult ElisaPlate() {
  TPlateResult plate;
  const auto primary = elisa_plate::Primary(true);
  for (int well = 0; well < kWells; ++well) {
    const int value = primary[static_cast<size_t>(well)];
    plate.nValue[well] =
        value == elisa_plate::kBeyondRange ? kNoValue : value - elisa_plate::kReference;
  }
  plate.nPrimary = 450;
  plate.nReference = 620;
  plate.bValid = 1;
  return plate;
}

}  // namespace report_fixture
