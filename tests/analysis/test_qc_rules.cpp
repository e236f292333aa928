// The assay's QC rules judged at and just beyond each limit, and what an
// assay changes in a plate's analysis: the new curve models, degenerate
// fits refused, wells excluded or without value kept in view, no negative
// concentration, LLOQ/ULOQ flags and the verdict in every output.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <nlohmann/json.hpp>

#include "analysis/analysis_report.h"
#include "analysis/assay.h"
#include "analysis/qc.h"
#include "tests/analysis/layout_plates.h"

using namespace analysis;

using namespace layout_plates;

namespace {

// A plate already analysed: eight standard levels 10..80 recovering 100 %,
// a zero standard, two samples and a control in its range.
PlateAnalysis Analysed() {
  PlateAnalysis a;
  a.blank = 0.05;
  a.blankWells = 2;
  a.hasStandards = true;
  a.fit.fitted = true;
  a.fit.r2 = 0.999;
  GroupResult zero;
  zero.role = WellRole::Standard;
  zero.expected = 0;
  zero.cv = 80;  // noise around nothing: not judged
  a.groups.push_back(zero);
  for (int level = 1; level <= 8; ++level) {
    GroupResult g;
    g.name = "Standard " + std::to_string(10 * level);
    g.role = WellRole::Standard;
    g.expected = 10.0 * level;
    g.concentration = g.expected;
    g.recovery = 100;
    g.cv = 5;
    a.groups.push_back(g);
  }
  for (const char* name : {"S1", "S2"}) {
    GroupResult s;
    s.name = name;
    s.cv = 3;
    s.concentration = 30;
    a.groups.push_back(s);
  }
  GroupResult control;
  control.name = "QC";
  control.role = WellRole::Control;
  control.range = ExpectedRange{18, 22};
  control.concentration = 22;
  a.groups.push_back(control);
  return a;
}

GroupResult& Named(PlateAnalysis& a, const std::string& name) {
  for (GroupResult& g : a.groups) {
    if (g.name == name) return g;
  }
  throw std::runtime_error("no group " + name);
}

// The outcome of one rule.
QcRuleResult RuleOf(const PlateAnalysis& a, const char* rule, const QcRules& rules = {}) {
  for (const QcRuleResult& r : EvaluateQc(a, rules).rules) {
    if (r.rule == rule) return r;
  }
  ADD_FAILURE() << "no rule " << rule;
  return {};
}

// A Bradford-like plate: blanks at 0.3 OD, standards 125..2000 in
// triplicate on a bending curve, samples in duplicate.
double Bend(double x) {
  return 0.3 + 0.00086 * x - 7.2e-8 * x * x;
}

Plate BradfordPlate() {
  Plate p;
  p.values.fill(kNoValue);
  const double levels[] = {125, 250, 500, 750, 1000, 1500, 2000};
  for (int column = 0; column < 3; ++column) {
    p.layout.wells[column].role = WellRole::Blank;
    p.values[column] = 300;
    for (int row = 1; row < 8; ++row) {
      const int well = row * 12 + column;
      p.layout.wells[well].role = WellRole::Standard;
      p.layout.wells[well].concentration = levels[row - 1];
      p.values[well] = static_cast<int32_t>(std::lround(Bend(levels[row - 1]) * 1000));
    }
  }
  const auto sample = [&](const char* first, const std::string& name, double od) {
    for (int well : {PlateWellOfName(first), PlateWellOfName(first) + 1}) {
      p.layout.wells[well].role = WellRole::Sample;
      p.layout.wells[well].name = name;
      p.values[well] = static_cast<int32_t>(std::lround(od * 1000));
    }
  };
  sample("A5", "P10", Bend(600));
  sample("B5", "P2", Bend(60));
  sample("C5", "P1", 0.280);  // below the blank
  sample("D5", "P3", Bend(1200));
  p.layout.unit = "ug/mL";
  return p;
}

}  // namespace

