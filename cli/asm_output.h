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

// "out.json" for one plate; "out-1.json", "out-2.json", ... for several,
// since an ASM document holds one plate.
std::string AsmFileName(const std::string& output, size_t plate, size_t plates);
