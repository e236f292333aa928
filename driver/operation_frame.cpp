// The frame every reader operation runs in. Whatever happens inside, the
// reader is released with EOT and the dialog gets exactly one completion
// command, the worker's last act.
#include <cstdarg>
#include <cstdio>

#include "driver/foto.h"

void TRodeFoto::RunOperation(PortHandle* port, DialogHandle** dialog, AbortFlag* abort,
                             const std::function<void()>& body) {
  hPort = port != nullptr ? *port : kInvalidPort;
  pbAbort = abort;
  ppDialog_ = dialog;
  FindStatusLine(dialog != nullptr ? *dialog : nullptr);
  ShowStatus("started");
  try {
    Connect();
    ShowStatus("connected");
    body();
  } catch (const ESerExc& failure) {
    SendEot();  // also when the failure came before or in the middle of an exchange
    ShowStatus(szMessage);
    switch (failure.nCode) {
      case kExcTimeout:
        PostCompletion(kReaderTimeout);
        break;
      case kExcAbort:
        PostCompletion(kUserAborted);
        break;
      default:
        PostCompletion(kOperationFailed);
        break;
    }
  }
}

// The dialog variable is read again here: the dialog the command goes to is
// the one that exists when the operation ends.
void TRodeFoto::PostCompletion(int id) {
  DialogHandle* dialog = ppDialog_ != nullptr ? *ppDialog_ : nullptr;
  if (dialog != nullptr) dialog->PostCommand(id);
}

void TRodeFoto::Fail(int code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(szMessage, sizeof szMessage, format, args);
  va_end(args);
  throw ESerExc{code};
}
