#include "dialogs/template_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

namespace {

// Scales like the dialog manager's MulDiv: rounds half away from zero.
int MulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

// A mnemonic label that ends up without a control to lead to shows its text
// as the dialog manager would: "&&" as '&', a single '&' dropped.
QString WithoutMnemonic(const QString& text) {
  QString plain;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

Qt::Alignment LabelAlignment(unsigned style) {
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (style & kAlignRight) horizontal = Qt::AlignRight;
  if (style & kAlignCentre) horizontal = Qt::AlignHCenter;
  return horizontal | Qt::AlignVCenter;
}

bool IsEnterKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("dialog%1").arg(dialogTemplate.id));
  setWindowTitle(QString::fromLatin1(dialogTemplate.caption));
  setModal(true);

  // The template's own font is not installed here; the application font
  // takes its place, and the dialog units follow its metrics.
  const QFontMetrics metrics(font());
  const int alphabetWidth = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseUnitX_ = (alphabetWidth + 26) / 52;
  baseUnitY_ = metrics.height();

  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = CreateControl(control);
    widget->setObjectName(QStringLiteral("id%1").arg(control.id));
    widget->setProperty("dlgId", control.id);
    QRect rect = DialogUnitsToPixels(control.x, control.y, control.cx, control.cy);
    // A combo box template's height is that of its open list; the closed
    // box is as tall as the style draws it.
    if (qobject_cast<QComboBox*>(widget)) rect.setHeight(widget->sizeHint().height());
    // This style draws larger boxes than the templates were laid out for;
    // a check box or radio button may reach into the free room beside it
    // rather than cut its text.
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
      rect.setWidth(std::max(rect.width(), widget->sizeHint().width()));
    }
    widget->setGeometry(rect);
    widget->installEventFilter(this);
    if (control.id != kNoId) items_.emplace(control.id, widget);

    if (pendingBuddy_ && widget->focusPolicy() != Qt::NoFocus) {
      pendingBuddy_->setBuddy(widget);
      pendingBuddy_ = nullptr;
    }
    if (widget->focusPolicy() != Qt::NoFocus) tabOrder_.push_back(widget);
  }
  if (pendingBuddy_) pendingBuddy_->setText(WithoutMnemonic(pendingBuddy_->text()));
  pendingBuddy_ = nullptr;
  for (size_t i = 1; i < tabOrder_.size(); ++i) setTabOrder(tabOrder_[i - 1], tabOrder_[i]);

  setFixedSize(DialogUnitsToPixels(0, 0, dialogTemplate.cx, dialogTemplate.cy).size());
}

QWidget* TemplateDialog::CreateControl(const ControlTemplate& control) {
  const QString text = QString::fromLatin1(control.text);
  switch (control.kind) {
    case ControlKind::Label: {
      auto* label = new QLabel(this);
      label->setTextFormat(Qt::PlainText);  // texts come from the reader and the operator
      label->setAlignment(LabelAlignment(control.style));
      if (control.style & kSunken) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // A framed label would indent by half an 'x'; a narrow value cell
        // needs that room for its minus sign.
        label->setIndent(1);
      }
      label->setText(text);
      if (!(control.style & kNoPrefix) && text.contains(u'&')) {
        if (pendingBuddy_) pendingBuddy_->setText(WithoutMnemonic(pendingBuddy_->text()));
        pendingBuddy_ = label;
      }
      return label;
    }
    case ControlKind::Frame: {
      auto* line = new QFrame(this);
      line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
      return line;
    }
    case ControlKind::GroupBox:
      return new QGroupBox(WithoutMnemonic(text), this);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      auto* button = new QPushButton(text, this);
      // Enter is handled by the dialog itself, so a press fires exactly once.
      button->setAutoDefault(false);
      button->setDefault(false);
      if (control.kind == ControlKind::DefPushButton) defaultId_ = control.id;
      connect(button, &QPushButton::clicked, this, [this, id = control.id] { OnCommand(id); });
      return button;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(text, this);
      if (control.style & kTextLeft) box->setLayoutDirection(Qt::RightToLeft);
      connect(box, &QCheckBox::clicked, this, [this, id = control.id] { OnCommand(id); });
      return box;
    }
    case ControlKind::RadioButton: {
      auto* radio = new QRadioButton(text, this);
      RadioGroupFor(control)->addButton(radio);
      connect(radio, &QRadioButton::clicked, this, [this, id = control.id] { OnCommand(id); });
      return radio;
    }
    case ControlKind::ComboDropDown:
    case ControlKind::ComboDropList: {
      auto* combo = new QComboBox(this);
      if (control.kind == ControlKind::ComboDropDown) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);  // Enter must not add to the list
        combo->setCompleter(nullptr);
        combo->lineEdit()->installEventFilter(this);
      }
      return combo;
    }
    case ControlKind::Edit:
      return new QLineEdit(text, this);
  }
  return new QWidget(this);
}

