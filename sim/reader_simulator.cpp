#include "sim/reader_simulator.h"

#include <sys/socket.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "link/check_byte.h"
#include "sim/data_blocks.h"
#include "sim/fault_set.h"
#include "sim/plate_model.h"
#include "sim/reader_family.h"
#include "sim/reader_model.h"
#include "sim/sim_line.h"

namespace sim {

struct ReaderSimulator::State {
  explicit State(Options o)
      : options(std::move(o)), plate(options), model(options, plate, faults) {}

  Options options;
  PlateModel plate;
  mutable std::mutex mutex;  // guards everything below
  FaultSet faults;
  ReaderModel model;
  std::vector<std::string> commands;
  int eotCount = 0;
  std::function<int(int)> hangUpHandler;

  std::atomic<bool> stop{false};
  std::atomic<bool> keepServingOnHangUp{false};

  bool Take(Fault fault, int* param = nullptr) {
    std::lock_guard<std::mutex> lock(mutex);
    return faults.Take(fault, param);
  }
};

namespace {

// The reader waits this long for the next byte of a frame or for the
// program's acknowledgement, like the program waits for the reader.
constexpr int kByteTimeoutMs = 1600;
// A reply frame goes out again after a NAK; past this many sends the reader
// gives up on the conversation.
constexpr int kMaxReplySends = 3;
// No command the program sends comes near this; longer is line noise.
constexpr size_t kLongestCommand = 1100;

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", c);
      out += hex;
    }
  }
  return out;
}

// The line ended for good (stop request, hang-up, or our own hang-up fault).
struct LineEnded {
  SimLine::Got why;
};
// The simulator hung up on purpose and has no new line to go on with.
struct HungUpForGood {};

// One Serve call: the reader's side of the line protocol.
class Server {
 public:
  Server(ReaderSimulator::State& state, SimLine& line)
      : s_(state),
        line_(line),
        variant_(TraitsOf(state.options.family).checkVariant),
        family_(state.options.family) {}

  void Run();

 private:
  void Log(const char* direction, const std::string& what) const {
    if (s_.options.verbose) std::fprintf(stderr, "platovix-sim: %s %s\n", direction, what.c_str());
  }
  bool ReadWithin(int ms, char* c);  // false on time-out; throws LineEnded
  void Write(const std::string& bytes) { line_.Write(bytes); }
  void GiveUp(const std::string& why);
  void EndConversation();
  void ReceiveCommand();
  bool SendReply(const std::string& text);
  void SendTransfer(const std::vector<std::string>& blocks);
  void HangUp();

  ReaderSimulator::State& s_;
  SimLine& line_;
  const int variant_;
  const Family family_;
  bool inConversation_ = false;
};

void Server::Run() {
  std::string recent;  // the last four bytes, to spot the opening sequence
  const std::string opening = {EOT, '2', '0', ENQ};
  for (;;) {
    char c = 0;
    try {
      const SimLine::Got got = line_.Read(&c, -1);
      if (got == SimLine::Got::Stopped) return;
      if (got == SimLine::Got::HungUp) throw LineEnded{got};
      recent = (recent + c).substr(recent.size() >= 3 ? recent.size() - 3 : 0);
      if (recent == opening) {
        // A new opening also ends whatever conversation a vanished program left.
        inConversation_ = true;
        Log("<-", "opening sequence");
        Write(std::string(1, ACK));
        continue;
      }
      if (!inConversation_) continue;
      if (c == EOT) {
        EndConversation();
        continue;
      }
      if (c == STX) ReceiveCommand();
    } catch (const LineEnded& ended) {
      if (ended.why == SimLine::Got::Stopped) return;
      // The program went away. A pty host waits for the next one.
      if (!s_.keepServingOnHangUp) return;
      if (inConversation_) Log("--", "program left without EOT");
      inConversation_ = false;
      recent.clear();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } catch (const HungUpForGood&) {
      return;
    }
  }
}

bool Server::ReadWithin(int ms, char* c) {
  const SimLine::Got got = line_.Read(c, ms);
  if (got == SimLine::Got::Byte) return true;
  if (got == SimLine::Got::Timeout) return false;
  throw LineEnded{got};
}

void Server::GiveUp(const std::string& why) {
  Log("--", "giving up on the conversation: " + why);
  inConversation_ = false;
}

void Server::EndConversation() {
  Log("<-", "EOT");
  inConversation_ = false;
  std::lock_guard<std::mutex> lock(s_.mutex);
  ++s_.eotCount;
}

void Server::ReceiveCommand() {
  std::string text;
  char c = 0;
  for (;;) {
    if (!ReadWithin(kByteTimeoutMs, &c)) return GiveUp("command frame stopped");
    if (c == ETX) break;
    text += c;
    if (text.size() > kLongestCommand) return GiveUp("command frame without ETX");
  }
  char check = 0;
  if (!ReadWithin(kByteTimeoutMs, &check)) return GiveUp("no check byte");
  if (!CheckByteAccepted(XorBytes(text.c_str(), text.size()), check, variant_)) {
    Log("<-", Printable(text) + " (bad check byte, NAK)");
    Write(std::string(1, NAK));
    return;
  }
  if (s_.Take(Fault::NakCommand)) {
    Log("<-", Printable(text) + " (NAK on purpose)");
    Write(std::string(1, NAK));
    return;
  }
  const bool silent = s_.Take(Fault::SilentBeforeAck);
  Response response;
  {
    std::lock_guard<std::mutex> lock(s_.mutex);
    s_.commands.push_back(text);
    if (!silent) response = s_.model.Handle(text, ReaderModel::Clock::now());
  }
  if (silent) {
    Log("<-", Printable(text) + " (left unanswered on purpose)");
    return;
  }
  Log("<-", Printable(text));
  Write(std::string(1, ACK));
  if (response.hasReply)
    SendReply(response.reply);
  else if (!response.blocks.empty())
    SendTransfer(response.blocks);
}

