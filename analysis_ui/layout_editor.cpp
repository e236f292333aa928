#include "analysis_ui/layout_editor.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis_ui/file_questions.h"
#include "analysis_ui/layout_in_use.h"
#include "link/operator_message.h"
#include "results/shared_state.h"

using analysis::kLayoutColumns;
using analysis::kLayoutRows;
using analysis::kLayoutWells;
using analysis::WellContent;
using analysis::WellRole;

namespace {

QColor RoleColour(WellRole role) {
  switch (role) {
    case WellRole::Blank:
      return QColor(0xd9d9d9);
    case WellRole::Standard:
      return QColor(0xcfe2f3);
    case WellRole::Sample:
      return QColor(0xd9ead3);
    case WellRole::Control:
      return QColor(0xfce5cd);
    case WellRole::Empty:
      break;
  }
  return QColor(Qt::white);
}

QString CellText(const WellContent& well) {
  switch (well.role) {
    case WellRole::Blank:
      return QStringLiteral("Blank");
    case WellRole::Standard:
      return QStringLiteral("Std\n%1").arg(well.concentration.value_or(0), 0, 'g', 6);
    case WellRole::Sample:
    case WellRole::Control:
      return QString::fromStdString(well.name);
    case WellRole::Empty:
      break;
  }
  return {};
}

}  // namespace

LayoutEditor::LayoutEditor(QWidget* parent) : QDialog(parent) {
  if (const analysis::PlateLayout* inUse = LayoutInUse(parent)) {
    layout_ = *inUse;
    path_ = AppSettings.LayoutFile;
  }
  Build();
}

LayoutEditor::LayoutEditor(QWidget* parent, const analysis::PlateLayout& layout)
    : QDialog(parent), layout_(layout), embedded_(true) {
  Build();
}

void LayoutEditor::Build() {
  setWindowTitle(QStringLiteral("Platovix Layout"));
  setModal(true);
  if (parentWidget() != nullptr) setWindowIcon(parentWidget()->windowIcon());

  grid_ = new QTableWidget(kLayoutRows, kLayoutColumns, this);
  grid_->setObjectName(QStringLiteral("grid"));
  QStringList rows, columns;
  for (int row = 0; row < kLayoutRows; ++row) rows << QString(QChar('A' + row));
  for (int column = 1; column <= kLayoutColumns; ++column) columns << QString::number(column);
  grid_->setVerticalHeaderLabels(rows);
  grid_->setHorizontalHeaderLabels(columns);
  grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  grid_->setMinimumSize(12 * 58, 8 * 38);
  grid_->installEventFilter(this);
  grid_->setTabKeyNavigation(false);  // Tab moves on to the next control
  for (int well = 0; well < kLayoutWells; ++well) {
    auto* item = new QTableWidgetItem;
    item->setTextAlignment(Qt::AlignCenter);
    grid_->setItem(well / kLayoutColumns, well % kLayoutColumns, item);
  }

  auto* open = new QPushButton(QStringLiteral("&Open..."));
  open->setObjectName(QStringLiteral("open"));
  connect(open, &QPushButton::clicked, this, &LayoutEditor::OpenFile);
  auto* saveAs = new QPushButton(QStringLiteral("Save &as..."));
  saveAs->setObjectName(QStringLiteral("saveAs"));
  connect(saveAs, &QPushButton::clicked, this, &LayoutEditor::SaveFileAs);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->addButton(open, QDialogButtonBox::ActionRole);
  buttons->addButton(saveAs, QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &LayoutEditor::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &LayoutEditor::reject);

  auto* side = new QVBoxLayout;
  side->addWidget(MakeRoleButtons());
  side->addWidget(MakeSeriesHelper());
  side->addWidget(MakeDetails());
  side->addStretch();
  auto* body = new QHBoxLayout;
  body->addWidget(grid_, 1);
  body->addLayout(side);
  auto* whole = new QVBoxLayout(this);
  whole->addLayout(body);
  whole->addWidget(buttons);

  unit_->setText(QString::fromStdString(layout_.unit));
  ShowLayout();
  connect(grid_, &QTableWidget::itemSelectionChanged, this, &LayoutEditor::ShowSelectedDetails);
}

std::vector<int> LayoutEditor::SelectedWells() const {
  std::vector<int> wells;
  for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes()) {
    wells.push_back(index.row() * kLayoutColumns + index.column());
  }
  std::sort(wells.begin(), wells.end());
  return wells;
}

layout_filling::Grouping LayoutEditor::CurrentGrouping() const {
  return {downTheRows_->isChecked(), replicates_->value(), sideBySide_->isChecked()};
}

