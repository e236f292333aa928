#include "history/history_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <future>
#include <memory>
#include <utility>

#include "dialogs/template_dialog.h"
#include "history/archived_plate.h"
#include "history/history_export.h"
#include "link/operator_message.h"
#include "preview/data_preview.h"

namespace {

// Midnight of a local date as an ISO time with its offset.
std::string LocalMidnight(const QDate& date) {
  const QDateTime local(date, QTime(0, 0));
  return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

QPushButton* Button(const char* text, const char* name) {
  auto* button = new QPushButton(QString::fromUtf8(text));
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QDateEdit* DateBox(const char* name) {
  auto* box = new QDateEdit(QDate::currentDate());
  box->setObjectName(QString::fromLatin1(name));
  box->setCalendarPopup(true);
  box->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  box->setEnabled(false);
  return box;
}

// The reads with these UUIDs as they are now; none, with *why, when one is missing.
std::vector<archive::ReadState> ReadsOf(HistorySource& source,
                                        const std::vector<std::string>& uuids, std::string* why) {
  std::vector<archive::ReadState> reads;
  for (const std::string& uuid : uuids) {
    archive::PlateRead read;
    std::vector<archive::AuditEntry> trail;
    archive::ChainedArchive* holder = source.HolderOf(uuid);
    if (holder == nullptr || !holder->GetRead(uuid, &read, why) ||
        !holder->AuditTrail(uuid, &trail, why)) {
      if (why->empty()) *why = "the read " + uuid + " is no longer in the archive";
      return {};
    }
    reads.push_back(archive::CurrentState(read, trail));
  }
  return reads;
}

}  // namespace

HistoryWindow::HistoryWindow(QWidget* parent, const archive::StoreConfig& config,
                             std::string firstNotice)
    : QDialog(parent),
      worker_(this, [this] { ShowLoading(); }),
      firstNotice_(std::move(firstNotice)) {
  setWindowTitle(QStringLiteral("Platovix History"));
  if (parent != nullptr) setWindowIcon(parent->windowIcon());

  notice_ = new QLabel;
  notice_->setObjectName(QStringLiteral("notice"));
  notice_->setWordWrap(true);
  notice_->hide();
  loading_ = new QLabel(QStringLiteral("Loading..."));
  loading_->setObjectName(QStringLiteral("loading"));

  model_ = new HistoryModel(worker_, this);
  connect(model_, &HistoryModel::listFailed, this, [this](const QString& error) {
    notice_->setText(QStringLiteral("The reads cannot be listed: %1").arg(error));
    notice_->show();
  });
  list_ = new QTableView;
  list_->setObjectName(QStringLiteral("reads"));
  list_->setModel(model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  list_->setWordWrap(false);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setColumnHidden(HistoryModel::Lab, config.labUrl.empty());
  connect(list_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { OpenRead(index.row()); });

  audit_ = new QTableWidget(0, 5);
  audit_->setObjectName(QStringLiteral("audit"));
  audit_->setHorizontalHeaderLabels({QStringLiteral("When"), QStringLiteral("Who"),
                                     QStringLiteral("What"), QStringLiteral("Why"),
                                     QStringLiteral("Detail")});
  audit_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  audit_->verticalHeader()->hide();
  audit_->horizontalHeader()->setStretchLastSection(true);

  auto* open = Button("&Open", "open");
  connect(open, &QPushButton::clicked, this, [this] {
    const QModelIndex current = list_->currentIndex();
    if (current.isValid()) OpenRead(current.row());
  });
  auto* exportButton = Button("&Export...", "export");
  connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::AskToExport);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->addButton(open, QDialogButtonBox::ActionRole);
  buttons->addButton(exportButton, QDialogButtonBox::ActionRole);
  // Enter in the search field must not close the window.
  for (QAbstractButton* button : buttons->buttons()) {
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  }
  connect(buttons, &QDialogButtonBox::rejected, this, &HistoryWindow::reject);

  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(list_);
  split->addWidget(audit_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  auto* whole = new QVBoxLayout(this);
  whole->addWidget(loading_);
  whole->addWidget(notice_);
  whole->addWidget(MakeFilters());
  whole->addWidget(split, 1);
  whole->addWidget(buttons);
  resize(1000, 640);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &HistoryWindow::ShowAuditTrail);

  // Connecting may wait on the lab server up to its time-outs: not here.
  worker_.Post(HistoryWorker::Open, [this, config](HistorySource& source) {
    source = OpenHistorySource(config);
    std::vector<std::string> assays;
    std::string error;
    for (archive::ChainedArchive* archive : {source.listed.get(), source.local.get()}) {
      if (archive != nullptr) archive->AssayNames(&assays, &error);
    }
    return HistoryWorker::Done([this, notice = source.notice, assays = std::move(assays),
                                listable = source.listed != nullptr, pending = source.pending,
                                uuids = source.pendingUuids,
                                listed = source.pendingListed]() mutable {
      model_->SetSource(listable, std::move(pending), std::move(uuids), listed);
      SourceOpened(notice, std::move(assays));
    });
  });
}

void HistoryWindow::SourceOpened(const std::string& notice, std::vector<std::string> assays) {
  opened_ = true;
  const std::string text =
      firstNotice_ + (firstNotice_.empty() || notice.empty() ? "" : " ") + notice;
  notice_->setText(QString::fromStdString(text));
  notice_->setVisible(!text.empty());
  std::sort(assays.begin(), assays.end());
  assays.erase(std::unique(assays.begin(), assays.end()), assays.end());
  for (const std::string& name : assays) {
    assay_->addItem(QString::fromStdString(name), QString::fromStdString(name));
  }
  ApplyFilters();
}

void HistoryWindow::ShowLoading() {
  loading_->setVisible(Loading());
  if (!Loading()) list_->resizeColumnsToContents();
}

HistoryWindow::~HistoryWindow() = default;

QWidget* HistoryWindow::MakeFilters() {
  text_ = new QLineEdit;
  text_->setObjectName(QStringLiteral("search"));
  text_->setPlaceholderText(QStringLiteral("Plate ID, assay, operator or UUID"));
  text_->setClearButtonEnabled(true);
  useFrom_ = new QCheckBox(QStringLiteral("&From"));
  useTo_ = new QCheckBox(QStringLiteral("&To"));
  from_ = DateBox("from");
  to_ = DateBox("to");
  assay_ = new QComboBox;
  assay_->setObjectName(QStringLiteral("assay"));
  assay_->addItem(QStringLiteral("Any assay"));
  verdict_ = new QComboBox;
  verdict_->setObjectName(QStringLiteral("verdict"));
  verdict_->addItem(QStringLiteral("Any verdict"));
  verdict_->addItem(QStringLiteral("Pass"), QStringLiteral("Pass"));
  verdict_->addItem(QStringLiteral("Fail"), QStringLiteral("Fail"));
  verdict_->addItem(QStringLiteral("None"), QString(""));

  connect(text_, &QLineEdit::returnPressed, this, &HistoryWindow::ApplyFilters);
  connect(text_, &QLineEdit::textChanged, this, &HistoryWindow::ApplyFilters);
  for (QCheckBox* use : {useFrom_, useTo_}) {
    connect(use, &QCheckBox::toggled, this, [this] {
      from_->setEnabled(useFrom_->isChecked());
      to_->setEnabled(useTo_->isChecked());
      ApplyFilters();
    });
  }
  for (QDateEdit* date : {from_, to_}) {
    connect(date, &QDateEdit::dateChanged, this, &HistoryWindow::ApplyFilters);
  }
  for (QComboBox* box : {assay_, verdict_}) {
    connect(box, &QComboBox::activated, this, &HistoryWindow::ApplyFilters);
  }

  auto* row = new QWidget;
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);
  auto* find = new QLabel(QStringLiteral("F&ind"));
  find->setBuddy(text_);
  line->addWidget(find);
  line->addWidget(text_, 1);
  line->addWidget(useFrom_);
  line->addWidget(from_);
  line->addWidget(useTo_);
  line->addWidget(to_);
  line->addWidget(assay_);
  line->addWidget(verdict_);
  return row;
}

archive::ReadQuery HistoryWindow::Query() const {
  archive::ReadQuery query;
  query.text = text_->text().trimmed().toStdString();
  if (useFrom_->isChecked()) query.since = LocalMidnight(from_->date());
  // The whole day the range ends with.
  if (useTo_->isChecked()) query.until = LocalMidnight(to_->date().addDays(1));
  query.assay = assay_->currentData().toString().toStdString();
  const QVariant verdict = verdict_->currentData();
  if (verdict.isValid()) query.verdict = verdict.toString().toStdString();
  return query;
}

void HistoryWindow::ApplyFilters() {
  audit_->setRowCount(0);
  if (!opened_) return;  // the opened source lists with the filters as they are then
  model_->SetQuery(Query());
  ShowLoading();
}

void HistoryWindow::ShowAuditTrail() {
  audit_->setRowCount(0);
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid()) return;
  const std::string uuid = model_->Read(current.row()).uuid;
  worker_.Post(HistoryWorker::Audit, [this, uuid](HistorySource& source) -> HistoryWorker::Done {
    std::vector<archive::AuditEntry> entries;
    std::string error;
    archive::ChainedArchive* holder = source.HolderOf(uuid);
    if (holder == nullptr || !holder->AuditTrail(uuid, &entries, &error)) return nullptr;
    return [this, uuid, entries = std::move(entries)] {
      const QModelIndex now = list_->currentIndex();
      if (!now.isValid() || model_->Read(now.row()).uuid != uuid) return;  // moved on meanwhile
      audit_->setRowCount(static_cast<int>(entries.size()));
      for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
        const archive::AuditEntry& e = entries[static_cast<size_t>(row)];
        int column = 0;
        for (const std::string* text : {&e.when, &e.who, &e.what, &e.why, &e.detail}) {
          audit_->setItem(row, column++, new QTableWidgetItem(QString::fromStdString(*text)));
        }
      }
      audit_->resizeColumnsToContents();
    };
  });
  ShowLoading();
}

