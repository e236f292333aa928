#include "analysis/analysis_report.h"

#include <algorithm>

#include "analysis/number_format.h"
#include "results/csv_table.h"

namespace analysis {

namespace {

std::string Number(std::optional<double> value, bool decimalComma) {
  std::string text = FormatNumber(value);
  if (decimalComma) {
    for (char& c : text) {
      if (c == '.') c = ',';
    }
  }
  return text;
}

std::string WellList(const std::vector<int>& wells) {
  std::string text;
  for (int well : wells) {
    if (!text.empty()) text += ' ';
    text += WellName(well);
  }
  return text;
}

nlohmann::ordered_json OrNull(std::optional<double> value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

bool Lab(const PlateAnalysis& analysis) {
  return analysis.significantDigits.has_value();
}

NumberStyle Style(const PlateAnalysis& analysis, bool decimalComma) {
  return {analysis.significantDigits.value_or(kDefaultSignificantDigits), decimalComma};
}

bool Contains(const std::vector<int>& wells, int well) {
  return std::find(wells.begin(), wells.end(), well) != wells.end();
}

// Every well of the group; those without value, over range and excluded marked.
std::string MarkedWellList(const GroupResult& group) {
  std::string text;
  for (int well : group.wells) {
    if (!text.empty()) text += ' ';
    text += WellName(well);
    if (Contains(group.missingWells, well)) text += " (no value)";
    if (Contains(group.overRangeWells, well)) text += " (over range)";
    if (Contains(group.excludedWells, well)) text += " (excluded)";
  }
  return text;
}

std::vector<std::string> LabRow(const GroupResult& group, const PlateAnalysis& analysis,
                                bool decimalComma) {
  const NumberStyle style = Style(analysis, decimalComma);
  return {group.name,
          WellRoleName(group.role),
          MarkedWellList(group),
          group.role == WellRole::Standard ? "" : Number(group.dilution, decimalComma),
          FormatAbsorbance(group.mean, decimalComma),
          FormatAbsorbance(group.sd, decimalComma),
          FormatPercent(group.cv, decimalComma),
          FormatConcentration(group.concentration, style),
          FormatPercent(group.recovery, decimalComma),
          GroupFlagLine(group, analysis)};
}

nlohmann::ordered_json WellNames(const std::vector<int>& wells) {
  nlohmann::ordered_json names = nlohmann::ordered_json::array();
  for (int well : wells) names.push_back(WellName(well));
  return names;
}

// The flags in words, the wells read above the range named: "over range: D7".
std::string FlagText(const GroupResult& group) {
  std::string text = GroupFlagText(group.flags & ~kFlagOverRange);
  if (group.overRangeWells.empty()) return text;
  std::string over = "over range:";
  for (int well : group.overRangeWells) over += " " + WellName(well);
  return text.empty() ? over : over + "; " + text;
}

nlohmann::ordered_json GroupJson(const GroupResult& group) {
  nlohmann::ordered_json wells = nlohmann::ordered_json::array();
  for (int well : group.wells) wells.push_back(WellName(well));
  const std::string flag = FlagText(group);
  nlohmann::ordered_json json = {
      {"name", group.name},
      {"role", WellRoleName(group.role)},
      {"wells", wells},
      {"mean", OrNull(group.mean)},
      {"sd", OrNull(group.sd)},
      {"cv", OrNull(group.cv)},
      {"concentration", OrNull(group.concentration)},
      {"flag", flag.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(flag)},
  };
  if (group.role == WellRole::Standard) {
    json["expected"] = OrNull(group.expected);
    json["nominal"] = OrNull(group.expected);
    json["backCalculated"] = OrNull(group.concentration);
    json["recovery"] = OrNull(group.recovery);
  }
  if (group.dilution != 1) json["dilution"] = group.dilution;
  if (group.range) json["range"] = {group.range->low, group.range->high};
  if (!group.missingWells.empty()) json["noValue"] = WellNames(group.missingWells);
  if (!group.overRangeWells.empty()) json["overRange"] = WellNames(group.overRangeWells);
  if (!group.excludedWells.empty()) json["excluded"] = WellNames(group.excludedWells);
  return json;
}

nlohmann::ordered_json FitJson(const CurveFit& fit) {
  nlohmann::ordered_json json = {{"model", CurveModelName(fit.model)},
                                 {"weighting", WeightingName(fit.weighting)}};
  if (!fit.fitted) {
    json["failure"] = fit.failure;
    return json;
  }
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  for (const FitParameter& p : fit.parameters) parameters[p.name] = p.value;
  nlohmann::ordered_json residuals = nlohmann::ordered_json::array();
  for (const FitPoint& p : fit.points) {
    residuals.push_back({{"well", WellName(p.well)},
                         {"concentration", p.concentration},
                         {"response", p.response},
                         {"fitted", p.fitted},
                         {"residual", p.residual}});
  }
  json["parameters"] = parameters;
  json["r2"] = fit.r2;
  json["residuals"] = residuals;
  return json;
}

nlohmann::ordered_json QcJson(const QcResult& qc) {
  nlohmann::ordered_json rules = nlohmann::ordered_json::array();
  for (const QcRuleResult& rule : qc.rules) {
    rules.push_back({{"rule", rule.rule}, {"passed", rule.passed}, {"detail", rule.detail}});
    if (!rule.applicable) rules.back()["applicable"] = false;
  }
  return {{"verdict", qc.Verdict()}, {"rules", rules}};
}

}  // namespace

std::vector<std::string> ResultsTableHeader(const PlateAnalysis& analysis) {
  if (!Lab(analysis)) return ResultsTableHeader();
  const std::string unit = analysis.unit.empty() ? "" : " (" + analysis.unit + ")";
  return {"Name",       "Role", "Wells", "Dilution", "Mean", "SD", "CV %", "Concentration" + unit,
          "Recovery %", "Flag"};
}

std::string FitSummary(const CurveFit& fit, const NumberStyle& style) {
  if (!fit.fitted) return fit.failure;
  std::string text;
  for (const FitParameter& p : fit.parameters) {
    if (!text.empty()) text += ", ";
    text += p.name + " = " + FormatConcentration(p.value, style);
  }
  return text + (text.empty() ? "" : ", ") + "R² = " + FormatR2(fit.r2, style.decimalComma);
}

const std::vector<std::string>& ResultsTableHeader() {
  static const std::vector<std::string> kHeader = {"Name", "Role", "Wells",         "Mean",
                                                   "SD",   "CV %", "Concentration", "Flag"};
  return kHeader;
}

std::vector<std::vector<std::string>> ResultsTableRows(const PlateAnalysis& analysis,
                                                       bool decimalComma) {
  std::vector<std::vector<std::string>> rows;
  for (const GroupResult& group : analysis.groups) {
    if (Lab(analysis)) {
      rows.push_back(LabRow(group, analysis, decimalComma));
      continue;
    }
    rows.push_back({group.name, WellRoleName(group.role), WellList(group.wells),
                    Number(group.mean, decimalComma), Number(group.sd, decimalComma),
                    Number(group.cv, decimalComma), Number(group.concentration, decimalComma),
                    FlagText(group)});
  }
  return rows;
}

std::string ResultsTableText(const PlateAnalysis& analysis, bool decimalComma) {
  std::vector<std::vector<std::string>> rows = ResultsTableRows(analysis, decimalComma);
  rows.insert(rows.begin(), ResultsTableHeader(analysis));
  std::string text;
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += '\t';
      text += row[i];
    }
    text += "\r\n";
  }
  return text;
}

