#include "cli/analyse_command.h"

#include <filesystem>

#include "analysis/analysis_workbook.h"
#include "cli/analysis_output.h"
#include "cli/asm_output.h"
#include "cli/kinetic_output.h"
#include "results/result_file_reader.h"

namespace {

constexpr char kProgram[] = "platovix-cli: ";

// "plate.json" for a file of one read, "plate.json, read 3" within a series.
std::string Title(const std::string& path, size_t read, size_t reads) {
  return reads > 1 ? path + ", read " + std::to_string(read + 1) : path;
}

// The plate's name in its ASM document: the file's name without folder and
// extension, and the read's number within a series.
std::string PlateId(const std::string& path, size_t read, size_t reads) {
  const std::string stem = std::filesystem::path(path).stem().string();
  return reads > 1 ? stem + "-" + std::to_string(read + 1) : stem;
}

int WriteAsmDocuments(const CliOptions& options, const CliIo& io,
                      const std::vector<analysis::WorkbookPlate>& plates,
                      const std::vector<std::string>& plateIds, int result) {
  if (plates.size() > 1 && options.output.empty()) {
    io.err << kProgram
           << "--format asm writes one document per plate: several plates need -o FILE\n";
    return kExitFailure;
  }
  for (size_t i = 0; i < plates.size(); ++i) {
    std::string text, error;
    if (!FormatAsmRead(plates[i].plate, plates[i].context, options, plateIds[i], &text, &error)) {
      io.err << kProgram << plates[i].title << ": " << error << '\n';
      result = kExitFailure;
      continue;
    }
    const std::string path =
        options.output.empty() ? "" : AsmFileName(options.output, i, plates.size());
    if (path.empty()) {
      io.out << text << std::flush;
    } else if (!WriteFileAtomically(path, text, &error)) {
      io.err << kProgram << "cannot write " << path << ": " << error << '\n';
      result = kExitFailure;
    }
  }
  return result;
}

}  // namespace

int RunAnalyse(const CliOptions& options, const CliIo& io) {
  if (options.kinetic) return RunKineticAnalyse(options, io);
  int result = kExitSuccess;
  std::vector<analysis::WorkbookPlate> plates;
  std::vector<std::string> plateIds;
  for (const std::string& path : options.plateFiles) {
    SavedPlates saved = ReadResultFile(path);
    if (!saved.ok) {
      io.err << kProgram << saved.error << '\n';
      result = kExitFailure;
      continue;
    }
    for (size_t i = 0; i < saved.plates.size(); ++i) {
      const SavedPlate& read = saved.plates[i];
      plates.push_back({Title(path, i, saved.plates.size()), read.plate, read.context,
                        analysis::AnalysePlate(read.plate.nValue, read.plate.bOverRange,
                                               *options.layout, options.analysis)});
      plateIds.push_back(PlateId(path, i, saved.plates.size()));
    }
  }
  if (plates.empty()) return kExitFailure;
  bool qcFailed = false;
  for (const analysis::WorkbookPlate& plate : plates) {
    qcFailed = ReportVerdict(*plate.analysis, io.err, plate.title) || qcFailed;
  }
  if (result == kExitSuccess && qcFailed && options.failOnQc) result = kExitQcFailed;

  if (options.asmFormat) return WriteAsmDocuments(options, io, plates, plateIds, result);
  std::string error;
  if (options.xlsx) {
    if (!analysis::WriteAnalysisWorkbook(options.output, plates, &*options.layout, &error)) {
      io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
      return kExitFailure;
    }
    return result;
  }

  const bool json = options.format == ResultFormat::Json;
  std::string text = json ? "[\n" : "";
  for (size_t i = 0; i < plates.size(); ++i) {
    if (i > 0) text += json ? ",\n" : "\n";
    text += FormatReadWithAnalysis(plates[i].plate, plates[i].context, *plates[i].analysis, options,
                                   plates[i].title);
  }
  text += json ? "\n]\n" : "";
  if (options.output.empty()) {
    io.out << text << std::flush;
  } else if (!WriteFileAtomically(options.output, text, &error)) {
    io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
    return kExitFailure;
  }
  return result;
}
