// The History's list: reads newest first, loaded a page at a time with the
// archive's keyset paging as the view scrolls, never counted or loaded
// whole. Reads not yet in the lab archive come first when the lab's reads
// are listed, and are marked in the "Lab" column.
#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "history/history_source.h"

class HistoryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Time, PlateId, Assay, Verdict, Status, Operator, Reader, Lab, ColumnCount };
  static constexpr size_t kPageSize = 200;

  explicit HistoryModel(const HistorySource& source, QObject* parent = nullptr);

  // Starts the list again with these filters; the first page is loaded.
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

 private:
  const HistorySource& source_;
  archive::ReadQuery query_;
  std::vector<archive::ReadSummary> rows_;
  std::string lastAtUtc_;  // the last listed read's place, for the next page
  int64_t lastSeq_ = 0;
  bool atEnd_ = true;
  std::string error_;
};
