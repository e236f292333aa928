// The physical plate model: Beer-Lambert over dyes, the plate and meniscus a
// reference filter sees, the instrument's noise and stray light, enzyme
// kinetics, and the scenarios' ground truth.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "sim/dye_spectra.h"
#include "sim/instrument_effects.h"
#include "sim/physical_plate.h"
#include "sim/plate_layout.h"
#include "sim/plate_model.h"
#include "sim/reader_family.h"

using sim::Dye;
using sim::Family;
using sim::PlateScenario;

namespace {

constexpr int kDemoFilters[] = {405, 450, 492, 540, 620, 690};
constexpr Family kFamilies[] = {Family::DigiScan, Family::Jupiter, Family::Expert};

sim::Options Scenario(PlateScenario scenario, unsigned seed = 1, Family family = Family::DigiScan) {
  sim::Options o;
  o.scenario = scenario;
  o.seed = seed;
  o.family = family;
  return o;
}

struct LayoutLine {
  std::string well, kind, name;
  double value = 0;
};

// Reads the ground-truth text back the way a plate analysis would.
std::vector<LayoutLine> ParseLayout(const std::string& text) {
  std::vector<LayoutLine> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    LayoutLine l;
    words >> l.well >> l.kind;
    if (l.kind == "sample" || l.kind == "control") words >> l.name;
    if (l.kind != "blank" && l.kind != "empty") words >> l.value;
    EXPECT_FALSE(words.fail()) << line;
    lines.push_back(l);
  }
  return lines;
}

int WellOf(const std::string& name) {
  return (name[0] - 'A') * 12 + std::stoi(name.substr(1)) - 1;
}

}  // namespace

TEST(PlatePhysics, AbsorbanceRisesWithConcentrationAndAddsOverDyes) {
  for (int nm : {340, 405, 450, 492, 540, 595, 620, 690, 750}) {
    sim::Liquid mixture;
    mixture.pathCm = 0.6;
    double sumOfSingles = 0;
    for (int d = 0; d < sim::kDyeCount; ++d) {
      const Dye dye = static_cast<Dye>(d);
      sim::Liquid single;
      single.pathCm = 0.6;
      double last = -1;
      for (double mM : {0.0, 0.01, 0.02, 0.05, 0.1}) {
        single[dye] = mM;
        const double od = sim::LiquidAbsorbance(single, nm);
        EXPECT_GE(od, 0);
        if (mM > 0) {
          EXPECT_GT(od, last) << sim::SpectrumOf(dye).name << " at " << nm;
        }
        last = od;
      }
      single[dye] = 0.03 * (d + 1);
      mixture[dye] = single[dye];
      sumOfSingles += sim::LiquidAbsorbance(single, nm);
    }
    EXPECT_NEAR(sim::LiquidAbsorbance(mixture, nm), sumOfSingles, 1e-12) << nm;
    // Twice the light path, twice the absorbance.
    sim::Liquid longer = mixture;
    longer.pathCm = 1.2;
    EXPECT_NEAR(sim::LiquidAbsorbance(longer, nm), 2 * sumOfSingles, 1e-12);
  }
  for (int d = 0; d < sim::kDyeCount; ++d) {
    const Dye dye = static_cast<Dye>(d);
    const int peak = sim::SpectrumOf(dye).peakNm;
    EXPECT_GT(sim::Absorptivity(dye, peak), sim::Absorptivity(dye, peak - 30));
    EXPECT_GT(sim::Absorptivity(dye, peak), sim::Absorptivity(dye, peak + 30));
  }
}

TEST(PlatePhysics, BlanksReadThePlateAtEveryFilterAndNearZeroAgainstTheReference) {
  for (unsigned seed = 1; seed <= 50; ++seed) {
    const sim::PlateModel elisa(Scenario(PlateScenario::Elisa, seed));
    const sim::PlateModel kinetic(Scenario(PlateScenario::Kinetic, seed));
    for (int blank : {0, 12}) {  // A1, B1
      for (int nm : kDemoFilters) {
        EXPECT_GE(elisa.Reading(nm, blank), 30) << nm;
        EXPECT_LE(elisa.Reading(nm, blank), 70) << nm;
      }
      const int corrected = elisa.Reading(450, blank) - elisa.Reading(620, blank);
      EXPECT_GT(corrected, 0) << "seed " << seed;
      EXPECT_LT(corrected, 10) << "seed " << seed;
    }
    // Substrate without enzyme stays clear however long it waits.
    EXPECT_LE(kinetic.Reading(405, 11, {3600, 0}), 70);
  }
}

