// What the lab archive's everyday role may do: store and read, nothing
// more. No UPDATE, DELETE or TRUNCATE of the entries and no trigger changes
// (those stay with the tables' owner), and no say in the server's time of
// an entry.
#pragma once

#include <string>

namespace archive {

// The GRANT statements for role; false with *error for a name that is not
// a plain role name (letters, digits, _ and -).
bool LabGrantsSql(const std::string& role, std::string* sql, std::string* error);

}  // namespace archive
