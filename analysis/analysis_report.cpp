#include "analysis/analysis_report.h"

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

nlohmann::ordered_json GroupJson(const GroupResult& group) {
  nlohmann::ordered_json wells = nlohmann::ordered_json::array();
  for (int well : group.wells) wells.push_back(WellName(well));
  const std::string flag = GroupFlagText(group.flags);
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
  if (group.role == WellRole::Standard) json["expected"] = OrNull(group.expected);
  if (group.dilution != 1) json["dilution"] = group.dilution;
  if (group.range) json["range"] = {group.range->low, group.range->high};
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

}  // namespace

const std::vector<std::string>& ResultsTableHeader() {
  static const std::vector<std::string> kHeader = {"Name", "Role", "Wells",         "Mean",
                                                   "SD",   "CV %", "Concentration", "Flag"};
  return kHeader;
}

std::vector<std::vector<std::string>> ResultsTableRows(const PlateAnalysis& analysis,
                                                       bool decimalComma) {
  std::vector<std::vector<std::string>> rows;
  for (const GroupResult& group : analysis.groups) {
    rows.push_back({group.name, WellRoleName(group.role), WellList(group.wells),
                    Number(group.mean, decimalComma), Number(group.sd, decimalComma),
                    Number(group.cv, decimalComma), Number(group.concentration, decimalComma),
                    GroupFlagText(group.flags)});
  }
  return rows;
}

std::string ResultsTableText(const PlateAnalysis& analysis, bool decimalComma) {
  std::vector<std::vector<std::string>> rows = ResultsTableRows(analysis, decimalComma);
  rows.insert(rows.begin(), ResultsTableHeader());
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
  return {{"blank", OrNull(analysis.blank)},
          {"unit", analysis.unit.empty() ? nlohmann::ordered_json(nullptr)
                                         : nlohmann::ordered_json(analysis.unit)},
          {"fit", FitJson(analysis.fit)},
          {"groups", groups}};
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
  line({"blank", Number(analysis.blank, decimalComma)});
  line({"unit", analysis.unit});
  line({"fit", CurveModelName(analysis.fit.model)});
  line({"weighting", WeightingName(analysis.fit.weighting)});
  if (analysis.fit.fitted) {
    for (const FitParameter& p : analysis.fit.parameters) {
      line({p.name, Number(p.value, decimalComma)});
    }
    line({"r2", Number(analysis.fit.r2, decimalComma)});
  } else {
    line({"failure", analysis.fit.failure});
  }
  csv += '\n';
  line(ResultsTableHeader());
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
