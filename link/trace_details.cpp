#include "link/trace_details.h"

namespace {

char ParityLetter(int parity) {
  switch (parity & 0xFF) {
    case 0:
      return 'N';
    case 1:
      return 'O';
    case 2:
      return 'E';
    case 3:
      return 'M';
    case 4:
      return 'S';
    default:
      return '?';
  }
}

}  // namespace

std::string TraceLineDetails(int readerSubType, const LineSettings& line,
                             const std::string& device) {
  return std::string("family=") + (readerSubType == 0 ? "digiscan" : "jupiter") +
         " line=" + std::to_string(line.nBaudRate) + ',' + std::to_string(line.nBits & 0xFF) + ',' +
         ParityLetter(line.nParity) + ',' + (line.nStops != 0 ? '2' : '1') + " device=" + device;
}

std::string TraceMeasureDetails(int primary, int reference) {
  return "primary=" + std::to_string(primary) + " reference=" + std::to_string(reference);
}

std::string TraceCalibrateDetails(const int32_t* wavelengths, const int32_t* flags) {
  std::string text;
  for (int i = 0; i < 6; ++i) {
    if (flags[i] == 0) continue;
    if (!text.empty()) text += ' ';
    text += std::to_string(i + 1) + '=' + std::to_string(wavelengths[i]);
  }
  return text;
}
