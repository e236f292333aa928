#include "analysis/assay.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "results/atomic_file.h"

namespace analysis {

namespace {

using Json = nlohmann::ordered_json;

struct Broken {
  AssayError error;
};

[[noreturn]] void Fail(std::string field, std::string rule) {
  throw Broken{{std::move(field), std::move(rule)}};
}

std::string Join(const std::string& object, const char* key) {
  return object.empty() ? key : object + "." + key;
}

// The members an object may have; anything else is a misspelling.
void OnlyKnownKeys(const Json& object, const std::string& path,
                   std::initializer_list<const char*> keys) {
  if (!object.is_object()) Fail(path, "must be an object");
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const char* k : keys) known = known || key == k;
    if (!known) Fail(Join(path, key.c_str()), "is not a field of an assay");
  }
}

const Json* Member(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::string Text(const Json& object, const std::string& path, const char* key) {
  const Json* value = Member(object, key);
  if (!value) return "";
  if (!value->is_string()) Fail(Join(path, key), "must be text");
  return value->get<std::string>();
}

std::optional<double> Number(const Json& object, const std::string& path, const char* key) {
  const Json* value = Member(object, key);
  if (!value) return std::nullopt;
  if (!value->is_number()) Fail(Join(path, key), "must be a number");
  return value->get<double>();
}

std::optional<int> Whole(const Json& object, const std::string& path, const char* key) {
  const std::optional<double> value = Number(object, path, key);
  if (!value) return std::nullopt;
  if (*value != std::floor(*value) || std::abs(*value) > 1e9) {
    Fail(Join(path, key), "must be a whole number");
  }
  return static_cast<int>(*value);
}

std::optional<bool> Flag(const Json& object, const std::string& path, const char* key) {
  const Json* value = Member(object, key);
  if (!value) return std::nullopt;
  if (!value->is_boolean()) Fail(Join(path, key), "must be true or false");
  return value->get<bool>();
}

AssayReading ReadReading(const Json& json) {
  OnlyKnownKeys(json, "reading", {"primary", "reference", "askForPlate", "kinetic"});
  AssayReading reading;
  const std::optional<int> primary = Whole(json, "reading", "primary");
  if (!primary) Fail("reading.primary", "is required");
  reading.primary = *primary;
  reading.reference = Whole(json, "reading", "reference");
  reading.askForPlate = Flag(json, "reading", "askForPlate").value_or(true);
  if (const Json* kinetic = Member(json, "kinetic")) {
    OnlyKnownKeys(*kinetic, "reading.kinetic", {"reads", "intervalSeconds"});
    const std::optional<int> reads = Whole(*kinetic, "reading.kinetic", "reads");
    const std::optional<double> interval = Number(*kinetic, "reading.kinetic", "intervalSeconds");
    if (!reads) Fail("reading.kinetic.reads", "is required");
    if (!interval) Fail("reading.kinetic.intervalSeconds", "is required");
    reading.kinetic = AssayKineticReading{*reads, *interval};
  }
  return reading;
}

PlateLayout ReadEmbeddedLayout(const Json& json) {
  if (!json.is_array()) Fail("layout", "must be the layout file's lines, as a list of text");
  std::string text;
  for (const Json& line : json) {
    if (!line.is_string()) Fail("layout", "must be the layout file's lines, as a list of text");
    text += line.get<std::string>() + "\n";
  }
  const LayoutParse parse = ParseLayout(text);
  if (!parse.ok) Fail("layout", parse.error);
  return parse.layout;
}

void ReadAnalysis(const Json& json, Assay& assay) {
  OnlyKnownKeys(json, "analysis",
                {"model", "weighting", "unit", "significantDigits", "kinetic", "response"});
  if (Member(json, "model")) {
    const std::string name = Text(json, "analysis", "model");
    const auto model = CurveModelFromName(name);
    if (!model) Fail("analysis.model", "must be linear, 4pl, 5pl, quadratic or point-to-point");
    assay.model = *model;
  }
  if (Member(json, "weighting")) {
    const auto weighting = WeightingFromName(Text(json, "analysis", "weighting"));
    if (!weighting) Fail("analysis.weighting", "must be none, 1/y or 1/y2");
    assay.weighting = *weighting;
  }
  if (Member(json, "unit")) {
    const std::string unit = Text(json, "analysis", "unit");
    if (!assay.layout.unit.empty() && unit != assay.layout.unit) {
      Fail("analysis.unit", "differs from the layout's unit '" + assay.layout.unit + "'");
    }
    assay.layout.unit = unit;
  }
  assay.significantDigits =
      Whole(json, "analysis", "significantDigits").value_or(kDefaultSignificantDigits);
  if (const Json* kinetic = Member(json, "kinetic")) {
    OnlyKnownKeys(*kinetic, "analysis.kinetic", {"mode", "window", "r2Min"});
    KineticOptions options;
    if (Member(*kinetic, "mode")) {
      const auto mode = KineticModeFromName(Text(*kinetic, "analysis.kinetic", "mode"));
      if (!mode) Fail("analysis.kinetic.mode", "must be rate or growth");
      options.mode = *mode;
    }
    options.window = Whole(*kinetic, "analysis.kinetic", "window").value_or(options.window);
    options.r2Min = Number(*kinetic, "analysis.kinetic", "r2Min").value_or(options.r2Min);
    assay.kinetic = options;
  }
  if (Member(json, "response")) {
    const std::string response = Text(json, "analysis", "response");
    if (response != "rate" && response != "absorbance") {
      Fail("analysis.response", "must be absorbance or rate");
    }
    assay.rateResponse = response == "rate";
  }
}

// Absent keys are rules not checked.
QcRules ReadQc(const Json* json) {
  QcRules qc{std::nullopt, std::nullopt, std::nullopt, std::nullopt,
             std::nullopt, std::nullopt, std::nullopt, false};
  if (!json) return qc;
  OnlyKnownKeys(*json, "qc",
                {"blankMax", "r2Min", "recoveryPercent", "recoveryPercentAtEnds",
                 "levelsPassingShare", "levelsMin", "cvMax", "controlsInRange"});
  qc.blankMax = Number(*json, "qc", "blankMax");
  qc.r2Min = Number(*json, "qc", "r2Min");
  qc.recoveryPercent = Number(*json, "qc", "recoveryPercent");
  qc.recoveryPercentAtEnds = Number(*json, "qc", "recoveryPercentAtEnds");
  qc.levelsPassingShare = Number(*json, "qc", "levelsPassingShare");
  qc.levelsMin = Whole(*json, "qc", "levelsMin");
  qc.cvMax = Number(*json, "qc", "cvMax");
  qc.controlsInRange = Flag(*json, "qc", "controlsInRange").value_or(false);
  return qc;
}

Assay Interpret(const Json& json) {
  OnlyKnownKeys(
      json, "",
      {"format", "name", "version", "description", "reading", "layout", "analysis", "qc"});
  const std::optional<int> format = Whole(json, "", "format");
  if (!format) Fail("format", "is required (1)");
  if (*format != kAssayFormat) {
    Fail("format", "must be 1; " + std::to_string(*format) + " is not a format this program reads");
  }
  Assay assay;
  assay.name = Text(json, "", "name");
  assay.version = Text(json, "", "version");
  assay.description = Text(json, "", "description");
  const Json* reading = Member(json, "reading");
  if (!reading) Fail("reading", "is required");
  assay.reading = ReadReading(*reading);
  if (const Json* layout = Member(json, "layout")) assay.layout = ReadEmbeddedLayout(*layout);
  if (const Json* analysis = Member(json, "analysis")) ReadAnalysis(*analysis, assay);
  assay.qc = ReadQc(Member(json, "qc"));
  if (const auto error = ValidateAssay(assay)) throw Broken{*error};
  return assay;
}

void Between(std::optional<double> value, const char* field, double low, double high) {
  if (value && !(*value >= low && *value <= high)) {
    std::ostringstream rule;
    rule << "must be between " << low << " and " << high;
    Fail(field, rule.str());
  }
}

void CheckRules(const Assay& assay) {
  if (assay.name.empty()) Fail("name", "must not be empty");
  const AssayReading& r = assay.reading;
  if (r.primary < 100 || r.primary > 999) Fail("reading.primary", "must be 100 to 999 nm");
  if (r.reference && (*r.reference < 100 || *r.reference > 999)) {
    Fail("reading.reference", "must be 100 to 999 nm, or null for none");
  }
  if (r.reference && *r.reference == r.primary) {
    Fail("reading.reference", "must differ from the primary filter");
  }
  if (r.kinetic) {
    if (r.kinetic->reads < 1 || r.kinetic->reads > 100000) {
      Fail("reading.kinetic.reads", "must be between 1 and 100000");
    }
    if (!(r.kinetic->intervalSeconds >= 0 && r.kinetic->intervalSeconds <= 7 * 86400)) {
      Fail("reading.kinetic.intervalSeconds", "must be between 0 and 604800");
    }
  }
  if (assay.kinetic) {
    if (assay.kinetic->window < 2 || assay.kinetic->window > 1000) {
      Fail("analysis.kinetic.window", "must be between 2 and 1000");
    }
    Between(assay.kinetic->r2Min, "analysis.kinetic.r2Min", 0, 1);
  }
  if (assay.rateResponse && (!assay.kinetic || assay.kinetic->mode != KineticMode::Rate)) {
    Fail("analysis.response", "rate needs analysis.kinetic in rate mode");
  }
  if (assay.significantDigits < 1 || assay.significantDigits > 15) {
    Fail("analysis.significantDigits", "must be between 1 and 15");
  }
  const QcRules& qc = assay.qc;
  Between(qc.blankMax, "qc.blankMax", 0, 4);
  Between(qc.r2Min, "qc.r2Min", 0, 1);
  Between(qc.recoveryPercent, "qc.recoveryPercent", 0, 100);
  Between(qc.recoveryPercentAtEnds, "qc.recoveryPercentAtEnds", 0, 100);
  Between(qc.levelsPassingShare, "qc.levelsPassingShare", 0, 1);
  if (qc.levelsMin) Between(static_cast<double>(*qc.levelsMin), "qc.levelsMin", 0, kLayoutWells);
  Between(qc.cvMax, "qc.cvMax", 0, 100);
}

Json LayoutLines(const PlateLayout& layout) {
  Json lines = Json::array();
  std::istringstream in(WriteLayout(layout));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

template <typename T>
Json OrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

// "line 3, column 7: syntax error while parsing object key - unexpected
// '}'; expected string literal": where, and what, without the parser's
// "[json.exception.parse_error.101] parse error at ...".
std::string JsonErrorInWords(std::string_view text, const nlohmann::json::parse_error& error) {
  const std::size_t end = std::min<std::size_t>(error.byte > 0 ? error.byte - 1 : 0, text.size());
  std::size_t line = 1, column = 1;
  for (std::size_t at = 0; at < end; ++at) {
    if (text[at] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  std::string what = error.what();
  // The words follow the parser's position, "...column N: ".
  const std::size_t words = what.find(": ", what.find("parse error"));
  what = words == std::string::npos ? "unreadable" : what.substr(words + 2);
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
}

}  // namespace

AnalysisOptions Assay::Options() const {
  AnalysisOptions options;
  options.model = model;
  options.weighting = weighting;
  options.qc = qc;
  options.significantDigits = significantDigits;
  return options;
}

Assay NewAssay(std::string name, const PlateLayout& layout) {
  Assay assay;
  assay.name = std::move(name);
  assay.layout = layout;
  return assay;
}

std::optional<AssayError> ValidateAssay(const Assay& assay) {
  try {
    CheckRules(assay);
  } catch (const Broken& broken) {
    return broken.error;
  }
  return std::nullopt;
}

AssayParse ParseAssay(std::string_view text) {
  AssayParse parse;
  try {
    Json json;
    try {
      json = Json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
      Fail("file", "is not JSON: " + JsonErrorInWords(text, error));
    }
    parse.assay = Interpret(json);
    parse.ok = true;
  } catch (const Broken& broken) {
    parse.error = broken.error;
    parse.message = broken.error.Text();
  }
  return parse;
}

std::string WriteAssay(const Assay& assay) {
  const QcRules& qc = assay.qc;
  Json json = {
      {"format", kAssayFormat},
      {"name", assay.name},
      {"version", assay.version},
      {"description", assay.description},
      {"reading",
       {{"primary", assay.reading.primary},
        {"reference", OrNull(assay.reading.reference)},
        {"askForPlate", assay.reading.askForPlate}}},
      {"layout", LayoutLines(assay.layout)},
      {"analysis",
       {{"model", CurveModelName(assay.model)},
        {"weighting", WeightingName(assay.weighting)},
        {"unit", assay.layout.unit},
        {"significantDigits", assay.significantDigits}}},
  };
  // Kinetic members only where there is a series: other assays' files stay as they were.
  if (const auto& k = assay.reading.kinetic) {
    json["reading"]["kinetic"] = {{"reads", k->reads}, {"intervalSeconds", k->intervalSeconds}};
  }
  if (const auto& k = assay.kinetic) {
    json["analysis"]["kinetic"] = {
        {"mode", KineticModeName(k->mode)}, {"window", k->window}, {"r2Min", k->r2Min}};
  }
  if (assay.rateResponse) json["analysis"]["response"] = "rate";
  Json rules = Json::object();
  const auto put = [&](const char* key, const auto& value) {
    if (value) rules[key] = *value;
  };
  put("blankMax", qc.blankMax);
  put("r2Min", qc.r2Min);
  put("recoveryPercent", qc.recoveryPercent);
  put("recoveryPercentAtEnds", qc.recoveryPercentAtEnds);
  put("levelsPassingShare", qc.levelsPassingShare);
  put("levelsMin", qc.levelsMin);
  put("cvMax", qc.cvMax);
  rules["controlsInRange"] = qc.controlsInRange;
  json["qc"] = rules;
  return json.dump(2) + "\n";
}

AssayParse ReadAssayFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    AssayParse parse;
    parse.error = {"file", std::generic_category().message(errno)};
    parse.message = path + ": " + parse.error.rule;
    return parse;
  }
  std::ostringstream text;
  text << in.rdbuf();
  AssayParse parse = ParseAssay(text.str());
  if (!parse.ok) parse.message = path + ": " + parse.message;
  return parse;
}

bool SaveAssayFile(const std::string& path, const Assay& assay, std::string* error) {
  if (const auto broken = ValidateAssay(assay)) {
    *error = broken->Text();
    return false;
  }
  return WriteFileAtomically(path, WriteAssay(assay), error);
}

AssayParse AssayFromLayoutFile(const std::string& path) {
  AssayParse parse;
  const LayoutParse layout = ReadLayoutFile(path);
  if (!layout.ok) {
    parse.error = {"layout", layout.error};
    parse.message = layout.error;
    return parse;
  }
  parse.assay = NewAssay(std::filesystem::path(path).stem().string(), layout.layout);
  parse.ok = true;
  return parse;
}

}  // namespace analysis
