// Writes the program icon as a PNG file for the desktop's icon theme:
// platovix_draw_icon <size> <file>
#include <cstdio>
#include <cstdlib>

#include "resources/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <size> <file.png>\n", argv[0]);
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "size must be 16 to 1024 pixels\n");
    return 2;
  }
  if (!DrawProgramIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
