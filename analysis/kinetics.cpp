#include "analysis/kinetics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/flag_text.h"
#include "results/shared_state.h"

namespace analysis {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A well's points that carry a value, in the mode's time unit.
struct Points {
  std::vector<double> t;
  std::vector<double> y;
};

SlopeWindow LineThrough(const double* t, const double* y, int n) {
  double meanT = 0, meanY = 0;
  for (int i = 0; i < n; ++i) meanT += t[i], meanY += y[i];
  meanT /= n;
  meanY /= n;
  double stt = 0, sty = 0, syy = 0;
  for (int i = 0; i < n; ++i) {
    const double dt = t[i] - meanT, dy = y[i] - meanY;
    stt += dt * dt;
    sty += dt * dy;
    syy += dy * dy;
  }
  SlopeWindow line;
  if (stt <= 0) {
    line.slope = kNaN;
    return line;
  }
  line.slope = sty / stt;
  line.intercept = meanY - line.slope * meanT;
  // A flat line through flat points explains all there is to explain.
  line.r2 = syy > 0 ? sty * sty / (stt * syy) : 1;
  return line;
}

// The mean blank at each read; NaN where no blank has a value.
std::vector<double> BlankMeans(const std::vector<KineticRead>& reads, const PlateLayout* layout) {
  std::vector<double> means;
  if (!layout) return means;
  bool any = false;
  for (const KineticRead& read : reads) {
    double sum = 0;
    int count = 0;
    for (int well = 0; well < kLayoutWells; ++well) {
      if (layout->wells[well].role != WellRole::Blank) continue;
      if (read.values[well] == kNoValue || read.overRange[well]) continue;
      sum += read.values[well] / 1000.0;
      ++count;
    }
    means.push_back(count > 0 ? sum / count : kNaN);
    any = any || count > 0;
  }
  if (!any) means.clear();
  return means;
}

void Rate(KineticWell& well, const Points& points, const KineticOptions& options) {
  // mOD against minutes: the slope is the rate itself.
  std::vector<double> mod(points.y.size());
  for (size_t i = 0; i < mod.size(); ++i) mod[i] = points.y[i] * 1000;
  const auto window = MaxSlopeWindow(points.t, mod, options.window);
  if (!window) {
    well.flags |= kKineticTooFewReads;
    return;
  }
  well.rate = window->slope;
  well.r2 = window->r2;
  well.windowStart = points.t[window->first];
  well.windowEnd = points.t[window->last];
  if (window->slope > 0) {
    well.lag = std::max(points.t.front(), (mod.front() - window->intercept) / window->slope);
  } else if (window->slope < 0) {
    well.flags |= kKineticNegativeRate;
  }
  const auto highest = std::max_element(points.y.begin(), points.y.end());
  well.timeToMax = points.t[static_cast<size_t>(highest - points.y.begin())];
  if (window->r2 < options.r2Min) well.flags |= kKineticPoorFit;
}

void Growth(KineticWell& well, const Points& points, const KineticOptions& options,
            const std::optional<GrowthLogistic>& start) {
  if (points.y.empty()) {
    well.flags |= kKineticTooFewReads;
    return;
  }
  well.k = *std::max_element(points.y.begin(), points.y.end());
  double auc = 0;
  for (size_t i = 1; i < points.t.size(); ++i) {
    auc += (points.t[i] - points.t[i - 1]) * (points.y[i] + points.y[i - 1]) / 2;
  }
  well.auc = auc;

  // ln(OD) only where there is some: a blank-corrected zero has no logarithm.
  Points logs;
  for (size_t i = 0; i < points.t.size(); ++i) {
    if (points.y[i] <= 0) continue;
    logs.t.push_back(points.t[i]);
    logs.y.push_back(std::log(points.y[i]));
  }
  const auto window = MaxSlopeWindow(logs.t, logs.y, options.window);
  if (!window) {
    well.flags |= kKineticTooFewReads;
    return;
  }
  well.rate = window->slope;
  well.r2 = window->r2;
  well.windowStart = logs.t[window->first];
  well.windowEnd = logs.t[window->last];
  if (window->r2 < options.r2Min) well.flags |= kKineticPoorFit;
  if (window->slope <= 0) {
    if (window->slope < 0) well.flags |= kKineticNegativeRate;
    return;
  }
  well.doublingTime = std::log(2.0) / window->slope;
  well.lag = std::max(points.t.front(), (logs.y.front() - window->intercept) / window->slope);

  if (well.role == WellRole::Blank) return;  // broth without cells: nothing to fit
  LogisticFitResult fit = FitGrowthLogistic(points.t, points.y, start, window->slope);
  // Started from an earlier fit that no longer suits: from the data, as always.
  if (!fit.converged && start)
    fit = FitGrowthLogistic(points.t, points.y, std::nullopt, window->slope);
  if (!fit.converged) {
    well.flags |= kKineticNoLogistic;
    return;
  }
  well.logistic = fit.curve;
  well.logisticAuc = fit.curve.Area(points.t.front(), points.t.back());
}

}  // namespace

