#include "analysis/qc.h"

namespace analysis {

std::vector<std::string> QcResult::FailureLines() const {
  std::vector<std::string> lines;
  for (const QcRuleResult& rule : rules) {
    if (!rule.passed) lines.push_back(rule.detail);
  }
  return lines;
}

}  // namespace analysis
