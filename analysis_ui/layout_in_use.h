// The plate layout in use: the file named in the settings ([Analysis]
// LayoutFile), read when first asked for and kept. A file that has gone or
// no longer reads is reported once and forgotten.
#pragma once

#include <string>

#include "analysis/plate_layout.h"

// The layout, or null when none is set or its file failed (then one
// "Warning" box, owned by owner, and the setting is cleared).
const analysis::PlateLayout* LayoutInUse(void* owner);

// From now on this layout, saved in path, is the one in use.
void UseLayout(const std::string& path, const analysis::PlateLayout& layout);
