// The one way a plate report is made: from the plate as it is shown, its
// record and the analysis in force, wherever the report is started (the
// preview, the analysis window, the History, platovix-cli).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/assay.h"
#include "analysis/kinetic_run_facts.h"
#include "analysis/kinetics.h"
#include "archive/read_state.h"
#include "report/kinetic_report.h"
#include "report/plate_report.h"

struct ReportInput {
  TPlateResult plate;
  ResultContext context;
  // The assay the plate is analysed with: its name is the title, its layout
  // and options analyse. Without one, layout (named layoutName) and options.
  std::optional<analysis::Assay> assay;
  std::optional<analysis::PlateLayout> layout;
  std::string layoutName;
  analysis::AnalysisOptions options;
  // A re-analysis in force ("4pl", "1/y"); empty: as the options say.
  std::string model;
  std::string weighting;
  std::vector<ExcludedWellNote> excluded;
  std::vector<ReportNote> comments;
  std::string title;  // set: instead of the assay's name
  std::string plateId;
  std::string operatorName;
  std::string programVersion;
  std::string archiveUuid;
  std::string archiveHash;
  // The Name() of the archive holding the read; empty: not archived.
  std::string archiveName;
  std::string status = "completed";
  std::string statusMessage;
  bool decimalComma = false;
};

PlateReport MakePlateReport(const ReportInput& input);

// A kinetic run as its window or platovix-cli knows it.
struct KineticReportInput {
  analysis::KineticRunFacts run;
  std::string assayName;  // empty: none
  std::string title;      // set: instead of the assay's name
  std::string plateId;
  std::string operatorName;
  analysis::KineticAnalysis analysis;
  std::vector<analysis::KineticRead> reads;
  std::optional<analysis::PlateAnalysis> rates;
  bool decimalComma = false;
};

// The one way a kinetic report is made, by this program as it runs.
KineticReport MakeKineticReport(KineticReportInput input);

// The archive's chain head as its witness holds it: "1043 · 3f9a…", or
// "not archived" without an archive.
std::string ChainHeadText(const std::string& archiveName);
// The archive as a footer names it: a file's own name, a lab archive's URL
// without user and password.
std::string ArchiveShortName(const std::string& name);

// The stored read as it is now: plate, plate ID, operator, record, status,
// the analysis in force, excluded wells and comments. The assay is the
// stored one when it parses.
void TakeReadState(const archive::ReadState& state, ReportInput* input);

// A comment of the audit trail as the report lists it.
ReportNote CommentNote(const archive::StateNote& note);
