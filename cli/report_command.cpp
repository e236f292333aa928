#include "cli/report_command.h"

#include "results/result_file_reader.h"

#ifdef PLATOVIX_WITH_REPORT
#include <platovix_version.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <memory>

#include "report/plate_report.h"
#endif

namespace {

constexpr char kProgram[] = "platovix-cli: ";

}  // namespace

bool WriteReadReport(const TPlateResult& plate, const ResultContext& context,
                     const CliOptions& options, std::string* error) {
  return WritePlateReportFile(plate, context, options, options.reportPath, error);
}

#ifdef PLATOVIX_WITH_REPORT

bool WritePlateReportFile(const TPlateResult& plate, const ResultContext& context,
                          const CliOptions& options, const std::string& path, std::string* error) {
  // Painting text needs a GUI application; a command line has no display,
  // so it takes the offscreen platform unless told otherwise.
  std::unique_ptr<QGuiApplication> app;
  if (QCoreApplication::instance() == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "platovix-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  PlateReport report;
  report.title = options.title.empty() && options.assay ? options.assay->name : options.title;
  report.plateId = options.plateId;
  report.operatorName = options.operatorName;
  report.programVersion = std::string("Platovix ") + PLATOVIX_VERSION;
  report.plate = plate;
  report.context = context;
  report.decimalComma = options.comma;
  if (options.layout) {
    report.layout = options.layout;
    report.analysis = analysis::AnalysePlate(plate.nValue, *options.layout, options.analysis);
  }
  QString reason;
  if (WritePlateReportPdf(report, QString::fromStdString(path), &reason)) return true;
  *error = reason.toStdString();
  return false;
}

#else

bool WritePlateReportFile(const TPlateResult&, const ResultContext&, const CliOptions&,
                          const std::string&, std::string* error) {
  *error = "this build of platovix-cli has no plate report (built without Qt)";
  return false;
}

#endif

int RunReport(const CliOptions& options, const CliIo& io) {
  const SavedPlates saved = ReadResultFile(options.plateFiles.front());
  if (!saved.ok) {
    io.err << kProgram << saved.error << '\n';
    return kExitFailure;
  }
  if (saved.plates.size() != 1) {
    io.err << kProgram << options.plateFiles.front() << " holds " << saved.plates.size()
           << " reads; a report is of one plate\n";
    return kExitFailure;
  }
  std::string error;
  if (!WritePlateReportFile(saved.plates[0].plate, saved.plates[0].context, options, options.output,
                            &error)) {
    io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
    return kExitFailure;
  }
  return kExitSuccess;
}
