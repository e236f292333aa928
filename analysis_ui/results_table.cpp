#include "analysis_ui/results_table.h"

QStringList ResultsHeader() {
  return {QStringLiteral("Name"),          QStringLiteral("Role"), QStringLiteral("Wells"),
          QStringLiteral("Mean"),          QStringLiteral("SD"),   QStringLiteral("CV %"),
          QStringLiteral("Concentration"), QStringLiteral("Flag")};
}

std::vector<QStringList> ResultsRows(const analysis::PlateAnalysis& result, bool decimalComma) {
  const auto number = [decimalComma](std::optional<double> value) {
    QString text = QString::fromStdString(analysis::FormatNumber(value));
    if (decimalComma) text.replace(u'.', u',');
    return text;
  };
  std::vector<QStringList> rows;
  for (const analysis::GroupResult& group : result.groups) {
    QStringList wells;
    for (int well : group.wells) wells << QString::fromStdString(analysis::WellName(well));
    rows.push_back({QString::fromStdString(group.name),
                    QString::fromLatin1(analysis::WellRoleName(group.role)), wells.join(u' '),
                    number(group.mean), number(group.sd), number(group.cv),
                    number(group.concentration),
                    QString::fromStdString(analysis::GroupFlagText(group.flags))});
  }
  return rows;
}

QString ResultsText(const analysis::PlateAnalysis& result, bool decimalComma) {
  QString text = ResultsHeader().join(u'\t') + QStringLiteral("\r\n");
  for (const QStringList& row : ResultsRows(result, decimalComma)) {
    text += row.join(u'\t') + QStringLiteral("\r\n");
  }
  return text;
}
