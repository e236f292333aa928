// A Qt dialog built from one of the program's dialog templates. Controls are
// addressed by their template ids and every command reaches OnCommand(id),
// so each dialog's reaction reads as a table of ids.
#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <vector>

#include "resources/dialog_templates.h"

class QButtonGroup;
class QLabel;

class TemplateDialog : public QDialog {
  Q_OBJECT

 public:
  TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent);

  // The control with this id, or null (GetDlgItem).
  QWidget* Item(int id) const;

  void SetItemText(int id, const QString& text);
  QString ItemText(int id) const;
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);
  void EnableItem(int id, bool enabled);
  void ShowItem(int id, bool shown);

  // Queues a command for this dialog; it arrives after what is queued now.
  void PostCommand(int id);
  // Handles a command now, as a synchronous send does.
  void SendCommand(int id) { OnCommand(id); }

  // Pixels for a rectangle in dialog units, through the dialog font's metrics.
  QRect DialogUnitsToPixels(int x, int y, int cx, int cy) const;

  // Shrinks the font of the labels firstId..lastId, all alike, until every
  // text fits its label's width; never below minimumPoints.
  void FitLabelFonts(int firstId, int lastId, double minimumPoints = 6.0);

  // The id of the default push button (Enter acts on it), 0 when none.
  int DefaultId() const { return defaultId_; }

 protected:
  // A button was pressed, a check box or radio button clicked, Enter (the
  // default button's id) or Escape (2) pressed, or a command posted. Returns
  // true when the id was handled. The default ends the dialog on 1 and 2.
  virtual bool OnCommand(int id);

  // The close box posts 2, as the dialog manager does.
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Enter and Escape inside a control (an editable combo box swallows them).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* CreateControl(const ControlTemplate& control);
  QButtonGroup* RadioGroupFor(const ControlTemplate& control);
  // Enter or Escape pressed; returns true when it was taken as a command.
  bool HandleDialogKey(int key);

  std::map<int, QWidget*> items_;
  std::vector<QWidget*> tabOrder_;
  QLabel* pendingBuddy_ = nullptr;  // a label whose mnemonic waits for the next control
  QButtonGroup* radioGroup_ = nullptr;
  int defaultId_ = 0;
  int baseUnitX_ = 0;
  int baseUnitY_ = 0;
};
