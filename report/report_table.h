// The results table of a report: the analysis window's columns and numbers,
// each column as wide as its widest text, texts too long for the page
// wrapped within their column, so every value stands under its own header
// and no header is cut.
#pragma once

#include <QFont>
#include <QStringList>
#include <vector>

#include "analysis/plate_analysis.h"

class QPainter;
class QPaintDevice;

struct ReportTable {
  QStringList header;
  std::vector<bool> numeric;  // right-aligned
  std::vector<QStringList> rows;
};

// The window's table (analysis_report.h) with the report's short headers
// ("Conc. [unit]", "% Recovery"); a table made without an assay gets the
// recovery column too.
ReportTable MakeReportTable(const analysis::PlateAnalysis& analysis, bool decimalComma);

class ReportTableLayout {
 public:
  // width: the page's; padding: left and right in a cell; minRow: a row's least height.
  ReportTableLayout(const ReportTable& table, const QFont& font, QPaintDevice* device, double width,
                    double padding, double minRow);

  double HeaderHeight() const { return headerHeight_; }
  double RowHeight(size_t row) const { return rowHeights_[row]; }
  size_t Rows() const { return rowHeights_.size(); }
  // Each returns the height painted; without a painter only the height.
  double PaintHeader(QPainter* painter, double y) const;
  double PaintRow(QPainter* painter, double y, size_t row) const;

 private:
  double TextHeight(const QFont& font, const QString& text, size_t column) const;
  void Cells(QPainter& painter, double y, double height, const QStringList& cells) const;

  const ReportTable& table_;
  QFont font_, bold_;
  QPaintDevice* device_;
  double width_, padding_, minRow_, vpad_ = 0;
  std::vector<double> widths_;
  double headerHeight_ = 0;
  std::vector<double> rowHeights_;
};
