#include "driver/foto.h"

#include <new>

TFoto::TFoto(int readerType, int readerSubType)
    : nReaderType(readerType), nReaderSubType(readerSubType) {}

TFoto::~TFoto() = default;

ControlHandle TFoto::FindStatusLine(DialogHandle* dialog) {
  statusDialog_ = dialog;
  hStatus = dialog != nullptr ? dialog->GetDlgItem(kStatusLineId) : nullptr;
  return hStatus;
}

// The dialog's thread may be busy (a message box, a long redraw); a worker
// that waited for it could hold the reader past its time-outs, so a late text
// is given up rather than shown out of turn.
void TFoto::ShowStatus(const char* text) {
  if (statusDialog_ == nullptr || hStatus == nullptr) return;
  statusDialog_->SendTextTimeout(hStatus, text, kStatusTimeoutMs);
}

// The port, abort flag and frame buffer are bound by every operation before
// use; they start out empty so that nothing stale is ever read.
TRodeFoto::TRodeFoto(int readerType, int readerSubType)
    : TFoto(readerType, readerSubType),
      hPort(kInvalidPort),
      pbAbort(nullptr),
      szLine{},
      nLineLen(0) {}

TRodeFoto::~TRodeFoto() = default;

TFoto* CreateReaderDriver(int readerType, int readerSubType) {
  return new (std::nothrow) TRodeFoto(readerType, readerSubType);
}
