#include "analysis/plate_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "analysis/curve_fit.h"
#include "analysis/logistic_curve.h"

namespace analysis {

namespace {

constexpr int32_t kNoValueMark = 9999;  // the plate record's well without a value
// Back-calculated concentrations this close to a standard count as on it.
constexpr double kOnStandard = 1e-9;

double Parameter(const CurveFit& fit, const char* name) {
  for (const FitParameter& p : fit.parameters) {
    if (p.name == name) return p.value;
  }
  return 0;
}

LogisticCurve Logistic(const CurveFit& fit) {
  LogisticCurve curve{Parameter(fit, "a"), Parameter(fit, "b"), Parameter(fit, "c"),
                      Parameter(fit, "d"), 1.0};
  if (fit.model == CurveModel::FivePL) curve.g = Parameter(fit, "g");
  return curve;
}

// Mean, SD and CV of the wells with a value.
void SetStatistics(GroupResult& group, const std::array<std::optional<double>, kLayoutWells>& od) {
  std::vector<double> values;
  for (int well : group.wells) {
    if (od[well]) values.push_back(*od[well]);
  }
  group.measuredWells = static_cast<int>(values.size());
  if (values.size() < group.wells.size()) group.flags |= kFlagWellsMissing;
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
  std::vector<GroupResult> groups;
  for (auto& [concentration, group] : standards) groups.push_back(std::move(group));
  for (auto& group : named) groups.push_back(std::move(group));
  return groups;
}

// Which end of the curve a response lies beyond.
unsigned BeyondCurveFlag(const CurveFit& fit, double response) {
  const LogisticCurve curve = Logistic(fit);
  const double towardsFar = (response - curve.ZeroEnd()) * (curve.FarEnd() - curve.ZeroEnd());
  return towardsFar <= 0 ? kFlagBelowCurve : kFlagAboveCurve;
}

void BackCalculate(GroupResult& group, const CurveFit& fit, double lowestStandard,
                   double highestStandard) {
  if (!group.mean) return;
  const std::optional<double> onCurve = fit.Concentration(*group.mean);
  if (!onCurve) {
    group.flags |= BeyondCurveFlag(fit, *group.mean);
    return;
  }
  // The standards make the range; their own scatter around it is no news.
  if (group.role != WellRole::Standard) {
    if (*onCurve < lowestStandard * (1 - kOnStandard)) group.flags |= kFlagBelowStandards;
    if (*onCurve > highestStandard * (1 + kOnStandard)) group.flags |= kFlagAboveStandards;
  }
  const double concentration = *onCurve * group.dilution;
  if (std::isfinite(concentration)) group.concentration = concentration;
}

void CheckControl(GroupResult& group, std::optional<double> measured) {
  if (!group.range || !measured) return;
  if (*measured < group.range->low) group.flags |= kFlagControlLow;
  if (*measured > group.range->high) group.flags |= kFlagControlHigh;
}

}  // namespace

const char* CurveModelName(CurveModel model) {
  switch (model) {
    case CurveModel::Linear:
      return "linear";
    case CurveModel::FourPL:
      return "4pl";
    case CurveModel::Quadratic:
      return "quadratic";
    case CurveModel::PointToPoint:
      return "point-to-point";
    case CurveModel::FivePL:
      break;
  }
  return "5pl";
}

const char* WeightingName(Weighting weighting) {
  switch (weighting) {
    case Weighting::OneOverY:
      return "1/y";
    case Weighting::OneOverY2:
      return "1/y2";
    case Weighting::None:
      break;
  }
  return "none";
}

std::optional<CurveModel> CurveModelFromName(std::string_view name) {
  for (CurveModel model : {CurveModel::Linear, CurveModel::FourPL, CurveModel::FivePL,
                           CurveModel::Quadratic, CurveModel::PointToPoint}) {
    if (name == CurveModelName(model)) return model;
  }
  return std::nullopt;
}

std::optional<Weighting> WeightingFromName(std::string_view name) {
  for (Weighting weighting : {Weighting::None, Weighting::OneOverY, Weighting::OneOverY2}) {
    if (name == WeightingName(weighting)) return weighting;
  }
  return std::nullopt;
}

double CurveFit::Response(double concentration) const {
  if (model == CurveModel::Linear) {
    return Parameter(*this, "intercept") + Parameter(*this, "slope") * concentration;
  }
  return Logistic(*this).Response(concentration);
}

std::optional<double> CurveFit::Concentration(double response) const {
  if (!fitted) return std::nullopt;
  if (model != CurveModel::Linear) return Logistic(*this).Concentration(response);
  const double slope = Parameter(*this, "slope");
  const double x = (response - Parameter(*this, "intercept")) / slope;
  if (slope == 0 || !std::isfinite(x)) return std::nullopt;
  return x;
}

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
  };
  std::string text;
  for (const auto& [flag, words] : kTexts) {
    if ((flags & flag) == 0) continue;
    if (!text.empty()) text += "; ";
    text += words;
  }
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
  PlateAnalysis result;
  result.unit = layout.unit;

  std::array<std::optional<double>, kLayoutWells> od;
  for (int well = 0; well < kLayoutWells; ++well) {
    if (values[well] != kNoValueMark) od[well] = values[well] / 1000.0;
  }

  double blankSum = 0;
  for (int well = 0; well < kLayoutWells; ++well) {
    if (layout.wells[well].role == WellRole::Blank && od[well]) {
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
      if (od[well]) points.push_back({well, x, *od[well], 0, 0});
    }
  }

  for (GroupResult& group : result.groups) SetStatistics(group, od);

  result.fit.model = options.model;
  result.fit.weighting = options.weighting;
  if (!result.hasStandards) {
    result.fit.failure = "The layout has no standards.";
    for (GroupResult& group : result.groups) CheckControl(group, group.mean);
    return result;
  }
  result.fit = FitStandardCurve(std::move(points), options.model, options.weighting);
  if (!result.fit.fitted) return result;
  for (GroupResult& group : result.groups) {
    BackCalculate(group, result.fit, lowestStandard, highestStandard);
    if (group.role == WellRole::Control) CheckControl(group, group.concentration);
  }
  return result;
}

}  // namespace analysis
