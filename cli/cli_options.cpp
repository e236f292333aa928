#include "cli/cli_options.h"

#include <platovix_version.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "cli/cli_analysis_options.h"

namespace {

// Thrown inside the parser only; becomes CliParse::error.
struct UsageError {
  std::string text;
};

[[noreturn]] void Usage(std::string text) {
  throw UsageError{std::move(text)};
}

// A whole decimal number; leading or trailing rubbish is not a number.
int WholeNumber(const std::string& text, const std::string& what) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < -1000000000L ||
      value > 1000000000L || text.find_first_of(" \t") != std::string::npos) {
    Usage(what + " is not a whole number: '" + text + "'");
  }
  return static_cast<int>(value);
}

int Wavelength(const std::string& text, const std::string& what) {
  const int nm = WholeNumber(text, what);
  if (nm < 100 || nm > 999) Usage(what + " must be 100 to 999 nm, not " + text);
  return nm;
}

double Seconds(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0 || value > 86400 * 7) {
    Usage("--every wants a number of seconds, not '" + text + "'");
  }
  return value;
}

// COM1..COM4 as in the settings; anything else names a device.
void TakePort(const std::string& text, CliOptions& options) {
  const bool comName = text.size() > 3 && (text[0] == 'C' || text[0] == 'c') &&
                       (text[1] == 'O' || text[1] == 'o') && (text[2] == 'M' || text[2] == 'm') &&
                       text.find('/') == std::string::npos;
  if (!comName) {
    if (text.empty()) Usage("--port wants COM1 to COM4 or a device path");
    options.devicePath = text;
    return;
  }
  const std::string number = text.substr(3);
  if (number.size() != 1 || number[0] < '1' || number[0] > '4') {
    Usage("--port " + text + ": the port number must be 1 to 4 (or give a device path)");
  }
  options.comPort = number[0] - '0';
}

int Family(const std::string& text) {
  if (text == "digiscan") return 0;
  if (text == "jupiter" || text == "expert") return 1;
  Usage("--family must be digiscan or jupiter, not '" + text + "'");
}

ResultFormat Format(const std::string& text) {
  if (text == "tsv") return ResultFormat::Tsv;
  if (text == "csv") return ResultFormat::Csv;
  if (text == "json") return ResultFormat::Json;
  Usage("--format must be tsv, csv, json or asm, not '" + text + "'");
}

// P=NM: a position 1..6 and 0 (clear) or 200..999 nm.
void TakeCalibration(const std::string& text, CliOptions& options) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) Usage("calibrate wants P=NM, not '" + text + "'");
  const int position = WholeNumber(text.substr(0, equals), "filter position");
  if (position < 1 || position > kReaderPositions) {
    Usage("filter position must be 1 to 6, not " + text.substr(0, equals));
  }
  const int nm = WholeNumber(text.substr(equals + 1), "wavelength");
  if (nm != 0 && (nm < 200 || nm > 999)) {
    Usage("wavelength for position " + std::to_string(position) +
          " must be 0 (clear) or 200 to 999 nm, not " + text.substr(equals + 1));
  }
  if (options.calibrate[position - 1]) {
    Usage("filter position " + std::to_string(position) + " given twice");
  }
  options.calibrate[position - 1] = true;
  options.calibrateNm[position - 1] = nm;
}

}  // namespace

std::string ParsePortValue(const std::string& text, CliOptions& options) {
  try {
    TakePort(text, options);
  } catch (const UsageError& error) {
    return error.text;
  }
  return {};
}

std::string ParseFamilyValue(const std::string& text, CliOptions& options) {
  try {
    options.family = Family(text);
  } catch (const UsageError& error) {
    return error.text;
  }
  return {};
}

