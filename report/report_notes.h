// What a report lists after its table: the wells read above the reader's
// range, then the exclusions and comments made after the read, each with
// who, when, what and why.
#pragma once

#include <QString>
#include <vector>

#include "report/plate_report.h"

struct ReportNoteLine {
  bool heading = false;  // "Exclusions", "Comments"
  bool entry = false;    // one of them, below its heading
  QString text;
};

// "Over range: D7 G12" for a read with data; the notes in any case.
std::vector<ReportNoteLine> ReportNoteLines(const PlateReport& report, bool withData);

// "when  who  what: detail – why", the parts there are.
QString ReportNoteText(const ReportNote& note);
