// The command line's analysis options (--layout, --fit, --weight,
// --analysis-only) and the analyse command's combinations. The layout
// file is read while the command line is checked, so a bad layout is a
// usage error reported before any port is opened.
#pragma once

#include <functional>
#include <string>

#include "cli/cli_options.h"

// True when name is an analysis option; its value comes from value(). A bad
// value leaves its text in *error.
bool TakeAnalysisOption(const std::string& name, const std::function<std::string()>& value,
                        CliOptions& options, std::string* error);

// Once the whole command line is read: which command the analysis options
// belong to, analyse's formats, and the layout file. "" when all is well.
std::string CheckAnalysisOptions(CliOptions& options, const std::function<bool(const char*)>& seen);
