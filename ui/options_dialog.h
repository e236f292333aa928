// The Options dialog: what happens after a measurement, the reader family,
// the decimal delimiter and the serial port, shown from and stored into
// AppSettings.
#pragma once

#include <QRect>

#include "dialogs/template_dialog.h"

class TraceOptions;

class OptionsDialog : public TemplateDialog {
  Q_OBJECT

 public:
  // buttonRect: the screen rectangle of the button that opened it, or null
  // to keep the template's position.
  OptionsDialog(QWidget* owner, const QRect* buttonRect);

 protected:
  bool OnCommand(int id) override;

 private:
  void InitDialog(const QRect* buttonRect);
  // Stores every field; 1 when any of them changed, else 2.
  int StoreSettings();

  TraceOptions* trace_ = nullptr;
};

// Runs the dialog modally. 1 when OK changed at least one setting; 2 when
// OK changed nothing, on Cancel and on closing.
int RunOptionsDialog(QWidget* owner, const QRect* buttonRect);