// Radio buttons form one exclusive group from a control marked as the start
// of a group up to the next such control.
QButtonGroup* TemplateDialog::RadioGroupFor(const ControlTemplate& control) {
  if (!radioGroup_ || (control.style & kGroup)) {
    radioGroup_ = new QButtonGroup(this);
    radioGroup_->setExclusive(true);
  }
  return radioGroup_;
}

QWidget* TemplateDialog::Item(int id) const {
  const auto found = items_.find(id);
  return found == items_.end() ? nullptr : found->second;
}

void TemplateDialog::SetItemText(int id, const QString& text) {
  QWidget* item = Item(id);
  if (auto* label = qobject_cast<QLabel*>(item)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(item)) {
    button->setText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(item)) {
    if (combo->isEditable()) {
      combo->setEditText(text);
    } else {
      combo->setCurrentIndex(combo->findText(text));
    }
  } else if (auto* edit = qobject_cast<QLineEdit*>(item)) {
    edit->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(item)) {
    group->setTitle(text);
  }
}

QString TemplateDialog::ItemText(int id) const {
  QWidget* item = Item(id);
  if (auto* label = qobject_cast<QLabel*>(item)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(item)) return button->text();
  if (auto* combo = qobject_cast<QComboBox*>(item)) return combo->currentText();
  if (auto* edit = qobject_cast<QLineEdit*>(item)) return edit->text();
  if (auto* group = qobject_cast<QGroupBox*>(item)) return group->title();
  return {};
}

bool TemplateDialog::IsChecked(int id) const {
  auto* button = qobject_cast<QAbstractButton*>(Item(id));
  return button && button->isCheckable() && button->isChecked();
}

void TemplateDialog::SetChecked(int id, bool checked) {
  auto* button = qobject_cast<QAbstractButton*>(Item(id));
  if (!button || !button->isCheckable()) return;
  // An exclusive group refuses to uncheck its checked button; a dialog may
  // still show a group with nothing chosen.
  QButtonGroup* group = button->group();
  const bool exclusive = group && group->exclusive();
  if (exclusive && !checked) group->setExclusive(false);
  button->setChecked(checked);
  if (exclusive && !checked) group->setExclusive(true);
}

void TemplateDialog::EnableItem(int id, bool enabled) {
  if (QWidget* item = Item(id)) item->setEnabled(enabled);
}

void TemplateDialog::ShowItem(int id, bool shown) {
  if (QWidget* item = Item(id)) item->setVisible(shown);
}

void TemplateDialog::FitLabelFonts(int firstId, int lastId, double minimumPoints) {
  std::vector<QLabel*> labels;
  for (int id = firstId; id <= lastId; ++id) {
    if (auto* label = qobject_cast<QLabel*>(Item(id))) labels.push_back(label);
  }
  const auto fits = [&labels](const QFont& candidate) {
    const QFontMetrics metrics(candidate);
    return std::all_of(labels.begin(), labels.end(), [&metrics](const QLabel* label) {
      const int room =
          label->contentsRect().width() - std::max(label->indent(), 0) - 2 * label->margin();
      return metrics.horizontalAdvance(label->text()) <= room;
    });
  };
  QFont candidate = font();
  if (candidate.pointSizeF() <= 0) return;  // a pixel-sized font: leave it
  while (!fits(candidate) && candidate.pointSizeF() - 0.5 >= minimumPoints) {
    candidate.setPointSizeF(candidate.pointSizeF() - 0.5);
  }
  for (QLabel* label : labels) label->setFont(candidate);
}

void TemplateDialog::PostCommand(int id) {
  QMetaObject::invokeMethod(
      this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
}

QRect TemplateDialog::DialogUnitsToPixels(int x, int y, int cx, int cy) const {
  return QRect(MulDiv(x, baseUnitX_, 4), MulDiv(y, baseUnitY_, 8), MulDiv(cx, baseUnitX_, 4),
               MulDiv(cy, baseUnitY_, 8));
}

bool TemplateDialog::OnCommand(int id) {
  if (id == 1 || id == 2) {
    done(id);
    return true;
  }
  return false;
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  PostCommand(2);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
  if (HandleDialogKey(event->key())) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TemplateDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = !(key->modifiers() & (Qt::AltModifier | Qt::ControlModifier));
    if (plain && HandleDialogKey(key->key())) return true;
  }
  return QDialog::eventFilter(watched, event);
}

bool TemplateDialog::HandleDialogKey(int key) {
  if (key == Qt::Key_Escape) {
    OnCommand(2);
    return true;
  }
  if (!IsEnterKey(key)) return false;
  // A push button that has the focus takes Enter for itself, as it becomes
  // the default button while focused; elsewhere Enter means the default button.
  if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
    if (focused->isEnabled() && focused->property("dlgId").isValid()) {
      OnCommand(focused->property("dlgId").toInt());
      return true;
    }
  }
  // Without a default button Enter means OK (1), as in the dialog manager.
  const int id = defaultId_ != 0 ? defaultId_ : 1;
  QWidget* button = Item(id);
  if (!button || button->isEnabled()) OnCommand(id);
  return true;
}
