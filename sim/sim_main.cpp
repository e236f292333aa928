// platovix-sim: a simulated microplate reader on a pseudo-terminal, for
// trying Platovix without an instrument, for tests and for training.
#include <platovix_version.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "sim/fault_set.h"
#include "sim/plate_layout.h"
#include "sim/plate_scenarios.h"
#include "sim/pty_host.h"
#include "sim/reader_family.h"
#include "sim/reader_simulator.h"
#include "sim/replay_main.h"
#include "sim/stop_signals.h"

namespace {

const char kHelp[] = R"(Usage: platovix-sim [options]

Plays a DigiScan, Jupiter or Expert microplate reader on a new pseudo-terminal.
Prints the path of the terminal's far end on standard output; point the
program's serial port at it (or at the --link path). Serves one conversation
after the other until SIGINT or SIGTERM; programs may come and go.

  --family NAME        digiscan (default), jupiter or expert
  --link PATH          make a symbolic link to the far end at PATH (kept up to
                       date, removed at the end)
  --id DIGITS          five-digit identification in the "Ap" reply (12345)
  --filters LIST       six wavelengths in nm, comma-separated, 0 = empty
                       position (405,450,492,540,620,690)
  --measure-ms N       how long a measurement keeps the reader busy (500)
  --move-ms N          how long a carrier move takes (300)
  --calibrate-ms N     how long a filter calibration takes (300)
  --scenario NAME      what the plate holds (random):
                         random    plausible readings shuffled over the plate
                         elisa     TMB ELISA read at 450 against 620 nm: blanks
                                   A1 B1, controls C1-F1, standards 1000 to
                                   7.8 pg/mL in columns 2-3, samples in 4-12
                         bradford  protein with Coomassie at 595 nm (the
                                   reader has 595 in position 4, not 540)
                         kinetic   phosphatase rates at 405 nm, a dilution
                                   series per row; read it with --repeat
                         growth    bacteria at 690 nm along logistic curves:
                                   µmax by row, lag and K by column, blanks
                                   in column 12; grows over hours
                                   (faster with --time-scale)
  --time-scale F       the plate's clock runs F times as fast as the wall
                       clock (1): with 3600 a growth plate grows an hour in a
                       second; the reader's replies keep their real pace
  --write-layout FILE  write the scenario's ground truth (which well holds
                       what, at which concentration) to FILE and exit
  --demo-filters       print the six filters, then the scenario's primary
                       and reference filter (0 = none), and exit
  --seed N             readings are a fixed function of the seed (1)
  --overflow           a few wells read above the family's range
  --no-value           a few wells carry the family's "no value" code
                       (Jupiter 99998, Expert 9998; DigiScan has none)
  --plate FILE         take readings from FILE instead (see below)
  --baud N             send no faster than a line of N baud (11 bits per
                       character); default: no pacing
  --fault NAME[:TIMES[:PARAM]]
                       inject a line or reader fault TIMES times (default 1,
                       -1 = always); may be repeated. Names:
                         nak-command            NAK the next command frame
                         corrupt-reply-check    wrong check byte on the next reply
                         stray-bytes            PARAM (5) noise bytes before the next reply
                         silent-before-ack      take the next command, answer nothing
                         silent-mid-reply       stop halfway through the next reply
                         silent-before-block    stop before data block PARAM (0-based)
                         hang-up-mid-transfer   drop the line halfway through a transfer
                                                (the far end moves: use --link)
                         reader-error           next status poll: reader error PARAM (7)
                         syntax-error           next status poll: syntax error
                         stuck-busy             status polls answer busy
                         short-block            next data block one character short
                         long-block             next data block one character long
                         block-out-of-sequence  next DigiScan block carries a wrong number
                         blank-field            value field PARAM (0) of the next block blank
  --replay TRACE       play the reader's side of a line trace written by
                       platovix-cli --trace or Platovix: every command is
                       answered as the recorded reader answered it; where the
                       program sends something else, a reader of the recorded
                       family answers until the conversation ends
  --strict             with --replay: report the first command that differs
                       from the recording and stop (exit code 1)
  -v, --verbose        log every command received and reply sent to stderr
  -h, --help           this text
      --version        print the version and exit

