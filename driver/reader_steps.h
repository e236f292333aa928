// Steps of the conversation that several operations take the same way:
// reading the status and error replies, waiting for an idle reader, taking
// the identification number and reading back the filter table.
#pragma once

#include <cstdint>
#include <functional>

class TFoto;
class TRodeFoto;

// ShowStatus with a printf-style text (progress counters, command texts).
void ShowStatusFormatted(TFoto& driver, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The reader's status character: the second character of the reply to "Q".
// A reply too short to carry one gives 0 (read as busy), never a character
// left over from an earlier frame.
char StatusCharacter(const TRodeFoto& reader);

// The reader's error number: the low four bits of the second character of
// the reply to "E" (0 when the reply is too short to carry it).
int ErrorNumber(const TRodeFoto& reader);

// "@", "D" and the grave accent all mean the reader waits for a command.
bool IsIdle(char status);

// Polls "Q" every 300 ms until the reader is idle. No limit: every exchange
// watches the abort flag and the line's time-out. Each status that is not
// idle goes to notIdle first, which may end the operation by throwing.
void WaitUntilIdle(TRodeFoto& reader, const std::function<void(char)>& notIdle = {});

// The first five digits of the first run of five or more in the last reply
// become szReaderId; false (szReaderId kept) when the reply has none.
bool TakeReaderId(TRodeFoto& reader);

// Asks "Af" and stores the six wavelengths of the filter positions. The
// count is 0 while the table is in doubt and 6 once it holds the reply;
// false (entries untouched, count 0) when the reply has no six numbers.
bool ReadBackFilters(TRodeFoto& reader, int32_t* wavelengths, int32_t* count);
