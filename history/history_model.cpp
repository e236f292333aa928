#include "history/history_model.h"

#include <QBrush>
#include <QDateTime>

namespace {

QString LocalTime(const std::string& utc) {
  const QDateTime when = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODate);
  return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                        : QString::fromStdString(utc);
}

}  // namespace

HistoryModel::HistoryModel(HistoryWorker& worker, QObject* parent)
    : QAbstractTableModel(parent), worker_(worker) {}

void HistoryModel::SetSource(bool listable, std::vector<archive::ReadSummary> pending,
                             std::set<std::string> pendingUuids, bool pendingListed) {
  listable_ = listable;
  pending_ = std::move(pending);
  pendingUuids_ = std::move(pendingUuids);
  pendingListed_ = pendingListed;
}

void HistoryModel::SetQuery(const archive::ReadQuery& query) {
  beginResetModel();
  ++generation_;
  query_ = query;
  query_.offset = 0;
  query_.limit = kPageSize;
  rows_.clear();
  lastAtUtc_.clear();
  lastSeq_ = 0;
  atEnd_ = !listable_;
  fetching_ = false;
  error_.clear();
  if (pendingListed_) {
    for (const archive::ReadSummary& read : pending_) {
      if (MatchesQuery(read, query_)) rows_.push_back(read);
    }
  }
  endResetModel();
  if (!atEnd_) fetchMore({});
}

bool HistoryModel::Pending(int row) const {
  return pendingUuids_.count(Read(row).uuid) > 0;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const archive::ReadSummary& read = Read(index.row());
  if (role == Qt::ToolTipRole) return QString::fromStdString(read.uuid);
  if (role == Qt::ForegroundRole && index.column() == Verdict && !read.verdict.empty()) {
    return QBrush(read.verdict == "Pass" ? QColor(0x1b, 0x7a, 0x1b) : QColor(0xc0, 0, 0));
  }
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case Time:
      return LocalTime(read.atUtc);
    case PlateId:
      return QString::fromStdString(read.plateId);
    case Assay:
      return QString::fromStdString(read.assay);
    case Verdict:
      return QString::fromStdString(read.verdict);
    case Status:
      return QString::fromStdString(read.status);
    case Operator:
      return QString::fromStdString(read.operatorName);
    case Reader:
      return QString::fromStdString(read.reader);
    case Lab:
      return Pending(index.row()) ? QStringLiteral("not yet") : QString();
    default:
      return {};
  }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[ColumnCount] = {"Time",   "Plate ID", "Assay",  "Verdict",
                                                   "Status", "Operator", "Reader", "Lab"};
  return section >= 0 && section < ColumnCount ? QString::fromLatin1(kTitles[section]) : QVariant();
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_ && !fetching_;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  fetching_ = true;
  archive::ReadQuery page = query_;
  page.afterAtUtc = lastAtUtc_;
  page.afterSeq = lastSeq_;
  const int generation = generation_;
  worker_.Post(HistoryWorker::List, [this, page, generation](HistorySource& source) {
    std::vector<archive::ReadSummary> found;
    std::string error;
    const bool ok =
        source.listed != nullptr && source.listed->ListReads(page, false, &found, &error);
    return HistoryWorker::Done([this, generation, ok, found = std::move(found), error]() mutable {
      PageArrived(generation, ok, std::move(found), error);
    });
  });
}

void HistoryModel::PageArrived(int generation, bool ok, std::vector<archive::ReadSummary> found,
                               const std::string& error) {
  if (generation != generation_) return;  // a page of an earlier query
  fetching_ = false;
  if (!ok) {
    atEnd_ = true;
    error_ = error;
    emit listFailed(QString::fromStdString(error));
    return;
  }
  atEnd_ = found.size() < kPageSize;
  if (!found.empty()) {
    lastAtUtc_ = found.back().atUtc;
    lastSeq_ = found.back().seq;
  }
  // A read forwarded meanwhile is listed once, among the waiting ones.
  if (pendingListed_) {
    std::erase_if(found, [this](const archive::ReadSummary& read) {
      return pendingUuids_.count(read.uuid) > 0;
    });
  }
  if (found.empty()) {
    if (!atEnd_) fetchMore({});
    return;
  }
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(found.size()) - 1);
  for (archive::ReadSummary& read : found) rows_.push_back(std::move(read));
  endInsertRows();
}
