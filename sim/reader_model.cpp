#include "sim/reader_model.h"

#include <cctype>

#include "sim/data_blocks.h"
#include "sim/reader_family.h"

namespace sim {

namespace {

// Status characters of the "Q" reply. Busy has neither the error bits
// (0x18) nor the plate-request pattern (0x38 == 0x20) set.
constexpr char kBusy = 'A';
constexpr char kWaitingForPlate = '`';
constexpr char kSyntaxErrorStatus = 0x48;
constexpr char kReaderErrorStatus = 0x50;

// Error numbers of the "E" reply.
constexpr int kSyntaxErrorNumber = 1;
constexpr int kEmptyFilterPosition = 2;
constexpr int kDefaultReaderError = 7;

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A filter position: one digit 1..6.
int Position(char c) {
  return c >= '1' && c <= '6' ? c - '0' : 0;
}

}  // namespace

ReaderModel::ReaderModel(const Options& options, const PlateModel& plate, FaultSet& faults)
    : options_(options),
      plate_(plate),
      faults_(faults),
      filters_(options.filters),
      idleStatus_(TraitsOf(options.family).idleStatus),
      plateInAt_(Clock::now()) {}

void ReaderModel::BeginRead(Clock::time_point now) {
  lastRead_.seconds = std::chrono::duration<double>(now - plateInAt_).count() * options_.timeScale;
  lastRead_.index = reads_++;
  StartBusy(Activity::Measuring, options_.measureMs, now);
}

void ReaderModel::StartBusy(Activity activity, int ms, Clock::time_point now) {
  activity_ = activity;
  busyUntil_ = now + std::chrono::milliseconds(ms);
}

void ReaderModel::ReaderError(int number) {
  readerError_ = number >= 1 && number <= 15 ? number : kDefaultReaderError;
  // An instrument error ends whatever the reader was doing.
  activity_ = Activity::Idle;
}

void ReaderModel::Settle(Clock::time_point now) {
  if (activity_ == Activity::Idle || activity_ == Activity::WaitingForPlate) return;
  if (now < busyUntil_) return;
  const FamilyTraits& t = TraitsOf(options_.family);
  idleStatus_ = t.idleStatus;
  if (activity_ == Activity::Measuring) dataReady_ = true;
  if (activity_ == Activity::Calibrating) {
    filters_[calibratePosition_ - 1] = calibrateNm_;
    // Every family reports '@' after a calibration: the program waits for
    // '@' (or the plate request) there and reads a Jupiter's 'D' as busy.
    idleStatus_ = '@';
  }
  activity_ = Activity::Idle;
}

char ReaderModel::StatusCharacter(Clock::time_point now) {
  int param = 0;
  if (faults_.Take(Fault::ReaderError, &param)) ReaderError(param);
  if (faults_.Take(Fault::SyntaxError)) SyntaxError();
  Settle(now);
  if (syntaxError_) return kSyntaxErrorStatus;
  if (readerError_ != 0) return kReaderErrorStatus;
  if (faults_.Take(Fault::StuckBusy)) return kBusy;
  switch (activity_) {
    case Activity::Idle:
      return idleStatus_;
    case Activity::WaitingForPlate:
      return kWaitingForPlate;
    default:
      return kBusy;
  }
}

std::array<int, 6> ReaderModel::Filters(Clock::time_point now) {
  Settle(now);
  return filters_;
}

Response ReaderModel::Handle(const std::string& command, Clock::time_point now) {
  const FamilyTraits& t = TraitsOf(options_.family);
  Settle(now);
  Response r;
  auto reply = [&r](std::string text) {
    r.hasReply = true;
    r.reply = std::move(text);
    return r;
  };
  if (command == "E") {
    // Reading the error clears it, as on the instrument.
    const int number = syntaxError_ ? kSyntaxErrorNumber : readerError_;
    syntaxError_ = false;
    readerError_ = 0;
    return reply(std::string("E") + static_cast<char>('0' + number));
  }
  if (command == "Q") return reply(std::string("Q") + StatusCharacter(now));
  if (command == "F") return reply(t.modelText + options_.id);
  if (command == "Ap") return reply("Ap " + std::string(t.name) + " SN" + options_.id + " V2.10");
  if (command == "Af") {
    std::string text;
    for (int nm : filters_) text += (text.empty() ? "" : " ") + std::to_string(nm);
    return reply(text);
  }
  if (command.rfind("Sf", 0) == 0) return Start(command, now);
  if (command.rfind("Jf", 0) == 0) return Calibrate(command, now);
  if (command == "SgG" && options_.family == Family::Jupiter &&
      activity_ == Activity::WaitingForPlate) {
    BeginRead(now);
    return r;
  }
  if (command == "IG" && activity_ == Activity::WaitingForPlate) {
    activity_ = Activity::Idle;  // the operator declined to load a plate
    return r;
  }
  if (command == "Ad1" || command == "Ad2" || command == "Ax") return Transfer(command);
  return Carrier(command, now);
}

Response ReaderModel::Start(const std::string& command, Clock::time_point now) {
  const FamilyTraits& t = TraitsOf(options_.family);
  // Sf<p>[f<q>]<family tail>x3G
  size_t at = 2;
  const int primary = at < command.size() ? Position(command[at++]) : 0;
  int reference = 0;
  if (at + 1 < command.size() && command[at] == 'f') {
    reference = Position(command[at + 1]);
    at += 2;
    if (reference == 0) {
      SyntaxError();
      return {};
    }
  }
  if (primary == 0 || command.substr(at) != std::string(t.startTail) + "x3G") {
    SyntaxError();
    return {};
  }
  if (filters_[primary - 1] == 0 || (reference != 0 && filters_[reference - 1] == 0)) {
    ReaderError(kEmptyFilterPosition);
    return {};
  }
  primaryNm_ = filters_[primary - 1];
  referenceNm_ = reference != 0 ? filters_[reference - 1] : 0;
  dataReady_ = false;
  if (options_.family == Family::Jupiter)
    activity_ = Activity::WaitingForPlate;  // until "SgG"
  else
    BeginRead(now);
  return {};
}

Response ReaderModel::Calibrate(const std::string& command, Clock::time_point now) {
  // Jf<p><w>G: the Jupiter / Expert write w in three digits, DigiScan without
  // leading zeros.
  const int position = command.size() > 3 ? Position(command[2]) : 0;
  const std::string digits =
      command.size() > 4 && command.back() == 'G' ? command.substr(3, command.size() - 4) : "";
  bool wellFormed = position != 0 && AllDigits(digits);
  if (wellFormed && TraitsOf(options_.family).checkVariant != 0)
    wellFormed = digits.size() == 3;
  else if (wellFormed)
    wellFormed = digits.size() <= 3 && (digits.size() == 1 || digits[0] != '0');
  if (!wellFormed) {
    SyntaxError();
    return {};
  }
  calibratePosition_ = position;
  calibrateNm_ = std::stoi(digits);
  StartBusy(Activity::Calibrating, options_.calibrateMs, now);
  return {};
}

Response ReaderModel::Carrier(const std::string& command, Clock::time_point now) {
  const FamilyTraits& t = TraitsOf(options_.family);
  bool known = command == t.plateIn;
  for (const char* out : t.plateOut)
    if (out != nullptr && command == out) known = true;
  if (command == t.plateIn) plateInAt_ = now;
  if (known)
    StartBusy(Activity::Moving, options_.moveMs, now);
  else
    SyntaxError();  // acknowledged, but the reader did not understand it
  return {};
}

Response ReaderModel::Transfer(const std::string& command) {
  const bool withReference = command == "Ad2";
  const bool fits = options_.family == Family::DigiScan
                        ? (command != "Ax" && (!withReference || referenceNm_ != 0))
                        : command == "Ax";
  if (!fits || !dataReady_ || activity_ != Activity::Idle) {
    SyntaxError();
    return {};
  }
  const PlateGrid primary = plate_.Plate(primaryNm_, lastRead_);
  const PlateGrid reference = plate_.Plate(referenceNm_, lastRead_);
  // DigiScan says which passes it wants; the others send what they measured.
  const bool sendReference =
      options_.family == Family::DigiScan ? withReference : referenceNm_ != 0;
  Response r;
  r.blocks = BuildDataBlocks(options_.family, primary, sendReference ? &reference : nullptr);
  return r;
}

}  // namespace sim
