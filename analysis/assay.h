// The assay: one saved method from the plate to a verdict (filters, layout,
// curve model, number format and QC rules) in a JSON file a user can send
// to a colleague. The layout is embedded as the lines of the plate-shaped
// layout CSV, so it holds exactly what a layout file holds.
//
//   {"format": 1, "name": "...", "version": "...", "description": "...",
//    "reading": {"primary": 450, "reference": 620 | null, "askForPlate": true,
//                "kinetic": {"reads": 30, "intervalSeconds": 20}},
//    "layout": ["Role,1,2,...", "A,blank,...", ...],
//    "analysis": {"model": "4pl", "weighting": "none", "unit": "pg/mL",
//                 "significantDigits": 4,
//                 "kinetic": {"mode": "rate", "window": 5, "r2Min": 0.95},
//                 "response": "rate"},
//    "qc": {"blankMax": 0.1, "r2Min": 0.98, "recoveryPercent": 20,
//           "recoveryPercentAtEnds": 25, "levelsPassingShare": 0.75,
//           "levelsMin": 4, "cvMax": 20, "controlsInRange": true}}
//
// The kinetic members appear only in kinetic assays. A QC key left out (or
// null) means that rule is not checked. Unknown keys
// are errors: a misspelt rule must not pass silently.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "analysis/kinetics.h"
#include "analysis/number_format.h"
#include "analysis/plate_analysis.h"
#include "analysis/plate_layout.h"
#include "analysis/qc.h"

namespace analysis {

inline constexpr int kAssayFormat = 1;

// A series of reads of the same plate, start to start.
struct AssayKineticReading {
  int reads = 2;                // 1..100000
  double intervalSeconds = 60;  // 0..one week
  bool operator==(const AssayKineticReading&) const = default;
};

struct AssayReading {
  int primary = 450;             // nm, 100..999
  std::optional<int> reference;  // nm, 100..999, not the primary; unset = none
  bool askForPlate = true;       // Jupiter: ask the operator for the plate (as without an assay)
  std::optional<AssayKineticReading> kinetic{};  // unset = one read
  bool operator==(const AssayReading&) const = default;
};

struct Assay {
  std::string name;  // not empty
  std::string version;
  std::string description;
  AssayReading reading;
  PlateLayout layout;  // layout.unit is the analysis' unit
  CurveModel model = CurveModel::FourPL;
  Weighting weighting = Weighting::None;
  int significantDigits = kDefaultSignificantDigits;  // 1..15, concentrations and curve parameters
  QcRules qc;
  std::optional<KineticOptions> kinetic;  // the series' analysis; unset = none
  // The wells' rates (mOD/min), not their absorbances, go through the
  // standard curve and QC; needs a kinetic analysis in rate mode.
  bool rateResponse = false;
  bool operator==(const Assay&) const = default;

  // The analysis options this assay asks for (model, weighting, QC rules,
  // significant digits).
  AnalysisOptions Options() const;
};

// A broken rule: the field's path in the file ("qc.cvMax", "reading.primary",
// "layout") and the rule ("must be between 0 and 100").
struct AssayError {
  std::string field;
  std::string rule;
  // "qc.cvMax: must be between 0 and 100"
  std::string Text() const { return field + ": " + rule; }
};

struct AssayParse {
  bool ok = false;
  Assay assay;
  AssayError error;  // when !ok
  // One line; from a file it begins with the path.
  std::string message;
};

// A new assay with the default QC rules, the given name and layout.
Assay NewAssay(std::string name, const PlateLayout& layout = {});

// The first rule the assay breaks, or nullopt when it is sound. ParseAssay
// applies the same rules; a window can call this before Save.
std::optional<AssayError> ValidateAssay(const Assay& assay);

// Reads an assay file's text; nothing is guessed or half-used.
AssayParse ParseAssay(std::string_view text);
// The file's text, two-space indented, ending in a newline.
// ParseAssay(WriteAssay(a)).assay == a for a valid assay.
std::string WriteAssay(const Assay& assay);

AssayParse ReadAssayFile(const std::string& path);
// Replaces the file only with a complete one; refuses an invalid assay.
// False with a one-line reason.
bool SaveAssayFile(const std::string& path, const Assay& assay, std::string* error);

// An assay made from a layout file: its name is the file's stem.
AssayParse AssayFromLayoutFile(const std::string& path);

}  // namespace analysis
