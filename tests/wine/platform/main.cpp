// The Wine tests of the platform layer. The same program also serves as the second process
// some tests need ("--child <mode> ..."), so it has its own entry instead of gtest_main.
#include <gtest/gtest.h>

#include "tests/wine/platform/support.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  if (wine_tests::RunChildMode(argc, argv, &exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
