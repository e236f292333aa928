#include "analysis_ui/kinetic_window.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>

#include "analysis/kinetics_output.h"
#include "analysis/kinetics_workbook.h"
#include "analysis/rate_response.h"
#include "analysis_ui/file_questions.h"
#include "analysis_ui/kinetic_plate_view.h"
#include "analysis_ui/report_actions.h"
#include "analysis_ui/well_curve_dialog.h"
#include "archive/plate_read.h"
#include "link/operator_message.h"
#include "report/report_input.h"
#include "results/atomic_file.h"
#include "results/shared_state.h"

namespace {

QPointer<KineticWindow> openWindow;

QString Joined(const std::vector<std::string>& cells) {
  QStringList list;
  for (const std::string& cell : cells) list << QString::fromStdString(cell);
  return list.join(QLatin1Char('\t'));
}

}  // namespace

KineticWindow::KineticWindow(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("kineticWindow"));
  setWindowTitle(QStringLiteral("Kinetics"));
  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("caption"));
  plate_ = new KineticPlateView(this);
  plate_->setObjectName(QStringLiteral("plateOfCurves"));
  connect(plate_, &KineticPlateView::WellClicked, this, &KineticWindow::ShowWell);
  table_ = new QTableWidget(0, 0, this);
  table_->setObjectName(QStringLiteral("kineticTable"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (const QTableWidgetItem* item = table_->item(row, 0))
      ShowWell(item->data(Qt::UserRole).toInt());
  });

  auto* copy = new QPushButton(QStringLiteral("&Copy"));
  copy->setObjectName(QStringLiteral("copy"));
  connect(copy, &QPushButton::clicked, this, &KineticWindow::CopyResults);
  auto* save = new QPushButton(QStringLiteral("&Save..."));
  save->setObjectName(QStringLiteral("save"));
  connect(save, &QPushButton::clicked, this, &KineticWindow::SaveResults);
  auto* report = new QPushButton(QStringLiteral("&Report..."));
  report->setObjectName(QStringLiteral("report"));
  connect(report, &QPushButton::clicked, this, &KineticWindow::SaveReport);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->addButton(copy, QDialogButtonBox::ActionRole);
  buttons->addButton(save, QDialogButtonBox::ActionRole);
  buttons->addButton(report, QDialogButtonBox::ActionRole);
  for (QAbstractButton* button : buttons->buttons()) {
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  }
  connect(buttons, &QDialogButtonBox::rejected, this, &KineticWindow::reject);

  auto* body = new QHBoxLayout;
  body->addWidget(plate_, 3);
  body->addWidget(table_, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(caption_);
  layout->addLayout(body, 1);
  layout->addWidget(buttons);
  resize(1200, 560);
}

void KineticWindow::SetSeries(std::vector<analysis::KineticRead> reads,
                              const analysis::PlateLayout* layout,
                              const analysis::KineticOptions& options) {
  // Each fit goes on from where the last read left it.
  const bool more = options == analysis_.options;
  reads_ = std::move(reads);
  layout_ = layout ? std::optional(*layout) : std::nullopt;
  analysis_ = analysis::AnalyseKinetics(reads_, layout_ ? &*layout_ : nullptr, options,
                                        more ? &analysis_ : nullptr);
  caption_->setText(QStringLiteral("%1 mode, window %2, %3 read(s)")
                        .arg(QString::fromLatin1(analysis::KineticModeName(options.mode)))
                        .arg(options.window)
                        .arg(reads_.size()));
  plate_->SetSeries(&analysis_, &reads_);
  ShowTable();
  if (wellDialog_) wellDialog_->SetWell(wellDialog_->Well(), analysis_, reads_);
}