TEST(QcRules, JudgeEachLimitAtAndJustBeyondIt) {
  PlateAnalysis a = Analysed();
  const QcResult pass = EvaluateQc(a, {});
  EXPECT_TRUE(pass.passed);
  EXPECT_STREQ(pass.Verdict(), "Pass");
  EXPECT_TRUE(pass.FailureLines().empty());
  std::vector<std::string> rules;
  for (const auto& r : pass.rules) rules.push_back(r.rule);
  EXPECT_EQ(rules, (std::vector<std::string>{"blank", "r2", "standards", "cv", "controls"}));

  a.blank = 0.100;
  EXPECT_TRUE(RuleOf(a, "blank").passed);
  a.blank = 0.101;
  EXPECT_EQ(RuleOf(a, "blank").detail, "Blank: mean 0.101 OD above 0.100");
  a.blank.reset();
  EXPECT_EQ(RuleOf(a, "blank").detail, "Blank: no blank well with a value");

  a = Analysed();
  a.fit.r2 = 0.98;
  EXPECT_TRUE(RuleOf(a, "r2").passed);
  a.fit.r2 = 0.9799;
  EXPECT_EQ(RuleOf(a, "r2").detail, "R²: 0.9799 below 0.9800");

  // ±20 % inside, ±25 % at the lowest and highest level; 6 of 8 needed.
  a = Analysed();
  Named(a, "Standard 20").recovery = 120;
  Named(a, "Standard 30").recovery = 80;
  Named(a, "Standard 10").recovery = 125;
  Named(a, "Standard 80").recovery = 75;
  EXPECT_EQ(RuleOf(a, "standards").detail, "Standards: 8 of 8 levels within ±20 % (6 needed)");
  Named(a, "Standard 20").recovery = 120.1;
  Named(a, "Standard 10").recovery = 125.1;
  EXPECT_EQ(RuleOf(a, "standards").detail, "Standards: 6 of 8 levels within ±20 % (6 needed)");
  EXPECT_TRUE(RuleOf(a, "standards").passed);
  Named(a, "Standard 40").recovery.reset();  // not back-calculated: fails
  const QcRuleResult five = RuleOf(a, "standards");
  EXPECT_FALSE(five.passed);
  EXPECT_EQ(five.detail, "Standards: 5 of 8 levels within ±20 % (6 needed)");
  EXPECT_EQ(EvaluateQc(a, {}).FailureLines(), std::vector<std::string>{five.detail});

  // levelsMin wins over the share on a short series: 3 of 4 is 75 %, not 4.
  a = Analysed();
  a.groups.erase(a.groups.begin() + 5, a.groups.begin() + 9);
  Named(a, "Standard 20").recovery = 130;
  EXPECT_EQ(RuleOf(a, "standards").detail, "Standards: 3 of 4 levels within ±20 % (4 needed)");
  QcRules lenient;
  lenient.levelsMin = 3;
  EXPECT_TRUE(RuleOf(a, "standards", lenient).passed);

  a = Analysed();
  Named(a, "S2").cv = 20;
  EXPECT_EQ(RuleOf(a, "cv").detail, "CV: every group within 20 %");
  Named(a, "S2").cv = 20.05;
  Named(a, "Standard 30").cv = 31;
  EXPECT_EQ(RuleOf(a, "cv").detail, "CV: 2 groups above 20 % (Standard 30 31.0 %, S2 20.1 %)");
  Named(a, "S2").flags = kFlagBelowLloq;  // a CV of noise is not judged
  EXPECT_EQ(RuleOf(a, "cv").detail, "CV: 1 group above 20 % (Standard 30 31.0 %)");

  a = Analysed();
  EXPECT_EQ(RuleOf(a, "controls").detail, "Controls: 1 of 1 within range");
  Named(a, "QC").flags = kFlagControlHigh;
  Named(a, "QC").concentration = 22.01;
  EXPECT_EQ(RuleOf(a, "controls").detail, "Controls: QC 22.01 not in 18–22");

  // Without a curve the curve's rules give way to one line saying why.
  a = Analysed();
  a.fit = CurveFit{};
  a.fit.failure = "The standard curve cannot be fitted: the fit did not converge.";
  const QcResult noCurve = EvaluateQc(a, {});
  EXPECT_FALSE(noCurve.passed);
  EXPECT_EQ(noCurve.rules[0].detail, "Curve: " + a.fit.failure);
  EXPECT_EQ(noCurve.rules.size(), 4u);

  QcRules none{std::nullopt, std::nullopt, std::nullopt, std::nullopt,
               std::nullopt, std::nullopt, std::nullopt, false};
  EXPECT_TRUE(EvaluateQc(a, none).rules.empty());
  EXPECT_TRUE(EvaluateQc(a, none).passed);
}

