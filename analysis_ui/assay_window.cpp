#include "analysis_ui/assay_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>
#include <map>

#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/file_questions.h"
#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_in_use.h"
#include "link/operator_message.h"
#include "results/shared_state.h"

using analysis::QcRules;

namespace {

// The QC rules with a number, as the file names them; levelsMin is a count
// but shown alike.
struct RuleLimits {
  const char* name;
  const char* label;
  double low, high, step;
  int decimals;
};
constexpr RuleLimits kRuleFields[] = {
    {"blankMax", "Blank mean at most (OD)", 0, 10, 0.01, 3},
    {"r2Min", "R² at least", 0, 1, 0.001, 4},
    {"recoveryPercent", "Standards' recovery within ± %", 0, 100, 1, 1},
    {"recoveryPercentAtEnds", "… at the lowest and highest level ± %", 0, 100, 1, 1},
    {"levelsPassingShare", "Share of levels that must pass", 0, 1, 0.05, 2},
    {"levelsMin", "Never fewer passing levels than", 0, 96, 1, 0},
    {"cvMax", "Replicates' CV at most (%)", 0, 100, 1, 1},
};
constexpr std::optional<double> QcRules::*kRuleMembers[] = {&QcRules::blankMax,
                                                            &QcRules::r2Min,
                                                            &QcRules::recoveryPercent,
                                                            &QcRules::recoveryPercentAtEnds,
                                                            &QcRules::levelsPassingShare,
                                                            nullptr,
                                                            &QcRules::cvMax};

constexpr std::pair<const char*, analysis::CurveModel> kModels[] = {
    {"Linear", analysis::CurveModel::Linear},
    {"4PL", analysis::CurveModel::FourPL},
    {"5PL", analysis::CurveModel::FivePL},
    {"Quadratic", analysis::CurveModel::Quadratic},
    {"Point-to-point", analysis::CurveModel::PointToPoint}};
constexpr std::pair<const char*, analysis::Weighting> kWeightings[] = {
    {"None", analysis::Weighting::None},
    {"1/y", analysis::Weighting::OneOverY},
    {"1/y²", analysis::Weighting::OneOverY2}};

QSpinBox* FilterBox(const char* name, int lowest) {
  auto* box = new QSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(lowest, 999);
  box->setSuffix(QStringLiteral(" nm"));
  return box;
}

// "14 standards (7 levels), 2 blanks, 78 samples, 2 controls"
QString LayoutSummary(const analysis::PlateLayout& layout) {
  std::map<analysis::WellRole, int> wells;
  std::map<double, int> levels;
  for (const analysis::WellContent& well : layout.wells) {
    ++wells[well.role];
    if (well.role == analysis::WellRole::Standard) ++levels[well.concentration.value_or(0)];
  }
  if (wells[analysis::WellRole::Empty] == analysis::kLayoutWells) {
    return QStringLiteral("Empty plate: set the layout.");
  }
  return QStringLiteral("%1 standards (%2 levels), %3 blanks, %4 samples, %5 controls")
      .arg(wells[analysis::WellRole::Standard])
      .arg(levels.size())
      .arg(wells[analysis::WellRole::Blank])
      .arg(wells[analysis::WellRole::Sample])
      .arg(wells[analysis::WellRole::Control]);
}

}  // namespace

