// The driver's "main dialog" when there is no window: the status line goes
// to stderr, the completion command is kept for the exit code, and the
// Jupiter's plate question is asked on the terminal.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "driver/dialog_handle.h"

class TerminalDialog : public DialogHandle {
 public:
  // progress: where status texts go. inPlace: rewrite one line (a terminal)
  // instead of one line per text (a log). terminalFd: where the plate
  // question is asked and answered, -1 when there is nobody to ask.
  // confirmAll: answer the question with OK without asking.
  TerminalDialog(std::ostream& progress, bool inPlace, int terminalFd, bool confirmAll);
  ~TerminalDialog() override;

  ControlHandle GetDlgItem(int id) override;
  bool SendTextTimeout(ControlHandle control, const std::string& text, unsigned timeoutMs) override;
  void PostCommand(int id) override;
  int AskOkCancel(const std::string& text, const std::string& caption) override;

  // Shows a text of our own (not the driver's) the same way.
  void Status(const std::string& text);
  // Ends an in-place line so that what follows starts on a fresh one.
  void EndLine();

  // The completion command of the last operation, 0 while none came.
  int Completion() const { return completion_; }
  void ClearCompletion() { completion_ = 0; }
  // Every status text so far, in order.
  const std::vector<std::string>& StatusTexts() const { return texts_; }

 private:
  std::ostream& progress_;
  bool inPlace_;
  bool lineOpen_ = false;
  int terminalFd_;
  bool confirmAll_;
  int completion_ = 0;
  int statusLine_ = 0;  // its address is the status line's handle
  std::vector<std::string> texts_;
};
