// The driver's dialog seen through the line trace: status texts, the plate
// question with its answer and the completion command are written down and
// then passed on unchanged, so the status line shows exactly what it would.
#pragma once

#include <memory>

#include "driver/dialog_handle.h"
#include "link/line_trace.h"

class TracedDialog : public DialogHandle {
 public:
  // dialog: the variable through which the dialog is reached; it is read at
  // every call, so a dialog that has gone (null) gets nothing, as without
  // the trace.
  TracedDialog(DialogHandle* const* dialog, std::shared_ptr<LineTrace> trace);

  ControlHandle GetDlgItem(int id) override;
  bool SendTextTimeout(ControlHandle control, const std::string& text, unsigned timeoutMs) override;
  void PostCommand(int id) override;
  int AskOkCancel(const std::string& text, const std::string& caption) override;

 private:
  DialogHandle* const* dialog_;
  std::shared_ptr<LineTrace> trace_;
};
