// platovix-cli archive list | show | export | verify | forward.
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_run.h"

int RunArchiveCommand(const CliOptions& options, const CliIo& io);
