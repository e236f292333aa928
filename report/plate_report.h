// The plate report: what a lab files and signs for one plate. A plain
// record, so that whoever has more to say (an assay's verdict, an archive
// record) fills its fields; the painting knows nothing of where they came
// from.
#pragma once

#include <QString>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "analysis/plate_analysis.h"
#include "analysis/plate_layout.h"
#include "results/result_file.h"
#include "results/shared_state.h"

class QPagedPaintDevice;

struct ReportQcRule {
  std::string rule;  // "R2 >= 0.98"
  bool passed = false;
  std::string detail;      // what was found, e.g. "0.9991"
  bool applicable = true;  // false: nothing to check ("0 of 0 controls")
};

// A change made after the read, as the audit trail holds it.
struct ReportNote {
  std::string what;  // "well excluded", "comment", "plate ID", ...
  std::string who;
  std::string when;  // ISO 8601
  std::string why;
  std::string detail;  // the well, the comment's text, ...
};

struct PlateReport {
  std::string title;  // the assay's name; empty: "Plate report"
  std::string plateId;
  std::string operatorName;
  std::string programVersion;  // "Platovix 0.1.0"
  TPlateResult plate;
  ResultContext context;
  // Set when the read is archived.
  std::string archiveUuid;
  std::string archiveHash;
  // In every page's footer: the archive's chain head after the read was
  // stored ("1043 · 3f9a…", "not archived") and the archive it is of.
  std::string chainHead;
  std::string archiveName;
  // Without a layout the report is the plate, its metadata and the signatures.
  std::optional<analysis::PlateLayout> layout;
  std::optional<analysis::PlateAnalysis> analysis;
  // The QC verdict of an assay ("Passed", "Failed"); empty: no assay used.
  std::string verdict;
  std::vector<ReportQcRule> qcRules;
  bool decimalComma = false;
  // "completed", "aborted" or "failed": an aborted or failed read is
  // reported as such, with no data and no signature lines.
  std::string status = "completed";
  std::string statusMessage;  // the driver's text for an aborted or failed read
  std::string layoutName;     // what "Layout:" names: the layout file or the assay
  std::vector<ReportNote> exclusions;
  std::vector<ReportNote> comments;
  std::chrono::system_clock::time_point created = std::chrono::system_clock::now();
};

// "Aborted read: no valid data", "Failed read: " and the driver's message,
// else the assay's name or "Plate report".
QString PlateReportTitle(const PlateReport& report);

// Paints every page onto device (a QPdfWriter or a QPrinter), whose page
// size and margins the caller has set. Returns the number of pages.
int PaintPlateReport(const PlateReport& report, QPagedPaintDevice* device);

// The report as a PDF file, A4 or Letter as the locale measures; false with
// the reason when the file cannot be written.
bool WritePlateReportPdf(const PlateReport& report, const QString& path, QString* error);
