#include "sim/program_units.h"

#include <cstdio>

#include "link/check_byte.h"

namespace sim {

namespace {

const std::string kOpening = {EOT, '2', '0', ENQ};

}  // namespace

std::vector<std::string> SplitProgramUnits(const std::string& bytes) {
  std::vector<std::string> units;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t length = 1;
    if (bytes.compare(at, kOpening.size(), kOpening) == 0) {
      length = kOpening.size();
    } else if (bytes[at] == STX) {
      const size_t etx = bytes.find(ETX, at);
      length = etx == std::string::npos ? bytes.size() - at : std::min(etx + 2, bytes.size()) - at;
    }
    units.push_back(bytes.substr(at, length));
    at += length;
  }
  return units;
}

bool IsOpening(const std::string& unit) {
  return unit == kOpening;
}

bool IsFrame(const std::string& unit) {
  return unit.size() >= 3 && unit[0] == STX && unit[unit.size() - 2] == ETX;
}

bool IsEot(const std::string& unit) {
  return unit.size() == 1 && unit[0] == EOT;
}

std::string CommandText(const std::string& unit) {
  return IsFrame(unit) ? unit.substr(1, unit.size() - 3) : "";
}

std::string DescribeUnit(const std::string& unit) {
  if (IsOpening(unit)) return "the opening sequence";
  if (IsFrame(unit)) return "command \"" + CommandText(unit) + "\"";
  if (unit.size() == 1) {
    switch (unit[0]) {
      case EOT:
        return "EOT";
      case ACK:
        return "ACK";
      case NAK:
        return "NAK";
      default:
        break;
    }
  }
  std::string text = unit.size() == 1 ? "byte" : "bytes";
  for (unsigned char c : unit) {
    char hex[8];
    std::snprintf(hex, sizeof hex, " 0x%02X", c);
    text += hex;
  }
  return text;
}

}  // namespace sim
