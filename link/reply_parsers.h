// Small readers for the texts of the reader's replies.
#pragma once

// Decimal integer from at most maxChars characters (0 means 255): blanks
// before it are skipped, one sign may lead, digits run to the first other
// character. *noDigits (if given) tells whether no digit was seen.
int ParseInt(const char* text, int maxChars, bool* noDigits = nullptr);

// Six integers as "%d%d%d%d%d%d" reads them. False when all six were read
// and stored; true (failure) otherwise, with values untouched.
bool ParseSixInts(const char* text, int values[6]);

// The first digit of the first run of at least five digits, or null.
const char* FindDigitRun(const char* text);

// 1-based position (1..6) of the first non-zero entry equal to wavelength; 0 if none.
int FindFilterSlot(const int list[6], int wavelength);
