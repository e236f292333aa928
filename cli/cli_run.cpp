#include "cli/cli_run.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/analyse_command.h"
#include "cli/analysis_output.h"
#include "cli/archive_command.h"
#include "cli/archive_config.h"
#include "cli/asm_output.h"
#include "cli/cli_options.h"
#include "cli/cli_trace.h"
#include "cli/kinetic_files.h"
#include "cli/kinetic_output.h"
#include "cli/kinetic_run_record.h"
#include "cli/ports_command.h"
#include "cli/report_command.h"
#include "cli/result_output.h"
#include "cli/terminal_dialog.h"
#include "driver/foto.h"
#include "driver/reader_line.h"
#include "link/port_refusal.h"
#include "link/port_setup.h"
#include "link/posix_serial_port.h"
#include "link/trace_details.h"
#include "results/file_time.h"
#include "results/shared_state.h"
#include "settings/settings.h"

namespace {

using Clock = std::chrono::system_clock;
using Steady = std::chrono::steady_clock;

constexpr char kProgram[] = "platovix-cli: ";

// Everything one command needs once the port is open.
struct Session {
  const CliOptions& options;
  const CliIo& io;
  TerminalDialog& dialog;
  TFoto& driver;
  PortHandle port;
  CliTrace& trace;
  std::string lineDetails;  // the begin line's family, line and device
  std::string device;
};

// Runs one driver operation and turns its completion command into an exit
// code, with the failure text on stderr.
int RunOperation(Session& session, const char* name, const std::string& details,
                 const std::function<void(PortHandle*, DialogHandle**)>& op) {
  session.dialog.ClearCompletion();
  DialogHandle* dialog = &session.dialog;
  const std::string begin =
      details.empty() ? session.lineDetails : details + ' ' + session.lineDetails;
  op(&session.port, session.trace.Begin(name, begin, &dialog));
  session.dialog.EndLine();
  session.trace.ReportFailure();
  const std::string message = session.driver.szMessage;
  switch (session.dialog.Completion()) {
    case kMeasureDone:
    case kFiltersDone:
    case kCalibrateDone:
    case kPlateMoved:
      return kExitSuccess;
    case kUserAborted:
      session.io.err << kProgram << message << '\n';
      return kExitAborted;
    case kReaderTimeout:
      session.io.err << kProgram << "Reader not responding. " << message << '\n';
      return kExitNotResponding;
    default:
      session.io.err << kProgram << message << '\n';
      return kExitFailure;
  }
}

// Sleeps until the given time unless the abort flag is raised first.
bool WaitUntil(Steady::time_point when) {
  while (Steady::now() < when) {
    if (bAbort.load() != 0) return false;
    const auto slice =
        std::min<Steady::duration>(when - Steady::now(), std::chrono::milliseconds(50));
    std::this_thread::sleep_for(slice);
  }
  return bAbort.load() == 0;
}

int Measure(Session& session) {
  const CliOptions& options = session.options;
  ResultOutput output(options, session.io.out);
  const int reads = options.repeat > 0 ? options.repeat : 1;
  const auto interval = std::chrono::duration_cast<Steady::duration>(
      std::chrono::duration<double>(options.everySeconds));
  Steady::time_point first = Steady::now();  // the first read's start, below
  int result = kExitSuccess;
  bool qcFailed = false;
  bool keptNowhere = false;
  std::vector<analysis::KineticRead> series;  // the completed reads, for --kinetic
  // A kinetic series is also one record naming its reads.
  std::optional<KineticRunRecorder> run;
  if (options.kinetic && options.repeat > 0 && ArchivingOn(options)) run.emplace(options);
  std::string endMessage;  // why the series ended early
  std::string runStarted;  // the first read's start, for the series' report

  for (int read = 0; read < reads && result == kExitSuccess; ++read) {
    // A kinetic series keeps its rhythm: read n starts n intervals after the
    // first, or at once when the one before took longer.
    if (read > 0 && !WaitUntil(first + read * interval)) {
      endMessage = "User aborted.";
      session.io.err << kProgram << "User aborted.\n";
      result = kExitAborted;
      break;
    }
    if (reads > 1)
      session.dialog.Status("read " + std::to_string(read + 1) + " of " + std::to_string(reads));

    TPlateResult plate;
    std::fill(std::begin(plate.nValue), std::end(plate.nValue), kNoValue);
    plate.nPrimary = options.primary;
    plate.nReference = options.reference;
    ResultContext context;
    context.started = Clock::now();
    if (read == 0) runStarted = FormatIsoLocalTime(*context.started);
    // The series' own clock (the wall clock may be set while it runs),
    // started by the first read: its elapsed time is 0.
    const Steady::time_point begun = Steady::now();
    if (read == 0) first = begun;
    if (options.repeat > 0) {
      // To the millisecond, as the series file holds it: analysing the file
      // again gives the same rates as this run reports.
      context.elapsedSeconds =
          std::round(std::chrono::duration<double>(begun - first).count() * 1000) / 1000;
    }
    const size_t firstText = session.dialog.StatusTexts().size();

    const std::string details = TraceMeasureDetails(plate.nPrimary, plate.nReference);
    result =
        RunOperation(session, kTraceMeasure, details, [&](PortHandle* port, DialogHandle** dialog) {
          session.driver.Measure(port, dialog, &bAbort, plate.nValue, plate.nPrimary,
                                 plate.nReference, plate.bOverRange);
        });
    if (result != kExitSuccess) {
      endMessage = session.driver.szMessage;
      // A read that did not complete is kept too, with why.
      if (ArchivingOn(options)) {
        archive::PlateRead failed = ReadRecordOf(plate, context, options, session.device);
        failed.trace = session.trace.OperationText();
        failed.status =
            result == kExitAborted ? archive::ReadStatus::Aborted : archive::ReadStatus::Failed;
        failed.message = (result == kExitNotResponding ? "Reader not responding. " : "") +
                         std::string(session.driver.szMessage);
        StoreReadFirst(options, failed, session.io.err);
      }
      break;
    }

    context.completed = Clock::now();
    plate.ftMeasured = FileTimeFromLocalNow();
    plate.bValid = 1;
    context.readerKind =
        ReaderKindName(AppSettings.readerSubType, session.dialog.StatusTexts(), firstText);
    context.readerId = session.driver.szReaderId;
    if (options.kinetic) series.push_back(KineticReadOf(plate, *context.elapsedSeconds));
    // Stored before anything is printed: what a script sees is in the archive.
    std::optional<archive::PlateRead> record;
    std::string archiveName;  // where it is stored; empty: only spooled
    if (ArchivingOn(options)) {
      record = ReadRecordOf(plate, context, options, session.device);
      record->trace = session.trace.OperationText();
      const archive::StoreOutcome stored = StoreReadFirst(options, *record, session.io.err);
      archiveName = stored.archive;
      if (!stored.stored && !stored.spooled) {
        record.reset();  // kept nowhere: no record to name
        keptNowhere = true;
      } else if (run) {
        run->Add(*record, *context.elapsedSeconds);
      }
    }
    // An assay of rates has its verdict once the series is analysed.
    if (!options.assay || !options.assay->rateResponse) {
      qcFailed = ReportVerdict(plate, options, session.io.err) || qcFailed;
    }
    std::string error;
    std::string text;
    if (options.xlsx) {
      // The workbook is made anew after each read, so an aborted series leaves one too.
      if (!WriteKineticWorkbook(series, options, &error)) {
        session.io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
        result = kExitFailure;
        break;
      }
      continue;
    }
    if (options.asmFormat) {
      if (!FormatAsmRead(plate, context, options, options.plateId, &text, &error)) {
        session.io.err << kProgram << "cannot write ASM: " << error << '\n';
        result = kExitFailure;
        break;
      }
      text.pop_back();  // the output adds its own line end
    } else {
      text = FormatRead(plate, context, options);
    }
    if (!output.Add(text, &error)) {
      session.io.err << kProgram << "cannot write " << options.output << ": " << error
                     << " (the result went to stdout)\n";
      result = kExitFailure;
    }
    // A series analysed per well has one report, of the run, below.
    if (!options.reportPath.empty() && !options.kinetic &&
        !WriteReadReport(plate, context, options, &error, record ? &*record : nullptr,
                         archiveName)) {
      session.io.err << kProgram << "cannot write " << options.reportPath << ": " << error << '\n';
      result = kExitFailure;
    }
  }
  output.Finish();
  const bool runKept = run && run->Finish(result, endMessage, series, session.io.err);
  // An aborted or failed series is analysed as far as it got.
  if (options.kinetic && !series.empty() && options.xlsx) {
    const std::optional<analysis::PlateAnalysis> rates =
        RatesOf(analysis::AnalyseKinetics(series, options.layout ? &*options.layout : nullptr,
                                          *options.kinetic),
                options);
    if (rates) qcFailed = ReportVerdict(*rates, session.io.err) || qcFailed;
  } else if (options.kinetic && !series.empty()) {
    session.io.out << FormatKinetics(series, options, session.io.err, &qcFailed) << std::flush;
  }
  if (options.kinetic && !options.reportPath.empty()) {
    analysis::KineticRunFacts facts;
    facts.started = runStarted;
    facts.intervalSeconds = options.everySeconds;
    facts.plannedReads = reads;
    if (runKept) {
      facts.recordUuid = run->Uuid();
      facts.archiveName = run->Archive();
    }
    if (result != kExitSuccess) {
      facts.status = result == kExitAborted ? "aborted" : "failed";
      facts.message = endMessage;
    }
    std::string error;
    if (!WriteKineticReport(series, options, facts, &error)) {
      session.io.err << kProgram << "cannot write " << options.reportPath << ": " << error << '\n';
      if (result == kExitSuccess) result = kExitFailure;
    }
  }
  if (ArchivingOn(options)) ForwardAfterShown(options, session.io.out, session.io.err);
  if (result == kExitSuccess && keptNowhere) return kExitNotKept;
  if (result == kExitSuccess && qcFailed && options.failOnQc) return kExitQcFailed;
  return result;
}

std::string SixFilters(const int32_t* wavelengths) {
  std::string text;
  for (int i = 0; i < kReaderPositions; ++i) {
    if (i > 0) text += ' ';
    text += std::to_string(wavelengths[i]);
  }
  return text + '\n';
}

int Filters(Session& session, bool idOnly) {
  int32_t wavelengths[kFilterSlots] = {};
  int32_t count = 0;
  const int result =
      RunOperation(session, kTraceFilters, "", [&](PortHandle* port, DialogHandle** dialog) {
        session.driver.ReadFilters(port, dialog, &bAbort, wavelengths, &count);
      });
  if (result != kExitSuccess) return result;
  if (!idOnly) {
    session.io.out << SixFilters(wavelengths) << std::flush;
    return kExitSuccess;
  }
  if (session.driver.szReaderId[0] == '\0') {
    session.io.err << kProgram << "the reader sent no identification number\n";
    return kExitFailure;
  }
  session.io.out << session.driver.szReaderId << '\n' << std::flush;
  return kExitSuccess;
}

int Calibrate(Session& session) {
  // The positions not named keep what the settings file knows of them;
  // they are not sent to the reader.
  int32_t wavelengths[kFilterSlots] = {};
  int32_t flags[kFilterSlots] = {};
  for (int i = 0; i < kReaderPositions && i < FilterTable.nCount; ++i) {
    wavelengths[i] = FilterTable.nWavelength[i];
  }
  for (int i = 0; i < kReaderPositions; ++i) {
    if (!session.options.calibrate[i]) continue;
    wavelengths[i] = session.options.calibrateNm[i];
    flags[i] = 1;
  }
  int32_t count = kReaderPositions;
  const std::string details = TraceCalibrateDetails(wavelengths, flags);
  const int result =
      RunOperation(session, kTraceCalibrate, details, [&](PortHandle* port, DialogHandle** dialog) {
        session.driver.Calibrate(port, dialog, &bAbort, wavelengths, flags, &count);
      });
  if (result == kExitSuccess) session.io.out << SixFilters(wavelengths) << std::flush;
  return result;
}

int MovePlate(Session& session, bool out) {
  return RunOperation(session, out ? kTracePlateOut : kTracePlateIn, "",
                      [&](PortHandle* port, DialogHandle** dialog) {
                        session.driver.MovePlate(port, dialog, &bAbort, out);
                      });
}

int RunCommand(Session& session) {
  switch (session.options.command) {
    case CliCommand::Measure:
      return Measure(session);
    case CliCommand::Filters:
      return Filters(session, false);
    case CliCommand::Id:
      return Filters(session, true);
    case CliCommand::Calibrate:
      return Calibrate(session);
    case CliCommand::PlateIn:
      return MovePlate(session, false);
    case CliCommand::PlateOut:
      return MovePlate(session, true);
    case CliCommand::Help:
    case CliCommand::Version:
    case CliCommand::Ports:
    case CliCommand::Analyse:
    case CliCommand::Archive:
    case CliCommand::Report:
      break;  // answered before the port is opened
  }
  return kExitUsage;
}

// A result file that cannot be written is better known before the plate is
// read than after.
bool OutputWritable(const std::string& path, std::string* error) {
  const size_t slash = path.rfind('/');
  const std::string directory =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (access(directory.c_str(), W_OK | X_OK) == 0) return true;
  *error = std::generic_category().message(errno);
  return false;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const CliIo& io) {
  const CliParse parse = ParseCliArguments(args);
  if (!parse.ok) {
    io.err << kProgram << parse.error << '\n';
    return kExitUsage;
  }
  const CliOptions& options = parse.options;
  if (options.command == CliCommand::Help) {
    io.out << CliHelpText();
    return kExitSuccess;
  }
  if (options.command == CliCommand::Version) {
    io.out << CliVersionText();
    return kExitSuccess;
  }
  // Saved plates need neither the settings nor a reader.
  if (options.command == CliCommand::Analyse) return RunAnalyse(options, io);
  if (options.command == CliCommand::Report && options.recordUuid.empty()) {
    return RunReport(options, io);
  }

  // The settings are only read: nothing given here is ever stored.
  LoadReaderSettings(options);
  if (options.command == CliCommand::Report) return RunReport(options, io);  // an archived read
  if (options.command == CliCommand::Archive) return RunArchiveCommand(options, io);
  if (options.command == CliCommand::Ports) {
    return RunPortsCommand(options.format == ResultFormat::Json, io);
  }
  std::string refused;
  if (options.command == CliCommand::Measure && ArchiveRefused(options, &refused)) {
    io.err << kProgram << refused << '\n';
    return kExitUsage;
  }
  std::string usage;
  const std::string device = ReaderDevicePath(options, &usage);
  if (device.empty()) {
    io.err << kProgram << usage << '\n';
    return kExitUsage;
  }
  if (!options.output.empty()) {
    std::string error;
    if (!OutputWritable(options.output, &error)) {
      io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
      return kExitFailure;
    }
  }

  CliTrace trace(options.trace, io.err);
  std::string openError;
  int openErrno = 0;
  std::unique_ptr<PosixSerialPort> opened = OpenReaderDevice(device, &openError, &openErrno);
  if (!opened) {
    io.err << kProgram << openError << '\n';
    const std::string hint = PortRefusalHint(device, openErrno);
    if (!hint.empty()) io.err << kProgram << hint << '\n';
    return kExitFailure;
  }
  const std::unique_ptr<SerialPort> port = trace.Wrap(std::move(opened));
  std::unique_ptr<TFoto> driver(
      CreateReaderDriver(AppSettings.readerType, AppSettings.readerSubType));
  if (!driver) {
    io.err << kProgram << "out of memory\n";
    return kExitFailure;
  }
  TerminalDialog dialog(io.err, io.errIsTerminal, io.terminalFd, options.yes);
  Session session{options,
                  io,
                  dialog,
                  *driver,
                  port.get(),
                  trace,
                  TraceLineDetails(AppSettings.readerSubType, LineSettingsFromApp(), device),
                  device};
  return RunCommand(session);
}

namespace {

// Only a lock-free atomic store: safe in a signal handler. The handler
// resets itself, so a second Ctrl+C ends a program that does not react.
void RaiseAbortFlag(int) {
  bAbort.store(1);
}

void CatchAbortSignals() {
  struct sigaction action {};
  action.sa_handler = RaiseAbortFlag;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read from the terminal (the plate question) ends at
  // once and counts as Cancel.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A reader closed early (| head) must not kill us mid-conversation: the
  // reader is released with EOT all the same.
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int CliMain(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  bAbort.store(0);
  CatchAbortSignals();
  // Dates in the header in the user's form, as the desktop program writes
  // them; numbers never depend on the locale.
  setlocale(LC_ALL, "");
  setlocale(LC_NUMERIC, "C");
  const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  CliIo io{std::cout, std::cerr, isatty(STDERR_FILENO) == 1, terminal};
  const int code = RunCli(args, io);
  if (terminal >= 0) close(terminal);
  return code;
}
