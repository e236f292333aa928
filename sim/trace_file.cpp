#include "sim/trace_file.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "link/check_byte.h"

namespace sim {

namespace {

bool NamedControl(std::string_view name, char* byte) {
  static const struct {
    const char* name;
    char byte;
  } kNames[] = {{"STX", STX}, {"ETX", ETX}, {"EOT", EOT}, {"ENQ", ENQ}, {"ACK", ACK}, {"NAK", NAK}};
  for (const auto& entry : kNames) {
    if (name == entry.name) {
      *byte = entry.byte;
      return true;
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A quoted run starting at text[*at] == '"'; leaves *at after the closing quote.
bool QuotedRun(std::string_view text, size_t* at, std::string* bytes) {
  size_t i = *at + 1;
  while (i < text.size() && text[i] != '"') {
    if (text[i] == '\\') {
      if (++i == text.size()) return false;
    }
    *bytes += text[i++];
  }
  if (i == text.size()) return false;
  *at = i + 1;
  return true;
}

bool DecodeEvent(const std::string& kind) {
  return kind == ">" || kind == "<" || kind == "status" || kind == "ask" || kind == "error";
}

// "measure primary=450 reference=0 family=digiscan line=... device=/dev/x y"
void ParseBegin(const std::string& data, TracedOperation* op) {
  std::istringstream words(data);
  words >> op->name;
  std::string word;
  while (words >> word) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = word.substr(0, equals);
    std::string value = word.substr(equals + 1);
    if (key == "device") {  // a device path may hold blanks: it runs to the end
      std::string rest;
      std::getline(words, rest);
      value += rest;
    }
    op->details[key] = value;
  }
}

}  // namespace

bool DecodeTraceBytes(std::string_view text, std::string* bytes) {
  bytes->clear();
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    if (text[at] == '"') {
      if (!QuotedRun(text, &at, bytes)) return false;
      continue;
    }
    const size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view token = text.substr(at, end - at);
    at = end;
    char byte = 0;
    if (NamedControl(token, &byte)) {
      *bytes += byte;
    } else if (token.size() == 4 && token[0] == '0' && token[1] == 'x' && HexDigit(token[2]) >= 0 &&
               HexDigit(token[3]) >= 0) {
      *bytes += static_cast<char>(HexDigit(token[2]) * 16 + HexDigit(token[3]));
    } else {
      return false;
    }
  }
  return true;
}

std::vector<TracedOperation> ParseTrace(const std::string& text) {
  std::vector<TracedOperation> operations;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto fail = [&](const std::string& why) {
      throw std::runtime_error("line " + std::to_string(number) + ": " + why);
    };
    char* end = nullptr;
    const long long us = std::strtoll(line.c_str(), &end, 10);
    if (end == line.c_str() || *end != ' ') fail("no time stamp at the start");
    const std::string rest = end + 1;
    const size_t blank = rest.find(' ');
    TraceEvent event;
    event.us = us;
    event.kind = rest.substr(0, blank);
    const std::string data = blank == std::string::npos ? "" : rest.substr(blank + 1);
    if (event.kind == "begin") {
      TracedOperation op;
      op.line = number;
      ParseBegin(data, &op);
      if (op.name.empty()) fail("begin without an operation");
      operations.push_back(std::move(op));
      continue;
    }
    if (operations.empty()) fail("an event before the first begin line");
    if (DecodeEvent(event.kind)) {
      if (!DecodeTraceBytes(data, &event.data)) fail("cannot read the bytes \"" + data + "\"");
    } else {
      event.data = data;
    }
    operations.back().events.push_back(std::move(event));
  }
  return operations;
}

std::vector<TracedOperation> LoadTrace(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return ParseTrace(text.str());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ", " + e.what());
  }
}

}  // namespace sim