AssayWindow::AssayWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Platovix Assay"));
  setModal(true);
  if (parent != nullptr) setWindowIcon(parent->windowIcon());

  auto* form = new QFormLayout;
  name_ = new QLineEdit;
  name_->setObjectName(QStringLiteral("name"));
  form->addRow(QStringLiteral("&Name"), name_);
  version_ = new QLineEdit;
  version_->setObjectName(QStringLiteral("version"));
  form->addRow(QStringLiteral("&Version"), version_);
  description_ = new QLineEdit;
  description_->setObjectName(QStringLiteral("description"));
  form->addRow(QStringLiteral("&Description"), description_);

  auto* open = new QPushButton(QStringLiteral("&Open..."));
  open->setObjectName(QStringLiteral("open"));
  connect(open, &QPushButton::clicked, this, &AssayWindow::Open);
  auto* save = new QPushButton(QStringLiteral("&Save"));
  save->setObjectName(QStringLiteral("save"));
  connect(save, &QPushButton::clicked, this, [this] {
    if (Save()) accept();
  });
  auto* saveAs = new QPushButton(QStringLiteral("Save &as..."));
  saveAs->setObjectName(QStringLiteral("saveAs"));
  connect(saveAs, &QPushButton::clicked, this, [this] {
    if (SaveAs()) accept();
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  buttons->addButton(save, QDialogButtonBox::AcceptRole);
  buttons->addButton(saveAs, QDialogButtonBox::ActionRole);
  buttons->addButton(open, QDialogButtonBox::ActionRole);
  for (QAbstractButton* button : buttons->buttons()) {
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  }
  save->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &AssayWindow::reject);

  auto* left = new QVBoxLayout;
  left->addLayout(form);
  left->addWidget(MakeReading());
  left->addWidget(MakeAnalysis());
  left->addStretch();
  auto* body = new QHBoxLayout;
  body->addLayout(left);
  body->addWidget(MakeRules());
  auto* whole = new QVBoxLayout(this);
  whole->addLayout(body);
  whole->addWidget(buttons);

  if (const analysis::Assay* inUse = AssayInUse(parent)) {
    path_ = AppSettings.AssayFile;
    Show(*inUse);
  } else {
    const analysis::PlateLayout* layout = LayoutInUse(parent);
    Show(analysis::NewAssay("New assay", layout != nullptr ? *layout : analysis::PlateLayout{}));
  }
}

QWidget* AssayWindow::MakeReading() {
  auto* box = new QGroupBox(QStringLiteral("Reading"));
  auto* form = new QFormLayout(box);
  primary_ = FilterBox("primary", 100);
  form->addRow(QStringLiteral("&Primary filter"), primary_);
  reference_ = FilterBox("reference", 99);
  reference_->setSpecialValueText(QStringLiteral("None"));  // 99: no reference
  form->addRow(QStringLiteral("&Reference filter"), reference_);
  return box;
}

QWidget* AssayWindow::MakeAnalysis() {
  auto* box = new QGroupBox(QStringLiteral("Layout and analysis"));
  auto* form = new QFormLayout(box);
  layoutSummary_ = new QLabel;
  layoutSummary_->setObjectName(QStringLiteral("layoutSummary"));
  layoutSummary_->setWordWrap(true);
  auto* edit = new QPushButton(QStringLiteral("&Layout..."));
  edit->setObjectName(QStringLiteral("layout"));
  edit->setAutoDefault(false);
  connect(edit, &QPushButton::clicked, this, &AssayWindow::EditLayout);
  auto* layoutRow = new QHBoxLayout;
  layoutRow->addWidget(layoutSummary_, 1);
  layoutRow->addWidget(edit);
  form->addRow(QStringLiteral("Layout"), layoutRow);

  model_ = new QComboBox;
  model_->setObjectName(QStringLiteral("model"));
  for (const auto& [text, model] : kModels) {
    model_->addItem(QString::fromUtf8(text), static_cast<int>(model));
  }
  form->addRow(QStringLiteral("&Model"), model_);
  weighting_ = new QComboBox;
  weighting_->setObjectName(QStringLiteral("weighting"));
  for (const auto& [text, weighting] : kWeightings) {
    weighting_->addItem(QString::fromUtf8(text), static_cast<int>(weighting));
  }
  form->addRow(QStringLiteral("&Weighting"), weighting_);
  digits_ = new QSpinBox;
  digits_->setObjectName(QStringLiteral("significantDigits"));
  digits_->setRange(1, 15);
  form->addRow(QStringLiteral("Significant di&gits"), digits_);
  return box;
}

