// platovix-cli analyse: saved plates (the preview's Save, measure's
// files, the clipboard text) analysed against a layout, without a reader.
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_run.h"

// Every plate of every file, in order, as one JSON array, a CSV with one
// block per plate, or a workbook. A file that cannot be read is reported
// and skipped; the exit code is then kExitFailure, the others still count.
int RunAnalyse(const CliOptions& options, const CliIo& io);
