#include "ui/calibration_dialog.h"

#include <string>

#include "link/operator_message.h"
#include "resources/program_icon.h"
#include "results/shared_state.h"
#include "ui/dialog_integer.h"
#include "ui/dialog_placement.h"

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kPositions = 6;

// Filter position p (1 to 6) owns check box 140 + p and edit box 150 + p.
constexpr int CheckId(int position) {
  return 140 + position;
}
constexpr int EditId(int position) {
  return 150 + position;
}

// 0 clears a position; real filters lie within the reader's optics.
bool AcceptedWavelength(int nm) {
  return nm == 0 || (nm >= 200 && nm <= 999);
}

}  // namespace

CalibrationDialog::CalibrationDialog(QWidget* owner, const QRect* buttonRect)
    : TemplateDialog(CalibrationDialogTemplate(), owner) {
  InitDialog(buttonRect);
}

void CalibrationDialog::InitDialog(const QRect* buttonRect) {
  setWindowIcon(ProgramIcon());
  if (buttonRect != nullptr) PlaceWindowAt(this, *buttonRect);
  for (int p = 1; p <= kPositions; ++p) {
    const int nm = p <= FilterTable.nCount ? FilterTable.nWavelength[p - 1] : 0;
    SetItemText(EditId(p), QString::number(nm));  // an empty position shows 0
  }
  UpdateCalibrationSelection();
}

int CalibrationDialog::UpdateCalibrationSelection() {
  int checked = 0;
  for (int p = 1; p <= kPositions; ++p) {
    FilterTable.bCalibrate[p - 1] = IsChecked(CheckId(p)) ? 1 : 0;
    checked += FilterTable.bCalibrate[p - 1];
  }
  EnableItem(kOk, checked > 0);
  return checked;
}

bool CalibrationDialog::OnCommand(int id) {
  if (id >= CheckId(1) && id <= CheckId(kPositions)) {
    UpdateCalibrationSelection();
    return true;
  }
  switch (id) {
    case kOk:
      if (UpdateCalibrationSelection() == 0) {
        done(kCancel);
      } else if (AcceptEntries()) {
        done(kOk);
      }
      return true;
    case kCancel:
      done(kCancel);
      return true;
    default:
      return false;
  }
}

bool CalibrationDialog::AcceptEntries() {
  int wavelengths[kPositions] = {};
  for (int p = 1; p <= kPositions; ++p) {
    const std::string text = ItemText(EditId(p)).toLatin1().toStdString();
    int nm = 0;
    const char* problem = nullptr;
    if (!ParseDialogInteger(text, &nm)) {
      nm = 0;  // an unchecked position without a number is simply cleared
      if (IsChecked(CheckId(p)))
        problem = "To clear a specific filter\r\nyou have to enter 0 (zero).";
    } else if (!AcceptedWavelength(nm)) {
      problem = "Wrong filter value.";
    }
    if (problem != nullptr) {
      ShowMessageBox(static_cast<QWidget*>(this), problem, "Error", kIconWarning);
      return false;
    }
    wavelengths[p - 1] = nm;
  }
  FilterTable.nCount = kPositions;
  for (int p = 1; p <= kPositions; ++p) FilterTable.nWavelength[p - 1] = wavelengths[p - 1];
  return true;
}

int RunCalibrationDialog(QWidget* owner, const QRect* buttonRect) {
  CalibrationDialog dialog(owner, buttonRect);
  return dialog.exec() == kOk ? kOk : kCancel;
}
