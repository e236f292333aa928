#include "analysis_ui/layout_editor.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

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

QPushButton* RoleButton(const QString& text, const char* name) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

struct Choice {
  const char* text;
  const char* name;
};

// Two exclusive choices one above the other; the first is chosen and returned.
QRadioButton* RadioPair(Choice first, Choice second, QWidget** box) {
  *box = new QWidget;
  auto* column = new QVBoxLayout(*box);
  column->setContentsMargins(0, 0, 0, 0);
  QRadioButton* chosen = nullptr;
  for (const Choice& choice : {first, second}) {
    auto* radio = new QRadioButton(QString::fromLatin1(choice.text));
    radio->setObjectName(QString::fromLatin1(choice.name));
    column->addWidget(radio);
    if (chosen == nullptr) chosen = radio;
  }
  chosen->setChecked(true);
  return chosen;
}

// The series settings outlive the window: the next plate is mostly laid
// out like the last.
layout_filling::Grouping rememberedGrouping{true, 2, true};

QLineEdit* DetailField(const char* name) {
  auto* field = new QLineEdit;
  field->setObjectName(QString::fromLatin1(name));
  return field;
}

// "" when the wells disagree or none has the value.
template <typename Value>
QString Shared(const analysis::PlateLayout& layout, const std::vector<int>& wells, Value value) {
  std::optional<QString> shared;
  for (int well : wells) {
    const QString text = value(layout.wells[well]);
    if (shared && *shared != text) return {};
    shared = text;
  }
  return shared.value_or(QString());
}

QString NumberText(const std::optional<double>& number) {
  return number ? QString::number(*number, 'g', 6) : QString();
}

// A number typed with a decimal point or comma, nullopt for an empty
// field; what is not a number >= 0 is named in why (the first only).
using TypedNumber = std::optional<double>;
TypedNumber ReadNumber(const QLineEdit* field, const char* label, std::string* why) {
  QString text = field->text().trimmed();
  if (text.isEmpty()) return std::nullopt;
  text.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (ok && value >= 0) return value;
  if (why->empty()) {
    *why = std::string(label) + ": \"" + field->text().toStdString() + "\" is not a number >= 0.";
  }
  return std::nullopt;
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

QWidget* LayoutEditor::MakeRoleButtons() {
  auto* box = new QGroupBox(QStringLiteral("Role of the selected wells"));
  auto* column = new QVBoxLayout(box);
  const struct {
    const char* text;
    const char* name;
    WellRole role;
  } roles[] = {{"Blank (B)", "blank", WellRole::Blank},
               {"Standard (S)", "standard", WellRole::Standard},
               {"Sample (U)", "sample", WellRole::Sample},
               {"Control (C)", "control", WellRole::Control},
               {"Empty (Del)", "empty", WellRole::Empty}};
  for (const auto& role : roles) {
    QPushButton* button = RoleButton(QString::fromLatin1(role.text), role.name);
    connect(button, &QPushButton::clicked, this, [this, r = role.role] { SetRole(r); });
    column->addWidget(button);
  }
  return box;
}

QWidget* LayoutEditor::MakeSeriesHelper() {
  auto* box = new QGroupBox(QStringLiteral("Standards and replicates"));
  auto* form = new QFormLayout(box);
  top_ = new QDoubleSpinBox;
  top_->setObjectName(QStringLiteral("top"));
  top_->setRange(0, 1e9);
  top_->setDecimals(4);
  top_->setValue(1000);
  form->addRow(QStringLiteral("&Top concentration"), top_);
  factor_ = new QDoubleSpinBox;
  factor_->setObjectName(QStringLiteral("factor"));
  factor_->setRange(1, 1000);
  factor_->setDecimals(3);
  factor_->setValue(2);
  form->addRow(QStringLiteral("Dilution &factor"), factor_);
  unit_ = new QLineEdit;
  unit_->setObjectName(QStringLiteral("unit"));
  connect(unit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    layout_.unit = text.trimmed().toStdString();
    changed_ = true;
  });
  form->addRow(QStringLiteral("U&nit"), unit_);

  QWidget* direction = nullptr;
  downTheRows_ = RadioPair({"Down the &rows", "downTheRows"},
                           {"Along the co&lumns", "alongTheColumns"}, &direction);
  form->addRow(QStringLiteral("Series"), direction);

  replicates_ = new QSpinBox;
  replicates_->setObjectName(QStringLiteral("replicates"));
  replicates_->setRange(1, 12);
  replicates_->setValue(2);
  form->addRow(QStringLiteral("Re&plicates"), replicates_);
  QWidget* placement = nullptr;
  sideBySide_ = RadioPair({"Side by si&de", "sideBySide"}, {"Belo&w", "below"}, &placement);
  form->addRow(QStringLiteral("Replicates lie"), placement);

  downTheRows_->setChecked(rememberedGrouping.downTheRows);
  direction->findChild<QRadioButton*>("alongTheColumns")
      ->setChecked(!rememberedGrouping.downTheRows);
  replicates_->setValue(rememberedGrouping.replicates);
  sideBySide_->setChecked(rememberedGrouping.sideBySide);
  placement->findChild<QRadioButton*>("below")->setChecked(!rememberedGrouping.sideBySide);
  connect(downTheRows_, &QRadioButton::toggled, this, &LayoutEditor::RememberGrouping);
  connect(sideBySide_, &QRadioButton::toggled, this, &LayoutEditor::RememberGrouping);
  connect(replicates_, &QSpinBox::valueChanged, this, &LayoutEditor::RememberGrouping);

  levels_ = DetailField("levels");
  levels_->setPlaceholderText(QStringLiteral("e.g. 2000 1500 1000 750"));
  levels_->setToolTip(
      QStringLiteral("Standards take these levels in turn; empty: top and dilution factor"));
  form->addRow(QStringLiteral("Le&vels"), levels_);
  return box;
}

