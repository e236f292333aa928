// The data preview: the last result as an 8 x 12 plate map with the header
// line below; a modal dialog owned by the main dialog.
#pragma once

class QWidget;

// Runs the preview modally; its result is of no interest to the caller.
int RunDataPreview(QWidget* owner);
