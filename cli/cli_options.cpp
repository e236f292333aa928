#include "cli/cli_options.h"

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
    } else if (name == "--check") {
      options_.checkForwarded = true;
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
    if (Seen("--check") &&
        !(options_.command == CliCommand::Archive && action == ArchiveAction::Forward))
      Usage("--check belongs to archive forward");
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