TEST(PlatePhysics, TheReferenceFilterSeesOnlyThePlateAndMeniscus) {
  for (PlateScenario scenario : {PlateScenario::Elisa, PlateScenario::Kinetic}) {
    const sim::PlateModel model(Scenario(scenario));
    for (int well = 0; well < 96; ++well) {
      for (int nm : {620, 690}) {
        const int r = model.Reading(nm, well, {1800, 0});
        EXPECT_GE(r, 30) << well;
        EXPECT_LE(r, 60) << well;
      }
    }
  }
}

TEST(PlatePhysics, NoiseStaysWithinItsBoundAndDiffersFromReadToRead) {
  int differentReads = 0;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const sim::PhysicalPlate plate(PlateScenario::Elisa, Scenario(PlateScenario::Elisa, seed));
    for (int well : {0, 13, 24, 47, 95}) {
      const double od = sim::WithStrayLight(plate.Absorbance(450, well, 0), Family::DigiScan);
      const int reading = plate.Reading(450, well, {0, 0});
      // One thousandth more for the rounding of the reading.
      EXPECT_LE(std::abs(reading - 1000 * od), 1000 * sim::NoiseBound(od) + 0.5) << seed;
      differentReads += reading != plate.Reading(450, well, {0, 1});
    }
  }
  EXPECT_GT(differentReads, 500);  // of 1000: the noise is not a fixed offset
}

TEST(PlatePhysics, TheSameSeedGivesTheSamePlate) {
  for (PlateScenario scenario :
       {PlateScenario::Elisa, PlateScenario::Bradford, PlateScenario::Kinetic}) {
    const sim::PlateModel a(Scenario(scenario, 7)), b(Scenario(scenario, 7));
    const sim::PlateModel other(Scenario(scenario, 8));
    int differences = 0;
    for (int nm : kDemoFilters) {
      EXPECT_EQ(a.Plate(nm, {120, 3}), b.Plate(nm, {120, 3}));
      const auto mine = a.Plate(nm, {120, 3}), theirs = other.Plate(nm, {120, 3});
      for (int well = 0; well < 96; ++well) differences += mine[well] != theirs[well];
    }
    EXPECT_GT(differences, 96) << sim::ScenarioName(scenario);
  }
}

TEST(PlatePhysics, StrayLightKeepsReadingsBelowTheRangeUntilTheOverflowWells) {
  for (Family family : kFamilies) {
    const double range = sim::TraitsOf(family).upperLimit / 1000.0;
    double last = 0;
    for (double od = 0; od <= 10; od += 0.05) {
      const double seen = sim::WithStrayLight(od, family);
      EXPECT_GE(seen, last);
      EXPECT_LE(seen, od + 1e-9);  // stray light only ever lowers a reading
      EXPECT_LT(seen, sim::StrayLightCeiling(family));
      if (od <= 3.2) {
        EXPECT_LT(seen + sim::NoiseBound(seen), range) << od;
      }
      last = seen;
    }
    sim::Options o = Scenario(PlateScenario::Elisa, 3, family);
    o.overflow = true;
    const sim::PlateModel model(o);
    const int noValue = sim::TraitsOf(family).noValueCode;
    for (int nm : kDemoFilters) {
      for (int well = 0; well < 96; ++well) {
        const int r = model.Reading(nm, well);
        if (r == noValue) continue;
        EXPECT_EQ(r > sim::TraitsOf(family).upperLimit, sim::IsOverflowWell(well)) << well;
        EXPECT_LE(r, 9999);  // still fits an Expert's field
      }
    }
  }
}

TEST(PlatePhysics, EmptyWellsCarryTheFamilysNoValueCode) {
  for (Family family : kFamilies) {
    const sim::PlateModel model(Scenario(PlateScenario::Elisa, 1, family));
    const int noValue = sim::TraitsOf(family).noValueCode;
    for (const char* empty : {"G1", "H1"}) {
      const int r = model.Reading(450, WellOf(empty));
      if (noValue != 0) {
        EXPECT_EQ(r, noValue);
      } else {
        EXPECT_LE(r, 70);  // a DigiScan reads through the dry plastic
      }
    }
  }
}

TEST(PlatePhysics, AKineticWellGrowsByItsRateBetweenTwoReads) {
  const sim::ScenarioPlate contents = sim::BuildScenario(PlateScenario::Kinetic);
  const sim::PlateModel model(Scenario(PlateScenario::Kinetic));
  const auto product = [](double t) { return t / (1 + t / sim::kReactionTauSeconds); };
  for (int well : {0, 3, 26, 50}) {
    const double odPerSecond = contents.truth[well].value / 1000 / 60;
    const double expected = odPerSecond * (product(90) - product(30));
    const int grown = model.Reading(405, well, {90, 1}) - model.Reading(405, well, {30, 0});
    // The fill of a well and the noise of two reads are all it may miss by.
    EXPECT_NEAR(grown, 1000 * expected, 1000 * (0.01 * expected + 0.005) + 1) << well;
    EXPECT_GT(grown, 0) << well;
  }
  // Rates follow the dilutions: each column below the one before it.
  for (int column = 1; column < 11; ++column)
    EXPECT_LT(model.Reading(405, column, {300, 0}), model.Reading(405, column - 1, {300, 0}));
}

