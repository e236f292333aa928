// Launching, aborting and winding up the reader operations. One operation
// runs at a time on a worker thread; the dialog stays responsive, and the
// running operation's button becomes its "&Abort" button.
#pragma once

class MainDialog;

// True when no operation may start: no serial port chosen (the Options
// dialog opens next) or no driver. Makes sure the driver fits the chosen
// reader family.
bool CheckPortAndDriver(MainDialog& dialog);

// Each returns true when the launch failed (the operator has been told)
// and false when the worker runs.
bool StartMeasure(MainDialog& dialog);
bool StartReadFilters(MainDialog& dialog);
bool StartCalibrate(MainDialog& dialog);
bool StartPlateMove(MainDialog& dialog, bool out);

// Creates the worker held back, into hWorkerThread; true on failure.
bool StartWorker(MainDialog& dialog, void (*entry)());

// No result: every well at the no-value marker, no filters, no time.
void ResetResult();

// Waits briefly for the worker, releases the thread and the port and
// brings the buttons back; runs on every completion command.
void OnOperationFinished(MainDialog& dialog);

// Worker entries: one driver call each, with the shared variables.
void MeasureThread();
void ReadFiltersThread();
void CalibrateThread();
void PlateInThread();
void PlateOutThread();