namespace {

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  CliOptions Run() {
    std::vector<std::string> words;  // the command and its operands
    while (next_ < args_.size()) {
      const std::string arg = args_[next_++];
      if (arg.size() > 1 && arg[0] == '-') {
        TakeOption(arg);
      } else {
        words.push_back(arg);
      }
    }
    if (helpAsked_) return options_;
    TakeCommand(words);
    CheckCombination();
    return options_;
  }

 private:
  // --name VALUE or --name=VALUE.
  std::string Value(const std::string& name, std::optional<std::string>& inlineValue) {
    if (inlineValue) return *std::exchange(inlineValue, std::nullopt);
    if (next_ >= args_.size()) Usage(name + " needs a value");
    return args_[next_++];
  }

  void TakeOption(const std::string& arg) {
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const size_t equals = arg.find('='); equals != std::string::npos && arg[1] == '-') {
      name = arg.substr(0, equals);
      inlineValue = arg.substr(equals + 1);
    }
    seen_.push_back(name);
    if (name == "--help" || name == "-h") {
      options_.command = CliCommand::Help;
      helpAsked_ = true;
    } else if (name == "--version") {
      if (!helpAsked_) options_.command = CliCommand::Version;
      helpAsked_ = true;
    } else if (name == "--port") {
      TakePort(Value(name, inlineValue), options_);
    } else if (name == "--family") {
      options_.family = Family(Value(name, inlineValue));
    } else if (name == "--baud") {
      const std::string text = Value(name, inlineValue);
      const int baud = WholeNumber(text, "--baud");
      if (baud < 50 || baud > 4000000) Usage("--baud must be 50 to 4000000, not " + text);
      options_.baud = baud;
    } else if (name == "--trace") {
      options_.trace = Value(name, inlineValue);
      if (options_.trace->empty()) Usage("--trace needs a file name (or - for stderr)");
    } else if (name == "--yes" || name == "-y") {
      options_.yes = true;
    } else if (name == "--primary") {
      options_.primary = Wavelength(Value(name, inlineValue), "--primary");
    } else if (name == "--reference") {
      options_.reference = Wavelength(Value(name, inlineValue), "--reference");
    } else if (name == "--format") {
      const std::string format = Value(name, inlineValue);
      options_.xlsx = format == "xlsx";
      options_.asmFormat = format == "asm";
      if (!options_.xlsx)
        options_.format = options_.asmFormat ? ResultFormat::Json : Format(format);
    } else if (name == "--comma") {
      options_.comma = true;
    } else if (name == "--no-header") {
      options_.noHeader = true;
    } else if (name == "--output" || name == "-o") {
      options_.output = Value(name, inlineValue);
      if (options_.output.empty()) Usage("--output needs a file name");
    } else if (name == "--repeat") {
      const std::string text = Value(name, inlineValue);
      options_.repeat = WholeNumber(text, "--repeat");
      if (options_.repeat < 1 || options_.repeat > 100000) {
        Usage("--repeat must be 1 or more, not " + text);
      }
    } else if (name == "--report") {
      options_.reportPath = Value(name, inlineValue);
      if (options_.reportPath.empty()) Usage("--report needs a file name");
    } else if (name == "--operator") {
      options_.operatorName = Value(name, inlineValue);
    } else if (name == "--title") {
      options_.title = Value(name, inlineValue);
    } else if (name == "--plate-id") {
      options_.plateId = Value(name, inlineValue);
    } else if (name == "--every") {
      options_.everySeconds = Seconds(Value(name, inlineValue));
    } else if (std::string error; TakeAnalysisOption(
                   name, [&] { return Value(name, inlineValue); }, options_, &error)) {
      if (!error.empty()) Usage(error);
    } else {
      Usage("unknown option " + name);
    }
    if (inlineValue) Usage(name + " takes no value");
  }

  void TakeCommand(const std::vector<std::string>& words) {
    if (words.empty()) Usage("no command given (try --help)");
    const std::string& command = words[0];
    const size_t operands = words.size() - 1;
    if (command == "measure" || command == "filters" || command == "id") {
      if (operands > 0) Usage(command + " takes no operand: '" + words[1] + "'");
      options_.command = command == "measure"   ? CliCommand::Measure
                         : command == "filters" ? CliCommand::Filters
                                                : CliCommand::Id;
    } else if (command == "ports") {
      if (operands > 0) Usage("ports takes no operand: '" + words[1] + "'");
      options_.command = CliCommand::Ports;
    } else if (command == "analyse") {
      if (operands == 0) Usage("analyse wants at least one plate file");
      options_.plateFiles.assign(words.begin() + 1, words.end());
      options_.command = CliCommand::Analyse;
    } else if (command == "report") {
      if (operands != 1) Usage("report wants one plate file");
      options_.plateFiles.assign(words.begin() + 1, words.end());
      options_.command = CliCommand::Report;
    } else if (command == "plate") {
      if (operands != 1 || (words[1] != "in" && words[1] != "out")) {
        Usage("plate wants in or out");
      }
      options_.command = words[1] == "in" ? CliCommand::PlateIn : CliCommand::PlateOut;
    } else if (command == "calibrate") {
      if (operands == 0) Usage("calibrate wants at least one P=NM (position=wavelength)");
      for (size_t i = 1; i < words.size(); ++i) TakeCalibration(words[i], options_);
      options_.command = CliCommand::Calibrate;
    } else {
      Usage("unknown command '" + command + "' (try --help)");
    }
  }

  bool Seen(const char* name) const {
    for (const auto& s : seen_) {
      if (s == name) return true;
    }
    return false;
  }

  // Options that belong to measure, and their combinations.
  void CheckCombination() {
    if (const std::string error =
            CheckAnalysisOptions(options_, [this](const char* name) { return Seen(name); });
        !error.empty()) {
      Usage(error);
    }
    if (options_.command == CliCommand::Analyse) return;
    if (options_.command != CliCommand::Measure && options_.command != CliCommand::Report) {
      for (const char* name : {"--report", "--operator", "--title"}) {
        if (Seen(name)) Usage(std::string(name) + " belongs to measure and report");
      }
    }
    if (options_.command == CliCommand::Report) {
      for (const char* name : {"--primary", "--reference", "--format", "--no-header", "--repeat",
                               "--every", "--report", "--analysis-only"}) {
        if (Seen(name)) Usage(std::string(name) + " has no meaning for report");
      }
      if (options_.output.empty()) Usage("report needs -o FILE.pdf");
      return;
    }
    const bool ports = options_.command == CliCommand::Ports;
    if (ports && (options_.format == ResultFormat::Csv || options_.asmFormat))
      Usage("ports --format must be tsv or json");
    if (options_.command != CliCommand::Measure) {
      for (const char* name : {"--primary", "--reference", "--format", "--comma", "--no-header",
                               "--output", "-o", "--repeat", "--every", "--plate-id"}) {
        if (Seen(name) && !(ports && std::string(name) == "--format")) {
          Usage(std::string(name) + " belongs to measure");
        }
      }
      return;
    }
    if (!Seen("--primary")) Usage("measure needs --primary NM");
    if (options_.format == ResultFormat::Json && (options_.comma || options_.noHeader)) {
      Usage("--comma and --no-header have no meaning for json");
    }
    if (Seen("--every") && !Seen("--repeat")) Usage("--every belongs to --repeat");
    if (options_.asmFormat && Seen("--repeat"))
      Usage("--format asm writes one plate, not a series");
    if (options_.repeat > 1 && !Seen("--every")) {
      Usage("--repeat " + std::to_string(options_.repeat) + " needs --every SECONDS");
    }
  }

  const std::vector<std::string>& args_;
  size_t next_ = 0;
  CliOptions options_;
  std::vector<std::string> seen_;
  bool helpAsked_ = false;
};

}  // namespace

