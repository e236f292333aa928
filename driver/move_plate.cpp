// Moving the plate carrier in or out, so that the operator can put a plate
// on it or take one off.
#include "driver/foto.h"
#include "driver/reader_kind.h"
#include "driver/reader_steps.h"

void TRodeFoto::MovePlate(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, bool out) {
  RunOperation(port, dialog, abort, [&] {
    Exchange("E");
    Exchange("Q");
    Exchange("Ap");
    const ReaderTraits& reader = TraitsOf(IdentifyReader(*this));
    // The carrier takes the instrument's number from the last reply it got:
    // the model reply of a Jupiter or Expert, which carries it there, or the
    // reply to "Ap" of a DigiScan.
    TakeReaderId(*this);

    // Each step must finish before the next one is sent; error bits are of
    // no interest here, only an idle reader ends the move.
    const CarrierMove& move = out ? reader.plateOut : reader.plateIn;
    for (const char* step : move.steps) {
      if (step == nullptr) break;
      SendCommand(step);
      WaitUntilIdle(*this);
    }

    ShowStatus("");
    SendEot();
    PostCompletion(kPlateMoved);
  });
}
