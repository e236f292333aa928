// The main dialog's "Assay" controls, right of the template's: a list of
// the recent assays by name with "None" first, and "A&ssay..." for the assay
// window. With an assay chosen, Measure reads with its filters (the filter
// lists follow) and the analysis window opens on the plate with its verdict.
#pragma once

class MainDialog;
class QComboBox;

// Widens the dialog by the column and fills the list; an assay file that
// has gone or no longer reads is reported once and "None" chosen.
void AddAssayControls(MainDialog& dialog);
QComboBox* AssayList(const MainDialog& dialog);

// At start: an assay in use that reads a series fills in "Kinetic".
void FillKineticFromAssayInUse(MainDialog& dialog);

// Before Measure: false when the chosen assay's file failed (reported,
// "None" chosen) and the reader must not be touched. Otherwise the filter
// lists show the assay's filters.
bool PrepareAssayMeasure(MainDialog& dialog);

// After a read: with an assay, the analysis window shows the plate; an
// analysis window left open follows it in any case.
void ShowNewPlateAnalysis(MainDialog& dialog);
// After a measurement that was aborted or failed (the completion id): an
// open analysis window says so instead of showing the previous plate.
void ShowUnfinishedRead(int id);
