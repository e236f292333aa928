// platovix-sila from its arguments to its exit code.
#pragma once

// Serves until SIGTERM or SIGINT; then aborts the running operation (the
// reader gets EOT) and returns 0. 64 for bad usage, 1 when it cannot serve.
int SilaMain(int argc, char** argv);
