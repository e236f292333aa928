// Copies the last result to the system clipboard as plain single-byte text.
#pragma once

class QWidget;

// Nothing happens, and nothing is shown, when the clipboard cannot be taken.
void CopyResultToClipboard(QWidget* owner);