const char* KineticModeName(KineticMode mode) {
  return mode == KineticMode::Growth ? "growth" : "rate";
}

std::optional<KineticMode> KineticModeFromName(std::string_view name) {
  if (name == "rate") return KineticMode::Rate;
  if (name == "growth") return KineticMode::Growth;
  return std::nullopt;
}

std::optional<SlopeWindow> MaxSlopeWindow(const std::vector<double>& t,
                                          const std::vector<double>& y, int window) {
  const int n = static_cast<int>(std::min(t.size(), y.size()));
  if (window < 2 || n < window) return std::nullopt;
  std::optional<SlopeWindow> best;
  for (int first = 0; first + window <= n; ++first) {
    SlopeWindow line = LineThrough(&t[first], &y[first], window);
    if (std::isnan(line.slope)) continue;
    line.first = first;
    line.last = first + window - 1;
    if (!best || line.slope > best->slope) best = line;
  }
  return best;
}

std::string KineticFlagText(unsigned flags) {
  static constexpr std::pair<unsigned, const char*> kTexts[] = {
      {kKineticTooFewReads, "too few reads"},  {kKineticPoorFit, "R² below limit"},
      {kKineticAboveRange, "above range"},     {kKineticNegativeRate, "negative rate"},
      {kKineticNoLogistic, "no logistic fit"},
  };
  return FlagText(flags, kTexts);
}

KineticAnalysis AnalyseKinetics(const std::vector<KineticRead>& reads, const PlateLayout* layout,
                                const KineticOptions& options, const KineticAnalysis* before) {
  std::array<std::optional<GrowthLogistic>, kLayoutWells> starts;
  if (before && before->options.mode == KineticMode::Growth) {
    for (const KineticWell& well : before->wells) starts[well.well] = well.logistic;
  }
  KineticAnalysis result;
  result.options = options;
  const double unitSeconds = options.mode == KineticMode::Growth ? 3600 : 60;
  for (const KineticRead& read : reads) result.times.push_back(read.seconds / unitSeconds);
  result.blanks = BlankMeans(reads, layout);

  for (int index = 0; index < kLayoutWells; ++index) {
    KineticWell well;
    well.well = index;
    if (layout) {
      const WellContent& content = layout->wells[index];
      if (content.role == WellRole::Empty) continue;
      well.role = content.role;
      well.name = content.name;
    }
    Points points;
    for (size_t i = 0; i < reads.size(); ++i) {
      const KineticRead& read = reads[i];
      if (read.overRange[index]) well.flags |= kKineticAboveRange;
      if (read.values[index] == kNoValue || read.overRange[index]) continue;
      const double blank = result.blanks.empty() ? 0 : result.blanks[i];
      if (std::isnan(blank)) continue;  // this read's blanks had no value
      points.t.push_back(result.times[i]);
      points.y.push_back(read.values[index] / 1000.0 - blank);
    }
    if (options.mode == KineticMode::Growth) {
      Growth(well, points, options, starts[index]);
    } else {
      Rate(well, points, options);
    }
    result.wells.push_back(std::move(well));
  }
  return result;
}

}  // namespace analysis