void KineticWindow::ShowTable() {
  const std::vector<std::string> header = analysis::KineticsTableHeader(analysis_.options.mode);
  const auto rows = analysis::KineticsTableRows(analysis_, AppSettings.bDelimComma != 0);
  table_->setColumnCount(static_cast<int>(header.size()));
  QStringList labels;
  for (const std::string& text : header) labels << QString::fromStdString(text);
  table_->setHorizontalHeaderLabels(labels);
  table_->setRowCount(static_cast<int>(rows.size()));
  // Read after read the cells stay and only their texts change.
  for (size_t row = 0; row < rows.size(); ++row) {
    for (size_t column = 0; column < rows[row].size(); ++column) {
      const int r = static_cast<int>(row), c = static_cast<int>(column);
      QTableWidgetItem* item = table_->item(r, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        if (column >= 3) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(r, c, item);
      }
      const QString text = QString::fromStdString(rows[row][column]);
      if (item->text() != text) item->setText(text);
      if (column == 0 && row < analysis_.wells.size())
        item->setData(Qt::UserRole, analysis_.wells[row].well);
    }
  }
  table_->resizeColumnsToContents();
}

WellCurveDialog* KineticWindow::ShowWell(int well) {
  if (!wellDialog_) wellDialog_ = new WellCurveDialog(this);
  wellDialog_->SetWell(well, analysis_, reads_);
  wellDialog_->show();
  wellDialog_->raise();
  return wellDialog_;
}

void KineticWindow::CopyResults() {
  QStringList lines;
  lines << Joined(analysis::KineticsTableHeader(analysis_.options.mode));
  for (const auto& row : analysis::KineticsTableRows(analysis_, AppSettings.bDelimComma != 0)) {
    lines << Joined(row);
  }
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
  }
}

std::optional<analysis::PlateAnalysis> KineticWindow::Rates() const {
  const std::optional<analysis::Assay>& assay = run_.assay;
  if (!assay || !assay->rateResponse || !layout_ ||
      analysis_.options.mode != analysis::KineticMode::Rate) {
    return std::nullopt;
  }
  return analysis::AnalyseRates(analysis_, *layout_, assay->Options());
}

bool KineticWindow::SaveResults() {
  const QString name =
      AskForFile(this, FileQuestion::kSaveAnalysis, QStringLiteral("kinetics.csv"));
  if (name.isEmpty()) return false;
  const std::string path = name.toLocal8Bit().toStdString();
  const QString lower = name.toLower();
  std::string error;
  bool saved = false;
  if (lower.endsWith(QStringLiteral(".xlsx"))) {
    const std::optional<analysis::PlateAnalysis> rates = Rates();
    saved = analysis::WriteKineticsWorkbook(path, analysis_, reads_, layout_ ? &*layout_ : nullptr,
                                            rates ? &*rates : nullptr, &error);
  } else if (lower.endsWith(QStringLiteral(".csv"))) {
    const bool comma = AppSettings.bDelimComma != 0;
    saved = WriteFileAtomically(
        path, analysis::KineticsCsv(analysis_, reads_, comma ? ';' : ',', comma), &error);
  } else {
    error = "A kinetic series is saved as CSV or as a workbook (.xlsx).";
  }
  if (!saved) ShowMessageBox(this, path + "\n" + error, "Error", kIconError);
  return saved;
}

KineticReport KineticWindow::Report() const {
  KineticReportInput input;
  input.run = run_;
  if (run_.assay) input.assayName = run_.assay->name;
  input.operatorName = archive::LoginName();
  input.analysis = analysis_;
  input.reads = reads_;
  input.rates = Rates();
  input.decimalComma = AppSettings.bDelimComma != 0;
  return MakeKineticReport(std::move(input));
}

bool KineticWindow::SaveReport() {
  return SaveReportPdf(this, QStringLiteral("kinetics.pdf"),
                       [this](const QString& path, QString* error) {
                         return WriteKineticReportPdf(Report(), path, error);
                       });
}

KineticWindow* ShowKineticWindow(QWidget* owner) {
  if (openWindow == nullptr) {
    openWindow = new KineticWindow(owner);
    openWindow->setAttribute(Qt::WA_DeleteOnClose);
  }
  openWindow->show();
  openWindow->raise();
  return openWindow;
}

KineticWindow* OpenKineticWindow() {
  return openWindow;
}
