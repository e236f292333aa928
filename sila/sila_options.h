// The command line of platovix-sila: the reader's port and family as
// platovix-cli reads them, the address to listen on, and plain text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "driver/reader_line.h"

struct SilaOptions {
  ReaderLineOptions reader;  // the port, family and speed
  std::string listen = "[::]:50052";
  bool insecure = false;
  std::optional<std::string> archiveUrl;  // --archive: a lab's PostgreSQL URL or a SQLite file
  bool noArchive = false;
  bool help = false;
  bool version = false;
};

struct SilaParse {
  bool ok = false;
  SilaOptions options;
  std::string error;  // one line, without the program name
};

SilaParse ParseSilaArguments(const std::vector<std::string>& args);
std::string SilaHelpText();
// "platovix-sila <version>" and the copyright and licence lines.
std::string SilaVersionText();
