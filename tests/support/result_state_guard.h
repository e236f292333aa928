// Keeps one test's settings, plate and date forms from reaching the next:
// saved when made, put back when it goes. Dates are written in one fixed
// form meanwhile, so texts do not depend on the machine's locale.
#pragma once

#include "results/result_text.h"
#include "results/shared_state.h"

class ResultStateGuard {
 public:
  ResultStateGuard() : settings_(AppSettings), plate_(PlateResult) {
    SetResultDateTimeFormats("%d.%m.%Y", "%H:%M:%S");
  }
  ~ResultStateGuard() {
    AppSettings = settings_;
    PlateResult = plate_;
    SetResultDateTimeFormats(nullptr, nullptr);
  }
  ResultStateGuard(const ResultStateGuard&) = delete;
  ResultStateGuard& operator=(const ResultStateGuard&) = delete;

 private:
  TAppSettings settings_;
  TPlateResult plate_;
};
