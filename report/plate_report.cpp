#include "report/plate_report.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

#include "analysis/analysis_report.h"
#include "report/report_painting.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString TimeText(const std::optional<std::chrono::system_clock::time_point>& when) {
  return when ? Q(FormatIsoLocalTime(*when)) : QStringLiteral("-");
}

QString Number(std::optional<double> value, bool decimalComma) {
  std::string text = analysis::FormatNumber(value);
  if (decimalComma) std::replace(text.begin(), text.end(), '.', ',');
  return Q(text);
}

// Recovery: the back-calculated concentration against the nominal one
// (standards) or the middle of the accepted range (controls).
std::optional<double> Recovery(const analysis::GroupResult& group) {
  if (!group.concentration) return std::nullopt;
  std::optional<double> nominal = group.expected;
  if (!nominal && group.range) nominal = (group.range->low + group.range->high) / 2;
  if (!nominal || *nominal == 0) return std::nullopt;
  return *group.concentration / *nominal * 100;
}

std::vector<QStringList> TableRows(const PlateReport& report) {
  std::vector<QStringList> rows;
  if (!report.analysis) return rows;
  const auto texts = analysis::ResultsTableRows(*report.analysis, report.decimalComma);
  for (size_t i = 0; i < texts.size(); ++i) {
    QStringList row;
    for (const std::string& cell : texts[i]) row << Q(cell);
    row.insert(7, Number(Recovery(report.analysis->groups[i]), report.decimalComma));
    rows.push_back(row);
  }
  return rows;
}

QStringList TableHeader(const PlateReport& report) {
  const std::string unit = report.analysis ? report.analysis->unit : "";
  return {
      "Name",
      "Role",
      "Wells",
      "Mean",
      "SD",
      "CV %",
      unit.empty() ? QStringLiteral("Concentration") : QStringLiteral("Conc. [%1]").arg(Q(unit)),
      "% Recovery",
      "Flag"};
}
constexpr double kColumnShares[9] = {0.14, 0.08, 0.10, 0.09, 0.10, 0.09, 0.13, 0.10, 0.17};

// Where things go, in device units; everything from millimetres.
struct Geometry {
  double unit;  // device units per millimetre
  QRectF page;  // the paintable area
  double mm(double millimetres) const { return millimetres * unit; }
  double rowHeight() const { return mm(4.2); }
  double footer() const { return mm(8); }
  double bottom() const { return page.bottom() - footer(); }
};

struct PagePlan {
  bool first = false;
  size_t rowBegin = 0, rowEnd = 0;  // table rows on this page
  bool tail = false;                // verdict and signatures
};

class ReportPainter {
 public:
  ReportPainter(const PlateReport& report, QPagedPaintDevice* device)
      : report_(report), device_(device), rows_(TableRows(report)) {
    geometry_.unit = device->logicalDpiX() / 25.4;
    geometry_.page = QRectF(0, 0, device->width(), device->height());
  }

  int Paint() {
    const std::vector<PagePlan> pages = Plan();
    QPainter painter(device_);
    for (size_t i = 0; i < pages.size(); ++i) {
      if (i > 0) device_->newPage();
      double y = pages[i].first ? FirstPageTop(painter) : ContinuationTop(painter);
      if (pages[i].rowEnd > pages[i].rowBegin) {
        y = Table(painter, y, pages[i].rowBegin, pages[i].rowEnd);
      }
      if (pages[i].tail) Tail(painter, y);
      Footer(painter, static_cast<int>(i) + 1, static_cast<int>(pages.size()));
    }
    return static_cast<int>(pages.size());
  }

 private:
  const Geometry& g() const { return geometry_; }

  QString Title() const {
    return report_.title.empty() ? QStringLiteral("Plate report") : Q(report_.title);
  }

  double HeaderHeight() const { return g().mm(report_.archiveUuid.empty() ? 34 : 42); }
  double PlateHeight() const { return g().mm(66); }
  double CurveHeight() const { return HasCurve() ? g().mm(50) : 0; }
  bool HasCurve() const { return report_.analysis && report_.analysis->hasStandards; }
  double FirstTableTop() const {
    return HeaderHeight() + PlateHeight() + CurveHeight() + g().mm(4);
  }
  double ContinuationTableTop() const { return g().mm(12); }
  double TailHeight() const {
    const double verdict = report_.verdict.empty() ? 0 : g().mm(9 + 5 * report_.qcRules.size());
    return verdict + g().mm(16);
  }

  std::vector<PagePlan> Plan() const {
    std::vector<PagePlan> pages;
    PagePlan page;
    page.first = true;
    double y = FirstTableTop();
    size_t row = 0;
    while (row < rows_.size()) {
      const double room = g().bottom() - y - g().rowHeight() - g().mm(4);  // the header row
      const size_t fits = room > 0 ? static_cast<size_t>(room / g().rowHeight()) : 0;
      page.rowBegin = row;
      page.rowEnd = std::min(rows_.size(), row + std::max<size_t>(fits, 0));
      row = page.rowEnd;
      if (row < rows_.size()) {
        pages.push_back(page);
        page = PagePlan{};
        y = ContinuationTableTop();
      } else {
        y += g().rowHeight() * static_cast<double>(page.rowEnd - page.rowBegin + 1) + g().mm(4);
      }
    }
    if (g().bottom() - y < TailHeight()) {
      pages.push_back(page);
      page = PagePlan{};
    }
    page.tail = true;
    pages.push_back(page);
    return pages;
  }

