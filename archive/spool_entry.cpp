#include "archive/spool_entry.h"

#include <charconv>

#include "archive/plate_read.h"
#include "archive/sha256.h"

namespace archive {

namespace {

constexpr std::string_view kMark = "#1 ";
constexpr size_t kHashDigits = 64;

// The content of a framed line (without its line end), or false.
bool FramedContent(std::string_view line, std::string* content) {
  if (line.substr(0, kMark.size()) != kMark) return false;
  std::string_view rest = line.substr(kMark.size());
  size_t length = 0;
  const auto [stop, problem] = std::from_chars(rest.data(), rest.data() + rest.size(), length);
  if (problem != std::errc() || stop == rest.data()) return false;
  rest.remove_prefix(static_cast<size_t>(stop - rest.data()));
  if (rest.size() < 1 + kHashDigits + 1 || rest[0] != ' ' || rest[1 + kHashDigits] != ' ')
    return false;
  const std::string_view hash = rest.substr(1, kHashDigits);
  rest.remove_prefix(2 + kHashDigits);
  if (rest.size() != length) return false;
  std::string text(rest);
  if (Sha256Hex(text) != hash) return false;
  *content = std::move(text);
  return true;
}

// A line as the spool wrote it before entries were framed.
bool BareContent(std::string_view line, std::string* content) {
  if (line.empty() || line[0] != '{') return false;
  std::string text(line);
  EntryKeys keys;
  if (!KeysOfContent(text, &keys)) return false;
  *content = std::move(text);
  return true;
}

}  // namespace

std::string FramedEntry(const std::string& content) {
  return std::string(kMark) + std::to_string(content.size()) + ' ' + Sha256Hex(content) + ' ' +
         content + '\n';
}

SpoolScan ScanSpool(std::string_view text) {
  SpoolScan scan;
  bool inDamage = false;
  const auto damage = [&](std::string_view bytes) {
    if (bytes.empty()) return;
    if (!inDamage) ++scan.damagedPieces;
    inDamage = true;
    scan.damaged.append(bytes);
  };
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    // A last line without its line end was cut short: never an entry.
    if (end == std::string_view::npos) {
      damage(text.substr(start));
      break;
    }
    const std::string_view line = text.substr(start, end - start);
    std::string content;
    if (line.empty()) {
      // a blank line holds nothing
    } else if (FramedContent(line, &content) || BareContent(line, &content)) {
      scan.entries.push_back(std::move(content));
      inDamage = false;
    } else {
      // A torn entry that a later one was written after on the same line:
      // the later one starts at its own mark.
      const size_t mark = line.find(kMark, 1);
      if (mark != std::string_view::npos) {
        damage(text.substr(start, mark));
        start += mark;
        continue;
      }
      damage(text.substr(start, end + 1 - start));
    }
    start = end + 1;
  }
  return scan;
}

}  // namespace archive
