// The command line of platovix-sila: the reader's port and family as
// platovix-cli reads them, the address to listen on, and plain text.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

struct SilaOptions {
  CliOptions reader;  // only the port, family and speed are used
  std::string listen = "[::]:50052";
  bool insecure = false;
  bool help = false;
};

struct SilaParse {
  bool ok = false;
  SilaOptions options;
  std::string error;  // one line, without the program name
};

SilaParse ParseSilaArguments(const std::vector<std::string>& args);
std::string SilaHelpText();