QWidget* AssayWindow::MakeRules() {
  auto* box = new QGroupBox(QStringLiteral("QC rules (unchecked: not checked)"));
  auto* grid = new QGridLayout(box);
  int row = 0;
  for (const RuleLimits& limits : kRuleFields) {
    RuleField field;
    field.on = new QCheckBox(QString::fromUtf8(limits.label));
    field.on->setObjectName(QString::fromLatin1(limits.name) + QStringLiteral("On"));
    field.value = new QDoubleSpinBox;
    field.value->setObjectName(QString::fromLatin1(limits.name));
    field.value->setRange(limits.low, limits.high);
    field.value->setSingleStep(limits.step);
    field.value->setDecimals(limits.decimals);
    connect(field.on, &QCheckBox::toggled, field.value, &QWidget::setEnabled);
    grid->addWidget(field.on, row, 0);
    grid->addWidget(field.value, row++, 1);
    rules_.push_back(field);
  }
  controlsInRange_ = new QCheckBox(QStringLiteral("Controls within their layout ranges"));
  controlsInRange_->setObjectName(QStringLiteral("controlsInRange"));
  grid->addWidget(controlsInRange_, row++, 0, 1, 2);
  grid->setRowStretch(row, 1);
  return box;
}

void AssayWindow::Show(const analysis::Assay& assay) {
  shown_ = assay;
  layout_ = assay.layout;
  name_->setText(QString::fromStdString(assay.name));
  version_->setText(QString::fromStdString(assay.version));
  description_->setText(QString::fromStdString(assay.description));
  primary_->setValue(assay.reading.primary);
  reference_->setValue(assay.reading.reference.value_or(reference_->minimum()));
  model_->setCurrentIndex(std::max(0, model_->findData(static_cast<int>(assay.model))));
  weighting_->setCurrentIndex(std::max(0, weighting_->findData(static_cast<int>(assay.weighting))));
  digits_->setValue(assay.significantDigits);
  for (std::size_t n = 0; n < rules_.size(); ++n) {
    std::optional<double> value;
    if (kRuleMembers[n] != nullptr) {
      value = assay.qc.*kRuleMembers[n];
    } else if (assay.qc.levelsMin) {
      value = *assay.qc.levelsMin;
    }
    rules_[n].on->setChecked(value.has_value());
    rules_[n].value->setEnabled(value.has_value());
    if (value) rules_[n].value->setValue(*value);
  }
  controlsInRange_->setChecked(assay.qc.controlsInRange);
  ShowLayoutSummary();
  saved_ = Assay();  // as the fields hold it
}

void AssayWindow::ShowLayoutSummary() {
  layoutSummary_->setText(LayoutSummary(layout_));
}

analysis::Assay AssayWindow::Assay() const {
  analysis::Assay assay = shown_;
  assay.name = name_->text().trimmed().toStdString();
  assay.version = version_->text().trimmed().toStdString();
  assay.description = description_->text().trimmed().toStdString();
  assay.reading.primary = primary_->value();
  assay.reading.reference.reset();
  if (reference_->value() != reference_->minimum()) assay.reading.reference = reference_->value();
  assay.layout = layout_;
  assay.model = static_cast<analysis::CurveModel>(model_->currentData().toInt());
  assay.weighting = static_cast<analysis::Weighting>(weighting_->currentData().toInt());
  assay.significantDigits = digits_->value();
  for (std::size_t n = 0; n < rules_.size(); ++n) {
    std::optional<double> value;
    if (rules_[n].on->isChecked()) value = rules_[n].value->value();
    if (kRuleMembers[n] != nullptr) {
      assay.qc.*kRuleMembers[n] = value;
    } else {
      assay.qc.levelsMin.reset();
      if (value) assay.qc.levelsMin = static_cast<int>(std::lround(*value));
    }
  }
  assay.qc.controlsInRange = controlsInRange_->isChecked();
  return assay;
}

void AssayWindow::EditLayout() {
  LayoutEditor editor(this, layout_);
  if (editor.exec() != QDialog::Accepted) return;
  layout_ = editor.Layout();
  ShowLayoutSummary();
}

