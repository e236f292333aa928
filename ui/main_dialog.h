// The main dialog: the whole program as the operator sees it. Its command
// table (OnCommand) starts, aborts and winds up the reader operations, and
// copies, previews and configures.
#pragma once

#include <QImage>

#include "dialogs/template_dialog.h"
#include "ui/qt_dialog_handle.h"

class KineticRun;
class QComboBox;

// Control ids of the main dialog.
enum MainDialogControl : int {
  kMeasureButton = 1,
  kCloseButton = 2,
  kPortText = 101,
  kPrimaryList = 102,
  kSeparator = 103,
  kPreviewButton = 104,
  kCopyButton = 105,
  kOptionsButton = 106,
  kFiltersButton = 107,
  kCalibrateButton = 108,
  kDetailsButton = 109,
  kPlateInButton = 110,
  kReferenceList = 111,
  kReferenceCheck = 112,
  kPlateOutButton = 113,
  kStatusLine = 208,
};

class MainDialog : public TemplateDialog {
  Q_OBJECT

 public:
  explicit MainDialog(QWidget* parent = nullptr);
  ~MainDialog() override;

  // The dialog as the worker reaches it (hMainDlg points here while an
  // operation runs).
  DialogHandle* Handle() { return &handle_; }
  QComboBox* Combo(int id) const;
  // The "Kinetic" controls and the run they start.
  KineticRun* Kinetic() const { return kinetic_; }
  // The owner of the operator's message boxes, as the box seam takes it.
  void* BoxOwner() { return static_cast<QWidget*>(this); }
  // The control's rectangle on screen, where the small dialogs open.
  QRect ItemScreenRect(int id) const;

  // Whether the Alt key is down; tests replace the keyboard.
  using AltKeyQuery = bool (*)();
  static void SetAltKeyQuery(AltKeyQuery query);

  // Details toggle state (ToggleDetails).
  bool bExpanded = true;
  int nFullWidth = 0;
  int nFullHeight = 0;  // 0 = not measured yet
  int nReducedHeight = 0;

 protected:
  bool OnCommand(int id) override;
  void paintEvent(QPaintEvent* event) override;
  void done(int result) override;

 private:
  void InitDialog();
  void OnOperationButton(int id);
  void OnCompletion(int id);
  void OnDetails();
  void ShowResult(int id);
  void OpenOptions();
  void CloseDialog();
  void WaitForWorkerEnd();

  QtDialogHandle handle_;
  QImage picture_;
  KineticRun* kinetic_ = nullptr;
  bool closing_ = false;
};

// The port text (control 101) and the window title from the settings.
void UpdatePortText(MainDialog& dialog);
// The reference list is shown only while its check box is checked.
void UpdateReferenceVisibility(MainDialog& dialog);
// Switches between the full height and the height down to the separator;
// the first call only measures the window.
void ToggleDetails(MainDialog& dialog);
// The edit field of a filter list: the wavelength, or empty for 0. No list
// entry stays selected, so the field shows exactly this.
void SetFilterText(QComboBox* list, int wavelength);
// Adds every known filter above 99 nm to both filter lists.
void FillFilterCombos(MainDialog& dialog);
