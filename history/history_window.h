// The window "Platovix History": the archive's reads, newest first, found
// by free text, dates, assay and verdict; the selected read's audit trail
// below; "&Open" shows a read in the data preview as it was read (and its
// analysis with its own assay); "&Export..." writes the selected reads.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_store.h"
#include "archive/read_state.h"
#include "history/history_model.h"
#include "history/history_source.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTableView;
class QTableWidget;
class TemplateDialog;

class HistoryWindow : public QDialog {
  Q_OBJECT

 public:
  // firstNotice: said above what opening the archive has to say.
  HistoryWindow(QWidget* parent, const archive::StoreConfig& config, std::string firstNotice = {});
  ~HistoryWindow() override;

  HistoryModel& Model() { return *model_; }
  // Something asked of the archive has not come back yet.
  bool Loading() const { return !worker_.Idle(); }
  // The filters as the controls set them.
  archive::ReadQuery Query() const;
  // Lists again with the filters as they are now.
  void ApplyFilters();
  // The reads selected in the list, in its order, read whole (waits for
  // the worker: an export is asked for and waited on).
  std::vector<archive::ReadState> SelectedReads(std::string* error);
  // Shows the read in row in a preview left open beside the History, once
  // it is read; a box says why when it cannot be.
  void OpenRead(int row);
  // The preview OpenRead opened last; null before.
  TemplateDialog* LastPreview() const;
  // False with the reason; the selected reads to path (.csv, .json, .xlsx).
  bool ExportSelected(const std::string& path, std::string* error);

 private:
  QWidget* MakeFilters();
  void SourceOpened(const std::string& notice, std::vector<std::string> assays);
  void ShowAuditTrail();
  void AskToExport();
  std::vector<std::string> SelectedUuids() const;
  void ShowLoading();

  HistoryWorker worker_;
  bool opened_ = false;  // the source is open: filters may list
  std::string firstNotice_;
  HistoryModel* model_ = nullptr;
  QLabel* notice_ = nullptr;
  QLabel* loading_ = nullptr;
  QLineEdit* text_ = nullptr;
  QCheckBox* useFrom_ = nullptr;
  QCheckBox* useTo_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QComboBox* assay_ = nullptr;
  QComboBox* verdict_ = nullptr;
  QTableView* list_ = nullptr;
  QTableWidget* audit_ = nullptr;
  std::vector<std::unique_ptr<TemplateDialog>> previews_;
};

// The one History window beside the main dialog, with the archive the
// settings name: created on the first call, shown and raised later.
HistoryWindow* ShowHistoryWindow(QWidget* owner);
