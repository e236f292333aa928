// Plates read back from the Excel workbooks this program writes: the cells
// of their "Plate" sheet (each plate's metadata pairs, then its 8 x 12
// grid). Other workbooks are refused with the reason.
#pragma once

#include <string>

#include "results/result_file_reader.h"

// The error begins with the path.
SavedPlates ReadWorkbookPlates(const std::string& path);

// A workbook (.xlsx) or a result file, by the name's extension.
SavedPlates ReadPlateFile(const std::string& path);
