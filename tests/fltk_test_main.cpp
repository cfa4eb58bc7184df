// The window tests need an X display; `make test` starts Xvfb for them.

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "ui/fltk/look.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "No X display: run under xvfb-run (make test).\n");
    return 1;
  }
  velkrane::SetUpLook();
  return RUN_ALL_TESTS();
}
