// "&Save..." in the data preview: the shown plate into a CSV or JSON file
// of the operator's choosing, for labs that keep results in files, or into
// an Excel workbook with the layout in use and its analysis.
#pragma once

#include <QString>

#include "results/result_file.h"
#include "results/shared_state.h"

class QWidget;
class TemplateDialog;
struct ShownPlate;

// Puts the button beside "Close". It saves the plate as it is at this
// moment, as the preview shows it (the preview is a snapshot too).
void AddSaveButton(TemplateDialog& preview, const ShownPlate& shown);

// The reader the shown plate came from, for the files' metadata.
ResultContext ShownResultContext();

// plate-<date>-<time>-<primary>nm.csv from the completion time, e.g.
// plate-20261207-162005-450nm.csv; without a time, plate-<primary>nm.csv.
QString DefaultResultFileName(const TPlateResult& plate);

// Asks where to save; an empty name means the operator cancelled. The
// platform's file dialog unless a test stands in for it (null restores it).
using SaveFileChooser = QString (*)(QWidget* parent, const QString& suggestedName);
void SetSaveFileChooserForTesting(SaveFileChooser chooser);