  void Font(QPainter& painter, double points, bool bold = false) const {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    painter.setFont(font);
  }

  void Line(QPainter& painter, double x, double y, double width, const QString& text) const {
    painter.drawText(QRectF(x, y, width, g().mm(5)), Qt::AlignLeft | Qt::AlignVCenter, text);
  }

  double FirstPageTop(QPainter& painter) const {
    const double w = g().page.width();
    Font(painter, 16, true);
    painter.drawText(QRectF(0, 0, w, g().mm(9)), Qt::AlignLeft | Qt::AlignVCenter, Title());
    const TPlateResult& plate = report_.plate;
    const ResultContext& context = report_.context;
    QString reader = Q(context.readerKind.empty() ? "-" : context.readerKind);
    if (!context.readerId.empty()) reader += QStringLiteral(", ID ") + Q(context.readerId);
    QString filters = plate.nPrimary ? QStringLiteral("%1 nm").arg(plate.nPrimary) : "-";
    if (plate.nReference) filters += QStringLiteral(" / %1 nm (reference)").arg(plate.nReference);
    const std::pair<QString, QString> left[] = {
        {"Plate ID", report_.plateId.empty() ? "-" : Q(report_.plateId)},
        {"Operator", report_.operatorName.empty() ? "-" : Q(report_.operatorName)},
        {"Reader", reader},
        {"Filters", filters}};
    const std::pair<QString, QString> right[] = {
        {"Read started", TimeText(context.started)},
        {"Read completed", TimeText(ReadCompletionTime(plate, context))},
        {"Program", report_.programVersion.empty() ? "-" : Q(report_.programVersion)},
        {"Layout", report_.layout ? QStringLiteral("yes") : QStringLiteral("none")}};
    Font(painter, 9);
    double y = g().mm(11);
    for (size_t i = 0; i < 4; ++i) {
      Line(painter, 0, y, w / 2, left[i].first + ": " + left[i].second);
      Line(painter, w / 2, y, w / 2, right[i].first + ": " + right[i].second);
      y += g().mm(5);
    }
    if (!report_.archiveUuid.empty()) {
      // No ligatures: "ff" in a UUID or hash would be copied out as one glyph.
      QFont plain = painter.font();
      plain.setStyleStrategy(QFont::PreferNoShaping);
      painter.setFont(plain);
      Line(painter, 0, y, w, QStringLiteral("Archive record: ") + Q(report_.archiveUuid));
      Line(painter, 0, y + g().mm(5), w, QStringLiteral("SHA-256: ") + Q(report_.archiveHash));
    }
    y = HeaderHeight();
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLine(QPointF(0, y - g().mm(3)), QPointF(w, y - g().mm(3)));

    PaintPlate(painter, QRectF(0, y, w, PlateHeight() - g().mm(2)), report_.plate.nValue,
               report_.layout ? &*report_.layout : nullptr, report_.decimalComma);
    y += PlateHeight();
    if (HasCurve()) {
      const analysis::PlateAnalysis& result = *report_.analysis;
      PaintStandardCurve(painter, QRectF(0, y, w * 0.58, CurveHeight() - g().mm(4)), result.fit,
                         Q(result.unit));
      Font(painter, 9, true);
      double ty = y;
      Line(painter, w * 0.62, ty, w * 0.38, QStringLiteral("Standard curve"));
      Font(painter, 9);
      ty += g().mm(6);
      Line(painter, w * 0.62, ty, w * 0.38,
           QStringLiteral("Model: %1, weighting %2")
               .arg(analysis::CurveModelName(result.fit.model),
                    analysis::WeightingName(result.fit.weighting)));
      ty += g().mm(5);
      if (result.fit.fitted) {
        for (const analysis::FitParameter& p : result.fit.parameters) {
          Line(painter, w * 0.62, ty, w * 0.38,
               Q(p.name) + " = " + Number(p.value, report_.decimalComma));
          ty += g().mm(5);
        }
        Line(painter, w * 0.62, ty, w * 0.38,
             QStringLiteral("R² = ") + Number(result.fit.r2, report_.decimalComma));
      } else {
        painter.drawText(QRectF(w * 0.62, ty, w * 0.38, g().mm(30)), Qt::TextWordWrap,
                         Q(result.fit.failure));
      }
      y += CurveHeight();
    }
    return FirstTableTop();
  }

  double ContinuationTop(QPainter& painter) const {
    Font(painter, 9, true);
    Line(painter, 0, 0, g().page.width(),
         Title() + (report_.plateId.empty() ? QString() : " - " + Q(report_.plateId)) +
             QStringLiteral(" (continued)"));
    return ContinuationTableTop();
  }

