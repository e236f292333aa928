// What the program sends, cut into the units the reader reacts to: the
// opening sequence (EOT "20" ENQ), a command frame (STX text ETX check) or a
// single byte (ACK, NAK, EOT or anything else).
#pragma once

#include <string>
#include <vector>

namespace sim {

std::vector<std::string> SplitProgramUnits(const std::string& bytes);

bool IsOpening(const std::string& unit);
bool IsFrame(const std::string& unit);
bool IsEot(const std::string& unit);

// The text of a frame; empty for anything else.
std::string CommandText(const std::string& unit);

// For messages: "command \"Q\"", "the opening sequence", "EOT", "byte 0x7F".
std::string DescribeUnit(const std::string& unit);

}  // namespace sim