bool Server::SendReply(const std::string& text) {
  for (int send = 0; send < kMaxReplySends; ++send) {
    int strayCount = 0;
    if (s_.Take(Fault::StrayBytes, &strayCount)) {
      static const char kNoise[] = {'#', 0x7F, '?', 0x00, '~'};
      std::string noise;
      for (int i = 0; i < (strayCount > 0 ? strayCount : 5); ++i) noise += kNoise[i % 5];
      Log("->", Printable(noise) + " (stray bytes)");
      Write(noise);
    }
    if (s_.Take(Fault::SilentMidReply)) {
      Log("->", Printable(text.substr(0, text.size() / 2)) + "... (falls silent on purpose)");
      Write(STX + text.substr(0, text.size() / 2));
      return false;
    }
    char check = CheckByteToSend(XorBytes(text.c_str(), text.size()), variant_);
    const bool corrupt = s_.Take(Fault::CorruptReplyCheck);
    if (corrupt) check = static_cast<char>(check ^ 0x01);
    Log("->", Printable(text) + (corrupt ? " (bad check byte on purpose)" : ""));
    Write(STX + text + ETX + check);
    for (;;) {
      char c = 0;
      if (!ReadWithin(kByteTimeoutMs, &c)) {
        GiveUp("no acknowledgement for a reply");
        return false;
      }
      if (c == ACK) return true;
      if (c == NAK) break;
      if (c == EOT) {
        EndConversation();
        return false;
      }
    }
    Log("<-", "NAK");
  }
  GiveUp("reply refused too often");
  return false;
}

void Server::SendTransfer(const std::vector<std::string>& blocks) {
  int silentAt = -1;
  int hangUpAt = -1;
  if (s_.Take(Fault::SilentBeforeBlock, &silentAt) && silentAt < 0) silentAt = 0;
  if (s_.Take(Fault::HangUpMidTransfer)) hangUpAt = static_cast<int>(blocks.size()) / 2;
  for (int b = 0; b < static_cast<int>(blocks.size()); ++b) {
    if (b == silentAt) {
      Log("--", "falls silent before block " + std::to_string(b) + " on purpose");
      return;
    }
    std::string text = blocks[b];
    int field = 0;
    if (s_.Take(Fault::ShortBlock)) text.pop_back();
    if (s_.Take(Fault::LongBlock)) text += ' ';
    if (family_ == Family::DigiScan && s_.Take(Fault::BlockOutOfSequence))
      text = MisnumberBlock(family_, text, b);
    if (s_.Take(Fault::BlankField, &field)) text = BlankValueField(family_, text, field);
    if (b == hangUpAt) {
      Write(STX + text.substr(0, text.size() / 2));
      Log("--", "hangs up in block " + std::to_string(b) + " on purpose");
      return HangUp();
    }
    if (!SendReply(text)) return;
  }
}

void Server::HangUp() {
  inConversation_ = false;
  // Let the half block reach the program first: closing a pseudo-terminal
  // throws away what its far end has not read yet.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::function<int(int)> handler;
  {
    std::lock_guard<std::mutex> lock(s_.mutex);
    handler = s_.hangUpHandler;
  }
  if (!handler) {
    shutdown(line_.fd(), SHUT_RDWR);  // a socket; anything else its owner closes
    throw HungUpForGood{};
  }
  const int fd = handler(line_.fd());
  if (fd < 0) throw HungUpForGood{};
  line_.SetFd(fd);
}

}  // namespace

ReaderSimulator::ReaderSimulator(Options options)
    : state_(std::make_unique<State>(std::move(options))) {}

ReaderSimulator::~ReaderSimulator() = default;

void ReaderSimulator::Serve(int fd) {
  SimLine line(fd, state_->options.baud, state_->stop);
  Server(*state_, line).Run();
}

void ReaderSimulator::Stop() {
  state_->stop = true;
}

void ReaderSimulator::InjectFault(Fault fault, int times, int param) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->faults.Inject(fault, times, param);
}

void ReaderSimulator::ClearFaults() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->faults.Clear();
}

int ReaderSimulator::Reading(int wavelength, int well) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->plate.Reading(wavelength, well, state_->model.LastRead());
}

std::vector<std::string> ReaderSimulator::Commands() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->commands;
}

void ReaderSimulator::ClearLog() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->commands.clear();
  state_->eotCount = 0;
}

int ReaderSimulator::EotCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->eotCount;
}

std::array<int, 6> ReaderSimulator::Filters() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->model.Filters(ReaderModel::Clock::now());
}

const Options& ReaderSimulator::options() const {
  return state_->options;
}

void ReaderSimulator::SetKeepServingOnHangUp(bool keep) {
  state_->keepServingOnHangUp = keep;
}

void ReaderSimulator::SetHangUpHandler(std::function<int(int fd)> handler) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->hangUpHandler = std::move(handler);
}

}  // namespace sim
