#include "analysis_ui/analysis_window.h"
#include "analysis_ui/report_actions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChartView>

#include "analysis/analysis_report.h"
#include "analysis/number_format.h"
#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_in_use.h"
#include "analysis_ui/read_caption.h"
#include "analysis_ui/standard_curve_chart.h"
#include "archive_ui/audit_reason.h"
#include "archive_ui/desktop_archive.h"

namespace {

constexpr int kTableMinimumWidth = 560;

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
    case analysis::CurveModel::Quadratic:
      return QStringLiteral("Quadratic");
    case analysis::CurveModel::PointToPoint:
      return QStringLiteral("Point-to-point");
  }
  return {};
}

}  // namespace

AnalysisWindow::AnalysisWindow(QWidget* parent, const ShownPlate& shown)
    : QDialog(parent), shown_(shown), excluded_(ShownExclusions(shown)) {
  setWindowTitle(QStringLiteral("Platovix Analysis"));
  if (parent != nullptr) setWindowIcon(parent->windowIcon());

  notice_ = new QLabel(QStringLiteral(
      "No plate layout is in use. Set one with \"Layout...\" to see the standard curve and "
      "the concentrations."));
  notice_->setObjectName(QStringLiteral("notice"));
  notice_->setWordWrap(true);
  readName_ = new QLabel;
  readName_->setObjectName(QStringLiteral("readName"));
  readName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  unfinished_ = new QLabel;
  unfinished_->setObjectName(QStringLiteral("unfinishedRead"));
  unfinished_->setStyleSheet(QStringLiteral("color: #c00000; font-size: 14pt; font-weight: bold;"));
  verdict_ = new QLabel;
  verdict_->setObjectName(QStringLiteral("verdict"));
  verdict_->setWordWrap(true);
  verdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
  table_->setMinimumWidth(kTableMinimumWidth);
  table_->installEventFilter(this);

  auto* layout = new QPushButton(QStringLiteral("&Layout..."));
  layout->setObjectName(QStringLiteral("layout"));
  connect(layout, &QPushButton::clicked, this, [this] {
    if (!RunLayoutEditor(this)) return;
    Recompute();
    emit LayoutChanged();
  });
  copy_ = new QPushButton(QStringLiteral("&Copy"));
  copy_->setObjectName(QStringLiteral("copy"));
  connect(copy_, &QPushButton::clicked, this, &AnalysisWindow::CopyResults);
  auto* exclude = new QPushButton(QStringLiteral("E&xclude well..."));
  exclude->setObjectName(QStringLiteral("exclude"));
  connect(exclude, &QPushButton::clicked, this, &AnalysisWindow::AskToExcludeWell);
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
  buttons->addButton(exclude, QDialogButtonBox::ActionRole);
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
  whole->addWidget(readName_);
  whole->addWidget(unfinished_);
  whole->addWidget(verdict_);
  whole->addWidget(notice_);
  whole->addLayout(body, 1);
  whole->addWidget(buttons);
  resize(1280, 600);

  Recompute();
}

