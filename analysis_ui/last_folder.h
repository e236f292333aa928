// The folder the operator last chose a file in, where the next file dialog
// opens: plates, layouts and analyses of one experiment go together.
#pragma once

#include <QString>

// suggested in the last folder when it names no folder of its own.
QString InLastFolder(const QString& suggested);
// Remembers the chosen file's folder; an empty name (cancelled) changes nothing.
void RememberFolder(const QString& chosen);
