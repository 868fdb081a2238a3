// vantorel_e2e PROGRAM [gtest options]: runs the end-to-end tests against PROGRAM (or the
// program named by VANTOREL_EXE), which must run in the same Wine prefix and display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string path;
  if (argc > 1) {
    path = argv[1];
  } else if (const char* fromEnvironment = std::getenv("VANTOREL_EXE")) {
    path = fromEnvironment;
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: vantorel_e2e PROGRAM [gtest options] (or set VANTOREL_EXE)\n");
    return 2;
  }
  vantorel::e2e::SetProgramPath(path);
  if (!vantorel::e2e::FileExists(vantorel::e2e::ProgramPath())) {
    std::fprintf(stderr, "no program at %s\n", vantorel::e2e::ProgramPath().c_str());
    return 2;
  }
  return RUN_ALL_TESTS();
}
