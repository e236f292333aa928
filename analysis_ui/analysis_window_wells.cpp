// The analysis window's outliers: wells left out of the analysis and taken
// back in, with the reason (and, for an archived read, an audit entry).
#include <QInputDialog>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <tuple>
#include <utility>

#include "analysis_ui/analysis_window.h"
#include "archive/plate_read.h"
#include "archive_ui/audit_reason.h"
#include "archive_ui/desktop_archive.h"
#include "link/operator_message.h"

void AnalysisWindow::ToggleExcludedWell(int well, const std::string& reason) {
  const auto same = [well](const analysis::ExcludedWell& e) { return e.well == well; };
  const auto found = std::find_if(excluded_.begin(), excluded_.end(), same);
  const bool included = found != excluded_.end();
  const auto before = std::pair{excluded_, shown_.excluded};
  if (included) {
    excluded_.erase(found);
    std::erase_if(shown_.excluded, [well](const ExcludedWellNote& e) { return e.well == well; });
  } else {
    excluded_.push_back({well, reason});
    shown_.excluded.push_back(
        {well, reason, archive::LoginName(), FormatIsoLocalTime(std::chrono::system_clock::now())});
  }
  Recompute();
  if (!shown_.archiveUuid.empty()) {
    if (!StoreDesktopAudit(this, shown_.archiveUuid, included ? "well included" : "well excluded",
                           reason, analysis::WellName(well))) {
      std::tie(excluded_, shown_.excluded) = before;  // not recorded, not made
      Recompute();
    }
  }
}

void AnalysisWindow::AskToExcludeWell() {
  bool ok = false;
  const QString name =
      QInputDialog::getText(this, QStringLiteral("Exclude well"),
                            QStringLiteral("Well (an excluded one is taken back in):"),
                            QLineEdit::Normal, QString(), &ok)
          .trimmed()
          .toUpper();
  if (!ok || name.isEmpty()) return;
  int well = -1;
  for (int w = 0; w < kWells; ++w) {
    if (QString::fromStdString(analysis::WellName(w)) == name) well = w;
  }
  if (well < 0) {
    ShowMessageBox(this, "\"" + name.toStdString() + "\" is no well (A1 to H12).", "Warning",
                   kIconWarning);
    return;
  }
  const bool excluded =
      std::any_of(excluded_.begin(), excluded_.end(),
                  [well](const analysis::ExcludedWell& e) { return e.well == well; });
  QString reason;
  if (!shown_.archiveUuid.empty()) {
    // An archived read keeps why, either way.
    const std::optional<std::string> why =
        AskAuditReason(this,
                       (excluded ? QStringLiteral("Reason for taking %1 back in:")
                                 : QStringLiteral("Reason for leaving out %1:"))
                           .arg(name),
                       excluded ? QString() : QStringLiteral("outlier"));
    if (!why) return;
    reason = QString::fromStdString(*why);
  } else if (!excluded) {
    reason = QInputDialog::getText(this, QStringLiteral("Exclude well"),
                                   QStringLiteral("Reason for leaving out %1:").arg(name),
                                   QLineEdit::Normal, QStringLiteral("outlier"), &ok);
    if (!ok) return;
  }
  ToggleExcludedWell(well, reason.simplified().toStdString());
}
