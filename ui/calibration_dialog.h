// The calibration dialog: the operator picks which of the reader's six
// filter positions to calibrate and enters the wavelength in each. It works
// on FilterTable directly.
#pragma once

#include <QRect>

#include "dialogs/template_dialog.h"

class CalibrationDialog : public TemplateDialog {
  Q_OBJECT

 public:
  // buttonRect: the screen rectangle of the button that opened it, or null
  // to keep the template's position.
  CalibrationDialog(QWidget* owner, const QRect* buttonRect);

  // Mirrors the six check boxes into FilterTable.bCalibrate, enables OK
  // only while at least one is checked, and returns how many are.
  int UpdateCalibrationSelection();

 protected:
  bool OnCommand(int id) override;

 private:
  void InitDialog(const QRect* buttonRect);
  // Checks the six entries in order and stores them; false after telling
  // the operator about the first bad one.
  bool AcceptEntries();
};

// Runs the dialog modally: 1 when valid wavelengths were stored, else 2.
int RunCalibrationDialog(QWidget* owner, const QRect* buttonRect);