Scenarios other than random model the plate: each well's absorbance is its
dyes' concentration times their absorbance spectra times the light path, on
top of the plate (about 0.04 OD) and its meniscus; the reader adds stray
light near the top of its range and noise (0.002 OD + 0.5 %); empty wells
read the family's "no value" code. A reference filter sees the plate and the
meniscus only. Dyes (peak): tmb (450 nm, stopped), coomassie-protein
(595 nm), coomassie-free (470 nm), p-nitrophenol (405 nm), nadh (340 nm).
An enzyme's product grows with the time since the plate went in (plate-in
command or simulator start). --overflow puts a dark spill in a few wells.

Plate file: for each wavelength a line "wavelength <nm>" followed by 8 lines
(rows A to H) of 12 integers (columns 1 to 12) in thousandths, separated by
blanks or tabs; '#' starts a comment. Values are sent as written, so they may
lie out of range or be the family's "no value" code, but must fit the field
(5 characters; 4 for an Expert). Wavelengths not in the file get generated
readings.
)";

sim::ReaderSimulator* gReader = nullptr;

void OnSignal(int) {
  if (gReader != nullptr) gReader->Stop();  // an atomic store: safe here
}

[[noreturn]] void Fail(const std::string& text) {
  std::fprintf(stderr, "platovix-sim: %s (try --help)\n", text.c_str());
  std::exit(2);
}

int Number(const std::string& option, const char* text, long lowest, long highest) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || value < lowest || value > highest)
    Fail(option + " wants a whole number from " + std::to_string(lowest) + " to " +
         std::to_string(highest) + ", not \"" + text + "\"");
  return static_cast<int>(value);
}

double Scale(const char* text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (*text == '\0' || *end != '\0' || errno != 0 || !(value >= 0.001 && value <= 1e6))
    Fail(std::string("--time-scale wants a number from 0.001 to 1000000, not \"") + text + "\"");
  return value;
}

struct FaultRequest {
  sim::Fault fault;
  int times = 1;
  int param = 0;
};

FaultRequest ParseFault(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
  FaultRequest request{};
  if (parts.empty() || parts.size() > 3 || !sim::FaultFromName(parts[0], &request.fault))
    Fail("unknown fault \"" + text + "\"");
  if (parts.size() > 1) request.times = Number("--fault", parts[1].c_str(), -1, 1000000);
  if (parts.size() > 2) request.param = Number("--fault", parts[2].c_str(), 0, 1000);
  return request;
}

std::array<int, 6> ParseFilters(const std::string& list) {
  std::array<int, 6> filters{};
  std::stringstream in(list);
  std::string item;
  int count = 0;
  while (std::getline(in, item, ',')) {
    if (count == 6) Fail("--filters wants six wavelengths");
    filters[count++] = Number("--filters", item.c_str(), 0, 999);
  }
  if (count != 6) Fail("--filters wants six wavelengths");
  return filters;
}

void WriteLayout(sim::PlateScenario scenario, const std::string& path) {
  if (scenario == sim::PlateScenario::Random)
    Fail("--write-layout wants a --scenario other than random");
  const std::string text = sim::LayoutText(sim::BuildScenario(scenario));
  std::FILE* file = std::fopen(path.c_str(), "w");
  const bool written = file != nullptr && std::fputs(text.c_str(), file) >= 0;
  if (file == nullptr || std::fclose(file) != 0 || !written)
    Fail("cannot write " + path + ": " + std::strerror(errno));
}

void PrintDemoFilters(const sim::Options& options) {
  const sim::ScenarioPlate plate = sim::BuildScenario(options.scenario);
  for (int nm : options.filters) std::printf("%d ", nm);
  std::printf("%d %d\n", plate.primaryNm, plate.referenceNm);
}

}  // namespace

