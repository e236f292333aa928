#include "cli/asm_output.h"

#include <filesystem>
#include <optional>

#include "asm_export/asm_from_analysis.h"

bool FormatAsmRead(const TPlateResult& plate, const ResultContext& context,
                   const CliOptions& options, const std::string& plateId, std::string* text,
                   std::string* error) {
  std::optional<analysis::PlateAnalysis> result;
  if (options.layout)
    result =
        analysis::AnalysePlate(plate.nValue, plate.bOverRange, *options.layout, options.analysis);
  const AsmDocument document = BuildAsmDocument(
      AsmPlateOf(plate, context, plateId, options.layout ? &*options.layout : nullptr,
                 result ? &*result : nullptr));
  if (!document.ok) {
    *error = document.error;
    return false;
  }
  *text = document.json;
  return true;
}

std::string AsmFileName(const std::string& output, size_t plate, size_t plates) {
  if (plates == 1) return output;
  const std::filesystem::path path(output);
  return (path.parent_path() /
          (path.stem().string() + "-" + std::to_string(plate + 1) + path.extension().string()))
      .string();
}
