// The History's list: reads newest first, loaded a page at a time with the
// archive's keyset paging as the view scrolls, never counted or loaded
// whole. Reads not yet in the lab archive come first when the lab's reads
// are listed, and are marked in the "Lab" column. Pages are asked of the
// worker and shown when they arrive; a page of an earlier query is dropped.
#pragma once

#include <QAbstractTableModel>
#include <set>
#include <string>
#include <vector>

#include "history/history_worker.h"

class HistoryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Time, PlateId, Assay, Verdict, Status, Operator, Reader, Lab, ColumnCount };
  static constexpr size_t kPageSize = 200;

  HistoryModel(HistoryWorker& worker, QObject* parent = nullptr);

  // What the opened source holds besides its pages: whether there is an
  // archive to page through, and this computer's reads the lab lacks.
  void SetSource(bool listable, std::vector<archive::ReadSummary> pending,
                 std::set<std::string> pendingUuids, bool pendingListed);
  // Starts the list again with these filters; the first page is asked for.
  void SetQuery(const archive::ReadQuery& query);
  const archive::ReadSummary& Read(int row) const { return rows_[static_cast<size_t>(row)]; }
  bool Pending(int row) const;
  // Why the last page could not be loaded; empty when it could.
  const std::string& Error() const { return error_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 signals:
  void listFailed(const QString& error);

 private:
  void PageArrived(int generation, bool ok, std::vector<archive::ReadSummary> found,
                   const std::string& error);

  HistoryWorker& worker_;
  bool listable_ = false;
  std::vector<archive::ReadSummary> pending_;
  std::set<std::string> pendingUuids_;
  bool pendingListed_ = false;
  archive::ReadQuery query_;
  std::vector<archive::ReadSummary> rows_;
  std::string lastAtUtc_;  // the last listed read's place, for the next page
  int64_t lastSeq_ = 0;
  bool atEnd_ = true;
  bool fetching_ = false;  // a page is asked for and not yet here
  int generation_ = 0;     // which query the pages belong to
  std::string error_;
};