QWidget* AnalysisWindow::MakeOptions() {
  model_ = ChoiceBox("model",
                     {{"Linear", "linear"},
                      {"4PL", "4pl"},
                      {"5PL", "5pl"},
                      {"Quadratic", "quadratic"},
                      {"Point-to-point", "point-to-point"}},
                     AppSettings.Fit);
  weighting_ = ChoiceBox("weighting", {{"None", "none"}, {"1/y", "1/y"}, {"1/y²", "1/y2"}},
                         AppSettings.Weight);
  logarithmic_ = new QCheckBox(QStringLiteral("L&ogarithmic concentration axis"));
  logarithmic_->setObjectName(QStringLiteral("logarithmic"));
  logarithmic_->setChecked(true);
  const auto chosen = [this] {
    const std::string model = model_->currentData().toString().toStdString();
    const std::string weighting = weighting_->currentData().toString().toStdString();
    if (model == AppSettings.Fit && weighting == AppSettings.Weight) return;
    // An archived read's re-analysis says why; without a reason the choice goes back.
    std::optional<std::string> reason;
    if (!shown_.archiveUuid.empty()) {
      reason = AskAuditReason(this, QStringLiteral("Reason for analysing this read again with "
                                                   "model %1, weighting %2:")
                                        .arg(model_->currentText(), weighting_->currentText()));
      if (!reason) {
        Recompute();  // shows the settings' model and weighting again
        return;
      }
    }
    const std::pair before{AppSettings.Fit, AppSettings.Weight};
    AppSettings.Fit = model;
    AppSettings.Weight = weighting;
    Recompute();
    if (reason) {
      const nlohmann::ordered_json detail = {
          {"model", model},
          {"weighting", weighting},
          {"analysis", hasResult_ ? analysis::AnalysisJson(result_) : nlohmann::ordered_json()}};
      // Not recorded, not made: the analysis goes back to what it was.
      if (!StoreDesktopAudit(this, shown_.archiveUuid, "re-analysis", *reason, detail.dump())) {
        std::tie(AppSettings.Fit, AppSettings.Weight) = before;
        Recompute();
      }
    }
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
  // An aborted or failed read has no data to analyse, whatever its cells hold.
  const bool unfinished = UnfinishedRead(shown_);
  readName_->setText(ReadCaption(shown_));
  unfinished_->setText(UnfinishedReadText(shown_));
  unfinished_->setVisible(unfinished);
  // A plate from the archive brings the assay it was read with.
  const analysis::PlateLayout* layout =
      unfinished ? nullptr : ShownLayout(shown_, AnalysedLayout(this));
  hasResult_ = layout != nullptr;
  // An assay brings its own model and weighting: changed in its window.
  const analysis::AnalysisOptions options = ShownAnalysisOptions(shown_);
  const bool byAssay = shown_.assay || AssayInUse(this) != nullptr;
  model_->setEnabled(!byAssay);
  weighting_->setEnabled(!byAssay);
  model_->setCurrentIndex(
      std::max(0, model_->findData(QString::fromLatin1(analysis::CurveModelName(options.model)))));
  weighting_->setCurrentIndex(std::max(
      0, weighting_->findData(QString::fromLatin1(analysis::WeightingName(options.weighting)))));
  notice_->setVisible(!hasResult_ && !unfinished);
  // No well of a read without data is left out with a reason in its record.
  if (auto* exclude = findChild<QPushButton*>(QStringLiteral("exclude"))) {
    exclude->setEnabled(!unfinished);
  }
  copy_->setEnabled(hasResult_);
  save_->setEnabled(hasResult_);
  result_ = hasResult_ ? AnalyseShownPlate(shown_, *layout, excluded_) : analysis::PlateAnalysis{};
  ShowVerdict();
  ShowFit();
  ShowTable();
}

void AnalysisWindow::ShowFit() {
  const analysis::CurveFit& fit = result_.fit;
  const bool comma = AppSettings.bDelimComma != 0;
  // The parameter line in the decimal mark the operator chose.
  const auto number = [comma](std::optional<double> value) {
    QString text = QString::fromStdString(analysis::FormatNumber(value));
    if (comma) text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
  };
  QString text;
  if (hasResult_ && result_.blank) {
    text += QStringLiteral("Blank %1 (mean of %2 wells) subtracted.\n")
                .arg(QString::fromStdString(analysis::FormatAbsorbance(result_.blank, comma)))
                .arg(result_.blankWells);
  }
  if (fit.fitted) {
    QStringList parameters;
    for (const analysis::FitParameter& p : fit.parameters) {
      parameters << QStringLiteral("%1 = %2").arg(QString::fromStdString(p.name), number(p.value));
    }
    text +=
        QStringLiteral("%1, weighting %2: %3; R² = %4")
            .arg(ModelTitle(fit.model), QString::fromLatin1(analysis::WeightingName(fit.weighting)),
                 parameters.join(comma ? QStringLiteral("; ") : QStringLiteral(", ")),
                 number(fit.r2));
  } else if (hasResult_) {
    text +=
        QString::fromStdString(fit.failure.empty() ? "The layout has no standards." : fit.failure);
  }
  fit_->setText(text.trimmed());
  ShowStandardCurve(curve_, fit, logarithmic_->isChecked(), QString::fromStdString(result_.unit),
                    AppSettings.bDelimComma != 0);
}

void AnalysisWindow::ShowTable() {
  const auto rows = analysis::ResultsTableRows(result_, AppSettings.bDelimComma != 0);
  // An assay's table has more columns (Dilution, Recovery %) than a plain one.
  const QStringList header = ToQt(analysis::ResultsTableHeader(result_));
  table_->setColumnCount(static_cast<int>(header.size()));
  table_->setHorizontalHeaderLabels(header);
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    for (int column = 0; column < static_cast<int>(rows[row].size()); ++column) {
      auto* item = new QTableWidgetItem(QString::fromStdString(rows[row][column]));
      // Numbers line up on the right, words on the left.
      if (column >= 3 && column <= 6) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, column, item);
    }
  }
  // Excluded wells are struck out in their group's Wells, the reason in the tip.
  for (int row = 0; row < static_cast<int>(result_.groups.size()) && row < table_->rowCount();
       ++row) {
    const analysis::GroupResult& group = result_.groups[row];
    table_->removeCellWidget(row, 2);
    if (group.excludedWells.empty()) continue;
    QStringList names, reasons;
    for (int well : group.wells) {
      const QString name = QString::fromStdString(analysis::WellName(well));
      const bool out = std::find(group.excludedWells.begin(), group.excludedWells.end(), well) !=
                       group.excludedWells.end();
      names << (out ? QStringLiteral("<s>%1</s>").arg(name) : name);
    }
    for (const analysis::ExcludedWell& e : result_.excluded) {
      if (std::find(group.wells.begin(), group.wells.end(), e.well) == group.wells.end()) continue;
      reasons << QStringLiteral("%1 excluded: %2")
                     .arg(QString::fromStdString(analysis::WellName(e.well)),
                          QString::fromStdString(e.reason));
    }
    auto* wells = new QLabel(names.join(QLatin1Char(' ')));
    wells->setObjectName(QStringLiteral("excludedWells"));
    wells->setToolTip(reasons.join(QLatin1Char('\n')));
    table_->setCellWidget(row, 2, wells);
    table_->item(row, 2)->setToolTip(wells->toolTip());
  }
  // Every column in sight at the window's own width, Flag included: the
  // curve beside gives way.
  table_->horizontalHeader()->setStretchLastSection(false);
  table_->resizeColumnsToContents();
  int needed = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
  for (int column = 0; column < table_->columnCount(); ++column) {
    needed += table_->columnWidth(column);
  }
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setMinimumWidth(std::max(kTableMinimumWidth, needed));
}