CliParse ParseCliArguments(const std::vector<std::string>& args) {
  CliParse parse;
  try {
    parse.options = Parser(args).Run();
    parse.ok = true;
  } catch (const UsageError& error) {
    parse.error = error.text;
  }
  return parse;
}

std::string CliHelpText() {
  return R"(Usage: platovix-cli [OPTIONS] COMMAND

Runs the microplate reader from scripts. Without options the port, reader
family and line settings come from the settings file of Platovix (which
platovix-cli only reads, never writes).

Commands:
  measure --primary NM [--reference NM]   measure a plate; prints the result
  analyse --layout FILE PLATE...          analyse saved plates (no reader needed)
  report [--layout FILE] -o FILE.pdf PLATE
                                          the plate report of a saved plate, as PDF
  filters                                 print the wavelengths of positions 1 to 6
  calibrate P=NM [P=NM ...]               set position P (1-6) to NM (200-999, 0 clears)
  plate in | plate out                    move the plate carrier
  id                                      print the reader's identification number
  ports [--format json]                   list the serial devices present and the COMn
                                          of the settings file that lead to them

Reader options:
  --port COMn|DEVICE     COM1 to COM4 as set up in Platovix, or a device path
  --family digiscan|jupiter
                         the reader family (jupiter also serves the Expert)
  --baud N               line speed; data bits, parity and stop bits stay as set
  -y, --yes              confirm the Jupiter's plate request without asking
  --trace FILE           append a line trace of everything sent and received to
                         FILE (- for stderr); rotated at 10 MB into FILE.1

General options:
  -h, --help             print this help and exit
  --version              print the version and exit

Measure options:
  --format tsv|csv|json  tsv (default) is exactly the clipboard text of Platovix
  --format asm           Allotrope Simple Model JSON (plate-reader REC/2025/03)
  --plate-id ID          the plate's barcode or name, for asm and the report
  --report FILE.pdf      also write the plate report (with --layout: the analysis)
  --operator NAME        the report's operator; --title TEXT its title
  --comma                decimal comma (csv then separates fields with ';')
  --no-header            tsv without the filter/time line, csv without metadata
  -o, --output FILE      write the result to FILE (replaced only when complete)
  --repeat N --every S   kinetic series: N reads, one every S seconds; each read
                         is stamped with its completion time (json: an array)

Analysis options (measure and analyse):
  --layout FILE          the plate layout (a plate-shaped CSV, see the README);
                         adds the analysis: blank, standard curve, groups
  --fit linear|4pl|5pl   the standard curve's model (default 4pl)
  --weight none|1/y|1/y2 weighting of the standards in the fit (default none)
  --analysis-only        only the analysis (with tsv: the results table)
  --format json|csv|xlsx what analyse writes (default json; xlsx needs -o)

Progress goes to stderr. The Jupiter asks on the terminal before it loads a
plate; without a terminal and without --yes the read is cancelled. Ctrl+C
aborts the running operation and releases the reader.

Exit codes:
  0 success   1 reader or line failure   2 reader not responding
  3 aborted   64 bad usage

Examples:
  platovix-cli --port /dev/ttyUSB0 --family digiscan measure --primary 450
  platovix-cli measure --primary 450 --reference 620 --format csv -o plate.csv
  platovix-cli measure --primary 405 --repeat 10 --every 60 --format json -o kinetic.json
  platovix-cli calibrate 2=492 5=0
  platovix-cli plate out && platovix-cli --yes measure --primary 450
  platovix-cli measure --primary 450 --reference 620 --layout elisa.csv --format json
  platovix-cli analyse --layout elisa.csv --format xlsx -o elisa.xlsx plate*.csv
  platovix-cli ports --format json
)";
}

std::string CliVersionText() {
  return std::string("platovix-cli ") + PLATOVIX_VERSION + "\n" + PLATOVIX_COPYRIGHT + "\n" +
         PLATOVIX_LICENSE_NOTE + "\n";
}
