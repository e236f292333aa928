#include "sim/plate_model.h"

#include <algorithm>
#include <fstream>
#include <numeric>
#include <sstream>
#include <stdexcept>

#include "sim/instrument_effects.h"
#include "sim/reader_family.h"
#include "sim/seeded_random.h"

namespace sim {

namespace {

std::runtime_error PlateError(int line, const std::string& what) {
  return std::runtime_error("plate file line " + std::to_string(line) + ": " + what);
}

}  // namespace

PlateModel::PlateModel(const Options& options)
    : family_(options.family),
      seed_(options.seed),
      overflow_(options.overflow),
      noValueWells_(options.noValueWells) {
  if (options.scenario != PlateScenario::Random) physical_.emplace(options.scenario, options);
  if (options.plateFile.empty()) return;
  std::ifstream in(options.plateFile);
  if (!in) throw std::runtime_error("cannot read plate file " + options.plateFile);
  std::stringstream text;
  text << in.rdbuf();
  fromFile_ = ParsePlateText(text.str(), family_);
}

int PlateModel::Generated(int wavelength, int well) const {
  const FamilyTraits& t = TraitsOf(family_);
  if (overflow_ && IsOverflowWell(well))
    return t.upperLimit + 1 + static_cast<int>(Hash(seed_, wavelength, well) % 400);
  if (noValueWells_ && t.noValueCode != 0 && IsUnreadableWell(well)) return t.noValueCode;
  // A shuffled rank keeps the 96 readings of one wavelength apart (steps of
  // 24) while the jitter below the step makes them look measured.
  std::array<int, 96> rank;
  std::iota(rank.begin(), rank.end(), 0);
  uint64_t state = Hash(seed_, wavelength, -1);
  for (int i = 95; i > 0; --i) {
    state = Mix(state);
    std::swap(rank[i], rank[state % static_cast<uint64_t>(i + 1)]);
  }
  return 50 + 24 * rank[well] + static_cast<int>(Hash(seed_, wavelength, well) % 24);
}

int PlateModel::Reading(int wavelength, int well, ReadMoment moment) const {
  if (well < 0 || well >= 96) return 0;
  auto it = fromFile_.find(wavelength);
  if (it != fromFile_.end()) return it->second[well];
  return physical_ ? physical_->Reading(wavelength, well, moment) : Generated(wavelength, well);
}

PlateGrid PlateModel::Plate(int wavelength, ReadMoment moment) const {
  PlateGrid grid{};
  for (int well = 0; well < 96; ++well) grid[well] = Reading(wavelength, well, moment);
  return grid;
}

std::map<int, PlateGrid> ParsePlateText(const std::string& text, Family family) {
  const int width = TraitsOf(family).fieldWidth;
  const long lowest = width == 4 ? -999 : -9999;
  const long highest = width == 4 ? 9999 : 99999;
  std::map<int, PlateGrid> plates;
  std::istringstream lines(text);
  std::string line;
  int lineNo = 0;
  int wavelength = 0;
  int row = 8;  // rows still expected for the current grid: 8 = none open
  while (std::getline(lines, line)) {
    ++lineNo;
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string first;
    if (!(words >> first)) continue;
    if (first == "wavelength") {
      if (row != 8)
        throw PlateError(lineNo, "grid of wavelength " + std::to_string(wavelength) + " has only " +
                                     std::to_string(row) + " rows");
      if (!(words >> wavelength) || wavelength <= 0)
        throw PlateError(lineNo, "expected \"wavelength <nm>\"");
      if (plates.count(wavelength)) throw PlateError(lineNo, "wavelength given twice");
      plates[wavelength] = PlateGrid{};
      row = 0;
      continue;
    }
    if (row == 8) throw PlateError(lineNo, "values before a \"wavelength <nm>\" line");
    std::istringstream values(line);
    for (int column = 0; column < 12; ++column) {
      std::string word;
      if (!(values >> word)) throw PlateError(lineNo, "a row needs 12 values");
      size_t used = 0;
      long value = 0;
      try {
        value = std::stol(word, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used != word.size()) throw PlateError(lineNo, "\"" + word + "\" is not an integer");
      if (value < lowest || value > highest)
        throw PlateError(
            lineNo, word + " does not fit a field of " + std::to_string(width) + " characters");
      plates[wavelength][row * 12 + column] = static_cast<int>(value);
    }
    std::string extra;
    if (values >> extra) throw PlateError(lineNo, "a row has only 12 values");
    ++row;
  }
  if (row != 8)
    throw PlateError(lineNo, "grid of wavelength " + std::to_string(wavelength) + " has only " +
                                 std::to_string(row) + " rows");
  return plates;
}

}  // namespace sim
