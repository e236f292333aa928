// Replacing a file as a whole, so that a reader of the file (or a power
// cut) sees the old contents or the new ones, never a mix or a stub.
#pragma once

#include <string>

// Writes text into a temporary file beside path, flushes it to disk and
// renames it over path. On failure the old file (if any) is untouched,
// nothing is left behind, and *error holds the system's text; the directory
// is not created. An existing file keeps its permissions, a new one gets
// those of the umask; a symbolic link keeps pointing where it did and its
// target is replaced. True on success.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);
