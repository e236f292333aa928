// The command line of platovix-cli, parsed and checked as a whole before
// anything touches the port: a script that gets a usage error knows that
// the reader was not spoken to.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analysis/plate_analysis.h"
#include "analysis/plate_layout.h"
#include "results/result_file.h"

enum class CliCommand {
  Help,
  Measure,
  Filters,
  Calibrate,
  PlateIn,
  PlateOut,
  Id,
  Ports,
  Version,
  Analyse,
  Report
};

inline constexpr int kReaderPositions = 6;

struct CliOptions {
  CliCommand command = CliCommand::Help;

  // Where and how to reach the reader; unset means "as in the settings file".
  std::optional<int> comPort;             // --port COM1..COM4
  std::optional<std::string> devicePath;  // --port /dev/...
  std::optional<int> family;              // 0 DigiScan, 1 Jupiter / Expert
  std::optional<int> baud;
  bool yes = false;                  // confirm the Jupiter's plate request without asking
  std::optional<std::string> trace;  // --trace FILE ("-": stderr)

  // measure
  int primary = 0;
  int reference = 0;  // 0 = none
  ResultFormat format = ResultFormat::Tsv;
  bool comma = false;
  bool noHeader = false;
  std::string output;  // empty = stdout
  int repeat = 0;      // 0 = one read; N = a kinetic series of N reads
  double everySeconds = 0;

  // measure and analyse: the plate's analysis (cli_analysis_options.h)
  std::string layoutPath;                       // --layout; empty = no analysis
  std::optional<analysis::PlateLayout> layout;  // read from layoutPath while parsing
  analysis::AnalysisOptions analysis;           // --fit, --weight
  bool analysisOnly = false;
  bool xlsx = false;                    // analyse --format xlsx
  bool asmFormat = false;               // --format asm: Allotrope ASM (format is then Json)
  std::string plateId;                  // --plate-id: the plate's barcode or name
  std::string reportPath;               // measure --report FILE.pdf
  std::string operatorName;             // --operator, for the report's header
  std::string title;                    // --title, the report's title
  std::vector<std::string> plateFiles;  // analyse's operands

  // calibrate: wavelength per position 1..6, 0 clears a position
  std::array<bool, kReaderPositions> calibrate{};
  std::array<int, kReaderPositions> calibrateNm{};
};

struct CliParse {
  bool ok = false;
  CliOptions options;
  std::string error;  // one line, without the program name
};

// args are the arguments after the program name.
CliParse ParseCliArguments(const std::vector<std::string>& args);

std::string CliHelpText();
// "platovix-cli <version>" and the copyright and licence lines.
std::string CliVersionText();

// --port and --family as platovix-cli reads them, for front ends that share
// them. An empty result means the value was taken; else the usage error.
std::string ParsePortValue(const std::string& text, CliOptions& options);
std::string ParseFamilyValue(const std::string& text, CliOptions& options);
