// The History's reads written out for other programs: CSV or JSON as the
// preview and platovix-cli write them (several reads as a series), or a
// workbook with one sheet block per plate, analysed with each read's own
// assay when it has one.
#pragma once

#include <string>
#include <vector>

#include "archive/read_state.h"

// Each read as it is now (plate ID, status, excluded wells, the analysis in
// force). Chosen by the file name: .json, .xlsx, else CSV. False with the reason.
bool ExportReads(const std::string& path, const std::vector<archive::ReadState>& reads,
                 bool decimalComma, std::string* error);
