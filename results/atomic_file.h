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

// Creates directory and its missing parents (mode 0700, private to the user,
// like ~/.config). True when it exists as a directory afterwards.
bool MakeDirectories(const std::string& directory);

// The folder part of path ("." for a bare name).
std::string DirectoryOf(const std::string& path);

// A symbolic link resolved to what it points to; any other path unchanged.
std::string FollowLink(const std::string& path);

// Tests stand in for rename(2) to see what a failed last step leaves
// behind; null restores the real one.
using RenameFunction = int (*)(const char* from, const char* to);
void UseRenameForTesting(RenameFunction rename);
