// Control characters and the check byte of the reader's frames.
//
//   command / reply frame:   STX | text ... | ETX | check
//   opening sequence:        EOT '2' '0' ENQ
//   end of conversation:     EOT
//
// The check byte covers the text only. Jupiter / Expert send X ^ 0x03 and
// DigiScan its complement, where X is the XOR of the text bytes. Only the low
// seven bits are compared on receipt: the reader's default line carries seven
// data bits, so bit 7 never survives the trip.
#pragma once

#include <cstddef>
#include <cstring>

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char EOT = 0x04;
inline constexpr char ENQ = 0x05;
inline constexpr char ACK = 0x06;
inline constexpr char NAK = 0x15;

// XOR of the first n bytes; n == 0 means up to the terminating NUL.
inline char XorBytes(const char* data, size_t n) {
  if (n == 0) n = std::strlen(data);
  char x = 0;
  for (size_t i = 0; i < n; ++i) x = static_cast<char>(x ^ data[i]);
  return x;
}

// readerSubType 0 is DigiScan; any other value the Jupiter / Expert family.
inline char CheckByteToSend(char x, int readerSubType) {
  const char sent = static_cast<char>(x ^ 0x03);
  return readerSubType != 0 ? sent : static_cast<char>(~sent);
}

inline bool CheckByteAccepted(char x, char received, int readerSubType) {
  const int low7 = (x ^ received ^ 0x03) & 0x7F;
  return readerSubType != 0 ? low7 == 0x00 : low7 == 0x7F;
}
