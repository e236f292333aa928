// The operator's message boxes on screen: the handler behind
// ShowMessageBox for the running program.
#pragma once

#include <string>

#include "link/operator_message.h"

// A modal QMessageBox with the caption, icon and buttons, owned by owner (a
// QWidget*, may be null). Returns kAnswerOk or kAnswerCancel.
int ShowQtMessageBox(void* owner, const std::string& text, const std::string& caption,
                     MessageIcon icon, MessageButtons buttons);

void InstallQtMessageBoxes();