QWidget* LayoutEditor::MakeDetails() {
  auto* box = new QGroupBox(QStringLiteral("Selected wells"));
  auto* form = new QFormLayout(box);
  name_ = DetailField("name");
  form->addRow(QStringLiteral("Na&me"), name_);
  concentration_ = DetailField("concentration");
  form->addRow(QStringLiteral("&Concentration"), concentration_);
  dilution_ = DetailField("dilution");
  form->addRow(QStringLiteral("D&ilution"), dilution_);
  rangeLow_ = DetailField("rangeLow");
  rangeHigh_ = DetailField("rangeHigh");
  auto* range = new QHBoxLayout;
  range->addWidget(rangeLow_);
  range->addWidget(new QLabel(QStringLiteral("to")));
  range->addWidget(rangeHigh_);
  auto* rangeLabel = new QLabel(QStringLiteral("Ran&ge"));
  rangeLabel->setBuddy(rangeLow_);
  form->addRow(rangeLabel, range);
  QPushButton* apply = RoleButton(QStringLiteral("Appl&y"), "apply");
  connect(apply, &QPushButton::clicked, this, &LayoutEditor::ApplyDetails);
  form->addRow(apply);
  return box;
}

void LayoutEditor::RememberGrouping() const {
  rememberedGrouping = CurrentGrouping();
}

void LayoutEditor::ShowSelectedDetails() {
  const std::vector<int> wells = SelectedWells();
  name_->setText(
      Shared(layout_, wells, [](const WellContent& w) { return QString::fromStdString(w.name); }));
  concentration_->setText(
      Shared(layout_, wells, [](const WellContent& w) { return NumberText(w.concentration); }));
  dilution_->setText(
      Shared(layout_, wells, [](const WellContent& w) { return NumberText(w.dilution); }));
  rangeLow_->setText(Shared(layout_, wells, [](const WellContent& w) {
    return w.range ? NumberText(w.range->low) : QString();
  }));
  rangeHigh_->setText(Shared(layout_, wells, [](const WellContent& w) {
    return w.range ? NumberText(w.range->high) : QString();
  }));
}

bool LayoutEditor::ApplyDetails() {
  std::string why;
  const TypedNumber concentration = ReadNumber(concentration_, "Concentration", &why);
  const TypedNumber dilution = ReadNumber(dilution_, "Dilution", &why);
  const TypedNumber low = ReadNumber(rangeLow_, "Range", &why);
  const TypedNumber high = ReadNumber(rangeHigh_, "Range", &why);
  if (why.empty() && dilution && *dilution <= 0) why = "Dilution: must be above 0.";
  if (why.empty() && low.has_value() != high.has_value()) why = "Range: give both ends.";
  if (why.empty() && low && *low > *high) why = "Range: the low end is above the high end.";
  if (!why.empty()) {
    ShowMessageBox(this, why, "Warning", kIconWarning);
    return false;
  }
  const std::string name = name_->text().simplified().toStdString();
  const analysis::PlateLayout before = layout_;
  for (int well : SelectedWells()) {
    WellContent& content = layout_.wells[well];
    const bool named = content.role == WellRole::Sample || content.role == WellRole::Control ||
                       content.role == WellRole::Standard;
    if (named && !name.empty()) content.name = name;
    if (content.role == WellRole::Standard && concentration) content.concentration = concentration;
    const bool diluted = content.role == WellRole::Sample || content.role == WellRole::Control;
    if (diluted && dilution) content.dilution = dilution;
    if (content.role == WellRole::Control && low)
      content.range = analysis::ExpectedRange{*low, *high};
  }
  if (!CheckLayout()) {
    layout_ = before;  // e.g. one name for a sample and a control
    return false;
  }
  changed_ = true;
  ShowLayout();
  return true;
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
