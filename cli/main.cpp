#include "cli/cli_run.h"

int main(int argc, char** argv) {
  return CliMain(argc, argv);
}