TEST(QcRules, AnAssayGivesRecoveryLimitsFlagsAndTheVerdictInEveryOutput) {
  Plate plate = BradfordPlate();
  plate.values[PlateWellOfName("D6")] = kNoValue;
  for (int well :
       {PlateWellOfName("E5"), PlateWellOfName("E6")}) {  // diluted tenfold, read below the LLOQ
    plate.layout.wells[well] = {WellRole::Sample, "P4", std::nullopt, 10.0, std::nullopt};
    plate.values[well] = static_cast<int32_t>(std::lround(Bend(60) * 1000));
  }
  Assay assay = NewAssay("Bradford", plate.layout);
  assay.model = CurveModel::Quadratic;
  assay.qc.blankMax = 0.5;
  AnalysisOptions options = assay.Options();
  options.excluded = {{PlateWellOfName("H3"), "bubble"}, {PlateWellOfName("A5"), "pipetting"}};
  const PlateAnalysis analysis = AnalysePlate(plate.values, plate.layout, options);
  ASSERT_TRUE(analysis.fit.fitted) << analysis.fit.failure;
  EXPECT_EQ(analysis.fit.parameters.size(), 3u);
  ASSERT_TRUE(analysis.qc);
  EXPECT_TRUE(analysis.qc->passed) << analysis.qc->FailureLines()[0];
  EXPECT_EQ(analysis.lloq, 125);
  EXPECT_EQ(analysis.uloq, 2000);
  EXPECT_NEAR(*Group(analysis, "Standard 750").recovery, 100, 0.5);

  // Natural order; the excluded and the missing wells stay listed.
  std::vector<std::string> samples;
  for (const GroupResult& g : analysis.groups) {
    if (g.role == WellRole::Sample) samples.push_back(g.name);
  }
  EXPECT_EQ(samples, (std::vector<std::string>{"P1", "P2", "P3", "P4", "P10"}));
  const GroupResult& p10 = Group(analysis, "P10");
  EXPECT_EQ(p10.wells.size(), 2u);
  EXPECT_EQ(p10.excludedWells, std::vector<int>{PlateWellOfName("A5")});
  EXPECT_EQ(p10.measuredWells, 1);
  EXPECT_EQ(GroupFlagLine(p10, analysis), "excluded: A5 (pipetting)");
  EXPECT_EQ(GroupFlagLine(Group(analysis, "P3"), analysis), "no value: D6");
  EXPECT_EQ(Group(analysis, "Standard 2000").measuredWells, 2);

  // Below the blank: no negative concentration, "< LLOQ".
  const GroupResult& p1 = Group(analysis, "P1");
  EXPECT_FALSE(p1.concentration);
  EXPECT_TRUE(p1.flags & kFlagBelowLloq);
  EXPECT_EQ(GroupFlagLine(p1, analysis), "< LLOQ; below the curve");
  EXPECT_EQ(GroupFlagLine(Group(analysis, "P2"), analysis), "< LLOQ; below the standards");
  EXPECT_EQ(GroupFlagLine(Group(analysis, "P4"), analysis),
            "< LLOQ (measured); below the standards");
  EXPECT_NEAR(*Group(analysis, "P4").concentration, 600, 15);

  const auto header = ResultsTableHeader(analysis);
  EXPECT_EQ(header[3], "Dilution");
  EXPECT_EQ(header[7], "Concentration (ug/mL)");
  EXPECT_EQ(header[8], "Recovery %");
  const std::string table = ResultsTableText(analysis, true);
  EXPECT_NE(table.find("P10\tsample\tA5 (excluded) A6\t1\t"), std::string::npos) << table;
  EXPECT_NE(table.find("D5 D6 (no value)"), std::string::npos);

  const nlohmann::ordered_json json = AnalysisJson(analysis);
  EXPECT_EQ(json["qc"]["verdict"], "Pass");
  EXPECT_EQ(json["qc"]["rules"][2]["rule"], "standards");
  EXPECT_EQ(json["lloq"], 125);
  EXPECT_EQ(json["excluded"][0], nlohmann::ordered_json({{"well", "A5"}, {"reason", "pipetting"}}));
  const auto& standard = json["groups"][2];
  EXPECT_EQ(standard["nominal"], 500);
  EXPECT_EQ(standard["recovery"].get<double>(),
            100 * standard["backCalculated"].get<double>() / 500);

  const std::string csv = AnalysisCsv(analysis, true);
  EXPECT_NE(csv.find("verdict;Pass\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("qc r2;passed;R²: "), std::string::npos);
  EXPECT_NE(csv.find("excluded;H3;bubble\n"), std::string::npos);

  // The same plate judged against a reagent-free blank limit fails on it.
  options.qc->blankMax = 0.1;
  const PlateAnalysis strict = AnalysePlate(plate.values, plate.layout, options);
  EXPECT_EQ(strict.qc->FailureLines(),
            std::vector<std::string>{"Blank: mean 0.300 OD above 0.100"});
}

TEST(QcRules, NewModelsFitAndDegenerateFitsAreRefused) {
  Plate plate = BradfordPlate();
  // Point-to-point passes through every level's mean: 100 % recovery.
  PlateAnalysis p2p = AnalysePlate(plate.values, plate.layout, {CurveModel::PointToPoint});
  ASSERT_TRUE(p2p.fit.fitted) << p2p.fit.failure;
  EXPECT_TRUE(p2p.fit.parameters.empty());
  EXPECT_NEAR(*Group(p2p, "Standard 1000").recovery, 100, 1e-9);
  EXPECT_NEAR(*Group(p2p, "P10").concentration, 600, 2);
  EXPECT_EQ(Group(p2p, "P1").flags & kFlagBelowCurve, kFlagBelowCurve);

  // A falling-then-rising series has no point-to-point curve.
  plate.values[PlateWellOfName("C1")] = plate.values[PlateWellOfName("C2")] =
      plate.values[PlateWellOfName("C3")] = 900;
  p2p = AnalysePlate(plate.values, plate.layout, {CurveModel::PointToPoint});
  EXPECT_FALSE(p2p.fit.fitted);
  EXPECT_NE(p2p.fit.failure.find("rise (or fall) throughout"), std::string::npos);

  // On that series the logistic fits run c off to infinity (the data show
  // no asymptote): refused with the reason, not shown as a curve.
  for (CurveModel model : {CurveModel::FourPL, CurveModel::FivePL}) {
    const PlateAnalysis fit = AnalysePlate(plate.values, plate.layout, {model});
    EXPECT_FALSE(fit.fit.fitted);
    EXPECT_TRUE(fit.fit.parameters.empty());
    EXPECT_NE(fit.fit.failure.find("the fit is degenerate: c = "), std::string::npos)
        << fit.fit.failure;
  }
}
