// The desktop program keeps every measurement in the archive as soon as it
// ends, before the clipboard is set or the preview opens; an aborted or
// failed one too, with the driver's text. When the archive cannot take it,
// one warning box says where the read waits. The record of the last one
// stored goes with its preview (archive_ui/desktop_archive.h).
#pragma once

namespace archive {
struct PlateRead;
}

// The measurement has started now (its start time for the record).
void NoteMeasureStarted();

// Whether the running operation is a measurement.
bool MeasurementUnderway();

// The operation ended with completion command id. Stores the read when a
// measurement was running and [Archive] Enabled is on; owner (a QWidget*) null: no box
// (the program is closing).
void ArchiveFinishedMeasurement(void* owner, int id);

// The record of the last measurement kept in the archive or its spool, any
// status; null when the last measurement was not kept (or archiving is off).
const archive::PlateRead* LastKeptRead();
