#include <cstdio>
#include <cstring>

#include "program/Version.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
  // Answered before Qt is started: it needs no display, so scripts and the
  // package check can ask a machine without one.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("zentavo %s\n", zentavo::kVersion);
    return 0;
  }
  return zentavo::ui::RunApplication(argc, argv);
}
