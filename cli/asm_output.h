// --format asm: a read as an Allotrope ASM document, with the analysis'
// concentrations when a layout is given.
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "results/result_file.h"

// False with a one-line reason when the plate makes no valid document.
bool FormatAsmRead(const TPlateResult& plate, const ResultContext& context,
                   const CliOptions& options, const std::string& plateId, std::string* text,
                   std::string* error);
