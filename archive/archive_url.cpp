#include "archive/archive_url.h"

#include <libpq-fe.h>

#include <cctype>
#include <vector>

namespace archive {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

bool IsUrl(const std::string& where) {
  return StartsWith(where, "postgresql://") || StartsWith(where, "postgres://");
}

// key=value at the start, as libpq's keyword strings begin.
bool IsKeywordString(const std::string& where) {
  size_t i = 0;
  while (i < where.size() && std::isspace(static_cast<unsigned char>(where[i]))) ++i;
  const size_t key = i;
  while (i < where.size() &&
         (std::isalpha(static_cast<unsigned char>(where[i])) || where[i] == '_'))
    ++i;
  if (i == key) return false;
  while (i < where.size() && std::isspace(static_cast<unsigned char>(where[i]))) ++i;
  return i < where.size() && where[i] == '=';
}

// scheme: at the start, as a URL begins (a path never does on this system).
bool LooksLikeUrl(const std::string& where) {
  size_t i = 0;
  while (i < where.size() && (std::isalnum(static_cast<unsigned char>(where[i])) ||
                              where[i] == '+' || where[i] == '-' || where[i] == '.'))
    ++i;
  return (i > 0 && i < where.size() && where[i] == ':' &&
          std::isalpha(static_cast<unsigned char>(where[0]))) ||
         where.find("://") != std::string::npos;
}

bool SecretKey(const std::string& key) {
  return key == "password" || key == "user" || key == "sslpassword";
}

// The values libpq would take as password, whatever the form.
std::vector<std::string> Passwords(const std::string& where) {
  std::vector<std::string> found;
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(where.c_str(), &error);
  PQfreemem(error);
  if (options != nullptr) {
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
      const std::string key = option->keyword;
      if ((key == "password" || key == "sslpassword") && option->val != nullptr &&
          option->val[0] != '\0')
        found.emplace_back(option->val);
    }
    PQconninfoFree(options);
  }
  // Also what a malformed URL would have held between "user:" and "@".
  const size_t scheme = where.find(':');
  const size_t at = where.rfind('@');
  if (scheme != std::string::npos && at != std::string::npos && at > scheme) {
    const size_t colon = where.find(':', where.find_first_not_of(":/", scheme));
    if (colon != std::string::npos && colon < at)
      found.push_back(where.substr(colon + 1, at - colon - 1));
  }
  return found;
}

std::string ShownUrl(const std::string& where) {
  std::string shown = where;
  const size_t start = shown.find("://") + 3;
  const size_t query = shown.find('?', start);
  const size_t at = shown.rfind('@', query == std::string::npos ? std::string::npos : query);
  if (at != std::string::npos && at >= start) shown.erase(start, at + 1 - start);
  const size_t q = shown.find('?');
  if (q == std::string::npos) return shown;
  std::string kept;
  size_t from = q + 1;
  while (from <= shown.size()) {
    size_t to = shown.find('&', from);
    if (to == std::string::npos) to = shown.size();
    const std::string pair = shown.substr(from, to - from);
    if (!pair.empty() && !SecretKey(pair.substr(0, pair.find('='))))
      kept += (kept.empty() ? "" : "&") + pair;
    from = to + 1;
  }
  return shown.substr(0, q) + (kept.empty() ? "" : "?" + kept);
}

// key = value pairs, values bare or in single quotes with \ escapes.
std::string ShownKeywords(const std::string& where) {
  std::string shown;
  size_t i = 0;
  const auto space = [&] {
    while (i < where.size() && std::isspace(static_cast<unsigned char>(where[i]))) ++i;
  };
  while (true) {
    space();
    if (i >= where.size()) break;
    const size_t key = i;
    while (i < where.size() && where[i] != '=' &&
           !std::isspace(static_cast<unsigned char>(where[i])))
      ++i;
    const std::string name = where.substr(key, i - key);
    space();
    if (i < where.size() && where[i] == '=') ++i;
    space();
    const size_t value = i;
    if (i < where.size() && where[i] == '\'') {
      for (++i; i < where.size() && where[i] != '\''; ++i) {
        if (where[i] == '\\') ++i;
      }
      if (i < where.size()) ++i;
    } else {
      while (i < where.size() && !std::isspace(static_cast<unsigned char>(where[i]))) ++i;
    }
    if (!SecretKey(name))
      shown += (shown.empty() ? "" : " ") + name + "=" + where.substr(value, i - value);
  }
  return shown;
}

}  // namespace

ArchiveKind KindOfArchive(const std::string& where, std::string* why) {
  const bool url = IsUrl(where);
  if (url || IsKeywordString(where)) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(where.c_str(), &error);
    // libpq's own text repeats the string, password and all: never shown.
    PQfreemem(error);
    if (options != nullptr) {
      PQconninfoFree(options);
      return ArchiveKind::Postgres;
    }
    if (why != nullptr)
      *why = "the archive URL is not valid: " + ShownLocation(where) +
             (url ? " is no postgresql://[user@]host[:port]/database URL"
                  : " is no keyword string such as host=... dbname=...");
    return ArchiveKind::Invalid;
  }
  if (LooksLikeUrl(where)) {
    if (why != nullptr)
      *why = "the archive URL is not valid: " + ShownLocation(where) +
             " (an archive is a postgresql:// URL, a keyword string such as host=... "
             "dbname=..., or a file path)";
    return ArchiveKind::Invalid;
  }
  return ArchiveKind::Sqlite;
}

std::string ShownLocation(const std::string& where) {
  if (IsUrl(where)) return ShownUrl(where);
  if (IsKeywordString(where)) return ShownKeywords(where);
  if (!LooksLikeUrl(where)) return where;
  // Some other URL: what may hold a user or password is left out.
  const size_t at = where.rfind('@');
  const size_t query = where.find('?');
  std::string shown = where.substr(0, query);
  if (at != std::string::npos)
    shown = where.substr(0, where.find(':') + 1) + "..." +
            where.substr(at + 1, query == std::string::npos ? std::string::npos : query - at - 1);
  return shown;
}

std::string WithoutSecrets(const std::string& text, const std::string& where) {
  std::string clean = text;
  const auto replace = [&](const std::string& secret, const std::string& by) {
    if (secret.empty() || secret == by) return;
    for (size_t at = clean.find(secret); at != std::string::npos;
         at = clean.find(secret, at + by.size())) {
      clean.replace(at, secret.size(), by);
    }
  };
  replace(where, ShownLocation(where));
  for (const std::string& password : Passwords(where)) {
    if (password.size() >= 3) replace(password, "***");
  }
  return clean;
}

}  // namespace archive
