// Opening and closing the reader's serial port around one operation.
#pragma once

#include <string>

#include "link/posix_serial_port.h"

// The device behind COMn (n = 1..4): the [Ports] entry of the settings file,
// else /dev/ttyS<n-1>.
std::string PortDevicePath(int n);

// The reader's line format from the settings.
LineSettings LineSettingsFromApp();

// Opens COM<nComPort> with the reader's line format into hComPort. True on
// failure, after telling the operator in a box owned by owner; no port is
// open then.
bool OpenPort(void* owner);
// Closes hComPort if open; harmless when already closed.
void ClosePort();
// Lets go of hWorkerThread if set; harmless when already none.
void CloseThreadHandle();