nlohmann::ordered_json AnalysisJson(const PlateAnalysis& analysis) {
  nlohmann::ordered_json groups = nlohmann::ordered_json::array();
  for (const GroupResult& group : analysis.groups) groups.push_back(GroupJson(group));
  nlohmann::ordered_json json = {
      {"blank", OrNull(analysis.blank)},
      {"unit", analysis.unit.empty() ? nlohmann::ordered_json(nullptr)
                                     : nlohmann::ordered_json(analysis.unit)},
      {"fit", FitJson(analysis.fit)},
      {"lloq", OrNull(analysis.lloq)},
      {"uloq", OrNull(analysis.uloq)}};
  if (analysis.qc) json["qc"] = QcJson(*analysis.qc);
  if (!analysis.excluded.empty()) {
    nlohmann::ordered_json excluded = nlohmann::ordered_json::array();
    for (const ExcludedWell& e : analysis.excluded) {
      excluded.push_back({{"well", WellName(e.well)}, {"reason", e.reason}});
    }
    json["excluded"] = excluded;
  }
  json["groups"] = groups;
  return json;
}

std::string AnalysisCsv(const PlateAnalysis& analysis, bool decimalComma) {
  const char sep = decimalComma ? ';' : ',';
  std::string csv;
  const auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) csv += sep;
      csv += CsvCellText(cells[i], sep);
    }
    csv += '\n';
  };
  const bool lab = Lab(analysis);
  const NumberStyle style = Style(analysis, decimalComma);
  line({"blank", lab ? FormatAbsorbance(analysis.blank, decimalComma)
                     : Number(analysis.blank, decimalComma)});
  line({"unit", analysis.unit});
  line({"fit", CurveModelName(analysis.fit.model)});
  line({"weighting", WeightingName(analysis.fit.weighting)});
  if (analysis.fit.fitted) {
    for (const FitParameter& p : analysis.fit.parameters) {
      line({p.name, lab ? FormatConcentration(p.value, style) : Number(p.value, decimalComma)});
    }
    line({"r2",
          lab ? FormatR2(analysis.fit.r2, decimalComma) : Number(analysis.fit.r2, decimalComma)});
  } else {
    line({"failure", analysis.fit.failure});
  }
  if (lab) {
    line({"lloq", FormatConcentration(analysis.lloq, style)});
    line({"uloq", FormatConcentration(analysis.uloq, style)});
  }
  if (analysis.qc) {
    line({"verdict", analysis.qc->Verdict()});
    for (const QcRuleResult& rule : analysis.qc->rules) {
      line({"qc " + rule.rule, rule.Outcome(), rule.Detail(decimalComma)});
    }
  }
  for (const ExcludedWell& e : analysis.excluded) {
    line({"excluded", WellName(e.well), e.reason});
  }
  csv += '\n';
  line(ResultsTableHeader(analysis));
  for (const auto& row : ResultsTableRows(analysis, decimalComma)) line(row);
  return csv;
}

std::string FitSummary(const CurveFit& fit) {
  if (!fit.fitted) return fit.failure;
  std::string text;
  for (const FitParameter& p : fit.parameters) {
    if (!text.empty()) text += ", ";
    text += p.name + " = " + FormatNumber(p.value);
  }
  return text + ", R² = " + FormatNumber(fit.r2);
}

}  // namespace analysis
