// A scenario's plate inside the simulated reader: each well's absorbance at
// any moment after the plate went in, and the reading the instrument makes
// of it. Everything but the scenario's layout depends on the seed: the
// fill of each well, its meniscus and the noise of every read.
#pragma once

#include <array>

#include "sim/plate_scenarios.h"

namespace sim {

// When a plate is read: seconds since it went in, and which read of the
// simulator's life this is (each read has noise of its own).
struct ReadMoment {
  double seconds = 0;
  int index = 0;
};

class PhysicalPlate {
 public:
  PhysicalPlate(PlateScenario scenario, const Options& options);

  const ScenarioPlate& contents() const { return plate_; }

  // What the light meets in the well: plate, meniscus and liquid, in OD,
  // before stray light and noise.
  double Absorbance(int nm, int well, double seconds) const;

  // The value the reader sends: thousandths of OD after stray light and
  // noise, or the family's "no value" code for a well it cannot read.
  int Reading(int nm, int well, ReadMoment moment) const;

 private:
  ScenarioPlate plate_;
  Family family_;
  unsigned seed_;
  bool overflow_;
  bool noValueWells_;
  std::array<double, 96> fill_;      // path length relative to nominal
  std::array<double, 96> meniscus_;  // scatter strength, 0..1
};

}  // namespace sim
