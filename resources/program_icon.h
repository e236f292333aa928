// The program's icon, drawn rather than stored: a small microplate whose
// wells carry the colours of the spectrum. The window icon and the icon file
// installed for the desktop come from the same drawing.
#pragma once

#include <QIcon>
#include <QImage>

QImage DrawProgramIcon(int size);

// The window icon of every dialog: drawn once, on first use.
QIcon ProgramIcon();
