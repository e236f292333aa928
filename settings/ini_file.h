// A settings file in INI form, held in memory line by line so that a save
// changes only the keys it writes: unknown sections and keys, comments and
// the order of everything stay as the user left them.
//
// Lookups compare section and key names without regard to case. Lines that
// are neither "[section]" nor "key=value" are kept but mean nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class IniFile {
 public:
  IniFile() = default;
  explicit IniFile(const std::string& text);

  // The integer under key: leading blanks, an optional sign and the digits
  // that follow; no digits give 0. Missing section or key gives fallback.
  int32_t GetInt(const std::string& section, const std::string& key, int32_t fallback) const;
  // The text under key, blanks around it and one pair of quotes removed.
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& fallback) const;

  // Whether the file has the key at all, whatever its value.
  bool HasKey(const std::string& section, const std::string& key) const {
    return KeyLine(section, key) != nullptr;
  }

  // Replaces the key's line, or adds it after the section's last key; a new
  // section goes where a deleted one of that name stood, else at the end.
  void SetString(const std::string& section, const std::string& key, const std::string& value);
  // Drops the key's line; nothing when there is none.
  void DeleteKey(const std::string& section, const std::string& key);
  // Drops every section of that name with all its lines.
  void DeleteSection(const std::string& section);

  std::string Text() const;

 private:
  struct Section {
    std::string name;                // empty for the lines before the first section
    std::string header;              // the "[name]" line as it stood
    std::vector<std::string> lines;  // everything up to the next section
    bool deleted = false;            // keeps its place for a rewrite
  };

  static constexpr size_t kNone = static_cast<size_t>(-1);
  // Indices into sections_ and into a section's lines, kNone when missing.
  size_t Find(const std::string& name) const;
  size_t FindOrAdd(const std::string& name);
  static size_t FindKey(const Section& section, const std::string& key);
  // The line holding key, or null.
  const std::string* KeyLine(const std::string& section, const std::string& key) const;

  std::vector<Section> sections_{Section{}};
  std::string lineEnd_ = "\n";
};

// Reading and writing the file itself.
enum class IniLoad { kLoaded, kMissing, kUnreadable };

// Fills *file from path. A file that is not there leaves it empty
// (kMissing); one that cannot be read, is not a regular file or is
// implausibly large leaves it empty too (kUnreadable).
IniLoad LoadIniFile(const std::string& path, IniFile* file);

// Writes the whole text at once: into a temporary file beside the old one,
// flushed to disk, then renamed over it, so a save that dies halfway leaves
// the old file or the new one, never a mix. Creates the directory. A path
// that is a symbolic link keeps the link and replaces what it points to.
bool SaveIniFile(const std::string& path, const IniFile& file);
