#include "analysis/kinetics_output.h"

#include <cmath>

#include "analysis/number_format.h"
#include "results/result_text.h"
#include "results/shared_state.h"

namespace analysis {

namespace {

using Json = nlohmann::ordered_json;

Json OrNull(std::optional<double> value) {
  return value && std::isfinite(*value) ? Json(*value) : Json(nullptr);
}

Json FlagOrNull(unsigned flags) {
  const std::string text = KineticFlagText(flags);
  return text.empty() ? Json(nullptr) : Json(text);
}

Json WellJson(const KineticWell& well, KineticMode mode) {
  Json json = {
      {"well", WellName(well.well)},
      {"name", well.name.empty() ? Json(nullptr) : Json(well.name)},
      {"role", well.role == WellRole::Empty ? Json(nullptr) : Json(WellRoleName(well.role))}};
  if (mode == KineticMode::Rate) {
    json["rate"] = OrNull(well.rate);
    json["r2"] = OrNull(well.r2);
    json["windowStartMinutes"] = OrNull(well.windowStart);
    json["windowEndMinutes"] = OrNull(well.windowEnd);
    json["lagMinutes"] = OrNull(well.lag);
    json["timeToMaxMinutes"] = OrNull(well.timeToMax);
    json["flag"] = FlagOrNull(well.flags);
    return json;
  }
  json["muMaxPerHour"] = OrNull(well.rate);
  json["r2"] = OrNull(well.r2);
  json["windowStartHours"] = OrNull(well.windowStart);
  json["windowEndHours"] = OrNull(well.windowEnd);
  json["doublingTimeHours"] = OrNull(well.doublingTime);
  json["lagHours"] = OrNull(well.lag);
  json["k"] = OrNull(well.k);
  json["auc"] = OrNull(well.auc);
  if (well.logistic) {
    const GrowthLogistic& curve = *well.logistic;
    json["logistic"] = {{"k", OrNull(curve.k)},
                        {"n0", OrNull(curve.N0())},
                        {"r", OrNull(curve.r)},
                        {"tMidHours", OrNull(curve.TMid())},
                        {"auc", OrNull(well.logisticAuc)}};
  } else {
    json["logistic"] = nullptr;
  }
  json["flag"] = FlagOrNull(well.flags);
  return json;
}

std::string Number(std::optional<double> value, bool decimalComma) {
  return value && std::isfinite(*value) ? FormatSignificant(*value, 6, decimalComma) : "";
}

// A field in quotes when it holds the separator, a quote or a line break.
std::string Field(const std::string& text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void AddLine(std::string& text, const std::vector<std::string>& fields, char separator) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) text += separator;
    text += Field(fields[i], separator);
  }
  text += '\n';
}

}  // namespace

Json KineticsJson(const KineticAnalysis& analysis) {
  Json wells = Json::array();
  for (const KineticWell& well : analysis.wells) {
    wells.push_back(WellJson(well, analysis.options.mode));
  }
  return {{"kinetics",
           {{"mode", KineticModeName(analysis.options.mode)},
            {"window", analysis.options.window},
            {"wells", wells}}}};
}

std::vector<std::string> KineticsTableHeader(KineticMode mode) {
  if (mode == KineticMode::Rate) {
    return {"Well",
            "Name",
            "Role",
            "Rate (mOD/min)",
            "R²",
            "Window start (min)",
            "Window end (min)",
            "Lag (min)",
            "Time to max (min)",
            "Flag"};
  }
  return {"Well",
          "Name",
          "Role",
          "µmax (1/h)",
          "R²",
          "Window start (h)",
          "Window end (h)",
          "Doubling time (h)",
          "Lag (h)",
          "K (OD)",
          "AUC (OD·h)",
          "Logistic K (OD)",
          "Logistic N0 (OD)",
          "Logistic r (1/h)",
          "Logistic t mid (h)",
          "Logistic AUC (OD·h)",
          "Flag"};
}

std::vector<std::vector<std::string>> KineticsTableRows(const KineticAnalysis& analysis,
                                                        bool decimalComma) {
  std::vector<std::vector<std::string>> rows;
  const auto n = [decimalComma](std::optional<double> value) {
    return Number(value, decimalComma);
  };
  for (const KineticWell& well : analysis.wells) {
    std::vector<std::string> row = {WellName(well.well), well.name,  WellRoleName(well.role),
                                    n(well.rate),        n(well.r2), n(well.windowStart),
                                    n(well.windowEnd)};
    if (analysis.options.mode == KineticMode::Rate) {
      row.insert(row.end(), {n(well.lag), n(well.timeToMax)});
    } else {
      const auto& c = well.logistic;
      row.insert(row.end(), {n(well.doublingTime), n(well.lag), n(well.k), n(well.auc),
                             c ? n(c->k) : "", c ? n(c->N0()) : "", c ? n(c->r) : "",
                             c ? n(c->TMid()) : "", n(well.logisticAuc)});
    }
    row.push_back(KineticFlagText(well.flags));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string KineticsCsv(const KineticAnalysis& analysis, const std::vector<KineticRead>& reads,
                        char separator, bool decimalComma) {
  std::string text;
  std::vector<std::string> header = {"elapsed [s]"};
  for (int well = 0; well < kLayoutWells; ++well) header.push_back(WellName(well));
  AddLine(text, header, separator);
  for (const KineticRead& read : reads) {
    std::vector<std::string> line = {FormatFixed(read.seconds, 3, decimalComma)};
    for (int well = 0; well < kLayoutWells; ++well) {
      char value[32] = "";
      if (read.values[well] != kNoValue && !read.overRange[well]) {
        FormatWellValue(read.values[well], decimalComma, value, sizeof value);
      }
      line.push_back(value);
    }
    AddLine(text, line, separator);
  }
  text += '\n';
  AddLine(text, KineticsTableHeader(analysis.options.mode), separator);
  for (const auto& row : KineticsTableRows(analysis, decimalComma)) AddLine(text, row, separator);
  return text;
}

}  // namespace analysis
