#include "settings/ini_file.h"

#include "results/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// "[name]" gives name; anything else is not a section line.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string text = Trim(line);
  if (text.empty() || text.front() != '[') return std::nullopt;
  const size_t close = text.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(text.substr(1, close - 1));
}

bool IsComment(const std::string& text) {
  return !text.empty() && (text.front() == ';' || text.front() == '#');
}

// The key of a "key=value" line; empty for comments and lines without "=".
std::string KeyOf(const std::string& line) {
  const std::string text = Trim(line);
  const size_t equals = text.find('=');
  if (IsComment(text) || equals == std::string::npos) return {};
  return Trim(text.substr(0, equals));
}

std::string ValueOf(const std::string& line) {
  return Trim(line.substr(line.find('=') + 1));
}

// Like the profile functions of the reader's home platform: an optional
// sign, then as many digits as there are; the rest is ignored.
int32_t LeadingInteger(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kLimit);  // saturate, never overflow
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

IniFile::IniFile(const std::string& text) {
  if (text.find("\r\n") != std::string::npos) lineEnd_ = "\r\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (auto name = SectionName(line)) {
      sections_.push_back(Section{*name, line, {}, false});
    } else {
      sections_.back().lines.push_back(std::move(line));
    }
  }
}

size_t IniFile::Find(const std::string& name) const {
  for (size_t i = 1; i < sections_.size(); ++i) {
    if (!sections_[i].deleted && SameName(sections_[i].name, name)) return i;
  }
  return kNone;
}

size_t IniFile::FindOrAdd(const std::string& name) {
  const size_t found = Find(name);
  if (found != kNone) return found;
  for (size_t i = 1; i < sections_.size(); ++i) {
    if (sections_[i].deleted && SameName(sections_[i].name, name)) {
      sections_[i] = Section{name, "[" + name + "]", {}, false};
      return i;
    }
  }
  sections_.push_back(Section{name, "[" + name + "]", {}, false});
  return sections_.size() - 1;
}

size_t IniFile::FindKey(const Section& section, const std::string& key) {
  for (size_t i = 0; i < section.lines.size(); ++i) {
    const std::string name = KeyOf(section.lines[i]);
    if (!name.empty() && SameName(name, key)) return i;
  }
  return kNone;
}

const std::string* IniFile::KeyLine(const std::string& section, const std::string& key) const {
  const size_t s = Find(section);
  if (s == kNone) return nullptr;
  const size_t k = FindKey(sections_[s], key);
  return k == kNone ? nullptr : &sections_[s].lines[k];
}

int32_t IniFile::GetInt(const std::string& section, const std::string& key,
                        int32_t fallback) const {
  const std::string* line = KeyLine(section, key);
  return line != nullptr ? LeadingInteger(ValueOf(*line)) : fallback;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback) const {
  const std::string* line = KeyLine(section, key);
  if (line == nullptr) return fallback;
  std::string value = ValueOf(*line);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

void IniFile::SetString(const std::string& section, const std::string& key,
                        const std::string& value) {
  Section& target = sections_[FindOrAdd(section)];
  std::string line = key + "=" + value;
  const size_t existing = FindKey(target, key);
  if (existing != kNone) {
    target.lines[existing] = std::move(line);
    return;
  }
  // After the last key, so blank lines and comments closing the section
  // stay in front of the next one.
  auto lastKey = std::find_if(target.lines.rbegin(), target.lines.rend(),
                              [](const std::string& l) { return !KeyOf(l).empty(); });
  target.lines.insert(lastKey.base(), std::move(line));
}

void IniFile::DeleteKey(const std::string& section, const std::string& key) {
  const size_t s = Find(section);
  if (s == kNone) return;
  const size_t k = FindKey(sections_[s], key);
  if (k != kNone) sections_[s].lines.erase(sections_[s].lines.begin() + static_cast<long>(k));
}

void IniFile::DeleteSection(const std::string& section) {
  for (size_t i = 1; i < sections_.size(); ++i) {
    if (SameName(sections_[i].name, section)) sections_[i].deleted = true;
  }
}

std::string IniFile::Text() const {
  std::string text;
  for (const Section& section : sections_) {
    if (section.deleted) continue;
    if (&section != &sections_.front()) text += section.header + lineEnd_;
    for (const std::string& line : section.lines) text += line + lineEnd_;
  }
  return text;
}

namespace {

// A settings file is a few hundred bytes; anything near this is not one.
constexpr off_t kLargestFile = 16 * 1024 * 1024;

}  // namespace

IniLoad LoadIniFile(const std::string& path, IniFile* file) {
  *file = IniFile();
  // Non-blocking, so that a FIFO or device put in its place cannot hang us.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? IniLoad::kMissing : IniLoad::kUnreadable;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestFile) {
    close(fd);
    return IniLoad::kUnreadable;
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text.size() > static_cast<size_t>(kLargestFile)) {
      close(fd);
      return IniLoad::kUnreadable;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  *file = IniFile(text);
  return IniLoad::kLoaded;
}

bool SaveIniFile(const std::string& path, const IniFile& file) {
  if (!MakeDirectories(DirectoryOf(FollowLink(path)))) return false;
  std::string error;
  return WriteFileAtomically(path, file.Text(), &error);
}
