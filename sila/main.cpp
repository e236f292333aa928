#include "sila/sila_main.h"

int main(int argc, char** argv) {
  return SilaMain(argc, argv);
}
