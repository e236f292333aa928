#include "analysis_ui/analysis_window.h"
#include "analysis_ui/report_actions.h"

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

#include <QFileInfo>

#include "analysis/analysis_report.h"
#include "analysis_ui/file_questions.h"
#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_in_use.h"
#include "analysis_ui/standard_curve_chart.h"
#include "link/operator_message.h"
#include "results/atomic_file.h"

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

QStringList ToQt(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
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

AnalysisWindow::AnalysisWindow(QWidget* parent, const ShownPlate& shown)
    : QDialog(parent), shown_(shown) {
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

  const QStringList header = ToQt(analysis::ResultsTableHeader());
  table_ = new QTableWidget(0, header.size(), this);
  table_->setObjectName(QStringLiteral("results"));
  table_->setHorizontalHeaderLabels(header);
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
  save_ = new QPushButton(QStringLiteral("&Save..."));
  save_->setObjectName(QStringLiteral("save"));
  connect(save_, &QPushButton::clicked, this, &AnalysisWindow::SaveResults);
  auto* report = new QPushButton(QStringLiteral("&Report..."));
  report->setObjectName(QStringLiteral("report"));
  connect(report, &QPushButton::clicked, this,
          [this] { SaveShownPlateReport(this, shown_, LayoutInUse(this)); });
  auto* print = new QPushButton(QStringLiteral("&Print..."));
  print->setObjectName(QStringLiteral("print"));
  connect(print, &QPushButton::clicked, this,
          [this] { PrintShownPlateReport(this, shown_, LayoutInUse(this)); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->addButton(layout, QDialogButtonBox::ActionRole);
  buttons->addButton(copy_, QDialogButtonBox::ActionRole);
  buttons->addButton(save_, QDialogButtonBox::ActionRole);
  buttons->addButton(report, QDialogButtonBox::ActionRole);
  buttons->addButton(print, QDialogButtonBox::ActionRole);
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
  save_->setEnabled(hasResult_);
  result_ = hasResult_ ? AnalysePlate(shown_.plate, *layout) : analysis::PlateAnalysis{};
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
  const auto rows = analysis::ResultsTableRows(result_, AppSettings.bDelimComma != 0);
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    for (int column = 0; column < static_cast<int>(rows[row].size()); ++column) {
      auto* item = new QTableWidgetItem(QString::fromStdString(rows[row][column]));
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
    clipboard->setText(
        QString::fromStdString(analysis::ResultsTableText(result_, AppSettings.bDelimComma != 0)));
  }
}

bool AnalysisWindow::SaveResults() {
  if (!hasResult_) return false;
  const QFileInfo plateFile(shown_.fileName);
  const QString suggested = plateFile.completeBaseName() + QStringLiteral("-analysis.csv");
  const QString name = AskForFile(this, FileQuestion::kSaveAnalysis, suggested);
  if (name.isEmpty()) return false;
  const std::string path = name.toLocal8Bit().toStdString();
  std::string error;
  const bool saved =
      name.toLower().endsWith(".xlsx")
          ? SaveWorkbook(path, shown_, LayoutInUse(this), &error)
          : WriteFileAtomically(path, analysis::AnalysisCsv(result_, AppSettings.bDelimComma != 0),
                                &error);
  if (!saved) ShowMessageBox(this, path + "\n" + error, "Error", kIconError);
  return saved;
}

void RunAnalysisWindow(QWidget* owner, const ShownPlate& shown) {
  AnalysisWindow window(owner, shown);
  window.exec();
}
