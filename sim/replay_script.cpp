#include "sim/replay_script.h"

#include <cctype>
#include <sstream>

#include "link/check_byte.h"
#include "sim/program_units.h"

namespace sim {

namespace {

// The text of the first reply frame in the reader's answer, or empty.
std::string ReplyText(const std::vector<ReaderRun>& answer) {
  std::string bytes;
  for (const ReaderRun& run : answer) bytes += run.bytes;
  const size_t stx = bytes.find(STX);
  const size_t etx = bytes.find(ETX, stx == std::string::npos ? 0 : stx);
  if (stx == std::string::npos || etx == std::string::npos) return "";
  return bytes.substr(stx + 1, etx - stx - 1);
}

std::string FirstFiveDigits(const std::string& text) {
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    run = std::isdigit(static_cast<unsigned char>(text[i])) ? run + 1 : 0;
    if (run == 5) return text.substr(i - 4, 5);
  }
  return "";
}

// Takes what the recording tells about the reader into options.
void LearnReader(const TracedOperation& traced, const ReplayOperation& op, Options* options) {
  const auto family = traced.details.find("family");
  if (family != traced.details.end() && family->second != "digiscan") {
    options->family = Family::Jupiter;
  }
  for (const TraceEvent& event : traced.events) {
    if (event.kind == "status" && event.data == "Expert") options->family = Family::Expert;
  }
  for (const ReplayStep& step : op.steps) {
    const std::string command = CommandText(step.unit);
    const std::string reply = ReplyText(step.answer);
    if (command == "Ap" && !FirstFiveDigits(reply).empty()) options->id = FirstFiveDigits(reply);
    if (command == "Af") {
      std::istringstream in(reply);
      std::array<int, 6> filters{};
      bool ok = true;
      for (int& nm : filters) ok = ok && static_cast<bool>(in >> nm) && nm >= 0 && nm <= 999;
      if (ok) options->filters = filters;
    }
  }
}

}  // namespace

ReplayScript BuildReplayScript(const std::vector<TracedOperation>& trace) {
  ReplayScript script;
  for (const TracedOperation& traced : trace) {
    ReplayOperation op;
    op.name = traced.name;
    long long unitAt = 0;
    for (const TraceEvent& event : traced.events) {
      if (event.kind == ">") {
        for (const std::string& unit : SplitProgramUnits(event.data)) {
          op.steps.push_back({unit, {}});
        }
        unitAt = event.us;
      } else if (event.kind == "<" && !op.steps.empty()) {
        // Bytes read before the program said anything belong to no command.
        const long long delay = event.us > unitAt ? event.us - unitAt : 0;
        op.steps.back().answer.push_back({std::chrono::microseconds(delay), event.data});
      }
    }
    LearnReader(traced, op, &script.family);
    script.operations.push_back(std::move(op));
  }
  return script;
}

}  // namespace sim
