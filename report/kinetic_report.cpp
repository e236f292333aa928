#include "report/kinetic_report.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>

#include "analysis/number_format.h"
#include "report/curve_plate.h"
#include "report/kinetic_tables.h"
#include "report/report_painting.h"
#include "report/report_table.h"
#include "results/result_file.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString Dash(const std::string& text) {
  return text.empty() ? QStringLiteral("-") : Q(text);
}

QString Number(std::optional<double> value, bool decimalComma) {
  std::string text = analysis::FormatNumber(value);
  if (decimalComma) std::replace(text.begin(), text.end(), '.', ',');
  return Q(text);
}

QFont ReportFont(double points, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// Painted as a flow like the plate report: each piece where the last ended,
// or on a new page; run once without a painter to count the pages.
class KineticPainter {
 public:
  KineticPainter(const KineticReport& report, QPagedPaintDevice* device)
      : report_(report), device_(device) {
    unit_ = device->logicalDpiX() / 25.4;
    page_ = QRectF(0, 0, device->width(), device->height());
    for (ReportTable& table : KineticReportTables(report.analysis, report.decimalComma)) {
      tables_.push_back(std::move(table));
      layouts_.emplace_back(tables_.back(), ReportFont(7), device_, page_.width(), mm(0.8),
                            mm(4.2));
    }
    if (report.rates) {
      ratesTable_ = layouts_.size();
      tables_.push_back(MakeReportTable(*report.rates, report.decimalComma));
      layouts_.emplace_back(tables_.back(), ReportFont(7.5), device_, page_.width(), mm(0.8),
                            mm(4.2));
    }
  }

  int Paint() {
    const int pages = Flow(nullptr, 0);
    QPainter painter(device_);
    Flow(&painter, pages);
    return pages;
  }

 private:
  double mm(double millimetres) const { return millimetres * unit_; }
  double Bottom() const { return page_.bottom() - mm(8); }
  bool HasCurve() const { return report_.rates && report_.rates->hasStandards; }

  void Line(QPainter& painter, double x, double y, double width, const QString& text) const {
    painter.drawText(QRectF(x, y, width, mm(5)), Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  double Paragraph(QPainter* painter, double y, const QFont& font, const QString& text) const {
    const double height = std::max(
        mm(5), QFontMetricsF(font, device_)
                       .boundingRect(QRectF(0, 0, page_.width(), 1e7), Qt::TextWordWrap, text)
                       .height() +
                   mm(1));
    if (painter) {
      painter->setFont(font);
      painter->drawText(QRectF(0, y, page_.width(), height),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text);
    }
    return height;
  }

  int Flow(QPainter* painter, int pages) {
    int page = 1;
    double y = FirstPageTop(painter);
    const ReportTableLayout* table = nullptr;  // whose header a new page repeats
    const auto fit = [&](double height) {
      if (y + height <= Bottom()) return;
      if (painter) {
        Footer(*painter, page, pages);
        device_->newPage();
      }
      ++page;
      y = ContinuationTop(painter);
      if (table) y += table->PaintHeader(painter, y);
    };
    for (size_t t = 0; t < layouts_.size(); ++t) {
      const ReportTableLayout& layout = layouts_[t];
      if (t == ratesTable_) {
        // The rates through the assay: the curve, the verdict, then their table.
        if (HasCurve()) {
          fit(mm(50));
          if (painter) Curve(*painter, y);
          y += mm(50);
        }
        fit(VerdictHeight());
        if (painter) Verdict(*painter, y);
        y += VerdictHeight();
      }
      if (layout.Rows() == 0) continue;
      table = nullptr;
      fit(layout.HeaderHeight() + layout.RowHeight(0));
      y += layout.PaintHeader(painter, y);
      table = &layout;
      for (size_t row = 0; row < layout.Rows(); ++row) {
        fit(layout.RowHeight(row));
        y += layout.PaintRow(painter, y, row);
      }
      table = nullptr;
      y += mm(4);
    }
    fit(mm(16));
    if (painter) Signatures(*painter, y);
    if (painter) Footer(*painter, page, pages);
    return page;
  }

  double FirstPageTop(QPainter* painter) const {
    const double w = page_.width();
    double y = Paragraph(painter, 0, ReportFont(16, true), KineticReportTitle(report_));
    y += mm(2);
    if (painter) Facts(*painter, y);
    y += mm(5) * (report_.recordUuid.empty() ? 5 : 6) + mm(0.5);
    if (painter) {
      painter->setPen(QPen(Qt::black, 0));
      painter->drawLine(QPointF(0, y), QPointF(w, y));
    }
    y += mm(1.5);
    const QString status = KineticRunStatusText(report_);
    if (!status.isEmpty()) y += Paragraph(painter, y, ReportFont(10, true), status) + mm(2);
    if (report_.reads.empty()) {
      return y + Paragraph(painter, y, ReportFont(9), QStringLiteral("No read completed.")) + mm(4);
    }
    const double plate = std::min(w * 8.6 / 12.6, mm(120));
    if (painter) PaintCurvePlate(*painter, QRectF(0, y, w, plate), report_.analysis, report_.reads);
    y += plate + mm(1);
    y += Paragraph(painter, y, ReportFont(8), Legend());
    return y + mm(3);
  }

  QString Legend() const {
    const bool rate = report_.analysis.options.mode == analysis::KineticMode::Rate;
    std::optional<double> low, high;
    for (const analysis::KineticWell& well : report_.analysis.wells) {
      if (!well.rate) continue;
      low = std::min(low.value_or(*well.rate), *well.rate);
      high = std::max(high.value_or(*well.rate), *well.rate);
    }
    const QString what =
        rate ? QStringLiteral("the steepest window") : QStringLiteral("the logistic fit");
    QString text =
        QStringLiteral("Blank-corrected OD against time (%1), with %2 drawn over the points.")
            .arg(rate ? QStringLiteral("min") : QStringLiteral("h"), what);
    if (low) {
      text += QStringLiteral(" Colour: %1 from %2 (dark) to %3 (light) %4.")
                  .arg(rate ? QStringLiteral("rate") : QStringLiteral("µmax"),
                       Number(low, report_.decimalComma), Number(high, report_.decimalComma),
                       rate ? QStringLiteral("mOD/min") : QStringLiteral("1/h"));
    }
    return text;
  }

  void Facts(QPainter& painter, double y) const {
    const double w = page_.width();
    const analysis::KineticOptions& options = report_.analysis.options;
    const int reads = static_cast<int>(report_.reads.size());
    QString readsText = QString::number(reads);
    if (report_.plannedReads > 0 && report_.plannedReads != reads)
      readsText += QStringLiteral(" of %1").arg(report_.plannedReads);
    const QString interval =
        report_.intervalSeconds
            ? Number(*report_.intervalSeconds, report_.decimalComma) + QStringLiteral(" s")
            : QStringLiteral("-");
    const std::pair<QString, QString> left[] = {
        {"Mode", Q(analysis::KineticModeName(options.mode))},
        {"Window", QStringLiteral("%1 reads").arg(options.window)},
        {"Reads", readsText},
        {"Interval", interval}};
    const std::pair<QString, QString> right[] = {{"Run started", Dash(report_.started)},
                                                 {"Assay", Dash(report_.assayName)},
                                                 {"Plate ID", Dash(report_.plateId)},
                                                 {"Operator", Dash(report_.operatorName)}};
    painter.setFont(ReportFont(9));
    for (size_t i = 0; i < 4; ++i) {
      Line(painter, 0, y, w / 2, left[i].first + ": " + left[i].second);
      Line(painter, w / 2, y, w / 2, right[i].first + ": " + right[i].second);
      y += mm(5);
    }
    // The program here, so the footer has room for the archive's chain head.
    Line(painter, 0, y, w, QStringLiteral("Program: ") + Dash(report_.programVersion));
    y += mm(5);
    if (!report_.recordUuid.empty()) {
      // No ligatures: "ff" in a UUID would be copied out as one glyph.
      QFont plain = painter.font();
      plain.setStyleStrategy(QFont::PreferNoShaping);
      painter.setFont(plain);
      Line(painter, 0, y, w, QStringLiteral("Archive record: ") + Q(report_.recordUuid));
    }
  }

  void Curve(QPainter& painter, double y) const {
    const double w = page_.width();
    const analysis::PlateAnalysis& result = *report_.rates;
    // Up the side the rates, not absorbances.
    PaintStandardCurve(painter, QRectF(0, y, w * 0.58, mm(46)), result.fit, Q(result.unit),
                       QStringLiteral("Rate [%1]").arg(Q(result.responseUnit)), true,
                       report_.decimalComma);
    painter.setFont(ReportFont(9, true));
    Line(painter, w * 0.62, y, w * 0.38, QStringLiteral("Standard curve of the rates"));
    painter.setFont(ReportFont(9));
    y += mm(6);
    Line(painter, w * 0.62, y, w * 0.38,
         QStringLiteral("Model: %1, weighting %2")
             .arg(analysis::CurveModelName(result.fit.model),
                  analysis::WeightingName(result.fit.weighting)));
    y += mm(5);
    if (!result.fit.fitted) {
      painter.drawText(QRectF(w * 0.62, y, w * 0.38, mm(30)), Qt::TextWordWrap,
                       Q(result.fit.failure));
      return;
    }
    for (const analysis::FitParameter& p : result.fit.parameters) {
      Line(painter, w * 0.62, y, w * 0.38,
           Q(p.name) + " = " + Number(p.value, report_.decimalComma));
      y += mm(5);
    }
    Line(painter, w * 0.62, y, w * 0.38,
         QStringLiteral("R² = ") + Number(result.fit.r2, report_.decimalComma));
  }

  double VerdictHeight() const {
    const auto& qc = report_.rates->qc;
    return qc ? mm(9 + 5 * static_cast<double>(qc->rules.size()) + 2) : 0;
  }

  void Verdict(QPainter& painter, double y) const {
    const auto& qc = report_.rates->qc;
    if (!qc) return;
    const double w = page_.width();
    painter.setFont(ReportFont(11, true));
    Line(painter, 0, y, w, QStringLiteral("QC verdict: ") + Q(qc->Verdict()));
    y += mm(7);
    painter.setFont(ReportFont(9));
    for (const analysis::QcRuleResult& rule : qc->rules) {
      const std::string& detail = rule.Detail(report_.decimalComma);
      Line(painter, mm(4), y, w,
           QStringLiteral("%1  %2%3")
               .arg(!rule.applicable ? QStringLiteral("n/a")
                    : rule.passed    ? QStringLiteral("pass")
                                     : QStringLiteral("FAIL"),
                    Q(rule.rule),
                    detail.empty() ? QString() : QStringLiteral(" (%1)").arg(Q(detail))));
      y += mm(5);
    }
  }

  double ContinuationTop(QPainter* painter) const {
    if (painter) {
      painter->setFont(ReportFont(9, true));
      Line(*painter, 0, 0, page_.width(),
           KineticReportTitle(report_) +
               (report_.plateId.empty() ? QString() : " - " + Q(report_.plateId)) +
               QStringLiteral(" (continued)"));
    }
    return mm(12);
  }

  void Signatures(QPainter& painter, double y) const {
    painter.setFont(ReportFont(9));
    painter.setPen(QPen(Qt::black, 0));
    y = std::max(y + mm(4), Bottom() - mm(12));
    const double half = page_.width() / 2;
    int column = 0;
    for (const QString& who : {QStringLiteral("Performed by"), QStringLiteral("Reviewed by")}) {
      const double x = half * column++;
      Line(painter, x, y, half, who + QStringLiteral(":"));
      painter.drawLine(QPointF(x + mm(24), y + mm(5)), QPointF(x + half - mm(4), y + mm(5)));
      Line(painter, x, y + mm(6), half, QStringLiteral("Date:"));
      painter.drawLine(QPointF(x + mm(24), y + mm(11)), QPointF(x + half - mm(4), y + mm(11)));
    }
  }

  void Footer(QPainter& painter, int page, int pages) const {
    painter.setFont(ReportFont(8));
    painter.setPen(Qt::black);
    const QRectF box(0, page_.bottom() - mm(5), page_.width(), mm(5));
    const QString created = QStringLiteral("Created ") + Q(FormatIsoLocalTime(report_.created));
    PaintReportFooter(painter, box, created, page, pages, report_.chainHead, report_.archiveName);
  }

  const KineticReport& report_;
  QPagedPaintDevice* device_;
  double unit_ = 1;
  QRectF page_;
  std::deque<ReportTable> tables_;  // the layouts hold them by reference
  std::deque<ReportTableLayout> layouts_;
  size_t ratesTable_ = SIZE_MAX;  // the rates' table among them, when there is one
};

}  // namespace

QString KineticReportTitle(const KineticReport& report) {
  if (report.status == "aborted") return QStringLiteral("Aborted kinetic run");
  if (report.status == "failed") return QStringLiteral("Failed kinetic run");
  return report.title.empty() ? QStringLiteral("Kinetic report") : Q(report.title);
}

QString KineticRunStatusText(const KineticReport& report) {
  if (report.status != "aborted" && report.status != "failed") return {};
  const int reads = static_cast<int>(report.reads.size());
  QString text = report.status == "aborted" ? QStringLiteral("Aborted after ")
                                            : QStringLiteral("Failed after ");
  text += QString::number(reads);
  if (report.plannedReads > 0) text += QStringLiteral(" of %1").arg(report.plannedReads);
  text += reads == 1 ? QStringLiteral(" read") : QStringLiteral(" reads");
  if (!report.statusMessage.empty()) text += QStringLiteral(" (%1)").arg(Q(report.statusMessage));
  if (reads == 0) return text + QStringLiteral(".\nThe report holds no read.");
  const QString span = QStringLiteral("%1 to %2 s")
                           .arg(Number(report.reads.front().seconds, report.decimalComma),
                                Number(report.reads.back().seconds, report.decimalComma));
  return text +
         (reads == 1
              ? QStringLiteral(".\nThe report holds read 1, at %1.")
                    .arg(Number(report.reads.front().seconds, report.decimalComma) +
                         QStringLiteral(" s"))
              : QStringLiteral(".\nThe report holds reads 1 to %1, %2.").arg(reads).arg(span));
}

int PaintKineticReport(const KineticReport& report, QPagedPaintDevice* device) {
  return KineticPainter(report, device).Paint();
}

bool WriteKineticReportPdf(const KineticReport& report, const QString& path, QString* error) {
  return WriteReportPdf(
      path, KineticReportTitle(report), Q(report.programVersion),
      [&report](QPagedPaintDevice* device) { PaintKineticReport(report, device); }, error);
}
