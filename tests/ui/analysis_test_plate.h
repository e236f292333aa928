// A plate for the analysis windows' tests: standards in columns 1 and 2
// (1000 down to 1000 / 3^6, duplicates side by side), blanks in H1 and H2,
// samples in pairs across the rest and one control pair, read on a
// 4-parameter logistic curve with a little scatter.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include <QString>

#include "analysis/plate_layout.h"
#include "analysis_ui/file_questions.h"
#include "analysis_ui/layout_filling.h"
#include "results/shared_state.h"

inline analysis::PlateLayout TestLayout() {
  analysis::PlateLayout layout;
  layout.unit = "ng/mL";
  std::vector<int> standards, samples;
  for (int row = 0; row < 7; ++row) {
    standards.push_back(row * 12);
    standards.push_back(row * 12 + 1);
  }
  for (int well = 0; well < 94; ++well) {
    if (well % 12 >= 2) samples.push_back(well);
  }
  layout_filling::FillDilutionSeries(layout, standards, 1000, 3, {true, 2, true});
  layout_filling::AssignRole(layout, {84, 85}, analysis::WellRole::Blank, {});
  layout_filling::AssignRole(layout, samples, analysis::WellRole::Sample, {false, 2, true});
  layout_filling::AssignRole(layout, {94, 95}, analysis::WellRole::Control, {false, 2, true});
  return layout;
}

inline void FillTestPlate(const analysis::PlateLayout& layout, TPlateResult& plate) {
  for (int well = 0; well < kWells; ++well) {
    const analysis::WellContent& content = layout.wells[well];
    double concentration = content.concentration.value_or(0);
    if (content.role == analysis::WellRole::Sample) concentration = 5 + 37 * ((well * 7) % 23);
    if (content.role == analysis::WellRole::Control) concentration = 150;
    const double scatter = 0.01 * ((well * 13) % 5 - 2);
    const double response =
        2.6 + (0.05 - 2.6) / (1 + std::pow(concentration / 120.0, 1.1)) + 0.05 + scatter;
    plate.nValue[well] = static_cast<int32_t>(std::lround(response * 1000));
  }
  plate.nPrimary = 450;
  plate.nReference = 620;
  plate.bValid = 1;
}

// Answers the analysis windows' file questions with Chosen() while it lives.
class LayoutChooserStandIn {
 public:
  LayoutChooserStandIn() { SetFileChooserForTesting(Choose); }
  ~LayoutChooserStandIn() { SetFileChooserForTesting(nullptr); }
  static QString& Chosen() {
    static QString name;
    return name;
  }

 private:
  static QString Choose(QWidget*, FileQuestion, const QString&) { return Chosen(); }
};
