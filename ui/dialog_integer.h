// Reading a whole number that the operator typed into an edit field or a
// filter list, the way the dialogs expect it: leading blanks skipped, an
// optional minus sign, then decimal digits.
#pragma once

#include <string_view>

// True with *value set when text holds a number in the int range. Empty
// text, text that does not begin with a number, an overflow and any
// character after the digits other than blanks make the reading fail: a
// unit or a typo behind the number is refused rather than silently dropped.
bool ParseDialogInteger(std::string_view text, int* value);
