// The analysis of a kinetic series: the same plate read again and again
// becomes, per well, an initial rate (enzymes) or growth parameters
// (bacteria). Each read is blank-corrected with the mean of its own blanks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/logistic_fit.h"
#include "analysis/plate_layout.h"

namespace analysis {

enum class KineticMode { Rate, Growth };

// "rate", "growth".
const char* KineticModeName(KineticMode mode);
std::optional<KineticMode> KineticModeFromName(std::string_view name);

inline constexpr int kDefaultKineticWindow = 5;
inline constexpr double kDefaultKineticR2Min = 0.95;

struct KineticOptions {
  KineticMode mode = KineticMode::Rate;
  int window = kDefaultKineticWindow;  // consecutive reads in the sliding window, >= 2
  double r2Min = kDefaultKineticR2Min;
  bool operator==(const KineticOptions&) const = default;
};

// One read of the series: seconds since the first read began, the values
// in thousandths of OD (kNoValue where there is none) and the wells the
// reader read above its range.
struct KineticRead {
  double seconds = 0;
  std::array<int32_t, kLayoutWells> values{};
  std::array<uint8_t, kLayoutWells> overRange{};
};

// The least-squares line through window consecutive points with the
// largest slope; first and last index the points given.
struct SlopeWindow {
  double slope = 0;
  double intercept = 0;
  double r2 = 0;
  int first = 0;
  int last = 0;
};

// nullopt with fewer than window points (or window < 2).
std::optional<SlopeWindow> MaxSlopeWindow(const std::vector<double>& t,
                                          const std::vector<double>& y, int window);

enum KineticFlag : unsigned {
  kKineticTooFewReads = 1u << 0,   // fewer reads with a value than the window
  kKineticPoorFit = 1u << 1,       // the window's R² below the limit
  kKineticAboveRange = 1u << 2,    // some read above the reader's range
  kKineticNegativeRate = 1u << 3,  // the steepest window still falls
  kKineticNoLogistic = 1u << 4,    // growth: the logistic did not converge
};

// "too few reads; R² below limit", "" for none.
std::string KineticFlagText(unsigned flags);

// Rate mode: times in minutes, the rate in mOD/min. Growth mode: times in
// hours, the rate is µmax per hour on ln(OD).
struct KineticWell {
  int well = 0;
  std::string name;
  WellRole role = WellRole::Empty;
  std::optional<double> rate;
  std::optional<double> r2;
  std::optional<double> windowStart;
  std::optional<double> windowEnd;
  std::optional<double> lag;  // where the tangent at the steepest window meets the first level
  std::optional<double> timeToMax;  // rate mode
  // Growth mode.
  std::optional<double> doublingTime;
  std::optional<double> k;    // the largest blank-corrected OD
  std::optional<double> auc;  // trapezoid, OD times hours
  std::optional<GrowthLogistic> logistic;
  std::optional<double> logisticAuc;  // over the series' time span
  unsigned flags = 0;
};

struct KineticAnalysis {
  KineticOptions options;
  std::vector<double> times;       // of each read, in the mode's unit
  std::vector<double> blanks;      // mean blank OD per read; empty without blanks
  std::vector<KineticWell> wells;  // the layout's wells (all 96 without a layout)
};

// With the analysis of the same series a read or more ago, each well's
// logistic fit starts where that one ended: the same fit in a few steps.
KineticAnalysis AnalyseKinetics(const std::vector<KineticRead>& reads, const PlateLayout* layout,
                                const KineticOptions& options,
                                const KineticAnalysis* before = nullptr);

}  // namespace analysis
