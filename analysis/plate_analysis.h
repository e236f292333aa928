// From 96 absorbances and a layout to the answer: blank correction,
// replicate statistics, the standard curve and back-calculated
// concentrations. Every number in a result is finite; what cannot be
// computed is absent (std::nullopt) and says why in a flag or a reason.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/plate_layout.h"
#include "analysis/qc.h"

namespace analysis {

// Quadratic: y = a + b x + c x^2. PointToPoint: straight lines between the
// standard levels' means.
enum class CurveModel { Linear, FourPL, FivePL, Quadratic, PointToPoint };
enum class Weighting { None, OneOverY, OneOverY2 };

// "linear", "4pl", "5pl", "quadratic", "point-to-point" and "none", "1/y",
// "1/y2": the names of the command line, the settings file and the assay.
const char* CurveModelName(CurveModel model);
const char* WeightingName(Weighting weighting);
std::optional<CurveModel> CurveModelFromName(std::string_view name);
std::optional<Weighting> WeightingFromName(std::string_view name);

// A well the user left out of the analysis (an outlier). It stays listed in
// its group and in every output, struck out, with the reason.
struct ExcludedWell {
  int well = 0;  // 0..95
  std::string reason;
  bool operator==(const ExcludedWell&) const = default;
};

struct AnalysisOptions {
  AnalysisOptions() = default;
  AnalysisOptions(CurveModel curve, Weighting weights = Weighting::None)
      : model(curve), weighting(weights) {}

  CurveModel model = CurveModel::FourPL;
  Weighting weighting = Weighting::None;
  std::vector<ExcludedWell> excluded;
  // The acceptance rules; without them there is no verdict (PlateAnalysis::qc),
  // and no LLOQ, ULOQ, CV or recovery flags.
  std::optional<QcRules> qc;
  // Set (by an assay): the table as a lab reports it, with these significant
  // digits for concentrations (analysis/number_format.h), a Dilution and a
  // Recovery column. Unset: the table as without an assay.
  std::optional<int> significantDigits;
  // What the wells' values are, in the QC lines: absorbances, or rates.
  std::string responseUnit = "OD";
};

struct FitParameter {
  std::string name;  // linear: "intercept", "slope"; logistic: "a", "b", "c", "d" (and "g")
  double value = 0;
};

// One standard well in the fit.
struct FitPoint {
  int well = 0;  // 0..95
  double concentration = 0;
  double response = 0;  // blank-corrected absorbance
  double fitted = 0;
  double residual = 0;  // response - fitted
};

struct CurveFit {
  CurveModel model = CurveModel::FourPL;
  Weighting weighting = Weighting::None;
  bool fitted = false;
  // Without a fit: "The standard curve cannot be fitted: ..." (or, when the
  // layout has no standards, "The layout has no standards.").
  std::string failure;
  // Linear: y = intercept + slope * x.
  // 4PL: y = d + (a - d) / (1 + (x / c)^b), b > 0, so a is the response at
  // zero concentration and d the one at infinite concentration.
  // 5PL: y = d + (a - d) / (1 + (x / c)^b)^g.
  // Quadratic: y = a + b x + c x^2 ("a", "b", "c"). Point-to-point: none.
  std::vector<FitParameter> parameters;
  double r2 = 0;  // weighted like the fit
  std::vector<FitPoint> points;
  int iterations = 0;
  // Point-to-point: the standard levels' (concentration, mean response),
  // ascending; the curve is the straight lines between them.
  std::vector<std::pair<double, double>> knots;

