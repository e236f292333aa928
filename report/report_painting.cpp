#include "report/report_painting.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "report/curve_axes.h"
#include "report/heat_map_scale.h"
#include "results/result_text.h"
#include "results/shared_state.h"

namespace {

QString WellText(int32_t value, bool decimalComma) {
  char text[kWellTextSize];
  FormatWellValue(value, decimalComma, text, sizeof text);
  return QString::fromLatin1(text);
}

const char* Tag(analysis::WellRole role) {
  switch (role) {
    case analysis::WellRole::Blank:
      return "B";
    case analysis::WellRole::Standard:
      return "S";
    case analysis::WellRole::Control:
      return "C";
    case analysis::WellRole::Sample:
    case analysis::WellRole::Empty:
      break;
  }
  return "";
}

QFont SizedFont(const QPainter& painter, double pixelHeight, bool bold = false) {
  QFont font = painter.font();
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelHeight))));
  font.setBold(bold);
  return font;
}

// Letter where the locale measures in US units, A4 elsewhere.
QPageSize LocalePageSize() {
  return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize(QPageSize::Letter)
                                                                    : QPageSize(QPageSize::A4);
}

}  // namespace

void PaintPlate(QPainter& painter, const QRectF& area, std::span<const int32_t, 96> values,
                const analysis::PlateLayout* layout, bool decimalComma, const uint8_t* overRange) {
  painter.save();
  const double legendHeight = area.height() * 0.12;
  const double cell = std::min(area.width() / 12.6, (area.height() - legendHeight) / 8.6);
  const double labels = cell * 0.6;
  const QPointF origin(area.left() + labels, area.top() + labels);

  int32_t low = std::numeric_limits<int32_t>::max(), high = std::numeric_limits<int32_t>::min();
  for (int32_t v : values) {
    if (v == kNoValue) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  painter.setFont(SizedFont(painter, cell * 0.3));
  for (int column = 0; column < 12; ++column) {
    painter.drawText(QRectF(origin.x() + column * cell, area.top(), cell, labels), Qt::AlignCenter,
                     QString::number(column + 1));
  }
  for (int row = 0; row < 8; ++row) {
    painter.drawText(QRectF(area.left(), origin.y() + row * cell, labels, cell), Qt::AlignCenter,
                     QString(QChar('A' + row)));
  }
  const QFont valueFont = SizedFont(painter, cell * 0.26);
  const QFont tagFont = SizedFont(painter, cell * 0.22, true);
  for (int well = 0; well < 96; ++well) {
    const QRectF box(origin.x() + (well % 12) * cell, origin.y() + (well / 12) * cell, cell, cell);
    const int32_t value = values[static_cast<size_t>(well)];
    QColor fill(Qt::white);
    if (value != kNoValue) fill = HeatMapColour(HeatMapPosition(value, low, high));
    const bool over = overRange && overRange[well];
    painter.fillRect(box, fill);
    // Read above the range: hatched and named, never blank like a well without value.
    if (over) painter.fillRect(box, QBrush(Qt::darkGray, Qt::BDiagPattern));
    painter.setPen(QPen(Qt::gray, 0));
    painter.drawRect(box);
    painter.setPen(TextColourOn(fill));
    painter.setFont(over ? tagFont : valueFont);
    painter.drawText(box, Qt::AlignCenter,
                     over                ? QStringLiteral("OVER")
                     : value == kNoValue ? QString()
                                         : WellText(value, decimalComma));
    if (layout) {
      painter.setFont(tagFont);
      painter.drawText(box.adjusted(cell * 0.06, cell * 0.02, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                       QString::fromLatin1(Tag(layout->wells[static_cast<size_t>(well)].role)));
    }
  }

  // The legend: the scale from the lowest to the highest value, the tags.
  const QRectF bar(origin.x(), origin.y() + 8 * cell + legendHeight * 0.25, cell * 4,
                   legendHeight * 0.35);
  QLinearGradient gradient(bar.topLeft(), bar.topRight());
  gradient.setStops(HeatMapStops());
  painter.fillRect(bar, gradient);
  painter.setPen(Qt::black);
  painter.setFont(SizedFont(painter, cell * 0.28));
  const bool any = low <= high;
  painter.drawText(QRectF(bar.left() - cell * 2, bar.bottom(), cell * 4, legendHeight * 0.5),
                   Qt::AlignHCenter | Qt::AlignTop, any ? WellText(low, decimalComma) : QString());
  painter.drawText(QRectF(bar.right() - cell * 2, bar.bottom(), cell * 4, legendHeight * 0.5),
                   Qt::AlignHCenter | Qt::AlignTop, any ? WellText(high, decimalComma) : QString());
  QString legend =
      layout ? QStringLiteral("B blank   S standard   C control   (absorbance)") : QString();
  if (overRange && std::any_of(overRange, overRange + 96, [](uint8_t o) { return o != 0; })) {
    legend += (legend.isEmpty() ? "" : "   ") + QStringLiteral("OVER above the reader's range");
  }
  if (!legend.isEmpty()) {
    painter.drawText(
        QRectF(bar.right() + cell, bar.top() - cell * 0.2, cell * 8, bar.height() + cell * 0.4),
        Qt::AlignLeft | Qt::AlignVCenter, legend);
  }
  painter.restore();
}

void PaintStandardCurve(QPainter& painter, const QRectF& area, const analysis::CurveFit& fit,
                        const QString& unit, const QString& responseTitle, bool logarithmic,
                        bool decimalComma) {
  painter.save();
  const double text = area.height() * 0.05;
  const QRectF plot = area.adjusted(text * 6, text * 0.5, -text, -text * 3.2);
  std::vector<double> concentrations, responses;
  double low = 0, high = 0;
  bool any = false;
  for (const analysis::FitPoint& p : fit.points) {
    if (logarithmic && !(p.concentration > 0)) continue;
    concentrations.push_back(p.concentration);
    responses.push_back(p.response);
    low = any ? std::min(low, p.concentration) : p.concentration;
    high = any ? std::max(high, p.concentration) : p.concentration;
    any = true;
  }
  const AxisScale along = ConcentrationScale(concentrations, logarithmic);
  const AxisScale up = ResponseScale(responses);
  const auto share = [&](double x) {
    return along.logarithmic ? std::log10(x / along.from) / std::log10(along.to / along.from)
                             : (x - along.from) / (along.to - along.from);
  };
  const auto at = [&](double x, double y) {
    return QPointF(plot.left() + plot.width() * share(x),
                   plot.bottom() - plot.height() * (y - up.from) / (up.to - up.from));
  };
  const auto label = [&](double value) {
    return QString::fromStdString(AxisLabel(value, decimalComma));
  };

  painter.setPen(QPen(Qt::black, 0));
  painter.drawRect(plot);
  painter.setFont(SizedFont(painter, text));
  for (double x : along.ticks) {
    if (x < along.from || x > along.to) continue;
    const QPointF bottom = at(x, up.from);
    painter.drawLine(bottom, bottom + QPointF(0, text * 0.4));
    painter.drawText(QRectF(bottom.x() - text * 3, bottom.y() + text * 0.5, text * 6, text * 1.3),
                     Qt::AlignHCenter | Qt::AlignTop, label(x));
  }
  for (double y : up.ticks) {
    if (y < up.from || y > up.to) continue;
    const QPointF left = at(along.from, y);
    painter.drawLine(left, left - QPointF(text * 0.4, 0));
    painter.drawText(
        QRectF(plot.left() - text * 4.4, left.y() - text * 0.7, text * 3.8, text * 1.4),
        Qt::AlignRight | Qt::AlignVCenter, label(y));
  }
  const QString xTitle = unit.isEmpty() ? QStringLiteral("Concentration")
                                        : QStringLiteral("Concentration [%1]").arg(unit);
  painter.drawText(QRectF(plot.left(), plot.bottom() + text * 1.8, plot.width(), text * 1.4),
                   Qt::AlignHCenter | Qt::AlignTop, xTitle);
  // Up the left side, as the analysis window has it.
  painter.save();
  painter.translate(area.left() + text * 0.8, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-plot.height() / 2, -text * 0.7, plot.height(), text * 1.4),
                   Qt::AlignCenter, responseTitle);
  painter.restore();

  painter.setClipRect(plot);
  if (fit.fitted && any && high > low) {
    QPainterPath curve;
    constexpr int kSteps = 200;
    for (int i = 0; i <= kSteps; ++i) {
      const double step = static_cast<double>(i) / kSteps;
      // Even steps on the axis as drawn, so the curve looks smooth on both.
      const double x = logarithmic ? low * std::pow(high / low, step) : low + (high - low) * step;
      const double y = fit.Response(x);
      if (!std::isfinite(y)) continue;
      if (curve.elementCount() == 0) {
        curve.moveTo(at(x, y));
      } else {
        curve.lineTo(at(x, y));
      }
    }
    painter.setPen(QPen(QColor(QRgb(kCurveRgb)), text * 0.25));
    painter.drawPath(curve);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(QRgb(kPointRgb)));
  for (size_t i = 0; i < concentrations.size(); ++i) {
    painter.drawEllipse(at(concentrations[i], responses[i]), text * 0.35, text * 0.35);
  }
  painter.restore();
}

void PaintReportFooter(QPainter& painter, const QRectF& box, const QString& created, int page,
                       int pages, const std::string& chainHead, const std::string& archiveName) {
  const QString numbered = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
  painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, created);
  painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, numbered);
  if (chainHead.empty()) return;
  // No ligatures in the hash.
  QFont plain = painter.font();
  plain.setStyleStrategy(QFont::PreferNoShaping);
  painter.setFont(plain);
  const QFontMetricsF metrics(plain, painter.device());
  const double gap = box.height() * 1.2;
  const double left = metrics.horizontalAdvance(created) + gap;
  const double width = box.width() - left - metrics.horizontalAdvance(numbered) - gap;
  QString text = QStringLiteral("Archive chain head: ") + QString::fromStdString(chainHead);
  if (!archiveName.empty()) {
    const double room = width - metrics.horizontalAdvance(text + QStringLiteral(" ()"));
    text += QStringLiteral(" (") +
            metrics.elidedText(QString::fromStdString(archiveName), Qt::ElideMiddle,
                               std::max(room, 0.0)) +
            QStringLiteral(")");
  }
  painter.drawText(QRectF(box.left() + left, box.top(), std::max(width, 0.0), box.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
}

bool WriteReportPdf(const QString& path, const QString& title, const QString& creator,
                    const std::function<void(QPagedPaintDevice*)>& paint, QString* error) {
  // Written beside the target and renamed, so a failed report never
  // replaces a good one.
  const QString partial = path + QStringLiteral(".part");
  {
    QPdfWriter writer(partial);
    writer.setPageSize(LocalePageSize());
    writer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
    writer.setResolution(600);
    writer.setTitle(title);
    writer.setCreator(creator);
    paint(&writer);
  }
  QFile written(partial);
  if (written.size() == 0) {
    *error = QStringLiteral("cannot write %1").arg(partial);
    QFile::remove(partial);
    return false;
  }
  QFile::remove(path);
  if (!written.rename(path)) {
    *error = written.errorString();
    QFile::remove(partial);
    return false;
  }
  return true;
}
