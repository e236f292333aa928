// The assay chosen in the main dialog: the file named in the settings
// ([Assay] File), read when first asked for and kept while the file stays
// as it was. With an assay, its layout is the layout in use and its model,
// weighting and QC rules the analysis'. A file that has gone or no longer
// reads is reported once and forgotten: back to "None".
#pragma once

#include <string>

#include "analysis/assay.h"

// The assay, or null when none is chosen or its file failed (then one
// "Warning" box, owned by owner, and the setting is cleared).
const analysis::Assay* AssayInUse(void* owner);

// From now on this assay, saved in path, is the one in use, at the top of
// the recent ones.
void UseAssay(const std::string& path, const analysis::Assay& assay);
// Back to "None"; the recent ones stay.
void UseNoAssay();

// The layout a plate is analysed with: the assay's, else the layout in use
// (layout_in_use.h); null for neither.
const analysis::PlateLayout* AnalysedLayout(void* owner);
