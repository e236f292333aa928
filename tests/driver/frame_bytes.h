// Reader frames built in the test, independently of the program's framing
// code, for scripting the reader's side of a conversation.
#pragma once

#include <string>

namespace frames {

inline const std::string kAck = "\x06";
inline const std::string kNak = "\x15";
inline const std::string kEot = "\x04";
inline const std::string kOpening =
    "\x04"
    "20\x05";

// STX text ETX check, the check byte of the given family (0 DigiScan).
inline std::string Reply(const std::string& text, int subType) {
  unsigned char x = 0;
  for (char c : text) x ^= static_cast<unsigned char>(c);
  unsigned char check = x ^ 0x03;
  if (subType == 0) check = static_cast<unsigned char>(~check);
  return "\x02" + text + "\x03" + std::string(1, static_cast<char>(check));
}

inline std::string Command(const std::string& text, int subType) {
  return Reply(text, subType);
}

}  // namespace frames
