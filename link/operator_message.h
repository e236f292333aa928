// Message boxes for the operator. The link and the dialogs report through
// this one seam; the Qt front end installs the real boxes and tests install
// a recorder.
#pragma once

#include <string>

enum MessageIcon { kIconInformation, kIconWarning, kIconError };
enum MessageButtons { kButtonsOk, kButtonsOkCancel };
enum MessageAnswer { kAnswerOk = 1, kAnswerCancel = 2 };

// owner: the window the box belongs to (a QWidget* in the front end, may be null).
using MessageBoxHandler = int (*)(void* owner, const std::string& text,
                                  const std::string& caption, MessageIcon icon,
                                  MessageButtons buttons);

// Shows a modal box and returns the answer (kAnswerOk for a plain OK box).
int ShowMessageBox(void* owner, const std::string& text, const std::string& caption,
                   MessageIcon icon, MessageButtons buttons = kButtonsOk);

// Installs handler and returns the previous one. Without a handler the text
// goes to stderr and the answer is OK.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
