// The preview's row for the plate's record: "Plate &ID:" (a barcode
// scanner types the code and Enter), "&Comment..." and "&Open...". For an
// archived read, a plate ID taken and a comment are audit entries; changing
// an ID asks why.
#pragma once

#include <QString>

class QWidget;
class TemplateDialog;

// Left of "&Report..." and "&Print...", below the heat map's row.
void AddRecordControls(TemplateDialog& preview);

// Takes id as the shown plate's ID (what Enter in the field does). False
// when the operator cancelled a change or the ID is the same.
bool TakePlateId(TemplateDialog& preview, const QString& id);

// Asks which plate file to open; empty when cancelled. A test stands in
// for the file dialog with its own (null restores it).
using OpenFileChooser = QString (*)(QWidget* parent);
void SetOpenFileChooserForTesting(OpenFileChooser chooser);
