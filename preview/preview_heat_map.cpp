#include "preview/preview_heat_map.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "dialogs/template_dialog.h"
#include "report/heat_map_scale.h"
#include "results/result_text.h"

namespace {

constexpr int kFirstCellId = 102;
// The row below the header line and "&Save..." (dialog units).
constexpr int kRowY = 131, kRowHeight = 10;
constexpr int kCheckX = 19, kCheckWidth = 48;
constexpr int kLowX = 68, kValueWidth = 36;
constexpr int kBarX = 106, kBarWidth = 60;
constexpr int kHighX = 168;

class LegendBar : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QLinearGradient gradient(rect().topLeft(), rect().topRight());
    gradient.setStops(HeatMapStops());
    painter.fillRect(rect().adjusted(0, 1, 0, -1), gradient);
  }
};

QString WellText(int32_t value) {
  char number[kWellTextSize];
  FormatWellValue(value, AppSettings.bDelimComma != 0, number, sizeof number);
  return QString::fromLatin1(number);
}

}  // namespace

PreviewHeatMap::PreviewHeatMap(TemplateDialog& preview, const TPlateResult& plate)
    : QObject(&preview), preview_(preview), plate_(plate) {
  check_ = new QCheckBox(QStringLiteral("&Heat map"), &preview);
  check_->setObjectName(QStringLiteral("heatMap"));
  check_->setGeometry(preview.DialogUnitsToPixels(kCheckX, kRowY, kCheckWidth, kRowHeight));
  check_->resize(std::max(check_->width(), check_->sizeHint().width()), check_->height());
  connect(check_, &QCheckBox::clicked, this, &PreviewHeatMap::SetShown);

  legend_ = new QWidget(&preview);
  legend_->setObjectName(QStringLiteral("heatMapLegend"));
  legend_->setGeometry(
      preview.DialogUnitsToPixels(kLowX, kRowY, kHighX + kValueWidth - kLowX, kRowHeight));
  const QPoint origin = legend_->pos();
  const auto place = [&preview, &origin](QWidget* widget, int x, int width) {
    widget->setGeometry(
        preview.DialogUnitsToPixels(x, kRowY, width, kRowHeight).translated(-origin));
  };
  auto* low = new QLabel(legend_);
  low->setObjectName(QStringLiteral("heatMapLow"));
  low->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  place(low, kLowX, kValueWidth);
  auto* bar = new LegendBar(legend_);
  place(bar, kBarX, kBarWidth);
  auto* high = new QLabel(legend_);
  high->setObjectName(QStringLiteral("heatMapHigh"));
  place(high, kHighX, kValueWidth);

  // The ends of the scale: the lowest and highest value the reader gave.
  for (int32_t value : plate_.nValue) {
    if (value == kNoValue) continue;
    lowest_ = hasValues_ ? std::min(lowest_, value) : value;
    highest_ = hasValues_ ? std::max(highest_, value) : value;
    hasValues_ = true;
  }
  low->setText(hasValues_ ? WellText(lowest_) : QString());
  high->setText(hasValues_ ? WellText(highest_) : QString());
  low->setToolTip(QStringLiteral("Lowest value"));
  high->setToolTip(QStringLiteral("Highest value"));

  check_->setChecked(AppSettings.HeatMap != 0);
  Paint();
}

QLabel* PreviewHeatMap::Cell(int well) const {
  return qobject_cast<QLabel*>(preview_.Item(kFirstCellId + well));
}

bool PreviewHeatMap::IsShown() const {
  return check_->isChecked();
}

void PreviewHeatMap::SetShown(bool shown) {
  check_->setChecked(shown);
  AppSettings.HeatMap = shown ? 1 : 0;
  Paint();
}

void PreviewHeatMap::ShowRoleMarks(const RoleMarks& marks) {
  marks_ = marks;
  Paint();
}

void PreviewHeatMap::Paint() {
  const bool shown = check_->isChecked();
  legend_->setVisible(shown);
  for (int well = 0; well < kWells; ++well) {
    QLabel* cell = Cell(well);
    if (cell == nullptr) continue;
    const int32_t value = plate_.nValue[well];
    // A well without a value has nothing to colour: it stays as it was. One
    // read above the range is hatched, with or without the heat map, so it
    // is never taken for an empty well.
    const bool coloured = shown && value != kNoValue;
    const bool overRange = plate_.bOverRange[well] != 0;
    QPalette palette;  // the dialog's own
    if (coloured) {
      const QColor background = HeatMapColour(HeatMapPosition(value, lowest_, highest_));
      palette.setColor(QPalette::Window, background);
      palette.setColor(QPalette::WindowText, TextColourOn(background));
    } else if (overRange) {
      palette.setBrush(QPalette::Window, QBrush(QColor(0x50, 0x50, 0x50), Qt::BDiagPattern));
    }
    cell->setAutoFillBackground(coloured || overRange);
    cell->setPalette(palette);
    cell->setToolTip(overRange ? QStringLiteral("over range") : QString());

    auto* mark = cell->findChild<QLabel*>(QStringLiteral("role"));
    if (marks_[well] == 0) {
      if (mark != nullptr) mark->hide();
      cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      continue;
    }
    // The number sits at the bottom and the tag above it in the corner: a
    // wide reading keeps its first digit in sight.
    cell->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    if (mark == nullptr) {
      // A small tag, black on white whatever the cell's colour.
      mark = new QLabel(cell);
      mark->setObjectName(QStringLiteral("role"));
      mark->setAttribute(Qt::WA_TransparentForMouseEvents);
      const int aboveNumber = cell->height() - QFontMetrics(cell->font()).ascent() - 2;
      QFont small = cell->font();
      small.setPixelSize(std::clamp(aboveNumber, 6, std::max(6, cell->height() * 2 / 5)));
      small.setBold(true);
      mark->setFont(small);
      QPalette tag;
      tag.setColor(QPalette::Window, Qt::white);
      tag.setColor(QPalette::WindowText, Qt::black);
      mark->setPalette(tag);
      mark->setAutoFillBackground(true);
      mark->setAlignment(Qt::AlignCenter);
      mark->move(1, 0);
    }
    mark->setText(QString(QChar::fromLatin1(marks_[well])));
    const QFontMetrics metrics(mark->font());
    mark->resize(metrics.horizontalAdvance(mark->text()) + 2, metrics.ascent());
    mark->show();
  }
}
