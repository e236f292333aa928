// A read from the archive as the preview, the analysis and the files take
// it: the values, filters, times and reader as they were stored.
#pragma once

#include <string>
#include <vector>

#include "analysis_ui/shown_plate.h"
#include "archive/plate_read.h"
#include "archive/read_state.h"

// The plate and its context; ftMeasured and ftStarted in local time.
void PlateOfRead(const archive::PlateRead& read, TPlateResult* plate, ResultContext* context);

// With the record's plate ID, operator, UUID and hash, and the assay the
// read was made with when the record holds one that parses.
ShownPlate ShownPlateOfRead(const archive::PlateRead& read);

// The read as it is now (archive::CurrentState): its plate ID, status,
// excluded wells, comments and the analysis in force.
ShownPlate ShownPlateOfState(const archive::ReadState& state);
