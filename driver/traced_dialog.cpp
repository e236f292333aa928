#include "driver/traced_dialog.h"

#include "link/operator_message.h"
#include "link/trace_text.h"

TracedDialog::TracedDialog(DialogHandle* const* dialog, std::shared_ptr<LineTrace> trace)
    : dialog_(dialog), trace_(std::move(trace)) {}

ControlHandle TracedDialog::GetDlgItem(int id) {
  DialogHandle* dialog = *dialog_;
  return dialog != nullptr ? dialog->GetDlgItem(id) : nullptr;
}

bool TracedDialog::SendTextTimeout(ControlHandle control, const std::string& text,
                                   unsigned timeoutMs) {
  trace_->Note("status", TraceBytes(text));
  DialogHandle* dialog = *dialog_;
  return dialog != nullptr && dialog->SendTextTimeout(control, text, timeoutMs);
}

void TracedDialog::PostCommand(int id) {
  trace_->Note("done", std::to_string(id));
  DialogHandle* dialog = *dialog_;
  if (dialog != nullptr) dialog->PostCommand(id);
}

int TracedDialog::AskOkCancel(const std::string& text, const std::string& caption) {
  trace_->Note("ask", TraceBytes(text));
  DialogHandle* dialog = *dialog_;
  const int answer = dialog != nullptr ? dialog->AskOkCancel(text, caption) : kAnswerCancel;
  trace_->Note("answer", answer == kAnswerOk ? "ok" : "cancel");
  return answer;
}