TEST(PlatePhysics, ElisaStandardsFallAlongTheSeriesAndSamplesAreNeverNegative) {
  const sim::ScenarioPlate contents = sim::BuildScenario(PlateScenario::Elisa);
  for (Family family : kFamilies) {
    const sim::PlateModel model(Scenario(PlateScenario::Elisa, 1, family));
    const auto corrected = [&](int well) {
      return model.Reading(450, well) - model.Reading(620, well);
    };
    for (int column : {1, 2}) {
      EXPECT_GT(corrected(column), 2000);  // the top standard
      for (int row = 1; row < 8; ++row)
        EXPECT_LT(corrected(row * 12 + column), corrected((row - 1) * 12 + column));
    }
    for (int well = 0; well < 96; ++well)
      if (contents.truth[well].kind != sim::WellKind::Empty) {
        EXPECT_GT(corrected(well), 0) << well;
      }
  }
}

TEST(PlateLayout, ElisaParsesBackToItsWells) {
  const auto lines = ParseLayout(sim::LayoutText(sim::BuildScenario(PlateScenario::Elisa)));
  ASSERT_EQ(lines.size(), 96u);
  std::map<std::string, int> kinds;
  std::map<double, int> standards;
  std::map<std::string, std::set<double>> samples;
  std::map<std::string, int> sampleWells;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(WellOf(lines[i].well), static_cast<int>(i));
    ++kinds[lines[i].kind];
    if (lines[i].kind == "standard") ++standards[lines[i].value];
    if (lines[i].kind == "sample") {
      samples[lines[i].name].insert(lines[i].value);
      ++sampleWells[lines[i].name];
    }
  }
  EXPECT_EQ(kinds["blank"], 2);
  EXPECT_EQ(kinds["standard"], 16);
  EXPECT_EQ(kinds["sample"], 72);
  EXPECT_EQ(kinds["control"], 4);
  EXPECT_EQ(kinds["empty"], 2);
  EXPECT_EQ(lines[0].kind, "blank");
  EXPECT_EQ(lines[12].kind, "blank");
  ASSERT_EQ(standards.size(), 8u);
  for (const auto& [value, count] : standards) EXPECT_EQ(count, 2) << value;
  EXPECT_EQ(samples.size(), 36u);
  for (const auto& [name, values] : samples) {
    EXPECT_EQ(values.size(), 1u) << name;  // duplicates agree
    EXPECT_EQ(sampleWells[name], 2) << name;
  }
  // The samples spread over the standard curve.

  double lowest = 1e9, highest = 0;
  for (const auto& [name, values] : samples) {
    lowest = std::min(lowest, *values.begin());
    highest = std::max(highest, *values.begin());
  }
  EXPECT_LT(lowest, standards.begin()->first * 2);
  EXPECT_GT(highest, standards.rbegin()->first / 2);
}

TEST(PlateLayout, BradfordAndKineticHaveTheirBlanksStandardsAndSamples) {
  std::map<std::string, int> bradford, kinetic;
  for (const auto& l : ParseLayout(sim::LayoutText(sim::BuildScenario(PlateScenario::Bradford))))
    ++bradford[l.kind];
  for (const auto& l : ParseLayout(sim::LayoutText(sim::BuildScenario(PlateScenario::Kinetic))))
    ++kinetic[l.kind];
  EXPECT_EQ(bradford["blank"], 3);
  EXPECT_EQ(bradford["standard"], 21);
  EXPECT_EQ(bradford["sample"], 72);
  EXPECT_EQ(kinetic["blank"], 8);
  EXPECT_EQ(kinetic["sample"], 88);
  // The growth plate: µmax, then lag (hours) and K (OD) on every sample line.
  const std::string growthText = sim::LayoutText(sim::BuildScenario(PlateScenario::Growth));
  std::map<std::string, int> growth;
  for (const auto& l : ParseLayout(growthText)) ++growth[l.kind];
  EXPECT_EQ(growth["blank"], 8);
  EXPECT_EQ(growth["sample"], 88);
  EXPECT_NE(growthText.find("\nA3 sample S1 0.4 1 0.7\n"), std::string::npos) << growthText;
  EXPECT_NE(growthText.find("\nH11 sample S8 1.1 3 0.6\n"), std::string::npos);
  EXPECT_EQ(sim::BuildScenario(PlateScenario::Bradford).filters[3], 595);
}
