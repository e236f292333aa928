// The reason for a change to an archived read, asked in a small dialog:
// OK stays unavailable while the reason is empty.
#pragma once

#include <QString>
#include <optional>
#include <string>

class QWidget;

// The reason, trimmed; nothing when the operator cancelled.
std::optional<std::string> AskAuditReason(QWidget* owner, const QString& question,
                                          const QString& suggested = {});
