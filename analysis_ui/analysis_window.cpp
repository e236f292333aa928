#include "analysis_ui/analysis_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChartView>

#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_in_use.h"
#include "analysis_ui/results_table.h"
#include "analysis_ui/standard_curve_chart.h"

namespace {

QComboBox* ChoiceBox(const char* name,
                     std::initializer_list<std::pair<const char*, const char*>> choices,
                     const std::string& current) {
  auto* box = new QComboBox;
  box->setObjectName(QString::fromLatin1(name));
  for (const auto& [text, value] : choices) {
    box->addItem(QString::fromUtf8(text), QString::fromLatin1(value));
  }
  box->setCurrentIndex(std::max(0, box->findData(QString::fromStdString(current))));
  return box;
}

QString ModelTitle(analysis::CurveModel model) {
  switch (model) {
    case analysis::CurveModel::Linear:
      return QStringLiteral("Linear");
    case analysis::CurveModel::FourPL:
      return QStringLiteral("4-parameter logistic");
    case analysis::CurveModel::FivePL:
      return QStringLiteral("5-parameter logistic");
  }
  return {};
}

}  // namespace

AnalysisWindow::AnalysisWindow(QWidget* parent, const TPlateResult& plate)
    : QDialog(parent), plate_(plate) {
  setWindowTitle(QStringLiteral("Platovix Analysis"));
  setModal(true);
  if (parent != nullptr) setWindowIcon(parent->windowIcon());

  notice_ = new QLabel(QStringLiteral(
      "No plate layout is in use. Set one with \"Layout...\" to see the standard curve and "
      "the concentrations."));
  notice_->setObjectName(QStringLiteral("notice"));
  notice_->setWordWrap(true);
  fit_ = new QLabel;
  fit_->setObjectName(QStringLiteral("fit"));
  fit_->setWordWrap(true);
  fit_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  curve_ = MakeStandardCurveView(this);

  table_ = new QTableWidget(0, ResultsHeader().size(), this);
  table_->setObjectName(QStringLiteral("results"));
  table_->setHorizontalHeaderLabels(ResultsHeader());
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setMinimumWidth(560);

  auto* layout = new QPushButton(QStringLiteral("&Layout..."));
  layout->setObjectName(QStringLiteral("layout"));
  connect(layout, &QPushButton::clicked, this, [this] {
    if (RunLayoutEditor(this)) Recompute();
  });
  copy_ = new QPushButton(QStringLiteral("&Copy"));
  copy_->setObjectName(QStringLiteral("copy"));
  connect(copy_, &QPushButton::clicked, this, &AnalysisWindow::CopyResults);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->addButton(layout, QDialogButtonBox::ActionRole);
  buttons->addButton(copy_, QDialogButtonBox::ActionRole);
  for (QAbstractButton* button : buttons->buttons()) {
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  }
  connect(buttons, &QDialogButtonBox::rejected, this, &AnalysisWindow::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(MakeOptions());
  left->addWidget(fit_);
  left->addWidget(curve_, 1);
  auto* body = new QHBoxLayout;
  body->addLayout(left, 4);
  body->addWidget(table_, 5);
  auto* whole = new QVBoxLayout(this);
  whole->addWidget(notice_);
  whole->addLayout(body, 1);
  whole->addWidget(buttons);
  resize(1280, 600);

  Recompute();
}

QWidget* AnalysisWindow::MakeOptions() {
  model_ =
      ChoiceBox("model", {{"Linear", "linear"}, {"4PL", "4pl"}, {"5PL", "5pl"}}, AppSettings.Fit);
  weighting_ = ChoiceBox("weighting", {{"None", "none"}, {"1/y", "1/y"}, {"1/y²", "1/y2"}},
                         AppSettings.Weight);
  logarithmic_ = new QCheckBox(QStringLiteral("L&ogarithmic concentration axis"));
  logarithmic_->setObjectName(QStringLiteral("logarithmic"));
  logarithmic_->setChecked(true);
  const auto chosen = [this] {
    AppSettings.Fit = model_->currentData().toString().toStdString();
    AppSettings.Weight = weighting_->currentData().toString().toStdString();
    Recompute();
  };
  connect(model_, &QComboBox::activated, this, chosen);
  connect(weighting_, &QComboBox::activated, this, chosen);
  connect(logarithmic_, &QCheckBox::toggled, this, &AnalysisWindow::ShowFit);

  auto* row = new QWidget;
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);
  auto* modelLabel = new QLabel(QStringLiteral("&Model"));
  modelLabel->setBuddy(model_);
  auto* weightingLabel = new QLabel(QStringLiteral("&Weighting"));
  weightingLabel->setBuddy(weighting_);
  line->addWidget(modelLabel);
  line->addWidget(model_);
  line->addWidget(weightingLabel);
  line->addWidget(weighting_);
  line->addWidget(logarithmic_);
  line->addStretch();
  return row;
}

void AnalysisWindow::Recompute() {
  const analysis::PlateLayout* layout = LayoutInUse(this);
  hasResult_ = layout != nullptr;
  notice_->setVisible(!hasResult_);
  copy_->setEnabled(hasResult_);
  if (hasResult_) {
    analysis::AnalysisOptions options;
    options.model = analysis::CurveModelFromName(AppSettings.Fit).value_or(options.model);
    options.weighting = analysis::WeightingFromName(AppSettings.Weight).value_or(options.weighting);
    result_ =
        analysis::AnalysePlate(std::span<const int32_t, kWells>(plate_.nValue), *layout, options);
  } else {
    result_ = analysis::PlateAnalysis{};
  }
  ShowFit();
  ShowTable();
}

void AnalysisWindow::ShowFit() {
  const analysis::CurveFit& fit = result_.fit;
  QString text;
  if (hasResult_ && result_.blank) {
    text += QStringLiteral("Blank %1 (mean of %2 wells) subtracted.\n")
                .arg(QString::fromStdString(analysis::FormatNumber(result_.blank)))
                .arg(result_.blankWells);
  }
  if (fit.fitted) {
    QStringList parameters;
    for (const analysis::FitParameter& p : fit.parameters) {
      parameters << QStringLiteral("%1 = %2").arg(
          QString::fromStdString(p.name), QString::fromStdString(analysis::FormatNumber(p.value)));
    }
    text +=
        QStringLiteral("%1, weighting %2: %3; R² = %4")
            .arg(ModelTitle(fit.model), QString::fromLatin1(analysis::WeightingName(fit.weighting)),
                 parameters.join(QStringLiteral(", ")),
                 QString::fromStdString(analysis::FormatNumber(fit.r2)));
  } else if (hasResult_) {
    text +=
        QString::fromStdString(fit.failure.empty() ? "The layout has no standards." : fit.failure);
  }
  fit_->setText(text.trimmed());
  ShowStandardCurve(curve_, fit, logarithmic_->isChecked(), QString::fromStdString(result_.unit));
}

void AnalysisWindow::ShowTable() {
  const std::vector<QStringList> rows = ResultsRows(result_, AppSettings.bDelimComma != 0);
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    for (int column = 0; column < rows[row].size(); ++column) {
      auto* item = new QTableWidgetItem(rows[row][column]);
      // Numbers line up on the right, words on the left.
      if (column >= 3 && column <= 6) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, column, item);
    }
  }
  table_->resizeColumnsToContents();
}

void AnalysisWindow::CopyResults() {
  if (!hasResult_) return;
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(ResultsText(result_, AppSettings.bDelimComma != 0));
  }
}

void RunAnalysisWindow(QWidget* owner, const TPlateResult& plate) {
  AnalysisWindow window(owner, plate);
  window.exec();
}