void AnalysisWindow::SetPlate(const ShownPlate& shown) {
  shown_ = shown;
  excluded_ = ShownExclusions(shown);
  Recompute();
}

void AnalysisWindow::ShowVerdict() {
  if (!hasResult_ || !result_.qc) {
    verdict_->hide();
    return;
  }
  const analysis::QcResult& qc = *result_.qc;
  QString text = QStringLiteral("<b>%1</b>").arg(QString::fromLatin1(qc.Verdict()));
  for (const std::string& line : qc.FailureLines(AppSettings.bDelimComma != 0)) {
    text += QStringLiteral("<br>") + QString::fromStdString(line).toHtmlEscaped();
  }
  verdict_->setText(text);
  verdict_->setStyleSheet(qc.passed ? QStringLiteral("color: #1b7a1b; font-size: 14pt;")
                                    : QStringLiteral("color: #c00000; font-size: 14pt;"));
  verdict_->show();
}

ShownPlate RunAnalysisWindow(QWidget* owner, const ShownPlate& shown) {
  AnalysisWindow window(owner, shown);
  window.exec();
  return window.Shown();
}

namespace {
QPointer<AnalysisWindow> openWindow;
}

AnalysisWindow* ShowAnalysisWindow(QWidget* owner, const ShownPlate& shown) {
  if (openWindow == nullptr) {
    openWindow = new AnalysisWindow(owner, shown);
    openWindow->setAttribute(Qt::WA_DeleteOnClose);
  } else {
    openWindow->SetPlate(shown);
  }
  openWindow->show();
  openWindow->raise();
  return openWindow;
}

AnalysisWindow* OpenAnalysisWindow() {
  return openWindow;
}
