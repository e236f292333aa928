// The data preview: the last result as an 8 x 12 plate map with the header
// line below; a modal dialog owned by the main dialog.
#pragma once

#include <memory>

#include "results/shared_state.h"

class QWidget;
class TemplateDialog;
struct ShownPlate;

// Runs the preview modally; its result is of no interest to the caller.
int RunDataPreview(QWidget* owner);

// The preview, filled and not yet shown, for a caller that runs it itself.
std::unique_ptr<TemplateDialog> CreateDataPreview(QWidget* owner);
// The same for any plate: one opened from a file or the archive.
std::unique_ptr<TemplateDialog> CreateDataPreview(QWidget* owner, const ShownPlate& shown);

// The last result as the preview shows it, with its reader and times and,
// when it was stored, its archive record.
ShownPlate LastShownPlate();

// Writes every cell (102 + well index) and the header line (217).
void FillPreview(TemplateDialog& preview, const TPlateResult& plate);
