#include "report/plate_report.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "analysis/analysis_report.h"
#include "report/report_notes.h"
#include "report/report_painting.h"
#include "report/report_table.h"

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

bool Valid(const PlateReport& report) {
  return report.status != "aborted" && report.status != "failed";
}

// Where things go, in device units; everything from millimetres.
struct Geometry {
  double unit;  // device units per millimetre
  QRectF page;  // the paintable area
  double mm(double millimetres) const { return millimetres * unit; }
  double rowHeight() const { return mm(4.2); }
  double footer() const { return mm(8); }
  double bottom() const { return page.bottom() - footer(); }
};

QFont ReportFont(double points, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// The report is painted as a flow: each piece goes where the last ended,
// or on a new page when it does not fit. Run once without a painter to count
// the pages, then with one to paint them.
class ReportPainter {
 public:
  ReportPainter(const PlateReport& report, QPagedPaintDevice* device)
      : report_(report), device_(device) {
    geometry_.unit = device->logicalDpiX() / 25.4;
    geometry_.page = QRectF(0, 0, device->width(), device->height());
    if (Valid(report_) && report_.analysis) {
      table_ = MakeReportTable(*report_.analysis, report_.decimalComma);
      layout_.emplace(table_, ReportFont(7.5), device_, g().page.width(), g().mm(0.8),
                      g().rowHeight());
    }
  }

  int Paint() {
    const int pages = Flow(nullptr, 0);
    QPainter painter(device_);
    Flow(&painter, pages);
    return pages;
  }

 private:
  const Geometry& g() const { return geometry_; }

  QString Title() const { return PlateReportTitle(report_); }
  bool HasCurve() const { return report_.analysis && report_.analysis->hasStandards; }
  double CurveHeight() const { return HasCurve() ? g().mm(50) : 0; }
  double PlateHeight() const { return g().mm(66); }

  double TextHeight(const QFont& font, double width, const QString& text) const {
    return QFontMetricsF(font, device_)
        .boundingRect(QRectF(0, 0, width, 1e7), Qt::TextWordWrap, text)
        .height();
  }
  // A paragraph across the page from x; returns its height.
  double Paragraph(QPainter* painter, double x, double y, const QFont& font,
                   const QString& text) const {
    const double width = g().page.width() - x;
    const double height = std::max(g().mm(5), TextHeight(font, width, text) + g().mm(1));
    if (painter) {
      painter->setFont(font);
      painter->drawText(QRectF(x, y, width, height),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text);
    }
    return height;
  }

  // Pages as painted (or only counted when painter is null).
  int Flow(QPainter* painter, int pages) {
    int page = 1;
    double y = FirstPageTop(painter);
    const auto fit = [&](double height, bool inTable) {
      if (y + height <= g().bottom()) return;
      if (painter) {
        Footer(*painter, page, pages);
        device_->newPage();
      }
      ++page;
      y = ContinuationTop(painter);
      if (inTable) y += layout_->PaintHeader(painter, y);
    };
    if (layout_ && layout_->Rows() > 0) {
      fit(layout_->HeaderHeight() + layout_->RowHeight(0), false);
      y += layout_->PaintHeader(painter, y);
      for (size_t row = 0; row < layout_->Rows(); ++row) {
        fit(layout_->RowHeight(row), true);
        y += layout_->PaintRow(painter, y, row);
      }
      y += g().mm(4);
    }
    const std::vector<ReportNoteLine> notes = ReportNoteLines(report_, Valid(report_));
    const auto height = [&](size_t i) {
      const ReportNoteLine& line = notes[i];
      return Paragraph(nullptr, line.entry ? g().mm(4) : 0, y, ReportFont(9, line.heading),
                       line.text);
    };
    for (size_t i = 0; i < notes.size(); ++i) {
      // A heading stays with its first entry.
      const bool withNext = notes[i].heading && i + 1 < notes.size();
      fit(height(i) + (withNext ? height(i + 1) : 0), false);
      y += Paragraph(painter, notes[i].entry ? g().mm(4) : 0, y, ReportFont(9, notes[i].heading),
                     notes[i].text);
    }
    if (Valid(report_)) {
      fit(TailHeight(), false);
      if (painter) Tail(*painter, y);
    }
    if (painter) Footer(*painter, page, pages);
    return page;
  }

  double TailHeight() const {
    const double verdict = report_.verdict.empty() ? 0 : g().mm(9 + 5 * report_.qcRules.size());
    return verdict + g().mm(16);
  }

  void Line(QPainter& painter, double x, double y, double width, const QString& text) const {
    painter.drawText(QRectF(x, y, width, g().mm(5)), Qt::AlignLeft | Qt::AlignVCenter, text);
  }

  double FirstPageTop(QPainter* painter) const {
    const double w = g().page.width();
    const QFont titleFont = ReportFont(16, true);
    const double titleHeight = std::max(g().mm(9), TextHeight(titleFont, w, Title()));
    if (painter) {
      painter->setFont(titleFont);
      painter->drawText(QRectF(0, 0, w, titleHeight),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, Title());
    }
    double y = titleHeight + g().mm(2);
    const double lines = report_.archiveUuid.empty() ? 4 : 6;
    if (painter) Facts(*painter, y);
    y += g().mm(5) * lines + g().mm(0.5);
    // The rule below the last line of text, never through it.
    if (painter) {
      painter->setPen(QPen(Qt::black, 0));
      painter->drawLine(QPointF(0, y), QPointF(w, y));
    }
    y += g().mm(1.5);
    if (!Valid(report_)) {
      QString text = QStringLiteral("This read gave no valid data; no results are reported.");
      if (report_.status == "aborted" && !report_.statusMessage.empty()) {
        text = Q(report_.statusMessage) + "\n" + text;
      }
      return y + Paragraph(painter, 0, y, ReportFont(9), text) + g().mm(4);
    }
    if (painter) {
      PaintPlate(*painter, QRectF(0, y, w, PlateHeight() - g().mm(2)), report_.plate.nValue,
                 report_.layout ? &*report_.layout : nullptr, report_.decimalComma,
                 report_.plate.bOverRange);
    }
    y += PlateHeight();
    if (HasCurve()) {
      if (painter) Curve(*painter, y);
      y += CurveHeight();
    }
    return y + g().mm(4);
  }

  void Facts(QPainter& painter, double y) const {
    const double w = g().page.width();
    const TPlateResult& plate = report_.plate;
    const ResultContext& context = report_.context;
    QString reader = Q(context.readerKind.empty() ? "-" : context.readerKind);
    if (!context.readerId.empty()) reader += QStringLiteral(", ID ") + Q(context.readerId);
    QString filters = plate.nPrimary ? QStringLiteral("%1 nm").arg(plate.nPrimary) : "-";
    if (plate.nReference) filters += QStringLiteral(" / %1 nm (reference)").arg(plate.nReference);
    QString layout = Q(report_.layoutName);
    if (layout.isEmpty()) layout = report_.layout ? QStringLiteral("yes") : QStringLiteral("none");
    const std::pair<QString, QString> ended =
        Valid(report_) ? std::pair{QStringLiteral("Read completed"),
                                   TimeText(ReadCompletionTime(plate, context))}
                       : std::pair{QStringLiteral("Status"), Q(report_.status)};
    const std::pair<QString, QString> left[] = {
        {"Plate ID", report_.plateId.empty() ? "-" : Q(report_.plateId)},
        {"Operator", report_.operatorName.empty() ? "-" : Q(report_.operatorName)},
        {"Reader", reader},
        {"Filters", filters}};
    const std::pair<QString, QString> right[] = {
        {"Read started", TimeText(context.started)},
        ended,
        {"Program", report_.programVersion.empty() ? "-" : Q(report_.programVersion)},
        {"Layout", layout}};
    painter.setFont(ReportFont(9));
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
  }

  void Curve(QPainter& painter, double y) const {
    const double w = g().page.width();
    const analysis::PlateAnalysis& result = *report_.analysis;
    PaintStandardCurve(painter, QRectF(0, y, w * 0.58, CurveHeight() - g().mm(4)), result.fit,
                       Q(result.unit), QStringLiteral("Absorbance, blank-corrected"), true,
                       report_.decimalComma);
    painter.setFont(ReportFont(9, true));
    Line(painter, w * 0.62, y, w * 0.38, QStringLiteral("Standard curve"));
    painter.setFont(ReportFont(9));
    y += g().mm(6);
    Line(painter, w * 0.62, y, w * 0.38,
         QStringLiteral("Model: %1, weighting %2")
             .arg(analysis::CurveModelName(result.fit.model),
                  analysis::WeightingName(result.fit.weighting)));
    y += g().mm(5);
    if (!result.fit.fitted) {
      painter.drawText(QRectF(w * 0.62, y, w * 0.38, g().mm(30)), Qt::TextWordWrap,
                       Q(result.fit.failure));
      return;
    }
    for (const analysis::FitParameter& p : result.fit.parameters) {
      Line(painter, w * 0.62, y, w * 0.38,
           Q(p.name) + " = " + Number(p.value, report_.decimalComma));
      y += g().mm(5);
    }
    Line(painter, w * 0.62, y, w * 0.38,
         QStringLiteral("R² = ") + Number(result.fit.r2, report_.decimalComma));
  }

  double ContinuationTop(QPainter* painter) const {
    if (painter) {
      painter->setFont(ReportFont(9, true));
      Line(*painter, 0, 0, g().page.width(),
           Title() + (report_.plateId.empty() ? QString() : " - " + Q(report_.plateId)) +
               QStringLiteral(" (continued)"));
    }
    return g().mm(12);
  }

  void Tail(QPainter& painter, double y) const {
    const double w = g().page.width();
    if (!report_.verdict.empty()) {
      painter.setFont(ReportFont(11, true));
      Line(painter, 0, y, w, QStringLiteral("QC verdict: ") + Q(report_.verdict));
      y += g().mm(7);
      painter.setFont(ReportFont(9));
      for (const ReportQcRule& rule : report_.qcRules) {
        Line(painter, g().mm(4), y, w,
             QStringLiteral("%1  %2%3")
                 .arg(!rule.applicable ? QStringLiteral("n/a")
                      : rule.passed    ? QStringLiteral("pass")
                                       : QStringLiteral("FAIL"),
                      Q(rule.rule),
                      rule.detail.empty() ? QString()
                                          : QStringLiteral(" (%1)").arg(Q(rule.detail))));
        y += g().mm(5);
      }
      y += g().mm(2);
    }
    // Two signatures side by side, each with its date, at the foot of the page.
    painter.setFont(ReportFont(9));
    painter.setPen(QPen(Qt::black, 0));
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
    painter.setFont(ReportFont(8));
    painter.setPen(Qt::black);
    const QRectF box(0, g().page.bottom() - g().mm(5), g().page.width(), g().mm(5));
    const QString created = QStringLiteral("Created ") + Q(FormatIsoLocalTime(report_.created));
    PaintReportFooter(painter, box, created, page, pages, report_.chainHead, report_.archiveName);
  }

  const PlateReport& report_;
  QPagedPaintDevice* device_;
  Geometry geometry_;
  ReportTable table_;
  std::optional<ReportTableLayout> layout_;
};

// An analysis made with an assay carries its own verdict; a caller that
// filled none gets that one, so no report of an assayed plate leaves it out.
PlateReport WithAnalysisVerdict(const PlateReport& report) {
  PlateReport filled = report;
  if (!Valid(filled)) {
    // No verdict for a read that gave no data, whatever the caller had.
    filled.verdict.clear();
    filled.qcRules.clear();
    return filled;
  }
  if (!filled.verdict.empty() || !filled.analysis || !filled.analysis->qc) return filled;
  const analysis::QcResult& qc = *filled.analysis->qc;
  filled.verdict = qc.Verdict();
  for (const analysis::QcRuleResult& rule : qc.rules) {
    filled.qcRules.push_back(
        {rule.rule, rule.passed, rule.Detail(filled.decimalComma), rule.applicable});
  }
  return filled;
}

}  // namespace

QString PlateReportTitle(const PlateReport& report) {
  if (report.status == "aborted") return QStringLiteral("Aborted read: no valid data");
  if (report.status == "failed") {
    return QStringLiteral("Failed read: ") + (report.statusMessage.empty()
                                                  ? QStringLiteral("no valid data")
                                                  : Q(report.statusMessage));
  }
  return report.title.empty() ? QStringLiteral("Plate report") : Q(report.title);
}

int PaintPlateReport(const PlateReport& report, QPagedPaintDevice* device) {
  return ReportPainter(WithAnalysisVerdict(report), device).Paint();
}

bool WritePlateReportPdf(const PlateReport& report, const QString& path, QString* error) {
  return WriteReportPdf(
      path, PlateReportTitle(report), Q(report.programVersion),
      [&report](QPagedPaintDevice* device) { PaintPlateReport(report, device); }, error);
}
