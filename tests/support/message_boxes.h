// The operator's message boxes, recorded instead of shown, and the system's
// own text for an error number as the boxes quote it.
#pragma once

#include <string>
#include <vector>

#include "link/operator_message.h"
#include "link/system_error.h"

namespace message_boxes {

struct Box {
  std::string text;
  std::string caption;
  MessageIcon icon;

  // "Error: text", as one line to compare.
  std::string Shown() const { return caption + ": " + text; }
};

inline std::vector<Box> boxes;

// A handler for SetMessageBoxHandler: every box is answered with OK.
inline int RecordBox(void*, const std::string& text, const std::string& caption, MessageIcon icon,
                     MessageButtons) {
  boxes.push_back({text, caption, icon});
  return kAnswerOk;
}

inline std::string SystemText(int code) {
  char text[256];
  FormatSystemError(text, sizeof text, code);
  return text;
}

}  // namespace message_boxes