int main(int argc, char** argv) {
  sim::Options options;
  std::string linkPath;
  std::vector<FaultRequest> faults;
  std::string replayPath;
  bool strict = false;
  std::string layoutPath;
  bool filtersGiven = false, demoFilters = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Fail(arg + " wants a value");
      return argv[++i];
    };
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("platovix-sim %s\n%s\n%s\n", PLATOVIX_VERSION, PLATOVIX_COPYRIGHT,
                  PLATOVIX_LICENSE_NOTE);
      return 0;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--family") {
      const std::string name = value();
      if (!sim::FamilyFromName(name, &options.family)) Fail("unknown family \"" + name + "\"");
    } else if (arg == "--link") {
      linkPath = value();
    } else if (arg == "--id") {
      options.id = value();
      if (options.id.size() != 5 || options.id.find_first_not_of("0123456789") != std::string::npos)
        Fail("--id wants five digits");
    } else if (arg == "--filters") {
      options.filters = ParseFilters(value());
      filtersGiven = true;
    } else if (arg == "--scenario") {
      const std::string name = value();
      if (!sim::ScenarioFromName(name, &options.scenario))
        Fail("unknown scenario \"" + name + "\"");
    } else if (arg == "--write-layout") {
      layoutPath = value();
    } else if (arg == "--demo-filters") {
      demoFilters = true;
    } else if (arg == "--measure-ms") {
      options.measureMs = Number(arg, value(), 0, 3600000);
    } else if (arg == "--move-ms") {
      options.moveMs = Number(arg, value(), 0, 3600000);
    } else if (arg == "--calibrate-ms") {
      options.calibrateMs = Number(arg, value(), 0, 3600000);
    } else if (arg == "--time-scale") {
      options.timeScale = Scale(value());
    } else if (arg == "--seed") {
      options.seed = static_cast<unsigned>(Number(arg, value(), 0, 2147483647));
    } else if (arg == "--overflow") {
      options.overflow = true;
    } else if (arg == "--no-value") {
      options.noValueWells = true;
    } else if (arg == "--plate") {
      options.plateFile = value();
    } else if (arg == "--baud") {
      options.baud = Number(arg, value(), 0, 4000000);
    } else if (arg == "--replay") {
      replayPath = value();
    } else if (arg == "--strict") {
      strict = true;
    } else if (arg == "--fault") {
      faults.push_back(ParseFault(value()));
    } else {
      Fail("unknown option \"" + arg + "\"");
    }
  }

  if (!filtersGiven) options.filters = sim::BuildScenario(options.scenario).filters;
  if (!layoutPath.empty()) WriteLayout(options.scenario, layoutPath);
  if (demoFilters) PrintDemoFilters(options);
  if (!layoutPath.empty() || demoFilters) return 0;
  if (strict && replayPath.empty()) Fail("--strict belongs to --replay");
  if (!replayPath.empty()) return sim::RunReplay(replayPath, strict, linkPath);

  try {
    sim::ReaderSimulator reader(options);
    for (const FaultRequest& f : faults) reader.InjectFault(f.fault, f.times, f.param);
    sim::PtyHost host;
    std::string error;
    if (!host.Open(linkPath, &error)) Fail(error);
    reader.SetKeepServingOnHangUp(true);
    reader.SetHangUpHandler([&host](int) {
      const int fd = host.Reopen();
      if (fd >= 0) std::printf("%s\n", host.farEnd().c_str());
      std::fflush(stdout);
      return fd;
    });

    gReader = &reader;
    sim::CatchStopSignals(OnSignal);

    std::printf("%s\n", host.farEnd().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "platovix-sim: %s reader on %s%s%s\n", sim::TraitsOf(options.family).name,
                 host.farEnd().c_str(), linkPath.empty() ? "" : ", linked from ", linkPath.c_str());
    reader.Serve(host.master());
    gReader = nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "platovix-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
