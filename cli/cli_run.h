// platovix-cli from its arguments to its exit code. Kept apart from main()
// so that tests run it in-process against a simulated reader.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Exit codes a script can tell apart.
enum CliExit : int {
  kExitSuccess = 0,
  kExitFailure = 1,        // the reader or the line failed (806), or a file could not be written
  kExitNotResponding = 2,  // the reader did not answer (805)
  kExitAborted = 3,        // Ctrl+C, SIGTERM or a cancelled plate request (804)
  kExitQcFailed = 4,       // --fail-on-qc: the read completed but the assay's QC failed
  kExitNotKept = 5,        // the read is in no archive nor spool; the result was still printed
  kExitUsage = 64,         // bad arguments; the port was not touched
};

struct CliIo {
  std::ostream& out;           // results
  std::ostream& err;           // progress and failures
  bool errIsTerminal = false;  // progress rewrites one line in place
  int terminalFd = -1;         // where the plate question is asked; -1 = nobody
};

// Runs one command. The abort flag (bAbort) is watched throughout and is
// not cleared here: a signal that came before the reader was reached
// still counts.
int RunCli(const std::vector<std::string>& args, const CliIo& io);

// The program: real streams, the controlling terminal, and SIGINT / SIGTERM
// turned into the abort flag.
int CliMain(int argc, char** argv);
