#include "cli/terminal_dialog.h"

#include <unistd.h>

#include <cerrno>

#include "driver/foto.h"
#include "link/operator_message.h"

namespace {

constexpr char kPlatePrompt[] = "Insert a plate and press Enter, or type c to cancel: ";

bool WriteText(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) return false;  // Ctrl+C: the question is off
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// One line of the operator's answer. False when the terminal is gone or a
// signal (Ctrl+C, SIGTERM) interrupted the wait: that answers Cancel.
bool ReadAnswer(int fd, std::string* answer) {
  for (;;) {
    char c;
    const ssize_t n = read(fd, &c, 1);
    if (n <= 0) return false;
    if (c == '\n') return true;
    *answer += c;
  }
}

bool SaysCancel(const std::string& answer) {
  for (char c : answer) {
    if (c == ' ' || c == '\t' || c == '\r') continue;
    return c == 'c' || c == 'C';
  }
  return false;
}

}  // namespace

TerminalDialog::TerminalDialog(std::ostream& progress, bool inPlace, int terminalFd,
                               bool confirmAll)
    : progress_(progress), inPlace_(inPlace), terminalFd_(terminalFd), confirmAll_(confirmAll) {}

TerminalDialog::~TerminalDialog() {
  EndLine();
}

ControlHandle TerminalDialog::GetDlgItem(int id) {
  return id == kStatusLineId ? static_cast<ControlHandle>(&statusLine_) : nullptr;
}

// Nothing stands between the driver and stderr, so the text is never late.
bool TerminalDialog::SendTextTimeout(ControlHandle control, const std::string& text, unsigned) {
  if (control != &statusLine_) return false;
  Status(text);
  return true;
}

void TerminalDialog::Status(const std::string& text) {
  texts_.push_back(text);
  if (inPlace_) {
    // Carriage return and erase-to-end-of-line: the new text replaces the old.
    progress_ << '\r' << text << "\x1b[K" << std::flush;
    lineOpen_ = true;
  } else if (!text.empty()) {
    progress_ << text << '\n' << std::flush;
  }
}

void TerminalDialog::EndLine() {
  if (!lineOpen_) return;
  progress_ << '\n' << std::flush;
  lineOpen_ = false;
}

void TerminalDialog::PostCommand(int id) {
  completion_ = id;
}

int TerminalDialog::AskOkCancel(const std::string&, const std::string&) {
  if (confirmAll_) return kAnswerOk;
  EndLine();
  if (terminalFd_ < 0) {  // nobody there to put the plate in
    progress_ << "No terminal to confirm the plate (--yes confirms it): cancelled.\n";
    return kAnswerCancel;
  }
  std::string answer;
  if (!WriteText(terminalFd_, kPlatePrompt) || !ReadAnswer(terminalFd_, &answer)) {
    WriteText(terminalFd_, "\n");
    return kAnswerCancel;
  }
  return SaysCancel(answer) ? kAnswerCancel : kAnswerOk;
}
