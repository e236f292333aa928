// Filter calibration: tells the reader which wavelength sits in each chosen
// filter position (0 clears the position), waits for the reader to take in
// each one, then reads all six positions back into the filter table.
#include <chrono>
#include <cstdio>
#include <thread>

#include "driver/foto.h"
#include "driver/reader_steps.h"

// Counts the polls of the position being calibrated; its parity turns the
// spinner at the end of the status text. One per process: only one
// operation runs at a time.
int nCalibrationSpin = 0;

namespace {

// The reader needs a moment with each position; these waits are plain
// sleeps, the abort flag is looked at by the "Q" exchange that follows.
constexpr auto kBeforeSpin = std::chrono::milliseconds(300);
constexpr auto kBeforePoll = std::chrono::milliseconds(500);

// The Jupiter / Expert family wants three wavelength digits ("Jf3000G"
// clears position 3); DigiScan takes the plain number ("Jf30G").
void FormatCalibrationCommand(char (&command)[32], int readerSubType, int position,
                              int wavelength) {
  const char* format = readerSubType != 0 ? "Jf%d%03dG" : "Jf%d%dG";
  std::snprintf(command, sizeof command, format, position, wavelength);
}

// "@" or the grave accent: the reader has taken in the position. Any other
// status without an error bit ("D" included) means it is still at work.
bool PositionDone(char status) {
  return status == '@' || status == '`';
}
bool ReportsError(char status) {
  return (status & 0x18) != 0;
}

}  // namespace

void TRodeFoto::Calibrate(PortHandle* port, DialogHandle** dialog, AbortFlag* abort,
                          int32_t* wavelengths, int32_t* flags, int32_t* count) {
  RunOperation(port, dialog, abort, [&] {
    Exchange("E");
    Exchange("Q");
    if (nReaderSubType != 0)
      Exchange("F");  // asked as the reader expects; the answer changes nothing
    Exchange("Ap");
    if (TakeReaderId(*this)) ShowStatus("detected");

    for (int position = 1; position <= 6; ++position) {
      if (flags[position - 1] == 0) continue;
      char command[32];
      FormatCalibrationCommand(command, nReaderSubType, position, wavelengths[position - 1]);
      ShowStatus(command);
      SendCommand(command);

      nCalibrationSpin = 0;
      char status;
      do {
        std::this_thread::sleep_for(kBeforeSpin);
        ++nCalibrationSpin;
        ShowStatusFormatted(*this, " %s %c", command, nCalibrationSpin % 2 != 0 ? '\\' : '/');
        std::this_thread::sleep_for(kBeforePoll);
        Exchange("Q");
        status = StatusCharacter(*this);
      } while (!PositionDone(status) && !ReportsError(status));

      if (ReportsError(status)) {
        Exchange("E");
        if (status & 0x08) Fail(kExcFailure, "Syntax error.");
        Fail(kExcFailure, "System (%d)", ErrorNumber(*this));
      }
    }

    if (!ReadBackFilters(*this, wavelengths, count)) Fail(kExcFailure, "Filters not found.");
    ShowStatus("calibrated.");
    SendEot();
    PostCompletion(kCalibrateDone);
  });
}
