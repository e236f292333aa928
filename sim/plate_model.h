// The readings the simulated reader sends for each well and wavelength.
//
// A scenario other than Random takes them from a physical model of an
// assay plate (physical_plate.h). The Random scenario's generated readings are plausible
// absorbances in thousandths (about 0.05 to 2.35), all different within one wavelength and shuffled
// differently per wavelength, so that a program that mixes up rows and columns, or primary and
// reference pass, gets visibly wrong values. They depend only on the seed.
//
// A plate file replaces them for the wavelengths it names:
//
//   # comment lines and blank lines are ignored
//   wavelength 405
//   <8 lines of 12 integers separated by blanks or tabs: rows A to H, columns 1 to 12>
//   wavelength 620
//   ...
//
// Its values go over the line as they stand (out-of-range values and the
// family's "no value" code included); each must fit the family's field.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>

#include "sim/physical_plate.h"
#include "sim/reader_simulator.h"

namespace sim {

using PlateGrid = std::array<int, 96>;

class PlateModel {
 public:
  // Throws std::runtime_error with a readable text for a bad plate file.
  explicit PlateModel(const Options& options);

  int Reading(int wavelength, int well, ReadMoment moment = {}) const;
  PlateGrid Plate(int wavelength, ReadMoment moment = {}) const;

 private:
  int Generated(int wavelength, int well) const;

  Family family_;
  unsigned seed_;
  bool overflow_;
  bool noValueWells_;
  std::map<int, PlateGrid> fromFile_;
  std::optional<PhysicalPlate> physical_;
};

// Parses plate file text; throws std::runtime_error naming the line at fault.
std::map<int, PlateGrid> ParsePlateText(const std::string& text, Family family);

}  // namespace sim
