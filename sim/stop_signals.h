// SIGINT and SIGTERM end the simulator; a program that closes its end of
// the line early must not kill it with SIGPIPE.
#pragma once

namespace sim {

// handler may only do what is safe in a signal handler (an atomic store).
void CatchStopSignals(void (*handler)(int));

}  // namespace sim
