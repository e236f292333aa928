// The layout editor's side panels: the role buttons, the settings of the
// standards' series and replicates, and the selected wells' details.
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <optional>

#include "analysis_ui/layout_editor.h"
#include "link/operator_message.h"

using analysis::WellContent;
using analysis::WellRole;

namespace {

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
