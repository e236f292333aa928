// Filter discovery: which wavelengths sit in the reader's six filter
// positions. The reader's own answer is shown as the final status, so the
// operator sees the positions in the reader's order.
#include "driver/foto.h"
#include "driver/reader_steps.h"

void TRodeFoto::ReadFilters(PortHandle* port, DialogHandle** dialog, AbortFlag* abort,
                            int32_t* wavelengths, int32_t* count) {
  RunOperation(port, dialog, abort, [&] {
    Exchange("E");
    Exchange("Q");
    Exchange("Ap");
    if (TakeReaderId(*this)) ShowStatus("detected");
    if (!ReadBackFilters(*this, wavelengths, count)) Fail(kExcFailure, "Filters not found.");
    ShowStatus(szLine);  // the reply to "Af", as received
    SendEot();
    PostCompletion(kFiltersDone);
  });
}
