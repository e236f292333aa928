// The acceptance rules a lab applies to a plate with a standard curve, and
// their outcome. The rules live in the assay; the outcome in the plate's
// analysis (PlateAnalysis::qc), so every output can carry the verdict.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace analysis {

// Each rule is optional: an unset one is not checked. A default-made
// QcRules holds the usual immunoassay criteria, the defaults of a new assay.
struct QcRules {
  std::optional<double> blankMax = 0.100;            // OD, the blank mean
  std::optional<double> r2Min = 0.98;                // over the points fitted
  std::optional<double> recoveryPercent = 20;        // each level's mean, ±% of nominal
  std::optional<double> recoveryPercentAtEnds = 25;  // the lowest and highest level
  std::optional<double> levelsPassingShare = 0.75;   // share of levels that must pass
  std::optional<int> levelsMin = 4;                  // never fewer levels than this
  std::optional<double> cvMax = 20;                  // %, groups with two or more values
  bool controlsInRange = true;                       // controls within their layout range
  bool operator==(const QcRules&) const = default;
};

// One rule's outcome. rule: "fit", "blank", "r2", "standards", "cv",
// "controls". detail: the line a person reads, e.g. "Standards: 5 of 8
// levels within ±20 % (6 needed)"; the same form whether passed or not.
// A rule with nothing to check (no control on the plate) is not applicable:
// it neither passes nor fails the plate.
struct QcRuleResult {
  std::string rule;
  bool passed = true;
  std::string detail;
  bool applicable = true;
  std::string detailComma;  // detail with the decimal comma; empty: no number in it
  bool operator==(const QcRuleResult&) const = default;

  // "passed", "failed" or "not applicable".
  const char* Outcome() const {
    return !applicable ? "not applicable" : passed ? "passed" : "failed";
  }
  const std::string& Detail(bool decimalComma) const {
    return decimalComma && !detailComma.empty() ? detailComma : detail;
  }
};

struct QcResult {
  bool passed = true;               // every rule passed
  std::vector<QcRuleResult> rules;  // in the order above, only those checked
  // "Pass" or "Fail".
  const char* Verdict() const { return passed ? "Pass" : "Fail"; }
  // One line per rule broken; empty on a pass.
  std::vector<std::string> FailureLines(bool decimalComma = false) const;
};

struct PlateAnalysis;

// Whether a standard level's recovery (percent) is within the rules'
// limit; atEnd for the lowest and highest non-zero level. Without recovery
// limits in the rules, ±20 % (±25 % at the ends).
bool RecoveryPasses(const QcRules& rules, std::optional<double> recovery, bool atEnd);

// Judges an analysed plate (its standards' recovery, LLOQ/ULOQ and group
// flags already set by AnalysePlate) against the rules.
QcResult EvaluateQc(const PlateAnalysis& analysis, const QcRules& rules);

// "Pass" / "Fail".
inline const char* VerdictName(bool passed) {
  return passed ? "Pass" : "Fail";
}

}  // namespace analysis
