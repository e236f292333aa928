// The defined execution errors of the reader feature for each way a driver
// operation can end.
#pragma once

#include "sila/reader_session.h"
#include "sila/sila_errors.h"

// The error for a report that is not Done.
silafw::SiLAError ErrorForReport(const ReaderReport& report);

// The defined error for a command refused because another one runs.
silafw::SiLAError ReaderBusyError();
