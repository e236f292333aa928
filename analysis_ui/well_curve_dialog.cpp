#include "analysis_ui/well_curve_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "analysis/kinetics_output.h"
#include "results/shared_state.h"

class WellCurveView : public QWidget {
 public:
  explicit WellCurveView(QWidget* parent) : QWidget(parent) { setMinimumSize(420, 280); }
  void Set(WellCurve curve, CurveSpan span) {
    curve_ = std::move(curve);
    span_ = span;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRectF box = QRectF(rect()).adjusted(56, 12, -16, -36);
    painter.setPen(palette().text().color());
    const bool growth = curve_.mode == analysis::KineticMode::Growth;
    painter.drawText(QRectF(box.left(), box.bottom() + 18, box.width(), 16), Qt::AlignCenter,
                     growth ? QStringLiteral("time [h]") : QStringLiteral("time [min]"));
    for (int i = 0; i <= 4; ++i) {
      const double t = span_.t0 + (span_.t1 - span_.t0) * i / 4;
      const double x = box.left() + box.width() * i / 4;
      painter.drawText(QRectF(x - 30, box.bottom() + 2, 60, 16), Qt::AlignCenter,
                       QString::number(t, 'g', 3));
      const double y = span_.y0 + (span_.y1 - span_.y0) * i / 4;
      const double at = box.bottom() - box.height() * i / 4;
      painter.drawText(QRectF(0, at - 8, box.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(y, 'g', 3));
    }
    DrawWellCurve(painter, box, curve_, span_, true);
  }

 private:
  WellCurve curve_;
  CurveSpan span_;
};

WellCurveDialog::WellCurveDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("wellCurve"));
  view_ = new WellCurveView(this);
  numbers_ = new QLabel(this);
  numbers_->setObjectName(QStringLiteral("numbers"));
  numbers_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_, 1);
  layout->addWidget(numbers_);
  layout->addWidget(buttons);
}

void WellCurveDialog::SetWell(int well, const analysis::KineticAnalysis& analysis,
                              const std::vector<analysis::KineticRead>& reads) {
  well_ = well;
  WellCurve curve = WellCurveOf(analysis, reads, well);
  const CurveSpan span = SpanOf({curve});
  QString title = QStringLiteral("Well ") + WellLabel(well);
  QStringList lines;
  if (curve.result) {
    if (!curve.result->name.empty())
      title += QStringLiteral(" - ") + QString::fromStdString(curve.result->name);
    // The well's row of the results table, named by its header.
    const std::vector<std::string> header = analysis::KineticsTableHeader(analysis.options.mode);
    for (const std::vector<std::string>& row :
         analysis::KineticsTableRows(analysis, AppSettings.bDelimComma != 0)) {
      if (row.empty() || QString::fromStdString(row[0]) != WellLabel(well)) continue;
      for (size_t i = 1; i < row.size() && i < header.size(); ++i) {
        if (!row[i].empty()) {
          lines << QString::fromStdString(header[i]) + QStringLiteral(": ") +
                       QString::fromStdString(row[i]);
        }
      }
    }
  } else {
    lines << QStringLiteral("Not in the layout.");
  }
  setWindowTitle(title);
  numbers_->setText(lines.join(QLatin1Char('\n')));
  view_->Set(std::move(curve), span);
}

QString WellCurveDialog::NumbersText() const {
  return numbers_->text();
}
