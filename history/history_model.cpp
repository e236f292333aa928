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

HistoryModel::HistoryModel(const HistorySource& source, QObject* parent)
    : QAbstractTableModel(parent), source_(source) {}

void HistoryModel::SetQuery(const archive::ReadQuery& query) {
  beginResetModel();
  query_ = query;
  query_.offset = 0;
  query_.limit = kPageSize;
  rows_.clear();
  lastAtUtc_.clear();
  lastSeq_ = 0;
  atEnd_ = source_.listed == nullptr;
  error_.clear();
  if (source_.pendingListed) {
    for (const archive::ReadSummary& read : source_.pending) {
      if (MatchesQuery(read, query_)) rows_.push_back(read);
    }
  }
  endResetModel();
  if (!atEnd_) fetchMore({});
}

bool HistoryModel::Pending(int row) const {
  return source_.pendingUuids.count(Read(row).uuid) > 0;
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
  return !parent.isValid() && !atEnd_;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  archive::ReadQuery page = query_;
  page.afterAtUtc = lastAtUtc_;
  page.afterSeq = lastSeq_;
  std::vector<archive::ReadSummary> found;
  if (!source_.listed->ListReads(page, false, &found, &error_)) {
    atEnd_ = true;
    return;
  }
  atEnd_ = found.size() < kPageSize;
  if (!found.empty()) {
    lastAtUtc_ = found.back().atUtc;
    lastSeq_ = found.back().seq;
  }
  // A read forwarded meanwhile is listed once, among the waiting ones.
  if (source_.pendingListed) {
    std::erase_if(found, [this](const archive::ReadSummary& read) {
      return source_.pendingUuids.count(read.uuid) > 0;
    });
  }
  if (found.empty()) {
    if (!atEnd_) fetchMore(parent);
    return;
  }
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(found.size()) - 1);
  for (archive::ReadSummary& read : found) rows_.push_back(std::move(read));
  endInsertRows();
}