  // The concentration whose response is y, or nullopt where the curve
  // never reaches y (beyond an asymptote, a flat line, past a quadratic's
  // turn or a point-to-point curve's ends). May be negative for linear
  // and quadratic curves; the analysis never shows that.
  std::optional<double> Concentration(double response) const;
  // The curve's response at a concentration.
  double Response(double concentration) const;
};

// Why a group's numbers are as they are. A group may carry several.
enum GroupFlag : unsigned {
  kFlagNone = 0,
  kFlagWellsMissing = 1u << 0,    // some wells had no value (not measured, or out of range)
  kFlagNoValue = 1u << 1,         // no well had a value: no mean
  kFlagBelowStandards = 1u << 2,  // below the lowest non-zero standard: extrapolated
  kFlagAboveStandards = 1u << 3,  // above the highest standard: extrapolated
  kFlagBelowCurve = 1u << 4,      // beyond the curve's low end: no concentration
  kFlagAboveCurve = 1u << 5,      // beyond the curve's high end: no concentration
  kFlagControlLow = 1u << 6,      // a control below its expected range
  kFlagControlHigh = 1u << 7,     // a control above its expected range
  kFlagBelowLloq = 1u << 8,       // a sample or control below the LLOQ ("< LLOQ")
  kFlagAboveUloq = 1u << 9,       // a sample or control above the ULOQ ("> ULOQ")
  kFlagCvHigh = 1u << 10,         // CV above the assay's limit
  kFlagRecoveryOut = 1u << 11,    // a standard level outside its recovery limit
  kFlagWellsExcluded = 1u << 12,  // some wells were excluded by the user
  kFlagOverRange = 1u << 13,      // a well read above the reader's range: no mean
};

// "wells missing; below standards": the flags in words, "" for none.
std::string GroupFlagText(unsigned flags);

struct GroupResult {
  std::string name;
  WellRole role = WellRole::Sample;
  std::vector<int> wells;      // every well of the group, row-major order
  int measuredWells = 0;       // wells with a value
  std::optional<double> mean;  // blank-corrected absorbance
  std::optional<double> sd;    // needs two wells
  std::optional<double> cv;    // percent of |mean|; needs two wells and a mean not 0
  // Standards: the nominal concentration. Controls: nothing here (see range).
  std::optional<double> expected;
  std::optional<ExpectedRange> range;  // controls
  double dilution = 1;
  // Back-calculated from the mean, times the dilution.
  std::optional<double> concentration;
  // Standards: concentration / expected, in percent.
  std::optional<double> recovery;
  std::vector<int> missingWells;   // wells of the group without a value
  std::vector<int> excludedWells;  // wells the user excluded (reasons in PlateAnalysis)
  // Wells read above the reader's range. The group is stronger than its
  // other wells say, so it gets no mean, SD or concentration from them.
  std::vector<int> overRangeWells;
  unsigned flags = kFlagNone;
};

struct PlateAnalysis {
  // The mean of the blank wells with a value (absorbance), subtracted from
  // every well; nullopt when the layout has no blank with a value.
  std::optional<double> blank;
  int blankWells = 0;  // blank wells with a value
  CurveFit fit;        // fitted == false and no failure when there are no standards
  bool hasStandards = false;
  std::string unit;                 // from the layout
  std::string responseUnit = "OD";  // from the options
  // Standard levels (ascending concentration), then samples and controls
  // in the order they first appear on the plate.
  std::vector<GroupResult> groups;
  std::vector<ExcludedWell> excluded;  // as asked, in well order
  // The lowest and highest standard levels whose recovery passes (the
  // assay's limits, or ±20 % / ±25 % at the ends without an assay).
  std::optional<double> lloq;
  std::optional<double> uloq;
  std::optional<QcResult> qc;            // with QC rules only
  std::optional<int> significantDigits;  // from the options
};

// Well values as the plate record holds them: thousandths of absorbance,
// row-major, 9999 for a well without a value.
PlateAnalysis AnalysePlate(std::span<const int32_t, kLayoutWells> values, const PlateLayout& layout,
                           const AnalysisOptions& options);
// The same, knowing which wells read above the reader's range (1 there;
// their values hold 9999 like wells without a value).
PlateAnalysis AnalysePlate(std::span<const int32_t, kLayoutWells> values,
                           std::span<const uint8_t, kLayoutWells> overRange,
                           const PlateLayout& layout, const AnalysisOptions& options);

// The group's flags as an assay's table shows them: the wells without value
// and the excluded ones named ("no value: A3; over range: D7; excluded: A4
// (bubble)"), and
// "< LLOQ" / "> ULOQ", with "(measured)" on a diluted group because the
// limits apply to the value read, before the dilution.
std::string GroupFlagLine(const GroupResult& group, const PlateAnalysis& analysis);

// Whether the CV rule judges a group: one with a CV, but not the zero
// standard nor a group below the LLOQ, whose blank-corrected mean is about
// nothing and whose CV says nothing.
bool CvJudged(const GroupResult& group);

// The value-flags-unit text a person reads in a table: "12.5", "" for none.
std::string FormatNumber(std::optional<double> value);

}  // namespace analysis