bool AssayWindow::SaveTo(const std::string& path) {
  const analysis::Assay assay = Assay();
  std::string error;
  if (const auto broken = analysis::ValidateAssay(assay)) {
    error = "The assay cannot be saved as it stands:\n" + broken->Text();
    ShowMessageBox(this, error, "Warning", kIconWarning);
    return false;
  }
  if (!analysis::SaveAssayFile(path, assay, &error)) {
    ShowMessageBox(this, path + "\n" + error, "Error", kIconError);
    return false;
  }
  path_ = path;
  saved_ = assay;
  UseAssay(path, assay);
  return true;
}

bool AssayWindow::Save() {
  return path_.empty() ? SaveAs() : SaveTo(path_);
}

bool AssayWindow::SaveAs() {
  // A changed assay saved beside its file is another assay: it must not
  // pass for the one its name and version stand for.
  if (!path_.empty() && Changed() && !AskNewNameOrVersion()) return false;
  QString suggested = name_->text().trimmed();
  if (!version_->text().trimmed().isEmpty())
    suggested += QLatin1Char('-') + version_->text().trimmed();
  suggested += QStringLiteral(".json");
  if (!path_.empty()) {
    suggested = QFileInfo(QString::fromLocal8Bit(path_.c_str())).dir().filePath(suggested);
  }
  const QString name = AskForFile(this, FileQuestion::kSaveAssay, suggested);
  if (name.isEmpty()) return false;
  return SaveTo(name.toLocal8Bit().toStdString());
}

bool AssayWindow::Open() {
  if (!MayDiscardChanges()) return false;
  const QString name = AskForFile(this, FileQuestion::kOpenAssay, QString::fromStdString(path_));
  if (name.isEmpty()) return false;
  const analysis::AssayParse parse = analysis::ReadAssayFile(name.toLocal8Bit().toStdString());
  if (!parse.ok) {
    ShowMessageBox(this, parse.message, "Warning", kIconWarning);
    return false;
  }
  path_ = name.toLocal8Bit().toStdString();
  Show(parse.assay);
  return true;
}

bool AssayWindow::MayDiscardChanges() {
  return !Changed() || ShowMessageBox(this, "Discard the changes to this assay?", "Platovix Assay",
                                      kIconWarning, kButtonsOkCancel) == kAnswerOk;
}

void AssayWindow::reject() {
  if (MayDiscardChanges()) QDialog::reject();
}

bool AssayWindow::AskNewNameOrVersion() {
  const analysis::Assay assay = Assay();
  if (assay.name != saved_.name || assay.version != saved_.version) return true;
  QDialog ask(this);
  ask.setObjectName(QStringLiteral("newNameOrVersion"));
  ask.setWindowTitle(QStringLiteral("Save as"));
  auto* text = new QLabel(
      QStringLiteral("This assay differs from \"%1\" as saved. Give it a new name or version:")
          .arg(name_->text().trimmed()));
  text->setWordWrap(true);
  auto* name = new QLineEdit(name_->text().trimmed());
  name->setObjectName(QStringLiteral("newName"));
  auto* version = new QLineEdit(version_->text().trimmed());
  version->setObjectName(QStringLiteral("newVersion"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  const auto check = [&] {
    const std::string newName = name->text().trimmed().toStdString();
    const std::string newVersion = version->text().trimmed().toStdString();
    ok->setEnabled(!newName.empty() && (newName != saved_.name || newVersion != saved_.version));
  };
  check();
  connect(name, &QLineEdit::textChanged, &ask, check);
  connect(version, &QLineEdit::textChanged, &ask, check);
  connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Name"), name);
  form->addRow(QStringLiteral("&Version"), version);
  auto* whole = new QVBoxLayout(&ask);
  whole->addWidget(text);
  whole->addLayout(form);
  whole->addWidget(buttons);
  if (ask.exec() != QDialog::Accepted) return false;
  name_->setText(name->text().trimmed());
  version_->setText(version->text().trimmed());
  return true;
}

bool RunAssayWindow(QWidget* owner) {
  AssayWindow window(owner);
  return window.exec() == QDialog::Accepted;
}
