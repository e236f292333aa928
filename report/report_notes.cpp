#include "report/report_notes.h"

#include "analysis/plate_layout.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

QString ReportNoteText(const ReportNote& note) {
  QString text = Q(note.when);
  for (const std::string& part : {note.who, note.what}) {
    if (part.empty()) continue;
    if (!text.isEmpty()) text += QStringLiteral("  ");
    text += Q(part);
  }
  if (!note.detail.empty()) text += (text.isEmpty() ? "" : ": ") + Q(note.detail);
  if (!note.why.empty()) text += (text.isEmpty() ? "" : QStringLiteral(" \u2013 ")) + Q(note.why);
  return text;
}

std::vector<ReportNoteLine> ReportNoteLines(const PlateReport& report, bool withData) {
  std::vector<ReportNoteLine> lines;
  if (withData) {
    QString over;
    for (int well = 0; well < kWells; ++well) {
      if (report.plate.bOverRange[well]) over += " " + Q(analysis::WellName(well));
    }
    if (!over.isEmpty()) lines.push_back({false, false, QStringLiteral("Over range:") + over});
  }
  for (const auto& [heading, notes] : {std::pair{QStringLiteral("Exclusions"), &report.exclusions},
                                       std::pair{QStringLiteral("Comments"), &report.comments}}) {
    if (notes->empty()) continue;
    lines.push_back({true, false, heading});
    for (const ReportNote& note : *notes) lines.push_back({false, true, ReportNoteText(note)});
  }
  return lines;
}
