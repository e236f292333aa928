// The report of a kinetic run: its facts, the plate of curves, the per-well
// table and, with an assay whose response is the rate, the standard curve,
// the verdict and the rates' results. A plain record, filled by whoever
// knows the run (the kinetic window, platovix-cli).
#pragma once

#include <QString>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "analysis/kinetics.h"
#include "analysis/plate_analysis.h"

class QPagedPaintDevice;

struct KineticReport {
  std::string title;      // the assay's name; empty: "Kinetic report"
  std::string assayName;  // empty: none
  std::string plateId;
  std::string operatorName;
  std::string programVersion;             // "Platovix 0.1.0"
  std::string started;                    // the first read's start, as shown; empty: unknown
  std::optional<double> intervalSeconds;  // start to start as set
  int plannedReads = 0;                   // 0: not known
  std::string recordUuid;                 // the run's archive record; empty: none
  std::string archiveName;                // the archive holding that record (no secret in it)
  std::string chainHead;                  // ChainHeadText of that archive; empty: no footer line
  // "completed", "aborted" or "failed": an aborted or failed run is
  // reported with the reads it holds, and says so.
  std::string status = "completed";
  std::string statusMessage;
  analysis::KineticAnalysis analysis;
  std::vector<analysis::KineticRead> reads;
  std::optional<analysis::PlateAnalysis> rates;  // the rates through the assay
  bool decimalComma = false;
  std::chrono::system_clock::time_point created = std::chrono::system_clock::now();
};

// "Aborted kinetic run", "Failed kinetic run", else the title or "Kinetic report".
QString KineticReportTitle(const KineticReport& report);

// "Aborted after 7 of 30 reads (User aborted.)." and on a line of its own
// "The report holds reads 1 to 7, 0 to 360 s." for a run that did not
// complete; empty otherwise.
QString KineticRunStatusText(const KineticReport& report);

// Paints every page onto device; returns the number of pages.
int PaintKineticReport(const KineticReport& report, QPagedPaintDevice* device);

// The report as a PDF file; false with the reason.
bool WriteKineticReportPdf(const KineticReport& report, const QString& path, QString* error);
