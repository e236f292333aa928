// The main dialog as the worker thread sees it. Everything here may be
// called from the worker; the work itself is handed to the dialog's thread
// through its event queue, and the worker never waits on the dialog's
// thread for longer than it has to: the status text gives up after its
// time-out, and the operator's OK/Cancel question is waited for in short
// slices that a closing dialog cuts short with Cancel.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "driver/dialog_handle.h"

class TemplateDialog;

class QtDialogHandle : public DialogHandle {
 public:
  explicit QtDialogHandle(TemplateDialog* dialog);
  ~QtDialogHandle() override;

  ControlHandle GetDlgItem(int id) override;
  bool SendTextTimeout(ControlHandle control, const std::string& text, unsigned timeoutMs) override;
  void PostCommand(int id) override;
  int AskOkCancel(const std::string& text, const std::string& caption) override;

  // The dialog is closing: a question now pending, and every later one, is
  // answered Cancel without a box.
  void BeginShutdown();
  // The operator has already said yes (the plate of a kinetic run stays
  // in): every question is answered OK without a box until this is undone.
  void AnswerOkWithoutAsking(bool on);

 private:
  struct Question;
  void Answer(const std::shared_ptr<Question>& question, int answer);

  TemplateDialog* dialog_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::shared_ptr<Question> pending_;
  bool shuttingDown_ = false;
  bool answerOk_ = false;
};