  // Cells too wide for their column end in "..."; the header's never do.
  void Row(QPainter& painter, double y, const QStringList& cells, bool elide = true) const {
    double x = 0;
    const double w = g().page.width();
    for (int i = 0; i < cells.size() && i < 9; ++i) {
      const double width = w * kColumnShares[i];
      painter.drawText(QRectF(x + g().mm(0.8), y, width - g().mm(1.6), g().rowHeight()),
                       Qt::AlignVCenter | (i >= 3 && i <= 7 ? Qt::AlignRight : Qt::AlignLeft),
                       elide ? painter.fontMetrics().elidedText(
                                   cells[i], Qt::ElideRight, static_cast<int>(width - g().mm(1.6)))
                             : cells[i]);
      x += width;
    }
  }

  double Table(QPainter& painter, double y, size_t begin, size_t end) const {
    const double w = g().page.width();
    Font(painter, 7.5, true);
    painter.fillRect(QRectF(0, y, w, g().rowHeight()), QColor(0xe8, 0xe8, 0xe8));
    Row(painter, y, TableHeader(report_), false);
    y += g().rowHeight();
    Font(painter, 7.5);
    painter.setPen(QPen(Qt::black, 0));
    for (size_t i = begin; i < end; ++i) {
      Row(painter, y, rows_[i]);
      y += g().rowHeight();
      painter.setPen(QPen(Qt::lightGray, 0));
      painter.drawLine(QPointF(0, y), QPointF(w, y));
      painter.setPen(QPen(Qt::black, 0));
    }
    return y + g().mm(4);
  }

  void Tail(QPainter& painter, double y) const {
    const double w = g().page.width();
    if (!report_.verdict.empty()) {
      Font(painter, 11, true);
      Line(painter, 0, y, w, QStringLiteral("QC verdict: ") + Q(report_.verdict));
      y += g().mm(7);
      Font(painter, 9);
      for (const ReportQcRule& rule : report_.qcRules) {
        Line(painter, g().mm(4), y, w,
             QStringLiteral("%1  %2%3")
                 .arg(rule.passed ? QStringLiteral("pass") : QStringLiteral("FAIL"), Q(rule.rule),
                      rule.detail.empty() ? QString()
                                          : QStringLiteral(" (%1)").arg(Q(rule.detail))));
        y += g().mm(5);
      }
      y += g().mm(2);
    }
    // Two signatures side by side, each with its date, at the foot of the page.
    Font(painter, 9);
    y = std::max(y + g().mm(4), g().bottom() - g().mm(12));
    const double half = w / 2;
    int column = 0;
    for (const QString& who : {QStringLiteral("Performed by"), QStringLiteral("Reviewed by")}) {
      const double x = half * column++;
      Line(painter, x, y, half, who + QStringLiteral(":"));
      painter.drawLine(QPointF(x + g().mm(24), y + g().mm(5)),
                       QPointF(x + half - g().mm(4), y + g().mm(5)));
      Line(painter, x, y + g().mm(6), half, QStringLiteral("Date:"));
      painter.drawLine(QPointF(x + g().mm(24), y + g().mm(11)),
                       QPointF(x + half - g().mm(4), y + g().mm(11)));
    }
  }

  void Footer(QPainter& painter, int page, int pages) const {
    Font(painter, 8);
    const QRectF box(0, g().page.bottom() - g().mm(5), g().page.width(), g().mm(5));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Created ") + Q(FormatIsoLocalTime(report_.created)));
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Page %1 of %2").arg(page).arg(pages));
  }

  const PlateReport& report_;
  QPagedPaintDevice* device_;
  std::vector<QStringList> rows_;
  Geometry geometry_;
};

// Letter where the locale measures in US units, A4 elsewhere.
QPageSize LocalePageSize() {
  return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize(QPageSize::Letter)
                                                                    : QPageSize(QPageSize::A4);
}

// An analysis made with an assay carries its own verdict; a caller that
// filled none gets that one, so no report of an assayed plate leaves it out.
PlateReport WithAnalysisVerdict(const PlateReport& report) {
  PlateReport filled = report;
  if (!filled.verdict.empty() || !filled.analysis || !filled.analysis->qc) return filled;
  const analysis::QcResult& qc = *filled.analysis->qc;
  filled.verdict = qc.Verdict();
  for (const analysis::QcRuleResult& rule : qc.rules) {
    filled.qcRules.push_back({rule.rule, rule.passed, rule.detail});
  }
  return filled;
}

}  // namespace

int PaintPlateReport(const PlateReport& report, QPagedPaintDevice* device) {
  return ReportPainter(WithAnalysisVerdict(report), device).Paint();
}

bool WritePlateReportPdf(const PlateReport& report, const QString& path, QString* error) {
  // Written beside the target and renamed, so a failed report never
  // replaces a good one.
  const QString partial = path + QStringLiteral(".part");
  {
    QPdfWriter writer(partial);
    writer.setPageSize(LocalePageSize());
    writer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
    writer.setResolution(600);
    writer.setTitle(report.title.empty() ? QStringLiteral("Plate report") : Q(report.title));
    writer.setCreator(Q(report.programVersion));
    PaintPlateReport(report, &writer);
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
