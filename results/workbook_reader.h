// Plates read back from the Excel workbooks this program writes: the cells
// of their "Plate" sheet (each plate's metadata pairs, then its 8 x 12
// grid). Other workbooks are refused with the reason.
#pragma once

#include <string>

#include "results/result_file_reader.h"
#include "results/workbook_xml.h"

// The error begins with the path.
SavedPlates ReadWorkbookPlates(const std::string& path);

// The cells of any one sheet by row and column, both from 0; false with
// the reason (beginning with the path) when there is no such sheet.
bool ReadWorkbookSheet(const std::string& path, const std::string& sheet, workbook_xml::Rows* cells,
                       std::string* error);

// A workbook (.xlsx) or a result file, by the name's extension.
SavedPlates ReadPlateFile(const std::string& path);
