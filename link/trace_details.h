// The key=value words of a trace's begin line: what the operation was asked
// to do and on which line, so that a trace can be replayed into the same
// command later.
#pragma once

#include <cstdint>
#include <string>

#include "link/posix_serial_port.h"

// Names of the operations as the begin line writes them.
inline constexpr char kTraceMeasure[] = "measure";
inline constexpr char kTraceFilters[] = "filters";
inline constexpr char kTraceCalibrate[] = "calibrate";
inline constexpr char kTracePlateIn[] = "plate-in";
inline constexpr char kTracePlateOut[] = "plate-out";

// "family=digiscan line=9600,7,E,2 device=/dev/ttyUSB0"
std::string TraceLineDetails(int readerSubType, const LineSettings& line,
                             const std::string& device);
// "primary=450 reference=620" (reference=0: none)
std::string TraceMeasureDetails(int primary, int reference);
// "2=492 5=0": the positions (1-6) being set and their wavelengths
std::string TraceCalibrateDetails(const int32_t* wavelengths, const int32_t* flags);
