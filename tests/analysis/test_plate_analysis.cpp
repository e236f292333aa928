// A whole plate through the analysis: blank correction, replicate groups,
// the curve, back-calculated and flagged concentrations, controls, and
// plates that defeat it (no blanks, every well without value, one
// standard, flat standards) without a NaN or an infinity anywhere.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "analysis/logistic_curve.h"
#include "analysis/plate_analysis.h"
#include "tests/analysis/layout_plates.h"

using namespace analysis;

using namespace layout_plates;

namespace {

// A 4PL plate: blanks in A1/B1 reading 0.050, standards 0..100 in
// duplicate down columns 2 and 3, samples in column 4 and 5 (duplicates
// side by side), a control in H6/H7.
const LogisticCurve kTruth{0.02, 1.2, 20, 2.8, 1};
const double kLevels[8] = {0, 1.5625, 3.125, 6.25, 12.5, 25, 50, 100};

WellContent Content(WellRole role, const std::string& name = "",
                    std::optional<double> concentration = std::nullopt) {
  WellContent content;
  content.role = role;
  content.name = name;
  content.concentration = concentration;
  return content;
}

int32_t Thousandths(double absorbance) {
  return static_cast<int32_t>(std::lround(absorbance * 1000));
}

Plate ElisaPlate() {
  Plate plate;
  plate.values.fill(kNoValue);
  auto set = [&](const char* well, WellContent content, double absorbance) {
    plate.layout.wells[PlateWellOfName(well)] = content;
    plate.values[PlateWellOfName(well)] = Thousandths(absorbance);
  };
  set("A1", Content(WellRole::Blank), 0.050);
  set("B1", Content(WellRole::Blank), 0.050);
  for (int level = 0; level < 8; ++level) {
    const std::string row(1, static_cast<char>('A' + level));
    const WellContent standard = Content(WellRole::Standard, "", kLevels[level]);
    const double od = 0.050 + kTruth.Response(kLevels[level]);
    set((row + "2").c_str(), standard, od);
    set((row + "3").c_str(), standard, od);
  }
  plate.layout.unit = "ng/mL";
  return plate;
}

void AddSample(Plate& plate, const char* first, const char* second, const std::string& name,
               double trueConcentration, double dilution = 1) {
  WellContent sample = Content(WellRole::Sample, name);
  if (dilution != 1) sample.dilution = dilution;
  const double od = 0.050 + kTruth.Response(trueConcentration / dilution);
  for (const char* well : {first, second}) {
    plate.layout.wells[PlateWellOfName(well)] = sample;
    plate.values[PlateWellOfName(well)] = Thousandths(od);
  }
}

void ExpectAllFinite(const PlateAnalysis& analysis) {
  const auto finite = [](std::optional<double> v) { return !v || std::isfinite(*v); };
  EXPECT_TRUE(finite(analysis.blank));
  EXPECT_TRUE(std::isfinite(analysis.fit.r2));
  for (const FitParameter& p : analysis.fit.parameters) EXPECT_TRUE(std::isfinite(p.value));
  for (const GroupResult& g : analysis.groups) {
    EXPECT_TRUE(finite(g.mean) && finite(g.sd) && finite(g.cv) && finite(g.concentration))
        << g.name;
  }
}

TEST(PlateAnalysis, CorrectsForTheBlankAndRecoversConcentrations) {
  Plate plate = ElisaPlate();
  AddSample(plate, "A4", "A5", "S1", 10);
  AddSample(plate, "B4", "B5", "S2", 40, 4);  // diluted four times: 10 on the curve
  plate.values[PlateWellOfName("B5")] = Thousandths(0.050 + kTruth.Response(10) * 1.02);
  const PlateAnalysis analysis = AnalysePlate(plate.values, plate.layout, {});
  ExpectAllFinite(analysis);
  ASSERT_TRUE(analysis.blank);
  EXPECT_DOUBLE_EQ(*analysis.blank, 0.050);
  EXPECT_EQ(analysis.blankWells, 2);
  ASSERT_TRUE(analysis.fit.fitted) << analysis.fit.failure;
  EXPECT_GT(analysis.fit.r2, 0.9999);
  EXPECT_EQ(analysis.unit, "ng/mL");

  ASSERT_EQ(analysis.groups.size(), 10u);
  EXPECT_EQ(analysis.groups[0].name, "Standard 0");
  EXPECT_EQ(analysis.groups[7].name, "Standard 100");
  EXPECT_EQ(analysis.groups[7].wells,
            (std::vector<int>{PlateWellOfName("H2"), PlateWellOfName("H3")}));
  EXPECT_EQ(analysis.groups[8].name, "S1");
  const GroupResult& s1 = Group(analysis, "S1");
  ASSERT_TRUE(s1.concentration);
  EXPECT_NEAR(*s1.concentration, 10, 0.1);  // the wells hold three decimals only
  EXPECT_EQ(s1.flags, kFlagNone);
  EXPECT_EQ(s1.sd, 0);
  EXPECT_EQ(s1.cv, 0);
  const GroupResult& s2 = Group(analysis, "S2");
  EXPECT_EQ(s2.dilution, 4);
  ASSERT_TRUE(s2.concentration && s2.cv);
  EXPECT_NEAR(*s2.concentration, 40.6, 0.5);
  EXPECT_NEAR(*s2.cv, 1.4, 0.1);
}

TEST(PlateAnalysis, FlagsConcentrationsAtAndBeyondTheStandardsAndTheCurve) {
  Plate plate = ElisaPlate();
  AddSample(plate, "A4", "A5", "at lowest", 1.5625);
  AddSample(plate, "B4", "B5", "at highest", 100);
  AddSample(plate, "C4", "C5", "below standards", 0.8);
  AddSample(plate, "D4", "D5", "above standards", 200);
  const auto put = [&](const char* well, const std::string& name, double od) {
    plate.layout.wells[PlateWellOfName(well)] = Content(WellRole::Sample, name);
    plate.values[PlateWellOfName(well)] = Thousandths(od);
  };
  put("E4", "below curve", 0.040);  // under the blank
  put("F4", "above curve", 3.5);
  const PlateAnalysis analysis = AnalysePlate(plate.values, plate.layout, {});
  ASSERT_TRUE(analysis.fit.fitted);
  ExpectAllFinite(analysis);
  // Rounding the wells to 0.001 moves a sample on a standard a little:
  // only clearly beyond counts.
  EXPECT_EQ(Group(analysis, "at lowest").flags & ~kFlagBelowStandards, kFlagNone);
  EXPECT_EQ(Group(analysis, "at highest").flags & ~kFlagAboveStandards, kFlagNone);
  EXPECT_EQ(Group(analysis, "below standards").flags, kFlagBelowStandards);
  EXPECT_TRUE(Group(analysis, "below standards").concentration);
  EXPECT_EQ(Group(analysis, "above standards").flags, kFlagAboveStandards);
  EXPECT_EQ(Group(analysis, "below curve").flags, kFlagBelowCurve);
  EXPECT_FALSE(Group(analysis, "below curve").concentration);
  EXPECT_EQ(Group(analysis, "above curve").flags, kFlagAboveCurve);
  EXPECT_FALSE(Group(analysis, "above curve").concentration);
  EXPECT_EQ(GroupFlagText(kFlagWellsMissing | kFlagAboveStandards),
            "wells without value; above the standards");
}

TEST(PlateAnalysis, ChecksControlsAgainstTheirRange) {
  Plate plate = ElisaPlate();
  const auto control = [&](const char* well, const std::string& name, double low, double high) {
    plate.layout.wells[PlateWellOfName(well)] = Content(WellRole::Control, name);
    plate.layout.wells[PlateWellOfName(well)].range = ExpectedRange{low, high};
    plate.values[PlateWellOfName(well)] = Thousandths(0.050 + kTruth.Response(20));
  };
  control("H6", "in", 18, 22);
  control("H7", "low", 25, 30);
  control("H8", "high", 5, 10);
  PlateAnalysis analysis = AnalysePlate(plate.values, plate.layout, {});
  EXPECT_EQ(Group(analysis, "in").flags, kFlagNone);
  EXPECT_EQ(Group(analysis, "low").flags, kFlagControlLow);
  EXPECT_EQ(Group(analysis, "high").flags, kFlagControlHigh);

  // Without standards the range holds blank-corrected absorbance.
  for (int well = 0; well < kLayoutWells; ++well) {
    if (plate.layout.wells[well].role == WellRole::Standard) plate.layout.wells[well] = {};
  }
  analysis = AnalysePlate(plate.values, plate.layout, {});
  EXPECT_FALSE(analysis.hasStandards);
  EXPECT_EQ(analysis.fit.failure, "The layout has no standards.");
  EXPECT_EQ(Group(analysis, "in").flags, kFlagControlLow);  // an OD near 1.4, not 20
  EXPECT_FALSE(Group(analysis, "in").concentration);
}

TEST(PlateAnalysis, PlatesThatDefeatTheAnalysisGiveReasonsNotNumbers) {
  Plate plate = ElisaPlate();
  AddSample(plate, "A4", "A5", "S1", 10);

  // No blanks: nothing is subtracted.
  Plate noBlanks = plate;
  noBlanks.layout.wells[PlateWellOfName("A1")] = noBlanks.layout.wells[PlateWellOfName("B1")] = {};
  PlateAnalysis analysis = AnalysePlate(noBlanks.values, noBlanks.layout, {});
  EXPECT_FALSE(analysis.blank);
  EXPECT_NEAR(*Group(analysis, "S1").mean, 0.050 + kTruth.Response(10), 0.001);
  EXPECT_TRUE(analysis.fit.fitted);

  // Every well without a value.
  Plate empty = plate;
  empty.values.fill(kNoValue);
  analysis = AnalysePlate(empty.values, empty.layout, {});
  ExpectAllFinite(analysis);
  EXPECT_FALSE(analysis.blank);
  EXPECT_FALSE(analysis.fit.fitted);
  EXPECT_EQ(analysis.fit.failure,
            "The standard curve cannot be fitted: a 4pl curve needs 4 standard concentrations "
            "with values, the plate has 0.");
  for (const GroupResult& group : analysis.groups) {
    EXPECT_EQ(group.flags, kFlagNoValue) << group.name;
    EXPECT_FALSE(group.mean || group.sd || group.cv || group.concentration) << group.name;
  }

  // One replicate missing: the other carries the group, without an SD.
  Plate oneMissing = plate;
  oneMissing.values[PlateWellOfName("A5")] = kNoValue;
  analysis = AnalysePlate(oneMissing.values, oneMissing.layout, {});
  EXPECT_EQ(Group(analysis, "S1").flags, kFlagWellsMissing);
  EXPECT_EQ(Group(analysis, "S1").measuredWells, 1);
  EXPECT_TRUE(Group(analysis, "S1").concentration);
  EXPECT_FALSE(Group(analysis, "S1").sd);

  // A single standard level.
  Plate single = plate;
  for (int well = 0; well < kLayoutWells; ++well) {
    if (single.layout.wells[well].role == WellRole::Standard && well / 12 > 0) {
      single.layout.wells[well] = {};
    }
  }
  analysis = AnalysePlate(single.values, single.layout, {CurveModel::Linear, Weighting::None});
  EXPECT_EQ(analysis.fit.failure,
            "The standard curve cannot be fitted: a linear curve needs 2 standard concentrations "
            "with values, the plate has 1.");
  EXPECT_FALSE(Group(analysis, "S1").concentration);

  // All standards alike.
  Plate flat = plate;
  for (int well = 0; well < kLayoutWells; ++well) {
    if (flat.layout.wells[well].role == WellRole::Standard) flat.values[well] = 700;
  }
  for (CurveModel model : {CurveModel::Linear, CurveModel::FourPL, CurveModel::FivePL}) {
    analysis = AnalysePlate(flat.values, flat.layout, {model, Weighting::None});
    EXPECT_EQ(analysis.fit.failure,
              "The standard curve cannot be fitted: all standards read the same.");
    EXPECT_FALSE(Group(analysis, "S1").concentration);
    ExpectAllFinite(analysis);
  }
}

TEST(PlateAnalysis, NamesOfModelsAndWeightings) {
  for (CurveModel model : {CurveModel::Linear, CurveModel::FourPL, CurveModel::FivePL}) {
    EXPECT_EQ(CurveModelFromName(CurveModelName(model)), model);
  }
  for (Weighting w : {Weighting::None, Weighting::OneOverY, Weighting::OneOverY2}) {
    EXPECT_EQ(WeightingFromName(WeightingName(w)), w);
  }
  EXPECT_FALSE(CurveModelFromName("4PL "));
  EXPECT_EQ(FormatNumber(std::nullopt), "");
  EXPECT_EQ(FormatNumber(12.5), "12.5");
}

}  // namespace
