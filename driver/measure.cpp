// Measuring a plate: the reader reads all 96 wells at the primary filter and,
// if one is given, at the reference filter; the plate gets the primary
// readings, or the primary minus the reference well by well.
#include <string>

#include "driver/block_decoding.h"
#include "driver/foto.h"
#include "driver/reader_kind.h"
#include "driver/reader_steps.h"
#include "link/operator_message.h"
#include "link/reply_parsers.h"

namespace {

// The reader waits this long before it is worth asking whether the plate is
// read; after that it is asked every 700 ms.
constexpr uint32_t kFirstMeasureCheckMs = 4000;
constexpr uint32_t kMeasureCheckMs = 700;
constexpr uint32_t kFirstPlateCheckMs = 300;
constexpr uint32_t kPlateCheckMs = 250;

// "Sf<primary>[f<reference>]<reader's suffix>x3G"
std::string StartCommand(const ReaderTraits& reader, int primarySlot, int referenceSlot) {
  std::string command = "Sf" + std::to_string(primarySlot);
  if (referenceSlot != 0) command += "f" + std::to_string(referenceSlot);
  return command + reader.startSuffix + "x3G";
}

// Bit 5 set with bits 3 and 4 clear: a Jupiter waits for its plate.
bool RequestsPlate(char status) {
  return (status & 0x38) == 0x20;
}

// Bit 3 is a syntax error in a command, bit 4 an error of the reader itself.
bool ReportsError(char status) {
  return (status & 0x18) != 0;
}

}  // namespace

void TRodeFoto::Measure(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, int32_t* values,
                        int32_t primary, int32_t reference, uint8_t* overRange) {
  // Asks the reader what went wrong and ends the operation with it.
  const auto failWithReaderError = [this](char status) {
    Exchange("E");
    if (status & 0x08) Fail(kExcFailure, "Command syntax error.");
    Fail(kExcFailure, "Reader error %d.", ErrorNumber(*this));
  };

  const auto filterSlot = [this](const int filters[6], int wavelength) {
    const int slot = FindFilterSlot(filters, wavelength);
    if (slot == 0) Fail(kExcFailure, "Filter %d not in reader.", wavelength);
    return slot;
  };

  RunOperation(port, dialog, abort, [&] {
    // Identification: a reader still busy with an earlier command would
    // take the start command as an error. One that reports an error while
    // we wait holds it until asked, so the wait would never end.
    Exchange("E");
    WaitUntilIdle(*this, [&](char status) {
      if (ReportsError(status)) failWithReaderError(status);
    });
    const ReaderTraits& reader = TraitsOf(IdentifyReader(*this));
    Exchange("Ap");
    TakeReaderId(*this);

    int filters[6];
    Exchange("Af");
    if (ParseSixInts(szLine, filters)) Fail(kExcFailure, "Filters not found.");
    ShowStatus("filters");
    const int primarySlot = filterSlot(filters, primary);
    const int referenceSlot = reference != 0 ? filterSlot(filters, reference) : 0;
    SendCommand(StartCommand(reader, primarySlot, referenceSlot).c_str());

    if (reader.loadsPlate) {
      uint32_t delay = kFirstPlateCheckMs;
      for (int count = 1;; ++count) {
        ShowStatus("preparing");
        WaitAbortable(delay);
        delay = kPlateCheckMs;
        ShowStatusFormatted(*this, "ready test (%d)", count);
        Exchange("Q");
        const char status = StatusCharacter(*this);
        if (RequestsPlate(status)) break;
        if (ReportsError(status)) failWithReaderError(status);
      }
      // While the box is open nobody watches the reader or the abort flag:
      // the operator's answer is the only way on.
      DialogHandle* owner = ppDialog_ != nullptr ? *ppDialog_ : nullptr;
      const bool inserted =
          owner != nullptr &&
          owner->AskOkCancel("Insert a plate and click OK\r\n", "Confirm") == kAnswerOk;
      if (!inserted) {
        SendCommand("IG");  // the carrier comes back out empty
        Fail(kExcAbort, "User aborted.");
      }
      SendCommand("SgG");
    }

    ShowStatus("measuring");
    uint32_t delay = kFirstMeasureCheckMs;
    for (int count = 1;; ++count) {
      WaitAbortable(delay);
      delay = kMeasureCheckMs;
      ShowStatusFormatted(*this, "check(%d)", count);
      Exchange("Q");
      const char status = StatusCharacter(*this);
      if (status == reader.finishedStatus) break;
      if (ReportsError(status)) failWithReaderError(status);
    }
    ShowStatus("data ready");

    // The reader sends its blocks one after the other after one request.
    const bool withReference = reference != 0;
    SendCommand(reader.dataRequest[withReference ? 1 : 0]);
    const int blocks = BlocksInTransfer(reader, withReference);
    for (int block = 0; block < blocks; ++block) {
      ReceiveReply();
      ShowStatusFormatted(*this, "%d / %d", block + 1, blocks);
      if (!DecodeBlock(reader, szLine, nLineLen, block, values, overRange))
        Fail(kExcFailure, "Data garbled.");
    }

    SendEot();
    ShowStatus("success");
    PostCompletion(kMeasureDone);
  });
}
