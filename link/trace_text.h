// How bytes of the reader line are written in a line trace, so that a person
// can read a frame at a glance and a program can turn it back into bytes:
//
//   STX "Q@" ETX 0x7C
//
// The six control characters of the protocol go by name (STX ETX EOT ENQ ACK
// NAK), runs of printable ASCII stand in double quotes (with \" and \\), any
// other byte is 0xHH. Tokens are separated by one blank; no bytes at all is "".
#pragma once

#include <string>
#include <string_view>

std::string TraceBytes(std::string_view bytes);
