// Where an archive setting points, and how it may be shown. Connection
// strings can hold a user and password: what the user sees (messages, logs,
// errors passed on to remote clients) never does.
#pragma once

#include <string>

namespace archive {

enum class ArchiveKind {
  Sqlite,    // a plain file path (empty: the default archive)
  Postgres,  // postgresql:// or postgres:// URL, or a libpq keyword string (host=... dbname=...)
  Invalid,   // anything else that looks like a URL: refused, never made a file
};

// *why says what is wrong for Invalid, without the secrets.
ArchiveKind KindOfArchive(const std::string& where, std::string* why = nullptr);

// The setting with user and password removed.
std::string ShownLocation(const std::string& where);

// text with every appearance of the setting and of its password replaced.
std::string WithoutSecrets(const std::string& text, const std::string& where);

}  // namespace archive