std::vector<std::string> HistoryWindow::SelectedUuids() const {
  std::vector<int> rows;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  std::vector<std::string> uuids;
  for (int row : rows) uuids.push_back(model_->Read(row).uuid);
  return uuids;
}

std::vector<archive::ReadState> HistoryWindow::SelectedReads(std::string* error) {
  // The worker holds the archive; this waits its turn.
  using Found = std::pair<std::vector<archive::ReadState>, std::string>;
  auto found = std::make_shared<std::promise<Found>>();
  std::future<Found> result = found->get_future();
  worker_.Post(HistoryWorker::Export, [uuids = SelectedUuids(), found](HistorySource& source) {
    std::string why;
    std::vector<archive::ReadState> reads = ReadsOf(source, uuids, &why);
    found->set_value({std::move(reads), why});
    return HistoryWorker::Done();
  });
  try {
    auto [reads, why] = result.get();
    *error = why;
    return reads;
  } catch (const std::exception& e) {
    *error = e.what();
    return {};
  }
}

void HistoryWindow::OpenRead(int row) {
  if (row < 0 || row >= model_->rowCount()) return;
  const std::string uuid = model_->Read(row).uuid;
  worker_.Post(HistoryWorker::Read, [this, uuid](HistorySource& source) {
    archive::PlateRead read;
    std::vector<archive::AuditEntry> trail;
    std::string error;
    archive::ChainedArchive* holder = source.HolderOf(uuid);
    const bool found = holder != nullptr && holder->GetRead(uuid, &read, &error);
    // As the read is now: later plate ID, excluded wells, comments, status.
    if (found) holder->AuditTrail(uuid, &trail, &error);
    return HistoryWorker::Done(
        [this, uuid, found, error, read = std::move(read), trail = std::move(trail)] {
          if (!found) {
            ShowMessageBox(this,
                           "The read " + uuid + " cannot be read: " +
                               (error.empty() ? "it is not in the archive" : error),
                           "History", kIconWarning);
            return;
          }
          // Previews closed meanwhile are of no more use.
          std::erase_if(previews_,
                        [](const std::unique_ptr<TemplateDialog>& p) { return p->isHidden(); });
          const ShownPlate shown = ShownPlateOfState(archive::CurrentState(read, trail));
          previews_.push_back(CreateDataPreview(this, shown));
          TemplateDialog* preview = previews_.back().get();
          preview->setModal(false);
          preview->show();
        });
  });
  ShowLoading();
}

