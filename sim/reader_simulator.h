// A stand-in for the 96-well reader on the far end of the serial line: it
// answers the program's frames the way the three reader families do, with
// deterministic readings and on-demand line faults for tests and demos.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace sim {

enum class Family { DigiScan, Jupiter, Expert };

// What the simulated plate holds: shuffled plausible readings (Random) or a
// physical model of an assay plate; see plate_scenarios.h.
enum class PlateScenario { Random, Elisa, Bradford, Kinetic, Growth };

enum class Fault {
  NakCommand,          // NAK the next command frame (the program must resend it)
  CorruptReplyCheck,   // corrupt the check byte of the next reply frame
  StrayBytes,          // send some stray bytes before the next reply
  SilentBeforeAck,     // receive the next command but never answer (not even ACK)
  SilentMidReply,      // stop in the middle of the next reply frame
  SilentBeforeBlock,   // stop before data block number `param` (0-based) of the next transfer
  HangUpMidTransfer,   // close the line in the middle of the next data transfer
  ReaderError,         // next status poll reports a reader error (number = param, default 7)
  SyntaxError,         // next status poll reports a syntax error
  StuckBusy,           // status stays busy (for abort tests)
  ShortBlock,          // next data block one character short
  LongBlock,           // next data block one character long
  BlockOutOfSequence,  // DigiScan: next block carries a wrong block number
  BlankField,          // next data block has a value field of blanks
};

struct Options {
  Family family = Family::DigiScan;
  std::string id = "12345";  // five-digit identification in the "Ap" reply
  std::array<int, 6> filters{405, 450, 492, 540, 620, 690};
  int measureMs = 500, moveMs = 300, calibrateMs = 300;  // how long the reader stays busy
  unsigned seed = 1;
  bool overflow = false;      // a few wells above the family's range
  bool noValueWells = false;  // a few wells carry the family's "no value" code
  int baud = 0;               // 0 = no pacing; else no faster than the line (11 bits per char)
  bool verbose = false;       // log commands and replies to stderr
  std::string plateFile;      // optional readings; the format is in plate_model.h
  PlateScenario scenario = PlateScenario::Random;
  // How much faster the plate's own clock (enzyme product, growing cells)
  // runs than the wall clock; the conversation keeps its real pace.
  double timeScale = 1;
};

class ReaderSimulator {
 public:
  explicit ReaderSimulator(Options options);
  ~ReaderSimulator();
  ReaderSimulator(const ReaderSimulator&) = delete;
  ReaderSimulator& operator=(const ReaderSimulator&) = delete;

  // Serves conversations on fd (a pty master or any byte stream) until Stop()
  // or until fd hangs up / reaches EOF; blocks the calling thread. Each
  // conversation runs from the opening sequence to EOT. Bad options (an
  // unreadable plate file) throw std::runtime_error from the constructor.
  void Serve(int fd);
  void Stop();  // thread-safe; Serve returns within ~100 ms
  void InjectFault(Fault fault, int times = 1, int param = 0);  // times < 0: forever
  void ClearFaults();

  // Raw reading sent for a well (0..95, row-major A1..H12) at a wavelength in
  // nm, before the program's value rule; identical to what goes over the line
  // (for a plate that changes with time: as of the last measurement).
  int Reading(int wavelength, int well) const;
  // Every command text received in a good frame, in order; a frame refused
  // by NakCommand is not counted, one swallowed by SilentBeforeAck is.
  std::vector<std::string> Commands() const;
  void ClearLog();
  int EotCount() const;                // conversations the program ended with EOT
  std::array<int, 6> Filters() const;  // current filter table (after calibration)
  const Options& options() const;

  // A pseudo-terminal master reads EIO while no program holds the far end
  // open; its host wants Serve to wait for the next program instead of ending.
  void SetKeepServingOnHangUp(bool keep);
  // Called for HangUpMidTransfer with the line's fd; returns the fd to go on
  // serving, or -1 to end Serve. Without a handler the simulator shuts a
  // socket down and Serve returns: the owner closes the line.
  void SetHangUpHandler(std::function<int(int fd)> handler);

  struct State;  // defined where the simulator serves the line

 private:
  std::unique_ptr<State> state_;
};

class PtyHost;

// Runs a simulator on a fresh pseudo-terminal on its own thread: the program
// opens slavePath(), a symbolic link that follows the simulator to a new
// pseudo-terminal after HangUpMidTransfer.
class PtySimulator {
 public:
  explicit PtySimulator(Options options);
  ~PtySimulator();  // stops and joins
  PtySimulator(const PtySimulator&) = delete;
  PtySimulator& operator=(const PtySimulator&) = delete;
  const std::string& slavePath() const;
  ReaderSimulator& reader();

 private:
  ReaderSimulator reader_;
  std::string directory_;
  std::string slavePath_;
  std::unique_ptr<PtyHost> host_;
  std::thread thread_;
};

}  // namespace sim
