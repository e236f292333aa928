// Plates read back from the files the program writes: the preview's Save
// and platovix-cli measure (CSV or JSON, one read or a kinetic series) and
// the clipboard text (TSV). Whatever else such a file holds (an analysis
// block, say) is passed over.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/result_file.h"

struct SavedPlate {
  TPlateResult plate;  // bValid set; ftMeasured from the completion time when the file has one
  ResultContext context;
};

struct SavedPlates {
  bool ok = false;
  std::vector<SavedPlate> plates;  // in the file's order
  std::string error;               // one line: what is wrong and where
};

// JSON when the text begins with '{' or '[', the clipboard text when its
// first line holds a tab, CSV otherwise.
SavedPlates ParseResultText(std::string_view text);

// The file as a whole; the error then begins with the path.
SavedPlates ReadResultFile(const std::string& path);

// 2026-12-07T16:20:05+01:00 (or ...Z) as an instant; false for anything else.
bool ParseIsoTime(const std::string& text, std::chrono::system_clock::time_point* when);
