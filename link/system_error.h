// The system's text for an error number.
#pragma once

#include <cstddef>

// Writes the system's message for code into buffer; the empty text when the
// system has none or it does not fit in size bytes.
void FormatSystemError(char* buffer, size_t size, int code);
// The same for the calling thread's last error (errno).
void FormatLastError(char* buffer, size_t size);
