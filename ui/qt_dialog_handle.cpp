#include "ui/qt_dialog_handle.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QSemaphore>
#include <QThread>
#include <atomic>
#include <chrono>

#include "dialogs/template_dialog.h"
#include "link/operator_message.h"

namespace {

void SetControlText(QWidget* control, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(text);
  }
}

// One status text on its way to the dialog's thread. Whoever claims it
// first decides its fate: the dialog's thread by showing it, the worker by
// giving up, after which the text is never shown.
struct TextDelivery {
  std::atomic<bool> claimed{false};
  QSemaphore shown;
};

}  // namespace

struct QtDialogHandle::Question {
  bool answered = false;
  int answer = kAnswerCancel;
};

QtDialogHandle::QtDialogHandle(TemplateDialog* dialog) : dialog_(dialog) {}

QtDialogHandle::~QtDialogHandle() {
  BeginShutdown();
}

ControlHandle QtDialogHandle::GetDlgItem(int id) {
  // The id map is built with the dialog and never changes, so reading it
  // from the worker is safe.
  return dialog_->Item(id);
}

bool QtDialogHandle::SendTextTimeout(ControlHandle control, const std::string& text,
                                     unsigned timeoutMs) {
  if (control == nullptr) return false;
  auto* widget = const_cast<QWidget*>(static_cast<const QWidget*>(control));
  const QString qtext = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  if (QThread::currentThread() == dialog_->thread()) {
    SetControlText(widget, qtext);
    return true;
  }

  auto delivery = std::make_shared<TextDelivery>();
  QMetaObject::invokeMethod(
      dialog_,
      [delivery, widget, qtext] {
        if (delivery->claimed.exchange(true)) return;  // the worker gave up on it
        SetControlText(widget, qtext);
        delivery->shown.release();
      },
      Qt::QueuedConnection);

  if (delivery->shown.tryAcquire(1, static_cast<int>(timeoutMs))) return true;
  if (!delivery->claimed.exchange(true)) return false;  // dropped for good
  // The dialog's thread claimed it just now and is setting it.
  delivery->shown.acquire();
  return true;
}

void QtDialogHandle::PostCommand(int id) {
  TemplateDialog* dialog = dialog_;
  QMetaObject::invokeMethod(
      dialog, [dialog, id] { dialog->SendCommand(id); }, Qt::QueuedConnection);
}

void QtDialogHandle::AnswerOkWithoutAsking(bool on) {
  std::lock_guard lock(mutex_);
  answerOk_ = on;
}

int QtDialogHandle::AskOkCancel(const std::string& text, const std::string& caption) {
  {
    std::lock_guard lock(mutex_);
    if (answerOk_ && !shuttingDown_) return kAnswerOk;
  }
  if (QThread::currentThread() == dialog_->thread()) {
    return ShowMessageBox(static_cast<QWidget*>(dialog_), text, caption, kIconWarning,
                          kButtonsOkCancel) == kAnswerOk
               ? kAnswerOk
               : kAnswerCancel;
  }
  auto question = std::make_shared<Question>();
  {
    std::lock_guard lock(mutex_);
    if (shuttingDown_) return kAnswerCancel;
    pending_ = question;
  }

  QMetaObject::invokeMethod(
      dialog_,
      [this, question, text, caption] {
        {
          std::lock_guard lock(mutex_);
          if (question->answered) return;  // cancelled by a closing dialog
        }
        Answer(question, ShowMessageBox(static_cast<QWidget*>(dialog_), text, caption, kIconWarning,
                                        kButtonsOkCancel));
      },
      Qt::QueuedConnection);

  std::unique_lock lock(mutex_);
  while (!question->answered) answered_.wait_for(lock, std::chrono::milliseconds(50));
  if (pending_ == question) pending_.reset();
  return question->answer;
}

void QtDialogHandle::BeginShutdown() {
  std::shared_ptr<Question> pending;
  {
    std::lock_guard lock(mutex_);
    shuttingDown_ = true;
    pending = pending_;
  }
  if (pending) Answer(pending, kAnswerCancel);
}

void QtDialogHandle::Answer(const std::shared_ptr<Question>& question, int answer) {
  std::lock_guard lock(mutex_);
  if (!question->answered) {
    question->answered = true;
    question->answer = answer == kAnswerOk ? kAnswerOk : kAnswerCancel;
  }
  answered_.notify_all();
}
