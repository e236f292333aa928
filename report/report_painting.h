// The plate and the standard curve drawn with QPainter, shared by the
// report and the windows that show the same pictures.
#pragma once

#include <QRectF>
#include <QString>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "analysis/plate_analysis.h"
#include "analysis/plate_layout.h"

class QPagedPaintDevice;
class QPainter;

// 8 x 12 wells with their values (thousandths, 9999 none) in heat-map
// colours between the plate's lowest and highest value, the layout's
// B/S/C tags, and the legend below: the whole within area. Wells read above
// the reader's range (overRange[well] set, 96 of them) are hatched and say "OVER".
void PaintPlate(QPainter& painter, const QRectF& area, std::span<const int32_t, 96> values,
                const analysis::PlateLayout* layout, bool decimalComma,
                const uint8_t* overRange = nullptr);

// The standards' points and the fitted curve with the concentration (unit)
// along and the response up, titled responseTitle, on the axes the analysis
// window draws (curve_axes.h): numbered decades on a logarithmic axis, round
// ticks on a linear one.
void PaintStandardCurve(QPainter& painter, const QRectF& area, const analysis::CurveFit& fit,
                        const QString& unit, const QString& responseTitle, bool logarithmic = true,
                        bool decimalComma = false);

// A report page's footer within box: created on the left, "Page n of m" on
// the right and, between them when there is one, "Archive chain head: ..."
// with the archive's name shortened to the room left (the head always whole).
void PaintReportFooter(QPainter& painter, const QRectF& box, const QString& created, int page,
                       int pages, const std::string& chainHead, const std::string& archiveName);

// A report as a PDF at path, titled and credited to creator, its pages
// painted by paint onto the writer; false with the reason, and a report
// already at path is kept.
bool WriteReportPdf(const QString& path, const QString& title, const QString& creator,
                    const std::function<void(QPagedPaintDevice*)>& paint, QString* error);

// The curve's colour, and the points': the tests look for them in the pixels.
inline constexpr unsigned kCurveRgb = 0xd62728;
inline constexpr unsigned kPointRgb = 0x1f77b4;
