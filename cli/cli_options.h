// The command line of platovix-cli, parsed and checked as a whole before
// anything touches the port: a script that gets a usage error knows that
// the reader was not spoken to.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analysis/assay.h"
#include "analysis/kinetics.h"
#include "analysis/plate_analysis.h"
#include "analysis/plate_layout.h"
#include "driver/reader_line.h"
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
  Archive,
  Report
};

enum class ArchiveAction { List, Show, Export, Verify, Forward, Init };

inline constexpr int kReaderPositions = 6;

// The port, family and speed (ReaderLineOptions) come first.
struct CliOptions : ReaderLineOptions {
  CliCommand command = CliCommand::Help;

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
  std::string assayPath;                 // --assay; filters, layout and analysis
  std::optional<analysis::Assay> assay;  // read from assayPath while parsing
  bool failOnQc = false;                 // --fail-on-qc: exit 4 on a failed verdict
  bool xlsx = false;                     // analyse --format xlsx
  bool asmFormat = false;                // --format asm: Allotrope ASM (format is then Json)
  std::string reportPath;                // measure --report FILE.pdf
  std::string operatorName;              // --operator, for the report's header
  std::string title;                     // --title, the report's title
  std::vector<std::string> plateFiles;   // analyse's operands
  std::string recordUuid;                // report --record UUID: an archived read
  // --kinetic rate|growth (or the assay's): the series' analysis per well
  std::optional<analysis::KineticOptions> kinetic;
  std::optional<int> kineticWindow;  // --window N

  // measure and archive: where reads are stored (archive_command.h)
  std::optional<std::string> archiveUrl;  // --archive URL (or a SQLite file)
  std::string grantRole;                  // archive init --grant ROLE
  bool noArchive = false;                 // measure --no-archive
  bool checkForwarded = false;            // archive forward --check
  std::string plateId;  // --plate-id: measure's and report's plate, or list's filter
  // archive
  ArchiveAction archiveAction = ArchiveAction::List;
  std::vector<std::string> uuids;  // show, export
  std::string since;               // list --since DATE
  std::string assayName;           // list --assay NAME

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
