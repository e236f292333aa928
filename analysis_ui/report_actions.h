// "&Report..." and "&Print..." for the plate a window shows: the plate
// report saved as a PDF (opened in the desktop's viewer afterwards when the
// operator ticks "Open after saving") or sent to a printer.
#pragma once

#include <QString>
#include <functional>

#include "analysis/plate_layout.h"
#include "analysis_ui/shown_plate.h"
#include "report/plate_report.h"

class QWidget;

// The report of the shown plate, analysed as the analysis window does: with
// its own assay, else the one in use, else layout (the layout in use).
PlateReport ShownPlateReport(const ShownPlate& shown, const analysis::PlateLayout* layout);

// Asks where to save; false when cancelled or the file could not be written
// (the operator has been told).
bool SaveShownPlateReport(QWidget* parent, const ShownPlate& shown,
                          const analysis::PlateLayout* layout);

// The print dialog, then the report on the chosen printer.
void PrintShownPlateReport(QWidget* parent, const ShownPlate& shown,
                           const analysis::PlateLayout* layout);

// Asks where to save a report and writes it there with write (which says
// why it could not); false when cancelled or not written (the operator has
// been told). Opened afterwards when the operator chose so.
bool SaveReportPdf(QWidget* parent, const QString& suggested,
                   const std::function<bool(const QString& path, QString* error)>& write);

// Asks where to save the report; empty when cancelled. A test stands in for
// the file dialog with its own (null restores it).
using ReportFileChooser = QString (*)(QWidget* parent, const QString& suggested);
void SetReportFileChooserForTesting(ReportFileChooser chooser);
