#include "sila/sila_options.h"

#include <platovix_version.h>

namespace {

// "HOST:PORT" or "[V6]:PORT" with a port of 1 to 65535.
bool ListenAddressOk(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  const std::string port = text.substr(colon + 1);
  if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5) return false;
  const long number = std::stol(port);
  return number >= 0 && number <= 65535;
}

}  // namespace

SilaParse ParseSilaArguments(const std::vector<std::string>& args) {
  SilaParse parse;
  SilaOptions& options = parse.options;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    const size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    const auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    std::string error;
    if (name == "-h" || name == "--help") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else if (name == "--insecure") {
      options.insecure = true;
    } else if (name == "--no-archive") {
      options.noArchive = true;
    } else if (name == "--port" || name == "--family" || name == "--listen" ||
               name == "--archive") {
      if (!takeValue()) {
        parse.error = name + " needs a value";
        return parse;
      }
      if (name == "--port") error = ParsePortValue(value, options.reader);
      if (name == "--family") error = ParseFamilyValue(value, options.reader);
      if (name == "--listen") {
        if (!ListenAddressOk(value)) error = "--listen wants ADDRESS:PORT, not '" + value + "'";
        options.listen = value;
      }
      if (name == "--archive") {
        if (value.empty()) error = "--archive needs a URL";
        options.archiveUrl = value;
      }
    } else {
      error = "unknown argument '" + args[i] + "' (see --help)";
    }
    if (!error.empty()) {
      parse.error = error;
      return parse;
    }
  }
  if (options.noArchive && options.archiveUrl) {
    parse.error = "--archive and --no-archive exclude each other";
    return parse;
  }
  parse.ok = true;
  return parse;
}

std::string SilaHelpText() {
  return R"(Usage: platovix-sila [OPTION]...
Serves the microplate reader as a SiLA 2 server: any SiLA 2 client finds it
on the network (mDNS, _sila._tcp), reads its feature definitions and
measures plates with live progress. One command runs on the reader at a
time; SIGTERM or Ctrl+C aborts it (the reader is released) and ends the
server. Without options the port and reader family come from the settings
file, which is only read.

Options:
  --port COMn|DEVICE     COM1 to COM4 as set up in Platovix, or a device path
  --family digiscan|jupiter
  --listen ADDRESS:PORT  where to serve (default [::]:50052)
  --insecure             plain text instead of TLS (only on a trusted network)
  --archive URL          store reads in this archive: postgresql://host/db for a
                         lab's, else a SQLite file (default: the settings file's
                         [Archive] Url=, else the local archive)
  --no-archive           store no reads (also [Archive] Enabled=0)
  -h, --help             this text
      --version          print the version and exit

Every read, completed or not, is stored in the plate archive before its
result is reported; Measure Plate and Measure Assay give the record's UUID.

Files beside the settings file: platovix-sila.ini (server UUID and name),
platovix-sila.crt and platovix-sila.key (the self-signed TLS certificate).
)";
}

std::string SilaVersionText() {
  return std::string("platovix-sila ") + PLATOVIX_VERSION + "\n" + PLATOVIX_COPYRIGHT + "\n" +
         PLATOVIX_LICENSE_NOTE + "\n";
}
