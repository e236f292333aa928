// What the operator is told when the reader's device cannot be opened: the
// system's text first, as always, then a line that says what to do about it.
#pragma once

#include <string>

inline constexpr char kDialoutHint[] =
    "Add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again.";

// The line to add for a failed open of path with errno value error, for the
// failures the operator can mend: no access, or another program holds the
// device. Empty when there is nothing to add.
std::string AccessHint(const std::string& path, int error);

// AccessHint, or for a path that is no terminal device at all (ENOTTY,
// EISDIR) "<path> is not a serial port.".
std::string PortRefusalHint(const std::string& path, int error);

// The system's text for error, followed by PortRefusalHint on a line of its
// own when there is one.
std::string PortRefusalText(const std::string& path, int error);

// True when path exists but is certainly no serial line: a regular file, a
// directory, or a character device of another kind such as /dev/null.
bool IsNotASerialPort(const std::string& path);

// Another process that has path open: "minicom (process 1234)". Empty when
// none can be seen (other users' processes are hidden from us) and when only
// this process holds it; *onlyUs tells the two apart.
std::string OtherHolderOf(const std::string& path, bool* onlyUs);

// OpenPort for an operation: a device that is no serial line at all is
// refused first, with the system's text and "... is not a serial port.", in
// an "Error" box owned by owner. True on failure, as OpenPort.
bool OpenReaderPort(void* owner);
