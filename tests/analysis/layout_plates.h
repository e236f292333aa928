// Plates with a layout for the analysis tests (wells by PlateWellOfName),
// values in thousandths of an absorbance unit as the reader gives them.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "analysis/plate_analysis.h"
#include "results/shared_state.h"
#include "results/well_names.h"

namespace layout_plates {

struct Plate {
  analysis::PlateLayout layout;
  std::array<int32_t, analysis::kLayoutWells> values;
};

inline const analysis::GroupResult& Group(const analysis::PlateAnalysis& analysis,
                                          const std::string& name) {
  for (const analysis::GroupResult& group : analysis.groups) {
    if (group.name == name) return group;
  }
  static analysis::GroupResult none;
  ADD_FAILURE() << "no group " << name;
  return none;
}

}  // namespace layout_plates