TemplateDialog* HistoryWindow::LastPreview() const {
  return previews_.empty() ? nullptr : previews_.back().get();
}

bool HistoryWindow::ExportSelected(const std::string& path, std::string* error) {
  error->clear();
  const std::vector<archive::ReadState> reads = SelectedReads(error);
  if (!error->empty()) return false;
  return ExportReads(path, reads, AppSettings.bDelimComma != 0, error);
}

void HistoryWindow::AskToExport() {
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Export reads"), QStringLiteral("reads.csv"),
      QStringLiteral("CSV (*.csv);;JSON (*.json);;Excel workbook (*.xlsx)"));
  if (path.isEmpty()) return;
  // Read and written by the worker: the window goes on meanwhile.
  worker_.Post(HistoryWorker::Export, [this, uuids = SelectedUuids(), path = path.toStdString(),
                                       comma =
                                           AppSettings.bDelimComma != 0](HistorySource& source) {
    std::string error;
    const std::vector<archive::ReadState> reads = ReadsOf(source, uuids, &error);
    const bool ok = error.empty() && ExportReads(path, reads, comma, &error);
    return HistoryWorker::Done([this, ok, error] {
      if (!ok) {
        ShowMessageBox(this, "The reads could not be exported: " + error, "History", kIconWarning);
      }
    });
  });
  ShowLoading();
}

HistoryWindow* ShowHistoryWindow(QWidget* owner) {
  static QPointer<HistoryWindow> window;
  if (window.isNull()) {
    window = new HistoryWindow(owner, ArchiveConfigFromSettings(), SettingsRefusal());
    window->setAttribute(Qt::WA_DeleteOnClose);
  }
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}
