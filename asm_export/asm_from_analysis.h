// What the layout and the analysis add to a plate's ASM document: sample
// names and roles per well, and each group's concentration as calculated
// data.
#pragma once

#include "analysis/plate_analysis.h"
#include "analysis/plate_layout.h"
#include "asm_export/asm_document.h"

// layout and analysis may be null (a plate without a layout).
AsmPlate AsmPlateOf(const TPlateResult& plate, const ResultContext& context,
                    const std::string& plateId, const analysis::PlateLayout* layout,
                    const analysis::PlateAnalysis* analysis);
