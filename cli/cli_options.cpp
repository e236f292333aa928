#include "cli/cli_options.h"

#include <platovix_version.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "archive/plate_read.h"
#include "archive/utf8.h"
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

// --port and --family as every front end reads them.
void TakePort(const std::string& text, CliOptions& options) {
  const std::string error = ParsePortValue(text, options);
  if (!error.empty()) Usage(error);
}

void TakeFamily(const std::string& text, CliOptions& options) {
  const std::string error = ParseFamilyValue(text, options);
  if (!error.empty()) Usage(error);
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
      TakeFamily(Value(name, inlineValue), options_);
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
      if (!archive::ValidUtf8(options_.operatorName))
        Usage("--operator is not UTF-8 text (set the terminal to UTF-8)");
    } else if (name == "--title") {
      options_.title = Value(name, inlineValue);
    } else if (name == "--plate-id") {
      options_.plateId = Value(name, inlineValue);
      // Refused before the reader is touched: stored, it would not be the plate's name.
      if (!archive::ValidUtf8(options_.plateId))
        Usage("--plate-id is not UTF-8 text (set the terminal to UTF-8)");
    } else if (name == "--every") {
      options_.everySeconds = Seconds(Value(name, inlineValue));
    } else if (name == "--archive") {
      options_.archiveUrl = Value(name, inlineValue);
      if (options_.archiveUrl->empty()) Usage("--archive needs a URL");
    } else if (name == "--grant") {
      options_.grantRole = Value(name, inlineValue);
      if (options_.grantRole.empty()) Usage("--grant needs a role's name");
    } else if (name == "--no-archive") {
      options_.noArchive = true;
    } else if (name == "--record") {
      options_.recordUuid = Value(name, inlineValue);
      if (options_.recordUuid.empty()) Usage("--record needs a read's UUID");
    } else if (name == "--since") {
      options_.since = Value(name, inlineValue);
      if (archive::UtcKey(options_.since).empty()) {
        Usage("--since wants a date such as 2026-12-01, not '" + options_.since + "'");
      }
    } else if (name == "--assay") {
      // An assay file for measure and analyse, an assay's name for archive list.
      options_.assayPath = options_.assayName = Value(name, inlineValue);
      if (options_.assayPath.empty()) Usage("--assay needs a file name");
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
      if (Seen("--record") && operands > 0) Usage("report --record takes no plate file");
      if (!Seen("--record") && operands != 1) Usage("report wants one plate file");
      options_.plateFiles.assign(words.begin() + 1, words.end());
      options_.command = CliCommand::Report;
    } else if (command == "plate") {
      if (operands != 1 || (words[1] != "in" && words[1] != "out")) {
        Usage("plate wants in or out");
      }
      options_.command = words[1] == "in" ? CliCommand::PlateIn : CliCommand::PlateOut;
    } else if (command == "archive") {
      TakeArchiveCommand(words);
    } else if (command == "calibrate") {
      if (operands == 0) Usage("calibrate wants at least one P=NM (position=wavelength)");
      for (size_t i = 1; i < words.size(); ++i) TakeCalibration(words[i], options_);
      options_.command = CliCommand::Calibrate;
    } else {
      Usage("unknown command '" + command + "' (try --help)");
    }
  }

  void TakeArchiveCommand(const std::vector<std::string>& words) {
    options_.command = CliCommand::Archive;
    const std::string action = words.size() > 1 ? words[1] : "";
    const size_t operands = words.size() > 2 ? words.size() - 2 : 0;
    if (action == "show" || action == "export") {
      if (operands == 0) Usage("archive " + action + " wants a read's UUID");
      if (action == "show" && operands > 1) Usage("archive show takes one UUID");
      options_.uuids.assign(words.begin() + 2, words.end());
      options_.archiveAction = action == "show" ? ArchiveAction::Show : ArchiveAction::Export;
      return;
    }
    if (action == "list" || action == "verify" || action == "forward" || action == "init") {
      if (operands > 0) Usage("archive " + action + " takes no operand: '" + words[2] + "'");
      options_.archiveAction = action == "list"      ? ArchiveAction::List
                               : action == "verify"  ? ArchiveAction::Verify
                               : action == "forward" ? ArchiveAction::Forward
                                                     : ArchiveAction::Init;
      return;
    }
    Usage("archive wants list, show, export, verify, forward or init");
  }

  // Each archive option belongs to some actions only.
  void CheckArchiveCombination() {
    const ArchiveAction action = options_.archiveAction;
    const bool list = options_.command == CliCommand::Archive && action == ArchiveAction::List;
    const bool show = options_.command == CliCommand::Archive && action == ArchiveAction::Show;
    const bool exporting =
        options_.command == CliCommand::Archive && action == ArchiveAction::Export;
    const bool measure = options_.command == CliCommand::Measure;
    const bool report = options_.command == CliCommand::Report;
    if ((Seen("--since") || (Seen("--assay") && !measure && !report)) && !list)
      Usage("--since and --assay belong to archive list");
    if (Seen("--plate-id") && !list && !measure && !report)
      Usage("--plate-id belongs to measure, report and archive list");
    if (Seen("--no-archive") && !measure) Usage("--no-archive belongs to measure");
    const bool record = report && Seen("--record");
    if (record && (Seen("--plate-id") || Seen("--operator")))
      Usage("report --record takes the plate ID and operator from the record");
    if (Seen("--archive") && options_.command != CliCommand::Archive && !measure && !record) {
      Usage("--archive belongs to measure and archive");
    }
    if (measure && options_.noArchive && options_.archiveUrl) {
      Usage("--archive and --no-archive exclude each other");
    }
    const bool init = options_.command == CliCommand::Archive && action == ArchiveAction::Init;
    if (Seen("--grant") && !init) Usage("--grant belongs to archive init");
    if (options_.command != CliCommand::Archive) return;
    if (exporting && Seen("--format") && !options_.asmFormat)
      Usage("archive export --format must be asm (else the file's extension decides)");
    if (Seen("--format") && !list && !show && !exporting)
      Usage("--format belongs to archive list and show");
    if ((list || show) && options_.asmFormat) Usage("--format asm belongs to archive export");
    if (list && Seen("--format") && options_.format == ResultFormat::Csv) {
      Usage("archive list --format must be tsv or json");
    }
    if (show && Seen("--format") && options_.format == ResultFormat::Tsv) {
      Usage("archive show --format must be json or csv");
    }
    if (exporting != (Seen("--output") || Seen("-o"))) Usage("archive export wants -o FILE");
    for (const char* name :
         {"--primary", "--reference", "--comma", "--no-header", "--repeat", "--every"}) {
      if (Seen(name)) Usage(std::string(name) + " belongs to measure");
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
    if (Seen("--record") && options_.command != CliCommand::Report)
      Usage("--record belongs to report");
    if (const std::string error =
            CheckAnalysisOptions(options_, [this](const char* name) { return Seen(name); });
        !error.empty()) {
      Usage(error);
    }
    if (options_.command == CliCommand::Analyse) return;
    CheckArchiveCombination();
    if (options_.command == CliCommand::Archive) return;
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
    if (!Seen("--primary") && !options_.assay) Usage("measure needs --primary NM");
    if (options_.format == ResultFormat::Json && (options_.comma || options_.noHeader)) {
      Usage("--comma and --no-header have no meaning for json");
    }
    if (Seen("--every") && !Seen("--repeat")) Usage("--every belongs to --repeat");
    if (options_.asmFormat && Seen("--repeat"))
      Usage("--format asm writes one plate, not a series");
    const bool assaySeries = options_.assay && options_.assay->reading.kinetic;
    if (options_.repeat > 1 && !Seen("--every") && !assaySeries) {
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
  measure --assay FILE                    measure with an assay's filters and layout
  analyse --assay FILE PLATE...           analyse saved plates with an assay (QC verdict)
  report [--layout FILE] -o FILE.pdf PLATE
                                          the plate report of a saved plate, as PDF
  report --record UUID [--archive URL] -o FILE.pdf
                                          the plate report of an archived read, with
                                          its record's UUID and SHA-256; the stored
                                          assay unless --assay or --layout is given
  filters                                 print the wavelengths of positions 1 to 6
  calibrate P=NM [P=NM ...]               set position P (1-6) to NM (200-999, 0 clears)
  plate in | plate out                    move the plate carrier
  id                                      print the reader's identification number
  ports [--format json]                   list the serial devices present and the COMn
                                          of the settings file that lead to them
  archive list [--since DATE] [--assay NAME] [--plate-id ID] [--format json]
                                          the stored reads, newest first
  archive show UUID [--format json|csv]   one stored read
  archive export UUID... -o FILE          stored reads to FILE (.json, else CSV; --format asm:
                                          one Allotrope ASM document per read)
  archive verify                          check the archive's hash chain; exit 1
                                          naming the first entry that does not match
  archive forward [--archive URL]         send the reads kept here to the lab archive
  archive init --archive URL [--grant ROLE]
                                          create or update the lab archive's tables (as
                                          their owner); ROLE may then store and read only

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
  --report FILE.pdf      also write the plate report (with --layout: the analysis)
  --operator NAME        the report's operator; --title TEXT its title
  --comma                decimal comma (csv then separates fields with ';')
  --no-header            tsv without the filter/time line, csv without metadata
  -o, --output FILE      write the result to FILE (replaced only when complete)
  --repeat N --every S   kinetic series: N reads, one every S seconds; each read
                         is stamped with its start, completion and elapsed time
                         (json: an array)

Archive options (measure and archive):
  --plate-id ID          the plate's barcode or name, stored with the read (and
                         named in asm and the report)
  --archive URL          the lab archive (postgresql://host/db) or a SQLite file;
                         default: [Archive] Url= of the settings file, else
                         $XDG_DATA_HOME/platovix/archive.sqlite
  --no-archive           measure without storing the read (for scripts that keep
                         their own records)
  --record UUID          report: the archived read to report on (--archive then
                         names the archive to find it in)

Analysis options (measure and analyse):
  --layout FILE          the plate layout (a plate-shaped CSV, see the README);
                         adds the analysis: blank, standard curve, groups
  --assay FILE           an assay file (see the README): filters, layout, model,
                         weighting and QC rules; the options above override it
  --fit linear|4pl|5pl|quadratic|point-to-point
                         the standard curve's model (default 4pl)
  --weight none|1/y|1/y2 weighting of the standards in the fit (default none)
  --analysis-only        only the analysis (with tsv: the results table)
  --format json|csv|xlsx what analyse writes (default json; xlsx needs -o)
  --fail-on-qc           exit 4 when the assay's QC verdict is Fail (else 0)
  --kinetic rate|growth  analyse a series per well: the steepest window's rate
                         (mOD/min), or growth (µmax, doubling time, lag, K,
                         AUC, logistic fit); measure then writes the series to
                         -o FILE and the analysis to stdout
  --window N             reads in the sliding window (default 5)

Progress goes to stderr. The Jupiter asks on the terminal before it loads a
plate; without a terminal and without --yes the read is cancelled. Ctrl+C
aborts the running operation and releases the reader.

Exit codes:
  0 success   1 reader or line failure   2 reader not responding
  3 aborted   4 QC failed (with --fail-on-qc)
  5 the read is in no archive nor spool (the result is still printed)
  64 bad usage

Examples:
  platovix-cli --port /dev/ttyUSB0 --family digiscan measure --primary 450
  platovix-cli measure --primary 450 --reference 620 --format csv -o plate.csv
  platovix-cli measure --primary 405 --repeat 10 --every 60 --format json -o kinetic.json
  platovix-cli calibrate 2=492 5=0
  platovix-cli plate out && platovix-cli --yes measure --primary 450
  platovix-cli measure --primary 450 --reference 620 --layout elisa.csv --format json
  platovix-cli analyse --layout elisa.csv --format xlsx -o elisa.xlsx plate*.csv
  platovix-cli --yes measure --assay examples/elisa-assay.json --format json
  platovix-cli measure --primary 405 --repeat 30 --every 20 --kinetic rate -o series.json
  platovix-cli analyse --kinetic growth --layout growth.csv --format csv series.json
  platovix-cli ports --format json
)";
}

std::string CliVersionText() {
  return std::string("platovix-cli ") + PLATOVIX_VERSION + "\n" + PLATOVIX_COPYRIGHT + "\n" +
         PLATOVIX_LICENSE_NOTE + "\n";
}
