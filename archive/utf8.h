// Text from outside (a Latin-1 terminal, a file name) is not always UTF-8,
// and JSON takes nothing else: records are repaired before they are written,
// so a finished read is never lost to one stray byte.
#pragma once

#include <string>
#include <string_view>

#include "archive/plate_read.h"

namespace archive {

bool ValidUtf8(std::string_view text);
// Each byte that does not belong to a well-formed UTF-8 sequence becomes
// U+FFFD; valid text comes back unchanged.
std::string RepairedUtf8(std::string_view text);

// The same with every text field repaired.
PlateRead WithValidText(PlateRead read);
AuditEntry WithValidText(AuditEntry entry);

}  // namespace archive
