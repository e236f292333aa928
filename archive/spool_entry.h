// The spool's file format. Each entry is one line that checks itself:
//   #1 <bytes of content> <SHA-256 of content, hex> <content>\n
// so a line cut short by a power cut, or bytes spoiled on disk, are told
// from whole entries and never taken for a read. Lines of bare content
// (the format before) are taken when they are whole JSON entries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace archive {

std::string FramedEntry(const std::string& content);

struct SpoolScan {
  std::vector<std::string> entries;  // the whole entries' content, in order
  std::string damaged;               // every byte that is not part of one, in order
  int damagedPieces = 0;             // how many separate runs of such bytes
};

SpoolScan ScanSpool(std::string_view text);

}  // namespace archive
