#include "sim/replay_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "link/check_byte.h"
#include "sim/program_units.h"
#include "sim/reader_family.h"

namespace sim {

namespace {

// The program writes each unit in one go; a unit that stops this long is
// as complete as it will get.
constexpr int kInsideUnitMs = 1600;
// The opening sequence follows its EOT at once; an EOT alone ends a
// conversation.
constexpr int kAfterEotMs = 100;
constexpr int kPumpSliceMs = 20;

}  // namespace

ReplayServer::ReplayServer(ReplayScript script, bool strict, std::ostream& report)
    : script_(std::move(script)), strict_(strict), report_(report) {}

ReplayServer::~ReplayServer() {
  if (family_) family_->Stop();
  if (familyThread_.joinable()) familyThread_.join();
  if (familyFd_ >= 0) close(familyFd_);
  if (familyPeer_ >= 0) close(familyPeer_);
}

ReplayServer::Unit ReplayServer::ReadUnit(SimLine& line, int firstByteMs, std::string* unit) {
  unit->clear();
  auto next = [&](int ms, char* c) {
    if (havePushedBack_) {
      havePushedBack_ = false;
      *c = pushedBack_;
      return SimLine::Got::Byte;
    }
    return line.Read(c, ms);
  };
  char c = 0;
  switch (next(firstByteMs, &c)) {
    case SimLine::Got::Byte:
      break;
    case SimLine::Got::Timeout:
      return Unit::kQuiet;
    case SimLine::Got::Stopped:
      return Unit::kStopped;
    case SimLine::Got::HungUp:
      return Unit::kHungUp;
  }
  *unit += c;
  if (c == EOT) {
    // EOT "20" ENQ opens a conversation; anything else after EOT is the next unit.
    const std::string rest = {'2', '0', ENQ};
    for (char want : rest) {
      char d = 0;
      const SimLine::Got got = next(kAfterEotMs, &d);
      if (got != SimLine::Got::Byte) return Unit::kGot;
      if (d != want) {
        // Bytes of a broken opening other than the last are lost here; the
        // program never sends one.
        pushedBack_ = d;
        havePushedBack_ = true;
        return Unit::kGot;
      }
      *unit += d;
    }
    return Unit::kGot;
  }
  if (c != STX) return Unit::kGot;
  // A frame: up to ETX and the check byte after it.
  bool sawEtx = false;
  for (;;) {
    char d = 0;
    if (next(kInsideUnitMs, &d) != SimLine::Got::Byte) return Unit::kGot;
    *unit += d;
    if (sawEtx) return Unit::kGot;
    sawEtx = d == ETX;
  }
}

void ReplayServer::Play(SimLine& line, const ReplayStep& step, const std::atomic<bool>& stop) {
  const auto received = std::chrono::steady_clock::now();
  for (const ReaderRun& run : step.answer) {
    const auto when = received + run.delay;
    while (std::chrono::steady_clock::now() < when) {
      if (stop) return;
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          when - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
    }
    if (!line.Write(run.bytes)) return;
  }
}

// True when unit is not what the recording expects next (expected null: the
// recording has nothing more); reports it when strict.
bool ReplayServer::Differs(const std::string& unit, const std::string* expected) {
  if (expected != nullptr && unit == *expected) return false;
  if (!strict_) {
    report_ << "platovix-sim: replay: the program sent " << DescribeUnit(unit)
            << (expected != nullptr ? " where the recording has " + DescribeUnit(*expected)
                                    : std::string(" beyond the recording"))
            << "; a " << TraitsOf(script_.family.family).name
            << " reader answers until the conversation ends" << std::endl;
    return true;
  }
  report_ << "platovix-sim: replay: first difference in conversation " << opened_;
  if (operation_ >= 0) {
    report_ << " (" << script_.operations[operation_].name << ", unit " << step_ + 1 << ")";
  }
  report_ << ": the program sent " << DescribeUnit(unit);
  if (expected != nullptr) {
    report_ << ", the recording has " << DescribeUnit(*expected);
  } else {
    report_ << ", the recording has nothing more";
  }
  report_ << std::endl;
  return true;
}

bool ReplayServer::Serve(int fd, const std::atomic<bool>& stop) {
  SimLine line(fd, 0, stop);
  for (;;) {
    std::string unit;
    switch (ReadUnit(line, -1, &unit)) {
      case Unit::kStopped:
        return true;
      case Unit::kHungUp:
        // The program went away; the next one starts afresh.
        operation_ = -1;
        havePushedBack_ = false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        continue;
      case Unit::kQuiet:
        continue;
      case Unit::kGot:
        break;
    }
    if (IsOpening(unit)) {
      ++opened_;
      operation_ = opened_ <= static_cast<int>(script_.operations.size()) ? opened_ - 1 : -1;
      step_ = 0;
    } else if (operation_ < 0) {
      continue;  // nothing of a conversation: a reader ignores it
    }
    const std::vector<ReplayStep>* steps =
        operation_ >= 0 ? &script_.operations[operation_].steps : nullptr;
    const std::string* expected =
        steps != nullptr && step_ < steps->size() ? &(*steps)[step_].unit : nullptr;
    if (Differs(unit, expected)) {
      if (strict_) return false;
      operation_ = -1;
      FallBack(line, unit);
      continue;
    }
    Play(line, (*steps)[step_], stop);
    ++step_;
    if (IsEot(unit)) operation_ = -1;
  }
}

void ReplayServer::StartFamilyReader() {
  if (family_) return;
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
  familyFd_ = pair[0];
  familyPeer_ = pair[1];
  fcntl(familyFd_, F_SETFL, fcntl(familyFd_, F_GETFL) | O_NONBLOCK);
  family_ = std::make_unique<ReaderSimulator>(script_.family);
  familyThread_ = std::thread([this] { family_->Serve(familyPeer_); });
}

namespace {

void SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return;
    } else {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, kPumpSliceMs);
    }
  }
}

// What the family reader has sent so far, waiting at most ms for the first byte.
std::string Drain(int fd, int ms) {
  std::string bytes;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, ms) <= 0) return bytes;
  char buffer[512];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

}  // namespace

bool ReplayServer::FallBack(SimLine& line, const std::string& unit) {
  StartFamilyReader();
  if (!family_) return true;
  const std::string opening = {EOT, '2', '0', ENQ};
  if (!IsOpening(unit)) {
    // The family reader has not heard the opening of this conversation.
    SendAll(familyFd_, opening);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::string answer;
    while (answer.find(ACK) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      answer += Drain(familyFd_, kPumpSliceMs);
    }
  }
  SendAll(familyFd_, unit);
  bool ended = IsEot(unit);
  while (!ended) {
    const std::string toProgram = Drain(familyFd_, 0);
    if (!toProgram.empty() && !line.Write(toProgram)) return false;
    std::string next;
    switch (ReadUnit(line, kPumpSliceMs, &next)) {
      case Unit::kGot:
        SendAll(familyFd_, next);
        ended = IsEot(next);
        break;
      case Unit::kQuiet:
        break;
      case Unit::kStopped:
      case Unit::kHungUp:
        SendAll(familyFd_, std::string(1, EOT));  // the family reader's conversation ends too
        return false;
    }
  }
  return true;
}

}  // namespace sim
