// Where the analysis windows ask the operator for a file: the layout to
// open, where to save it, where to save the analysis, the assay to open
// and where to save it. The platform's file dialog unless a test stands in
// for it.
#pragma once

#include <QString>

class QWidget;

enum class FileQuestion { kOpenLayout, kSaveLayout, kSaveAnalysis, kOpenAssay, kSaveAssay };

// The chosen path, empty when the operator cancelled. A name typed without
// an extension takes the one of the chosen type.
QString AskForFile(QWidget* parent, FileQuestion question, const QString& suggested);

using FileChooser = QString (*)(QWidget* parent, FileQuestion question, const QString& suggested);
// Null restores the file dialog.
void SetFileChooserForTesting(FileChooser chooser);
