#include "link/operator_message.h"

#include <atomic>
#include <cstdio>

namespace {

int PrintToStderr(void*, const std::string& text, const std::string& caption, MessageIcon,
                  MessageButtons) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return kAnswerOk;
}

std::atomic<MessageBoxHandler> handler{PrintToStderr};

}  // namespace

int ShowMessageBox(void* owner, const std::string& text, const std::string& caption,
                   MessageIcon icon, MessageButtons buttons) {
  return handler.load()(owner, text, caption, icon, buttons);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler next) {
  return handler.exchange(next != nullptr ? next : PrintToStderr);
}
