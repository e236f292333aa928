#include "cli/kinetic_files.h"

#include "analysis/kinetics_workbook.h"
#include "cli/kinetic_output.h"

#ifdef PLATOVIX_WITH_REPORT
#include <memory>
#include <utility>

#include "cli/offscreen_app.h"
#include "report/kinetic_report.h"
#include "report/report_input.h"
#endif

namespace {

analysis::KineticAnalysis AnalysisOf(const std::vector<analysis::KineticRead>& reads,
                                     const CliOptions& options) {
  return analysis::AnalyseKinetics(reads, options.layout ? &*options.layout : nullptr,
                                   *options.kinetic);
}

}  // namespace

bool WriteKineticWorkbook(const std::vector<analysis::KineticRead>& reads,
                          const CliOptions& options, std::string* error) {
  const analysis::KineticAnalysis result = AnalysisOf(reads, options);
  const std::optional<analysis::PlateAnalysis> rates = RatesOf(result, options);
  return analysis::WriteKineticsWorkbook(options.output, result, reads,
                                         options.layout ? &*options.layout : nullptr,
                                         rates ? &*rates : nullptr, error);
}

#ifdef PLATOVIX_WITH_REPORT

bool WriteKineticReport(const std::vector<analysis::KineticRead>& reads, const CliOptions& options,
                        const analysis::KineticRunFacts& facts, std::string* error) {
  const std::unique_ptr<QGuiApplication> app = OffscreenGuiApplication();
  KineticReportInput input;
  input.run = facts;
  if (options.assay) input.assayName = options.assay->name;
  input.title = options.title;
  input.plateId = options.plateId;
  input.operatorName = options.operatorName;
  input.analysis = AnalysisOf(reads, options);
  input.reads = reads;
  input.rates = RatesOf(input.analysis, options);
  input.decimalComma = options.comma;
  QString reason;
  if (WriteKineticReportPdf(MakeKineticReport(std::move(input)),
                            QString::fromStdString(options.reportPath), &reason)) {
    return true;
  }
  *error = reason.toStdString();
  return false;
}

#else

bool WriteKineticReport(const std::vector<analysis::KineticRead>&, const CliOptions&,
                        const analysis::KineticRunFacts&, std::string* error) {
  *error = "this build of platovix-cli has no report (built without Qt)";
  return false;
}

#endif
