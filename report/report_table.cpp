#include "report/report_table.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <numeric>

#include "analysis/analysis_report.h"
#include "analysis/number_format.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Recovery without an assay: the back-calculated concentration against the
// nominal one (standards) or the middle of the accepted range (controls).
std::optional<double> Recovery(const analysis::GroupResult& group) {
  if (!group.concentration) return std::nullopt;
  std::optional<double> nominal = group.expected;
  if (!nominal && group.range) nominal = (group.range->low + group.range->high) / 2;
  if (!nominal || *nominal == 0) return std::nullopt;
  return *group.concentration / *nominal * 100;
}

constexpr int kWrap = Qt::TextWordWrap;

}  // namespace

ReportTable MakeReportTable(const analysis::PlateAnalysis& result, bool decimalComma) {
  ReportTable table;
  const std::vector<std::string> header = analysis::ResultsTableHeader(result);
  const auto rows = analysis::ResultsTableRows(result, decimalComma);
  const QString conc = result.unit.empty() ? QStringLiteral("Conc.")
                                           : QStringLiteral("Conc. [%1]").arg(Q(result.unit));
  const bool hasRecovery = std::find(header.begin(), header.end(), "Recovery %") != header.end();
  for (const std::string& name : header) {
    if (name.rfind("Concentration", 0) == 0) {
      table.header << conc;
      if (!hasRecovery) table.header << QStringLiteral("% Recovery");
    } else if (name == "Recovery %") {
      table.header << QStringLiteral("% Recovery");
    } else {
      table.header << Q(name);
    }
  }
  const size_t concAt = static_cast<size_t>(table.header.indexOf(conc));
  for (const QString& name : table.header) {
    table.numeric.push_back(name != "Name" && name != "Role" && name != "Wells" && name != "Flag");
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    QStringList row;
    for (const std::string& cell : rows[i]) row << Q(cell);
    if (!hasRecovery) {
      row.insert(static_cast<qsizetype>(concAt + 1),
                 Q(analysis::FormatPercent(Recovery(result.groups[i]), decimalComma)));
    }
    table.rows.push_back(row);
  }
  return table;
}

ReportTableLayout::ReportTableLayout(const ReportTable& table, const QFont& font,
                                     QPaintDevice* device, double width, double padding,
                                     double minRow)
    : table_(table),
      font_(font),
      bold_(font),
      device_(device),
      width_(width),
      padding_(padding),
      minRow_(minRow) {
  bold_.setBold(true);
  const QFontMetricsF plain(font_, device_), strong(bold_, device_);
  // One line sits in the middle of the least row; more lines make it taller.
  vpad_ = std::max(0.0, (minRow_ - strong.height()) / 2);
  const size_t columns = static_cast<size_t>(table_.header.size());
  // Each column as wide as its widest text; the least a text column may
  // have is its header and its longest word.
  std::vector<double> natural(columns), least(columns);
  for (size_t c = 0; c < columns; ++c) {
    const QString& name = table_.header[static_cast<qsizetype>(c)];
    natural[c] = least[c] = strong.horizontalAdvance(name);
    for (const QStringList& row : table_.rows) {
      const QString cell = row.value(static_cast<qsizetype>(c));
      natural[c] = std::max(natural[c], plain.horizontalAdvance(cell));
      if (table_.numeric[c]) {
        least[c] = natural[c];
        continue;
      }
      for (const QString& word : cell.split(' ', Qt::SkipEmptyParts)) {
        least[c] = std::max(least[c], plain.horizontalAdvance(word));
      }
    }
    natural[c] += 2 * padding_ + 1;
    least[c] += 2 * padding_ + 1;
  }
  widths_ = natural;
  const double total = std::accumulate(natural.begin(), natural.end(), 0.0);
  if (total <= width_) {
    // Room to spare: shared evenly, the columns keep their order of size.
    for (double& w : widths_) w += (width_ - total) / static_cast<double>(columns);
  } else {
    // Too wide: the widest text columns give way first, down to a common
    // width (never below their least), so a short name stays on one line
    // while a long well list wraps.
    const auto widthAt = [&](double cap) {
      double sum = 0;
      for (size_t c = 0; c < columns; ++c) {
        sum += table_.numeric[c] ? natural[c] : std::max(least[c], std::min(natural[c], cap));
      }
      return sum;
    };
    double low = 0, high = *std::max_element(natural.begin(), natural.end());
    for (int step = 0; step < 40; ++step) {
      const double cap = (low + high) / 2;
      (widthAt(cap) > width_ ? high : low) = cap;
    }
    for (size_t c = 0; c < columns; ++c) {
      if (!table_.numeric[c]) widths_[c] = std::max(least[c], std::min(natural[c], low));
    }
  }
  headerHeight_ = minRow_;
  for (size_t c = 0; c < columns; ++c) {
    headerHeight_ =
        std::max(headerHeight_, TextHeight(bold_, table_.header[static_cast<qsizetype>(c)], c));
  }
  for (const QStringList& row : table_.rows) {
    double height = minRow_;
    for (size_t c = 0; c < columns; ++c) {
      height = std::max(height, TextHeight(font_, row.value(static_cast<qsizetype>(c)), c));
    }
    rowHeights_.push_back(height);
  }
}

double ReportTableLayout::TextHeight(const QFont& font, const QString& text, size_t column) const {
  const QFontMetricsF metrics(font, device_);
  const QRectF box(0, 0, widths_[column] - 2 * padding_, 1e6);
  return metrics.boundingRect(box, kWrap, text).height() + 2 * vpad_;
}

void ReportTableLayout::Cells(QPainter& painter, double y, double height,
                              const QStringList& cells) const {
  double x = 0;
  for (size_t c = 0; c < widths_.size(); ++c) {
    const QRectF box(x + padding_, y + vpad_, widths_[c] - 2 * padding_, height - 2 * vpad_);
    const int align = (table_.numeric[c] ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
    painter.drawText(box, align | kWrap, cells.value(static_cast<qsizetype>(c)));
    x += widths_[c];
  }
}

double ReportTableLayout::PaintHeader(QPainter* painter, double y) const {
  if (!painter) return headerHeight_;
  painter->save();
  painter->fillRect(QRectF(0, y, width_, headerHeight_), QColor(0xe8, 0xe8, 0xe8));
  painter->setFont(bold_);
  painter->setPen(Qt::black);
  Cells(*painter, y, headerHeight_, table_.header);
  painter->restore();
  return headerHeight_;
}

double ReportTableLayout::PaintRow(QPainter* painter, double y, size_t row) const {
  if (!painter) return rowHeights_[row];
  painter->save();
  painter->setFont(font_);
  painter->setPen(Qt::black);
  Cells(*painter, y, rowHeights_[row], table_.rows[row]);
  painter->setPen(QPen(Qt::lightGray, 0));
  painter->drawLine(QPointF(0, y + rowHeights_[row]), QPointF(width_, y + rowHeights_[row]));
  painter->restore();
  return rowHeights_[row];
}
