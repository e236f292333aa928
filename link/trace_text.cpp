#include "link/trace_text.h"

#include <cstdio>

#include "link/check_byte.h"

namespace {

const char* ControlName(char byte) {
  switch (byte) {
    case STX:
      return "STX";
    case ETX:
      return "ETX";
    case EOT:
      return "EOT";
    case ENQ:
      return "ENQ";
    case ACK:
      return "ACK";
    case NAK:
      return "NAK";
    default:
      return nullptr;
  }
}

bool Printable(char byte) {
  return byte >= 0x20 && byte < 0x7F;
}

}  // namespace

std::string TraceBytes(std::string_view bytes) {
  if (bytes.empty()) return "\"\"";
  std::string out;
  bool inText = false;
  for (const char byte : bytes) {
    if (Printable(byte)) {
      if (!inText) {
        if (!out.empty()) out += ' ';
        out += '"';
        inText = true;
      }
      if (byte == '"' || byte == '\\') out += '\\';
      out += byte;
      continue;
    }
    if (inText) out += '"';
    inText = false;
    if (!out.empty()) out += ' ';
    if (const char* name = ControlName(byte)) {
      out += name;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(byte));
      out += hex;
    }
  }
  if (inText) out += '"';
  return out;
}
