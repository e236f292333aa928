#include "analysis/plate_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "analysis/curve_fit.h"
#include "analysis/flag_text.h"
#include "analysis/number_format.h"

namespace analysis {

namespace {

constexpr int32_t kNoValueMark = 9999;  // the plate record's well without a value
// Back-calculated concentrations this close to a standard count as on it.
constexpr double kOnStandard = 1e-9;

// Mean, SD and CV of the wells with a value that were not excluded; none
// when a well of the group read above the range.
void SetStatistics(GroupResult& group, const std::array<std::optional<double>, kLayoutWells>& od,
                   const std::array<bool, kLayoutWells>& excluded,
                   std::span<const uint8_t, kLayoutWells> overRange) {
  std::vector<double> values;
  for (int well : group.wells) {
    if (excluded[well]) {
      group.excludedWells.push_back(well);
    } else if (od[well]) {
      values.push_back(*od[well]);
    } else if (overRange[well] != 0) {
      group.overRangeWells.push_back(well);
    } else {
      group.missingWells.push_back(well);
    }
  }
  group.measuredWells = static_cast<int>(values.size());
  if (!group.missingWells.empty()) group.flags |= kFlagWellsMissing;
  if (!group.excludedWells.empty()) group.flags |= kFlagWellsExcluded;
  if (!group.overRangeWells.empty()) {
    group.flags |= kFlagOverRange;
    return;
  }
  if (values.empty()) {
    group.flags = (group.flags & ~kFlagWellsMissing) | kFlagNoValue;
    return;
  }
  double sum = 0;
  for (double v : values) sum += v;
  const double mean = sum / static_cast<double>(values.size());
  group.mean = mean;
  if (values.size() < 2) return;
  double squares = 0;
  for (double v : values) squares += (v - mean) * (v - mean);
  group.sd = std::sqrt(squares / static_cast<double>(values.size() - 1));
  if (mean != 0) group.cv = 100 * *group.sd / std::abs(mean);
}

// Groups in their order: standard levels by concentration, then samples
// and controls as they first appear.
std::vector<GroupResult> CollectGroups(const PlateLayout& layout) {
  std::map<double, GroupResult> standards;
  std::vector<GroupResult> named;
  std::map<std::pair<WellRole, std::string>, size_t> namedIndex;
  for (int well = 0; well < kLayoutWells; ++well) {
    const WellContent& content = layout.wells[well];
    if (content.role == WellRole::Standard) {
      GroupResult& group = standards[*content.concentration];
      if (group.wells.empty()) {
        group.role = WellRole::Standard;
        group.expected = content.concentration;
        group.name =
            content.name.empty() ? "Standard " + FormatNumber(content.concentration) : content.name;
      }
      group.wells.push_back(well);
    } else if (content.role == WellRole::Sample || content.role == WellRole::Control) {
      const auto [it, added] =
          namedIndex.emplace(std::pair(content.role, content.name), named.size());
      if (added) {
        GroupResult group;
        group.name = content.name;
        group.role = content.role;
        group.dilution = content.dilution.value_or(1);
        group.range = content.range;
        named.push_back(group);
      }
      named[it->second].wells.push_back(well);
    }
  }
  // Samples before controls; samples by name as people count (S2 before
  // S10), controls by their nominal value, low before high, those without a
  // range last.
  const auto nominal = [](const GroupResult& group) {
    return group.range ? (group.range->low + group.range->high) / 2 : INFINITY;
  };
  std::stable_sort(named.begin(), named.end(), [&](const GroupResult& a, const GroupResult& b) {
    if (a.role != b.role) return a.role < b.role;
    if (a.role == WellRole::Control && nominal(a) != nominal(b)) return nominal(a) < nominal(b);
    return NaturalLess(a.name, b.name);
  });
  std::vector<GroupResult> groups;
  for (auto& [concentration, group] : standards) groups.push_back(std::move(group));
  for (auto& group : named) groups.push_back(std::move(group));
  return groups;
}

// Which end of the curve a response lies beyond: towards the lowest
// standard's response or away from it.
unsigned BeyondCurveFlag(const CurveFit& fit, double response, double lowest, double highest) {
  const double low = fit.Response(lowest);
  const double towardsFar = (response - low) * (fit.Response(highest) - low);
  return towardsFar <= 0 ? kFlagBelowCurve : kFlagAboveCurve;
}

// lab: with an assay, where a negative concentration is below the curve's
// range, not a result (without one it is shown, as it always was).
void BackCalculate(GroupResult& group, const CurveFit& fit, double lowestStandard,
                   double highestStandard, bool lab) {
  if (!group.mean) return;
  const std::optional<double> onCurve = fit.Concentration(*group.mean);
  if (!onCurve || (lab && *onCurve < 0)) {
    group.flags |=
        onCurve ? kFlagBelowCurve : BeyondCurveFlag(fit, *group.mean, 0, highestStandard);
    return;
  }
  // The standards make the range; their own scatter around it is no news.
  if (group.role != WellRole::Standard) {
    if (*onCurve < lowestStandard * (1 - kOnStandard)) group.flags |= kFlagBelowStandards;
    if (*onCurve > highestStandard * (1 + kOnStandard)) group.flags |= kFlagAboveStandards;
  }
  const double concentration = *onCurve * group.dilution;
  if (std::isfinite(concentration)) group.concentration = concentration;
  if (group.role == WellRole::Standard && group.expected && *group.expected > 0) {
    group.recovery = 100 * *onCurve / *group.expected;
  }
}

// LLOQ and ULOQ: the lowest and highest non-zero levels whose recovery
// passes. With QC rules the failing levels are flagged.
void SetQuantitationLimits(PlateAnalysis& result, const QcRules& rules, bool flag) {
  std::vector<GroupResult*> levels;
  for (GroupResult& group : result.groups) {
    if (group.role == WellRole::Standard && group.expected && *group.expected > 0) {
      levels.push_back(&group);
    }
  }
  for (size_t i = 0; i < levels.size(); ++i) {
    GroupResult& level = *levels[i];
    const bool passes = RecoveryPasses(rules, level.recovery, i == 0 || i + 1 == levels.size());
    if (!passes && flag) level.flags |= kFlagRecoveryOut;
    if (!passes) continue;
    if (!result.lloq) result.lloq = level.expected;
    result.uloq = level.expected;
  }
}

// "< LLOQ" / "> ULOQ" on what was read (before the dilution), and CVs over
// the limit.
void FlagAgainstRules(PlateAnalysis& result, const QcRules& rules) {
  for (GroupResult& group : result.groups) {
    if (group.role != WellRole::Standard && group.mean && result.fit.fitted) {
      const std::optional<double> read =
          group.concentration ? std::optional(*group.concentration / group.dilution) : std::nullopt;
      const bool below = (group.flags & kFlagBelowCurve) ||
                         (read && result.lloq && *read < *result.lloq * (1 - kOnStandard));
      const bool above = (group.flags & kFlagAboveCurve) ||
                         (read && result.uloq && *read > *result.uloq * (1 + kOnStandard));
      if (below) group.flags |= kFlagBelowLloq;
      if (above) group.flags |= kFlagAboveUloq;
    }
    if (rules.cvMax && group.cv && *group.cv > *rules.cvMax && CvJudged(group)) {
      group.flags |= kFlagCvHigh;
    }
  }
}

void CheckControl(GroupResult& group, std::optional<double> measured) {
  if (!group.range || !measured) return;
  if (*measured < group.range->low) group.flags |= kFlagControlLow;
  if (*measured > group.range->high) group.flags |= kFlagControlHigh;
}

}  // namespace

std::string GroupFlagText(unsigned flags) {
  static const std::pair<unsigned, const char*> kTexts[] = {
      {kFlagNoValue, "no value"},
      {kFlagWellsMissing, "wells without value"},
      {kFlagBelowCurve, "below the curve"},
      {kFlagAboveCurve, "above the curve"},
      {kFlagBelowStandards, "below the standards"},
      {kFlagAboveStandards, "above the standards"},
      {kFlagControlLow, "control low"},
      {kFlagControlHigh, "control high"},
      {kFlagBelowLloq, "< LLOQ"},
      {kFlagAboveUloq, "> ULOQ"},
      {kFlagCvHigh, "CV high"},
      {kFlagRecoveryOut, "recovery out of limits"},
      {kFlagWellsExcluded, "wells excluded"},
      {kFlagOverRange, "over range"},
  };
  return FlagText(flags, kTexts);
}

bool CvJudged(const GroupResult& group) {
  if (group.role == WellRole::Standard && group.expected == 0.0) return false;
  return (group.flags & (kFlagBelowLloq | kFlagBelowCurve)) == 0 && group.cv.has_value();
}

std::string GroupFlagLine(const GroupResult& group, const PlateAnalysis& analysis) {
  std::vector<std::string> parts;
  const auto wells = [](const std::vector<int>& list) {
    std::string text;
    for (int well : list) text += (text.empty() ? "" : " ") + WellName(well);
    return text;
  };
  if (!group.missingWells.empty()) {
    parts.push_back("no value: " + wells(group.missingWells));
  } else if (group.flags & kFlagNoValue) {
    parts.push_back("no value");
  }
  if (!group.overRangeWells.empty()) parts.push_back("over range: " + wells(group.overRangeWells));
  for (int well : group.excludedWells) {
    for (const ExcludedWell& e : analysis.excluded) {
      if (e.well != well) continue;
      parts.push_back("excluded: " + WellName(well) +
                      (e.reason.empty() ? "" : " (" + e.reason + ")"));
    }
  }
  const char* measured = group.dilution != 1 ? " (measured)" : "";
  if (group.flags & kFlagBelowLloq) parts.push_back(std::string("< LLOQ") + measured);
  if (group.flags & kFlagAboveUloq) parts.push_back(std::string("> ULOQ") + measured);
  const unsigned rest = group.flags & ~(kFlagNoValue | kFlagWellsMissing | kFlagWellsExcluded |
                                        kFlagBelowLloq | kFlagAboveUloq | kFlagOverRange);
  const std::string others = GroupFlagText(rest);
  if (!others.empty()) parts.push_back(others);
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

std::string FormatNumber(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return "";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", *value);
  return text;
}

PlateAnalysis AnalysePlate(std::span<const int32_t, kLayoutWells> values, const PlateLayout& layout,
                           const AnalysisOptions& options) {
  static constexpr std::array<uint8_t, kLayoutWells> kNoneOverRange{};
  return AnalysePlate(values, kNoneOverRange, layout, options);
}

PlateAnalysis AnalysePlate(std::span<const int32_t, kLayoutWells> values,
                           std::span<const uint8_t, kLayoutWells> overRange,
                           const PlateLayout& layout, const AnalysisOptions& options) {
  PlateAnalysis result;
  result.unit = layout.unit;
  result.significantDigits = options.significantDigits;
  result.responseUnit = options.responseUnit;
  const bool lab = options.qc || options.significantDigits;

  std::array<bool, kLayoutWells> excluded{};
  for (const ExcludedWell& e : options.excluded) {
    if (e.well < 0 || e.well >= kLayoutWells || excluded[e.well]) continue;
    excluded[e.well] = true;
    result.excluded.push_back(e);
  }
  std::sort(result.excluded.begin(), result.excluded.end(),
            [](const ExcludedWell& a, const ExcludedWell& b) { return a.well < b.well; });

  std::array<std::optional<double>, kLayoutWells> od;
  for (int well = 0; well < kLayoutWells; ++well) {
    if (values[well] != kNoValueMark) od[well] = values[well] / 1000.0;
  }

  double blankSum = 0;
  for (int well = 0; well < kLayoutWells; ++well) {
    if (layout.wells[well].role == WellRole::Blank && od[well] && !excluded[well]) {
      blankSum += *od[well];
      ++result.blankWells;
    }
  }
  if (result.blankWells > 0) {
    result.blank = blankSum / result.blankWells;
    for (auto& value : od) {
      if (value) *value -= *result.blank;
    }
  }

  result.groups = CollectGroups(layout);
  std::vector<FitPoint> points;
  double lowestStandard = INFINITY, highestStandard = 0;
  for (const GroupResult& group : result.groups) {
    if (group.role != WellRole::Standard) continue;
    result.hasStandards = true;
    const double x = *group.expected;
    if (x > 0) lowestStandard = std::min(lowestStandard, x);
    highestStandard = std::max(highestStandard, x);
    for (int well : group.wells) {
      if (od[well] && !excluded[well]) points.push_back({well, x, *od[well], 0, 0});
    }
  }

  for (GroupResult& group : result.groups) SetStatistics(group, od, excluded, overRange);

  result.fit.model = options.model;
  result.fit.weighting = options.weighting;
  if (!result.hasStandards) {
    result.fit.failure = "The layout has no standards.";
    for (GroupResult& group : result.groups) CheckControl(group, group.mean);
  } else {
    result.fit = FitStandardCurve(std::move(points), options.model, options.weighting);
    if (result.fit.fitted) {
      for (GroupResult& group : result.groups) {
        BackCalculate(group, result.fit, lowestStandard, highestStandard, lab);
        if (group.role == WellRole::Control) CheckControl(group, group.concentration);
      }
      SetQuantitationLimits(result, options.qc.value_or(QcRules{}), options.qc.has_value());
    }
  }
  if (options.qc) {
    FlagAgainstRules(result, *options.qc);
    result.qc = EvaluateQc(result, *options.qc);
  }
  return result;
}

}  // namespace analysis
