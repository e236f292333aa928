// Reading a line trace written by the program (link/line_trace.h describes
// the format): the operations it holds, each with its begin line's words and
// its events in order. Written from the format alone, not from the code that
// writes it, so that the two check each other.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct TraceEvent {
  long long us = 0;  // since the operation began
  std::string kind;  // ">", "<", "status", "ask", "answer", "done", ...
  // Bytes and texts decoded (">", "<", "status", "ask", "error"); anything
  // else as it stands.
  std::string data;
};

struct TracedOperation {
  std::string name;                            // "measure", "filters", ...
  std::map<std::string, std::string> details;  // the begin line's key=value words
  std::vector<TraceEvent> events;
  int line = 0;  // of the begin line, for messages
};

// Throws std::runtime_error naming the line for text that is not a trace.
std::vector<TracedOperation> ParseTrace(const std::string& text);
// The same for a file; a file that cannot be read throws too.
std::vector<TracedOperation> LoadTrace(const std::string& path);

// "STX \"Q@\" ETX 0x7C" back into bytes; false for anything else.
bool DecodeTraceBytes(std::string_view text, std::string* bytes);

}  // namespace sim
