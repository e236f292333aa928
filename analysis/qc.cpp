#include "analysis/qc.h"

#include <cmath>

#include "analysis/number_format.h"
#include "analysis/plate_analysis.h"

namespace analysis {

namespace {

// Limits are shown as the user wrote them, without trailing zeros: ±20 %.
std::string Limit(double value, bool comma) {
  std::string text = FormatNumber(value);
  if (comma) {
    const size_t point = text.find('.');
    if (point != std::string::npos) text[point] = ',';
  }
  return text;
}

QcRuleResult Rule(const char* rule, bool passed, std::string detail) {
  QcRuleResult result;
  result.rule = rule;
  result.passed = passed;
  result.detail = std::move(detail);
  return result;
}

std::vector<const GroupResult*> NonZeroLevels(const PlateAnalysis& analysis) {
  std::vector<const GroupResult*> levels;
  for (const GroupResult& group : analysis.groups) {
    if (group.role == WellRole::Standard && group.expected && *group.expected > 0) {
      levels.push_back(&group);
    }
  }
  return levels;
}

QcRuleResult BlankRule(const PlateAnalysis& analysis, double limit, bool comma) {
  if (!analysis.blank) return Rule("blank", false, "Blank: no blank well with a value");
  const bool passed = *analysis.blank <= limit + 1e-12;
  return Rule("blank", passed,
              "Blank: mean " + FormatAbsorbance(analysis.blank, comma) + " " +
                  analysis.responseUnit + " " + (passed ? "(at most " : "above ") +
                  FormatAbsorbance(limit, comma) + (passed ? ")" : ""));
}

QcRuleResult R2Rule(const CurveFit& fit, double limit, bool comma) {
  const bool passed = fit.r2 >= limit;
  return Rule("r2", passed,
              "R²: " + FormatR2(fit.r2, comma) + (passed ? " (at least " : " below ") +
                  FormatR2(limit, comma) + (passed ? ")" : ""));
}

QcRuleResult StandardsRule(const PlateAnalysis& analysis, const QcRules& rules, bool comma) {
  const auto levels = NonZeroLevels(analysis);
  const int total = static_cast<int>(levels.size());
  int passing = 0;
  for (size_t i = 0; i < levels.size(); ++i) {
    passing += RecoveryPasses(rules, levels[i]->recovery, i == 0 || i + 1 == levels.size());
  }
  int needed = total;
  if (rules.levelsPassingShare) {
    needed = static_cast<int>(std::ceil(*rules.levelsPassingShare * total - 1e-9));
  }
  if (rules.levelsMin) needed = std::max(needed, *rules.levelsMin);
  const double limit = rules.recoveryPercent.value_or(rules.recoveryPercentAtEnds.value_or(20));
  return Rule("standards", passing >= needed,
              "Standards: " + std::to_string(passing) + " of " + std::to_string(total) +
                  " levels within ±" + Limit(limit, comma) + " % (" + std::to_string(needed) +
                  " needed)");
}

QcRuleResult CvRule(const PlateAnalysis& analysis, double limit, bool comma) {
  std::string over;
  int count = 0;
  int judged = 0;
  for (const GroupResult& group : analysis.groups) {
    if (!CvJudged(group)) continue;
    ++judged;
    if (*group.cv <= limit) continue;
    ++count;
    over += (over.empty() ? "" : ", ") + group.name + " " + FormatPercent(group.cv, comma) + " %";
  }
  if (judged == 0) {
    QcRuleResult rule = Rule("cv", true, "CV: no group with a CV to check");
    rule.applicable = false;
    return rule;
  }
  if (count == 0) return Rule("cv", true, "CV: every group within " + Limit(limit, comma) + " %");
  return Rule("cv", false,
              "CV: " + std::to_string(count) + (count == 1 ? " group" : " groups") + " above " +
                  Limit(limit, comma) + " % (" + over + ")");
}

QcRuleResult ControlsRule(const PlateAnalysis& analysis, bool comma) {
  int total = 0;
  std::string out;
  for (const GroupResult& group : analysis.groups) {
    if (group.role != WellRole::Control || !group.range) continue;
    ++total;
    // Without standards the range holds blank-corrected absorbance.
    const std::optional<double> value = analysis.hasStandards ? group.concentration : group.mean;
    const bool inRange = value && (group.flags & (kFlagControlLow | kFlagControlHigh)) == 0;
    if (inRange) continue;
    const std::string found = value ? FormatSignificant(value, 4, comma)
                              : (group.flags & kFlagOverRange) != 0 ? "over range"
                                                                    : "no value";
    out += (out.empty() ? "" : ", ") + group.name + " " + found + " not in " +
           Limit(group.range->low, comma) + "–" + Limit(group.range->high, comma);
  }
  if (total == 0) {
    QcRuleResult rule = Rule("controls", true, "Controls: no control with a range to check");
    rule.applicable = false;
    return rule;
  }
  if (out.empty()) {
    return Rule(
        "controls", true,
        "Controls: " + std::to_string(total) + " of " + std::to_string(total) + " within range");
  }
  return Rule("controls", false, "Controls: " + out);
}

std::vector<QcRuleResult> Rules(const PlateAnalysis& analysis, const QcRules& rules, bool comma) {
  std::vector<QcRuleResult> result;
  const bool curveRules = rules.r2Min || rules.recoveryPercent || rules.recoveryPercentAtEnds;
  if (curveRules && !analysis.fit.fitted) {
    const std::string why =
        analysis.hasStandards ? analysis.fit.failure : "The layout has no standards.";
    result.push_back(Rule("fit", false, "Curve: " + why));
  }
  if (rules.blankMax) result.push_back(BlankRule(analysis, *rules.blankMax, comma));
  if (analysis.fit.fitted) {
    if (rules.r2Min) result.push_back(R2Rule(analysis.fit, *rules.r2Min, comma));
    if (rules.recoveryPercent || rules.recoveryPercentAtEnds) {
      result.push_back(StandardsRule(analysis, rules, comma));
    }
  }
  if (rules.cvMax) result.push_back(CvRule(analysis, *rules.cvMax, comma));
  if (rules.controlsInRange) result.push_back(ControlsRule(analysis, comma));
  return result;
}

}  // namespace

bool RecoveryPasses(const QcRules& rules, std::optional<double> recovery, bool atEnd) {
  if (!recovery) return false;
  const double inner = rules.recoveryPercent.value_or(rules.recoveryPercentAtEnds.value_or(20));
  const double limit = atEnd ? rules.recoveryPercentAtEnds.value_or(inner) : inner;
  return std::abs(*recovery - 100) <= limit + 1e-9;
}

std::vector<std::string> QcResult::FailureLines(bool decimalComma) const {
  std::vector<std::string> lines;
  for (const QcRuleResult& rule : rules) {
    if (!rule.passed) lines.push_back(rule.Detail(decimalComma));
  }
  return lines;
}

QcResult EvaluateQc(const PlateAnalysis& analysis, const QcRules& rules) {
  QcResult result;
  result.rules = Rules(analysis, rules, false);
  // The same lines once more with the decimal comma, for whoever shows them so.
  const std::vector<QcRuleResult> comma = Rules(analysis, rules, true);
  for (size_t i = 0; i < result.rules.size() && i < comma.size(); ++i) {
    if (comma[i].detail != result.rules[i].detail) result.rules[i].detailComma = comma[i].detail;
  }
  for (const QcRuleResult& rule : result.rules) result.passed = result.passed && rule.passed;
  return result;
}

}  // namespace analysis
