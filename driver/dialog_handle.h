// The main dialog as the driver sees it. It stands in for the dialog's
// window handle: the driver finds the status line, sets its text with a
// give-up, posts its completion command and asks the operator one OK/Cancel
// question. The Qt front end implements it; tests use a recorder.
#pragma once

#include <string>

// An opaque control of the dialog (the status line).
using ControlHandle = const void*;

class DialogHandle {
 public:
  virtual ~DialogHandle() = default;

  // The control with this id, or null.
  virtual ControlHandle GetDlgItem(int id) = 0;

  // Sets the control's text if the dialog's thread takes it within
  // timeoutMs; otherwise the text is dropped for good and false returned.
  virtual bool SendTextTimeout(ControlHandle control, const std::string& text,
                               unsigned timeoutMs) = 0;

  // Queues a command id for the dialog's thread; ids arrive in order.
  virtual void PostCommand(int id) = 0;

  // A modal OK/Cancel box owned by the dialog (exclamation icon); blocks the
  // caller until answered. Returns kAnswerOk (1) or kAnswerCancel (2).
  virtual int AskOkCancel(const std::string& text, const std::string& caption) = 0;
};
