// The line-trace controls of the Options dialog, added below the template's
// own: the check box "Write a line &trace", a button that chooses the trace
// file (once; it is kept in the settings) and the chosen file's name.
#pragma once

#include <QObject>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class TemplateDialog;

class TraceOptions : public QObject {
  Q_OBJECT

 public:
  // Adds the controls to dialog, grows it to hold them and shows the
  // settings' values.
  explicit TraceOptions(TemplateDialog& dialog);

  // Stores the controls' state into AppSettings (on OK).
  void Store();

  // Asks the operator for the trace file; returns it, or empty on Cancel.
  // Tests put their own in place of the file dialog.
  using FileChooser = QString (*)(QWidget* parent, const QString& current);
  static void SetFileChooser(FileChooser chooser);

 private:
  void ChooseFile();
  void ShowFile();

  TemplateDialog& dialog_;
  QCheckBox* enabled_;
  QPushButton* chooseButton_;
  QLabel* fileLabel_;
  QString file_;
  bool chosen_ = false;  // a file was chosen in this opening of the dialog
};