void LayoutEditor::SetRole(WellRole role) {
  const std::vector<int> wells = SelectedWells();
  if (wells.empty()) return;
  if (role == WellRole::Standard && !levels_->text().trimmed().isEmpty()) {
    const layout_filling::LevelList list =
        layout_filling::ParseLevels(levels_->text().toStdString());
    if (!list.bad.empty()) {
      ShowMessageBox(this, "Levels: \"" + list.bad + "\" is not a concentration >= 0.", "Warning",
                     kIconWarning);
      return;
    }
    layout_filling::FillStandardLevels(layout_, wells, list.levels, CurrentGrouping());
  } else if (role == WellRole::Standard) {
    layout_filling::FillDilutionSeries(layout_, wells, top_->value(), factor_->value(),
                                       CurrentGrouping());
  } else {
    layout_filling::AssignRole(layout_, wells, role, CurrentGrouping());
  }
  changed_ = true;
  ShowLayout();
  ShowSelectedDetails();
}

void LayoutEditor::ShowLayout() {
  const QString unit = QString::fromStdString(layout_.unit);
  for (int well = 0; well < kLayoutWells; ++well) {
    const WellContent& content = layout_.wells[well];
    QTableWidgetItem* item = grid_->item(well / kLayoutColumns, well % kLayoutColumns);
    item->setText(CellText(content));
    item->setBackground(RoleColour(content.role));
    item->setForeground(QColor(Qt::black));
    QString tip = QString::fromStdString(analysis::WellName(well));
    if (content.role != WellRole::Empty) {
      tip += QStringLiteral(": ") + QString::fromLatin1(analysis::WellRoleName(content.role));
    }
    if (!content.name.empty()) tip += QStringLiteral(" ") + QString::fromStdString(content.name);
    if (content.concentration) {
      tip += QStringLiteral(" %1 %2").arg(*content.concentration, 0, 'g', 6).arg(unit);
    }
    item->setToolTip(tip.trimmed());
  }
}

bool LayoutEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      switch (key->key()) {
        case Qt::Key_B:
          SetRole(WellRole::Blank);
          return true;
        case Qt::Key_S:
          SetRole(WellRole::Standard);
          return true;
        case Qt::Key_U:
          SetRole(WellRole::Sample);
          return true;
        case Qt::Key_C:
          SetRole(WellRole::Control);
          return true;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
          SetRole(WellRole::Empty);
          return true;
        default:
          break;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool LayoutEditor::CheckLayout() {
  const analysis::LayoutParse back = analysis::ParseLayout(analysis::WriteLayout(layout_));
  if (back.ok) return true;
  ShowMessageBox(this, "The layout cannot be saved as it stands:\n" + back.error, "Warning",
                 kIconWarning);
  return false;
}

bool LayoutEditor::OpenFile() {
  const QString name = AskForFile(this, FileQuestion::kOpenLayout, QString::fromStdString(path_));
  if (name.isEmpty()) return false;
  analysis::LayoutParse parse = analysis::ReadLayoutFile(name.toLocal8Bit().toStdString());
  if (!parse.ok) {
    ShowMessageBox(this, parse.error, "Warning", kIconWarning);
    return false;
  }
  layout_ = std::move(parse.layout);
  path_ = name.toLocal8Bit().toStdString();
  changed_ = false;
  unit_->setText(QString::fromStdString(layout_.unit));
  ShowLayout();
  return true;
}

bool LayoutEditor::SaveFileAs() {
  if (!CheckLayout()) return false;
  const QString suggested =
      path_.empty() ? QStringLiteral("layout.csv") : QString::fromLocal8Bit(path_.c_str());
  const QString name = AskForFile(this, FileQuestion::kSaveLayout, suggested);
  if (name.isEmpty()) return false;
  const std::string path = name.toLocal8Bit().toStdString();
  std::string error;
  if (!analysis::SaveLayoutFile(path, layout_, &error)) {
    ShowMessageBox(this, path + "\n" + error, "Error", kIconError);
    return false;
  }
  path_ = path;
  changed_ = false;
  return true;
}

void LayoutEditor::accept() {
  if (embedded_) {
    if (CheckLayout()) QDialog::accept();
    return;
  }
  const bool empty = std::all_of(layout_.wells.begin(), layout_.wells.end(),
                                 [](const WellContent& w) { return w.role == WellRole::Empty; });
  if (empty) {
    // Nothing on the plate: no layout in use.
    AppSettings.LayoutFile.clear();
    QDialog::accept();
    return;
  }
  if ((changed_ || path_.empty()) && !SaveFileAs()) return;
  UseLayout(path_, layout_);
  QDialog::accept();
}

void LayoutEditor::reject() {
  if (changed_ && ShowMessageBox(this, "Discard the changes to the layout?", "Platovix Layout",
                                 kIconWarning, kButtonsOkCancel) != kAnswerOk) {
    return;
  }
  QDialog::reject();
}

bool RunLayoutEditor(QWidget* owner) {
  LayoutEditor editor(owner);
  return editor.exec() == QDialog::Accepted;
}
