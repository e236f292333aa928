// platovix-cli archive init: the lab archive's tables created or brought
// up to date by their owner, and the everyday role granted what storing
// and reading need.
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_run.h"

int RunArchiveInit(const CliOptions& options, const CliIo& io);
